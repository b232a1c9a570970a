#include "reportlayout.h"

#include "common/plotview.h"
#include "drive/monitor/monitorrules.h"
#include "drive/params/paramcatalogue.h"
#include "drive/timetext.h"
#include "drive/wave/analysistables.h"
#include "drive/wave/captureanalysis.h"
#include "drive/wave/stepresponse.h"
#include "tools/analysisexport.h"
#include "tools/analysisplots.h"
#include "tools/commissioningreport.h"

#include <QFont>
#include <QGuiApplication>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>

namespace {

const QString Title = QStringLiteral("ORVEX commissioning report");
// A cell never holds more than this; a longer text ends in an ellipsis, so
// that no row can outgrow a page.
constexpr int MaxCellChars = 300;

// The text as one line: line breaks (the names' trailing CR LF), tabs and
// other control characters become spaces, runs of spaces one, and the ends
// are trimmed; an overlong text is cut with an ellipsis.
QString cellText(QString text)
{
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) c = u' ';
    text = text.simplified();
    if (text.size() > MaxCellChars) text = text.left(MaxCellChars - 1) + QChar(0x2026);
    return text;
}

QString shownOrDash(const QString &text)
{
    const QString t = cellText(text);
    return t.isEmpty() ? QStringLiteral("-") : t;
}

QString dateText(const QDateTime &when) { return when.isValid() ? IsoTimeText(when) : QStringLiteral("-"); }

struct Column {
    QString title;
    double share;  // of the table's width
    Qt::Alignment align;
};

class ReportLayout {
public:
    ReportLayout(QPagedPaintDevice &device, const ReportData &data, QPainter *painter, int totalPages,
                 const QPageRanges &pages)
        : m_device(device),
          m_data(data),
          m_painter(painter),
          m_total(totalPages),
          m_pages(pages),
          m_dpi(device.logicalDpiY() > 0 ? device.logicalDpiY() : 72),
          m_width(device.width()),
          m_height(device.height())
    {
        const QFont base = QGuiApplication::font();
        auto sized = [&base](double points, bool bold) {
            QFont f = base;
            f.setPointSizeF(points);
            f.setBold(bold);
            return f;
        };
        m_titleFont = sized(18, true);
        m_headingFont = sized(12.5, true);
        m_bodyFont = sized(9.5, false);
        m_boldFont = sized(9.5, true);
        m_footerFont = sized(8, false);
        m_smallFont = sized(8, false);
        m_footerHeight = mm(10);
        m_bottom = m_height - m_footerHeight;
    }

    int run()
    {
        startPage();
        titleBlock();
        parameterTable();
        pointTable();
        captures();
        alarmHistory();
        alarmLog();
        signatures();
        finishPage();
        return m_page;
    }

private:
    double mm(double v) const { return v * m_dpi / 25.4; }
    bool drawing() const { return m_painter && (m_pages.isEmpty() || m_pages.contains(m_page)); }

    void startPage()
    {
        m_y = 0;
        if (!drawing()) return;
        if (m_anyDrawn) m_device.newPage();
        m_anyDrawn = true;
    }

    void finishPage()
    {
        if (!drawing()) return;
        QPainter &p = *m_painter;
        const double top = m_height - m_footerHeight + mm(3);
        p.setPen(QPen(QColor(150, 150, 150), mm(0.2)));
        p.drawLine(QPointF(0, top), QPointF(m_width, top));
        p.setPen(Qt::black);
        const double textTop = top + mm(1.2);
        const QString left = Title + QStringLiteral("  \u2013  ") + dateText(m_data.when);
        const QString right = QStringLiteral("Page %1 of %2").arg(m_page).arg(m_total);
        const double rightWidth = m_width * 0.3;
        text(right, m_footerFont, QPointF(m_width - rightWidth, textTop), rightWidth, Qt::AlignRight);
        text(left, m_footerFont, QPointF(0, textTop), m_width - rightWidth - mm(2), Qt::AlignLeft);
    }

    void newPage()
    {
        finishPage();
        ++m_page;
        startPage();
    }

    // Makes room for a block of the given height: a new page unless the
    // block fits below, or the page is still empty.
    void need(double height)
    {
        if (m_y > 0 && m_y + height > m_bottom) newPage();
    }

    // Lays out (and draws, when drawing) a text wrapped to the width, at
    // words where it can and anywhere else where it must; returns its height.
    double text(const QString &t, const QFont &font, QPointF at, double width, Qt::Alignment align)
    {
        QTextLayout layout(t, font, &m_device);
        QTextOption option(align);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        double height = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(std::max(width, 1.0));
            line.setPosition(QPointF(0, height));
            height += line.height();
        }
        layout.endLayout();
        if (drawing()) {
            m_painter->setPen(Qt::black);
            layout.draw(m_painter, at);
        }
        return std::max(height, QFontMetricsF(font, &m_device).height());
    }

    double textHeight(const QString &t, const QFont &font, double width)
    {
        QPainter *const painter = m_painter;
        m_painter = nullptr;
        const double h = text(t, font, QPointF(), width, Qt::AlignLeft);
        m_painter = painter;
        return h;
    }

    double headingHeight(const QString &t) { return textHeight(t, m_headingFont, m_width) + mm(2.5); }

    void heading(const QString &t)
    {
        text(t, m_headingFont, QPointF(0, m_y), m_width, Qt::AlignLeft);
        m_y += headingHeight(t);
    }

    void paragraph(const QString &t, const QFont &font, double after)
    {
        need(textHeight(t, font, m_width));
        m_y += text(t, font, QPointF(0, m_y), m_width, Qt::AlignLeft) + after;
    }

    double cellWidth(const Column &c) const { return m_width * c.share - 2 * mm(1.5); }

    double rowHeight(const QList<Column> &columns, const QStringList &cells, const QFont &font)
    {
        double h = 0;
        for (int i = 0; i < columns.size(); ++i) h = std::max(h, textHeight(cells.value(i), font, cellWidth(columns[i])));
        return h + 2 * mm(1.0);
    }

    void row(const QList<Column> &columns, const QStringList &cells, const QFont &font, const QColor &fill)
    {
        const double h = rowHeight(columns, cells, font);
        if (drawing()) {
            QPainter &p = *m_painter;
            p.fillRect(QRectF(0, m_y, m_width, h), fill);
            p.setPen(QPen(QColor(170, 170, 170), mm(0.15)));
            double x = 0;
            for (const Column &c : columns) {
                p.drawRect(QRectF(x, m_y, m_width * c.share, h));
                x += m_width * c.share;
            }
        }
        double x = 0;
        for (int i = 0; i < columns.size(); ++i) {
            text(cells.value(i), font, QPointF(x + mm(1.5), m_y + mm(1.0)), cellWidth(columns[i]), columns[i].align);
            x += m_width * columns[i].share;
        }
        m_y += h;
    }

    // A table under its heading, the header row repeated on each page it
    // runs onto; the heading is never left alone at the foot of a page. Rows
    // whose mark is set are shaded and set in bold.
    void table(const QString &title, const QList<Column> &columns, const QList<QStringList> &rows,
               const QString &emptyNote, const QList<bool> &marked = {})
    {
        QStringList header;
        for (const Column &c : columns) header << c.title;
        const QColor headerFill(225, 225, 225);
        const double headerHeight = rowHeight(columns, header, m_boldFont);
        if (rows.isEmpty()) {
            need(headingHeight(title) + textHeight(emptyNote, m_bodyFont, m_width));
            heading(title);
            paragraph(emptyNote, m_bodyFont, mm(6));
            return;
        }
        need(headingHeight(title) + headerHeight + rowHeight(columns, rows.first(), m_bodyFont));
        heading(title);
        row(columns, header, m_boldFont, headerFill);
        for (int i = 0; i < rows.size(); ++i) {
            const bool mark = marked.value(i);
            const QFont &font = mark ? m_boldFont : m_bodyFont;
            const double h = rowHeight(columns, rows[i], font);
            if (m_y + h > m_bottom) {
                newPage();
                heading(title + QStringLiteral(" (continued)"));
                row(columns, header, m_boldFont, headerFill);
            }
            row(columns, rows[i], font, mark ? QColor(255, 236, 179) : i % 2 ? QColor(244, 244, 244) : QColor(Qt::white));
        }
        m_y += mm(7);
    }

    void titleBlock()
    {
        m_y += text(Title, m_titleFont, QPointF(0, m_y), m_width, Qt::AlignLeft) + mm(2);
        if (drawing()) {
            m_painter->setPen(QPen(Qt::black, mm(0.4)));
            m_painter->drawLine(QPointF(0, m_y), QPointF(m_width, m_y));
        }
        m_y += mm(4);

        bool maker = false;
        int differ = 0;
        for (const ReportParamRow &r : m_data.params) {
            maker = maker || r.number >= UserParamCount;
            differ += r.differs ? 1 : 0;
        }
        const QString params = m_data.params.isEmpty() ? QStringLiteral("none")
                               : maker ? QStringLiteral("%1 (user and maker sets)").arg(m_data.params.size())
                                       : QStringLiteral("%1 (user set)").arg(m_data.params.size());
        const ReportFields &f = m_data.fields;
        const QList<std::pair<QString, QString>> facts{
            {QStringLiteral("Machine"), shownOrDash(f.machine)},
            {QStringLiteral("Axis"), shownOrDash(f.axis)},
            {QStringLiteral("Customer"), shownOrDash(f.customer)},
            {QStringLiteral("Site"), shownOrDash(f.site)},
            {QStringLiteral("Engineer"), shownOrDash(f.engineer)},
            {QStringLiteral("Motor model"), shownOrDash(m_data.model)},
            {QStringLiteral("ROM version"), shownOrDash(m_data.rom)},
            {QStringLiteral("Port"), shownOrDash(m_data.port)},
            {QStringLiteral("Report made"), dateText(m_data.when)},
            {QStringLiteral("Parameters"), params},
            {QStringLiteral("Reference"),
             m_data.reference.isEmpty() ? QStringLiteral("none")
                                        : QStringLiteral("%1 (%2 %3)").arg(cellText(m_data.reference)).arg(differ).arg(
                                              differ == 1 ? QStringLiteral("parameter differs") : QStringLiteral("parameters differ"))},
            {QStringLiteral("Captures"), m_data.captures.isEmpty() ? QStringLiteral("none")
                                                                  : QString::number(m_data.captures.size())},
        };
        const double keyWidth = mm(38);
        for (const auto &[key, value] : facts) {
            const double h = std::max(textHeight(key, m_boldFont, keyWidth - mm(2)),
                                      textHeight(value, m_bodyFont, m_width - keyWidth));
            need(h);
            text(key, m_boldFont, QPointF(0, m_y), keyWidth - mm(2), Qt::AlignLeft);
            text(value, m_bodyFont, QPointF(keyWidth, m_y), m_width - keyWidth, Qt::AlignLeft);
            m_y += h + mm(1.2);
        }
        if (!f.notes.trimmed().isEmpty()) {
            m_y += mm(3);
            need(headingHeight(QStringLiteral("Notes")) + textHeight(f.notes, m_bodyFont, m_width));
            heading(QStringLiteral("Notes"));
            // Line breaks the user typed stay.
            for (const QString &line : f.notes.split(u'\n')) paragraph(cellText(line), m_bodyFont, mm(0.5));
        }
        m_y += mm(7);
    }

    void parameterTable()
    {
        const bool reference = !m_data.reference.isEmpty();
        QList<Column> columns{
            {QStringLiteral("No."), 0.06, Qt::AlignLeft},
            {QStringLiteral("Name"), reference ? 0.32 : 0.44, Qt::AlignLeft},
            {QStringLiteral("Value"), 0.13, Qt::AlignRight},
            {QStringLiteral("Unit"), 0.07, Qt::AlignLeft},
            {QStringLiteral("Range"), reference ? 0.16 : 0.30, Qt::AlignRight},
        };
        if (reference)
            columns << Column{QStringLiteral("Reference"), 0.14, Qt::AlignRight} << Column{QStringLiteral("Mark"), 0.12, Qt::AlignLeft};
        QList<QStringList> rows;
        QList<bool> marked;
        for (const ReportParamRow &r : m_data.params) {
            QStringList cells{QStringLiteral("%1").arg(r.number, 2, 10, QLatin1Char('0')), shownOrDash(r.name),
                              cellText(r.value), cellText(r.unit), shownOrDash(r.range)};
            if (reference) cells << cellText(r.reference) << (r.differs ? QStringLiteral("differs") : QString());
            rows << cells;
            marked << r.differs;
        }
        table(QStringLiteral("Parameters"), columns, rows, QStringLiteral("No parameters."), marked);
    }

    void pointTable()
    {
        const QList<Column> columns{
            {QStringLiteral("Point"), 0.12, Qt::AlignLeft},
            {QStringLiteral("abs/inc"), 0.18, Qt::AlignLeft},
            {QStringLiteral("Travel [\u03BCm]"), 0.26, Qt::AlignRight},
            {QStringLiteral("Speed [mm/s]"), 0.22, Qt::AlignRight},
            {QStringLiteral("Acc/Dec [ms]"), 0.22, Qt::AlignRight},
        };
        QList<QStringList> rows;
        for (const ReportPointRow &r : m_data.points)
            rows << QStringList{cellText(r.point), cellText(r.absInc), cellText(r.travel), cellText(r.speed),
                                cellText(r.accDec)};
        table(QStringLiteral("Point table"), columns, rows, QStringLiteral("No points."));
    }

    // Each capture as the analysis shows it: what it is, the plot with its
    // scales and cursors on the step, and its measurements.
    void captures()
    {
        const QString title = QStringLiteral("Captures");
        if (m_data.captures.isEmpty()) {
            const QString why = QStringLiteral("No waveform has been captured.");
            need(headingHeight(title) + textHeight(why, m_bodyFont, m_width));
            heading(title);
            paragraph(why, m_bodyFont, mm(6));
            return;
        }
        const double plotHeight = std::min(mm(85), (m_bottom) * 0.45);
        bool first = true;
        for (const ListedCapture &listed : m_data.captures) {
            CaptureList list;
            const int id = list.add(listed.capture, listed.motorTypeUnits, listed.origin, listed.name);
            CaptureAnalysis analysis(list);
            MeasurementTable measure(analysis);
            PlotView plot;
            SetUpTimePlot(plot);
            ShowTimeLanes(plot, analysis, analysis.shown());
            plot.fit();
            const auto [a, b] = StepCursors(analysis, id);
            plot.setCursor(0, a);
            plot.setCursor(1, b);
            analysis.setCursors(a, b);
            const QStringList facts = CaptureFacts(*list.find(id), analysis);
            QList<QStringList> rows{MeasurementTable::headers()};
            rows << measure.rowsOf(id);
            const FittedTable fitted = FitTable(rows, m_smallFont, m_width, &m_device);

            double factsHeight = 0;
            for (const QString &f : facts) factsHeight += textHeight(f, m_smallFont, m_width);
            const double block = (first ? headingHeight(title) : 0) + headingHeight(listed.name) + factsHeight + plotHeight +
                                 fitted.rowHeight * double(rows.size()) + mm(8);
            need(block);
            if (first) heading(title);
            first = false;
            heading(listed.name);
            for (const QString &f : facts) m_y += text(f, m_smallFont, QPointF(0, m_y), m_width, Qt::AlignLeft);
            m_y += mm(1.5);
            if (drawing()) plot.render(*m_painter, QRectF(0, m_y, m_width, plotHeight), m_dpi / 96.0, QGuiApplication::font());
            m_y += plotHeight + mm(1.5);
            DrawTable(drawing() ? m_painter : nullptr, rows, 1, QPointF(0, m_y), m_bottom - m_y, fitted);
            m_y += fitted.rowHeight * double(rows.size()) + mm(6);
        }
        paragraph(WaveAnalysis::StepDefinitions(), m_smallFont, mm(7));
    }

    void alarmHistory()
    {
        const QList<Column> columns{{QStringLiteral("Entry"), 0.15, Qt::AlignLeft},
                                    {QStringLiteral("Alarm"), 0.85, Qt::AlignLeft}};
        QList<QStringList> rows;
        if (m_data.alarmHistory) {
            for (int j = 0; j < HistoryCount; ++j) {
                const qint32 field = (*m_data.alarmHistory)[size_t(j)];
                const int index = AlarmHistoryIndex(field);
                const QString alarm = index == HistoryEmpty ? QStringLiteral("-")
                                      : index == HistoryKeep
                                          ? QStringLiteral("bits without an alarm cell (0x%1)").arg(quint32(field), 0, 16)
                                          : AlarmCaptions()[size_t(index)];
                rows << QStringList{QString::number(j), alarm};
            }
        }
        const QString title = QStringLiteral("Alarm history of the drive (\"ALM\")");
        if (!m_data.historyNote.isEmpty()) {
            need(headingHeight(title) + textHeight(m_data.historyNote, m_bodyFont, m_width) * 2);
            if (rows.isEmpty()) {
                heading(title);
                paragraph(m_data.historyNote, m_bodyFont, mm(6));
                return;
            }
        }
        table(title, columns, rows, QStringLiteral("Not read."));
        if (!rows.isEmpty() && !m_data.historyNote.isEmpty()) paragraph(m_data.historyNote, m_smallFont, mm(6));
    }

    void alarmLog()
    {
        const QList<Column> columns{{QStringLiteral("Time"), 0.37, Qt::AlignLeft},
                                    {QStringLiteral("Appeared"), 0.23, Qt::AlignLeft},
                                    {QStringLiteral("Cleared"), 0.22, Qt::AlignLeft},
                                    {QStringLiteral("Note"), 0.18, Qt::AlignLeft}};
        QList<QStringList> rows;
        for (const AlarmLogEntry &e : AlarmLogEvents(m_data.alarmLog))
            rows << QStringList{AlarmLogTimeText(e.time), e.appeared.join(QStringLiteral(", ")),
                                e.cleared.join(QStringLiteral(", ")), e.note};
        table(QStringLiteral("Alarm log of this drive") +
                  (m_data.port.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(cellText(m_data.port))),
              columns, rows, QStringLiteral("No alarm has been logged for this drive."));
    }

    void signatures()
    {
        const QString title = QStringLiteral("Signatures");
        const double line = QFontMetricsF(m_bodyFont, &m_device).height();
        need(headingHeight(title) + line * 8);
        heading(title);
        for (const QString &who : {QStringLiteral("Engineer"), QStringLiteral("Customer")}) {
            const double y = m_y + line * 2.2;
            if (drawing()) {
                QPainter &p = *m_painter;
                p.setPen(QPen(Qt::black, mm(0.2)));
                p.drawLine(QPointF(mm(28), y), QPointF(m_width * 0.62, y));
                p.drawLine(QPointF(m_width * 0.72, y), QPointF(m_width, y));
            }
            text(who, m_boldFont, QPointF(0, y - line), mm(26), Qt::AlignLeft);
            text(QStringLiteral("Date"), m_boldFont, QPointF(m_width * 0.64, y - line), m_width * 0.08, Qt::AlignLeft);
            text(QStringLiteral("Name and signature"), m_smallFont, QPointF(mm(28), y + mm(0.8)), m_width * 0.5, Qt::AlignLeft);
            m_y = y + line * 1.6;
        }
    }

    QPagedPaintDevice &m_device;
    const ReportData &m_data;
    QPainter *m_painter;
    const int m_total;
    const QPageRanges m_pages;
    const double m_dpi;
    const double m_width;
    const double m_height;
    QFont m_titleFont, m_headingFont, m_bodyFont, m_boldFont, m_footerFont, m_smallFont;
    double m_footerHeight = 0;
    double m_bottom = 0;
    double m_y = 0;
    int m_page = 1;
    bool m_anyDrawn = false;
};

}  // namespace

int LayOutReport(QPagedPaintDevice &device, const ReportData &data, QPainter *painter, int totalPages,
                 const QPageRanges &pages)
{
    return ReportLayout(device, data, painter, totalPages, pages).run();
}
