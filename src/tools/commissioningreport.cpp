#include "commissioningreport.h"

#include "drive/params/paramtext.h"
#include "drive/points/pointrules.h"
#include "drive/savefile.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageRanges>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace {

const QString Title = QStringLiteral("ORVEX commissioning report");
constexpr double MarginMm = 15;
// A cell never holds more than this; a longer text ends in an ellipsis, so
// that no row can outgrow a page.
constexpr int MaxCellChars = 300;
// A plot is shown at most at twice its size on the screen (96 pixels an inch).
constexpr double PlotZoom = 2.0;
constexpr double ScreenDpi = 96.0;

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

QString dateText(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("-");
}

QString plotCaption(int i)
{
    static const char *const Captions[] = {"Speed", "Torque", "Status bit"};
    return i < 3 ? QString::fromLatin1(Captions[i]) : QStringLiteral("Plot %1").arg(i + 1);
}

// The parameter name without its leading "NN:".
QString nameWithoutNumber(const QString &name)
{
    const qsizetype colon = name.indexOf(u':');
    if (colon <= 0 || colon > 3) return name;
    for (qsizetype i = 0; i < colon; ++i)
        if (!name.at(i).isDigit()) return name;
    return name.mid(colon + 1).trimmed();
}

struct Column {
    QString title;
    double share;  // of the table's width
    Qt::Alignment align;
};

// Lays the report out page by page. Without a painter it only counts the
// pages; with one it draws the pages in the chosen range, each with its
// footer. Both runs take the same decisions, so the count printed in the
// footers is the number of pages drawn.
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
        m_footerHeight = mm(10);
        m_bottom = m_height - m_footerHeight;
    }

    int run()
    {
        startPage();
        titleBlock();
        parameterTable();
        pointTable();
        waveforms();
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

    void note(const QString &t)
    {
        need(textHeight(t, m_bodyFont, m_width));
        m_y += text(t, m_bodyFont, QPointF(0, m_y), m_width, Qt::AlignLeft) + mm(6);
    }

    double cellWidth(const Column &c) const { return m_width * c.share - 2 * mm(1.5); }

    double rowHeight(const QList<Column> &columns, const QStringList &cells, const QFont &font)
    {
        double h = 0;
        for (int i = 0; i < columns.size(); ++i)
            h = std::max(h, textHeight(cells.value(i), font, cellWidth(columns[i])));
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
    // runs onto; the heading is never left alone at the foot of a page.
    void table(const QString &title, const QList<Column> &columns, const QList<QStringList> &rows,
               const QString &emptyNote)
    {
        QStringList header;
        for (const Column &c : columns) header << c.title;
        const QColor headerFill(225, 225, 225);
        const double headerHeight = rowHeight(columns, header, m_boldFont);
        if (rows.isEmpty()) {
            need(headingHeight(title) + textHeight(emptyNote, m_bodyFont, m_width));
            heading(title);
            note(emptyNote);
            return;
        }
        need(headingHeight(title) + headerHeight + rowHeight(columns, rows.first(), m_bodyFont));
        heading(title);
        row(columns, header, m_boldFont, headerFill);
        for (int i = 0; i < rows.size(); ++i) {
            const double h = rowHeight(columns, rows[i], m_bodyFont);
            if (m_y + h > m_bottom) {
                newPage();
                heading(title + QStringLiteral(" (continued)"));
                row(columns, header, m_boldFont, headerFill);
            }
            row(columns, rows[i], m_bodyFont, i % 2 ? QColor(244, 244, 244) : QColor(Qt::white));
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
        for (const ReportParamRow &r : m_data.params) maker = maker || r.number >= UserParamCount;
        const QString params = m_data.params.isEmpty() ? QStringLiteral("none")
                               : maker ? QStringLiteral("%1 (user and maker sets)").arg(m_data.params.size())
                                       : QStringLiteral("%1 (user set)").arg(m_data.params.size());
        qsizetype plots = 0;
        for (const QImage &image : m_data.plots) plots += image.isNull() ? 0 : 1;
        const QString wave = m_data.hasCapture ? QStringLiteral("captured (%1 %2)").arg(plots).arg(plots == 1 ? QStringLiteral("plot") : QStringLiteral("plots"))
                                               : QStringLiteral("none captured");
        const QList<std::pair<QString, QString>> facts{
            {QStringLiteral("Motor model"), shownOrDash(m_data.model)},
            {QStringLiteral("ROM version"), shownOrDash(m_data.rom)},
            {QStringLiteral("Report made"), dateText(m_data.when)},
            {QStringLiteral("Parameters"), params},
            {QStringLiteral("Waveform"), wave},
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
        m_y += mm(7);
    }

    void parameterTable()
    {
        const QList<Column> columns{
            {QStringLiteral("No."), 0.09, Qt::AlignLeft},
            {QStringLiteral("Name"), 0.51, Qt::AlignLeft},
            {QStringLiteral("Value"), 0.20, Qt::AlignRight},
            {QStringLiteral("Range"), 0.20, Qt::AlignRight},
        };
        QList<QStringList> rows;
        for (const ReportParamRow &r : m_data.params) {
            const QString value = cellText(r.value);
            rows << QStringList{QStringLiteral("%1").arg(r.number, 2, 10, QLatin1Char('0')), shownOrDash(r.name),
                                r.hex && !value.isEmpty() ? value + QStringLiteral(" (hex)") : value,
                                shownOrDash(r.range)};
        }
        table(QStringLiteral("Parameters"), columns, rows, QStringLiteral("No parameters."));
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

    void waveforms()
    {
        const QString title = QStringLiteral("Waveforms");
        QList<int> shown;
        for (int i = 0; i < m_data.plots.size(); ++i)
            if (!m_data.plots[i].isNull()) shown << i;
        if (!m_data.hasCapture || shown.isEmpty()) {
            const QString why = m_data.hasCapture ? QStringLiteral("The capture has no plots to show.")
                                                  : QStringLiteral("No waveform has been captured.");
            need(headingHeight(title) + textHeight(why, m_bodyFont, m_width));
            heading(title);
            note(why);
            return;
        }
        struct Placed {
            int index;
            double captionHeight, w, h;
        };
        QList<Placed> placed;
        double together = headingHeight(title);
        for (const int i : shown) {
            const QImage &image = m_data.plots[i];
            const double captionHeight = textHeight(plotCaption(i), m_boldFont, m_width) + mm(1.5);
            // As wide as twice its screen size allows, no taller than a page.
            double w = std::min<double>(m_width, image.width() / ScreenDpi * m_dpi * PlotZoom);
            double h = w * image.height() / image.width();
            const double maxHeight = m_bottom - headingHeight(title) - captionHeight - mm(2);
            if (h > maxHeight) {
                w *= maxHeight / h;
                h = maxHeight;
            }
            placed << Placed{i, captionHeight, w, h};
            together += captionHeight + h + mm(6);
        }
        // The plots go on one page when they fit on one.
        if (together - mm(6) <= m_bottom) need(together - mm(6));
        bool first = true;
        for (const Placed &p : placed) {
            need((first ? headingHeight(title) : 0) + p.captionHeight + p.h);
            if (first) heading(title);
            first = false;
            text(plotCaption(p.index), m_boldFont, QPointF(0, m_y), m_width, Qt::AlignLeft);
            m_y += p.captionHeight;
            if (drawing()) drawPlot(m_data.plots[p.index], QRectF(0, m_y, p.w, p.h));
            m_y += p.h + mm(6);
        }
    }

    // The plot enlarged by whole pixels, so its lines stay sharp on paper.
    void drawPlot(const QImage &image, const QRectF &target)
    {
        const double wanted = target.width() / image.width();
        int zoom = std::clamp(static_cast<int>(std::floor(wanted)), 1, 8);
        while (zoom > 1 && double(image.width()) * image.height() * zoom * zoom > 16e6) --zoom;
        const QImage sharp =
            zoom > 1 ? image.scaled(image.width() * zoom, image.height() * zoom, Qt::IgnoreAspectRatio,
                                    Qt::FastTransformation)
                     : image;
        m_painter->drawImage(target, sharp);
        m_painter->setPen(QPen(QColor(120, 120, 120), mm(0.2)));
        m_painter->setBrush(Qt::NoBrush);
        m_painter->drawRect(target);
    }

    QPagedPaintDevice &m_device;
    const ReportData &m_data;
    QPainter *m_painter;
    const int m_total;
    const QPageRanges m_pages;
    const double m_dpi;
    const double m_width;
    const double m_height;
    QFont m_titleFont, m_headingFont, m_bodyFont, m_boldFont, m_footerFont;
    double m_footerHeight = 0;
    double m_bottom = 0;
    double m_y = 0;
    int m_page = 1;
    bool m_anyDrawn = false;
};

void setUpPage(QPagedPaintDevice &device)
{
    device.setPageSize(QPageSize(QPageSize::A4));
    device.setPageOrientation(QPageLayout::Portrait);
    device.setPageMargins(QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);
}

}  // namespace

ReportData MakeReportData(const QString &model, const QString &rom, const ParameterSet &params, bool makerMode,
                          const PointTable &points, const QList<QImage> &plots, bool hasCapture,
                          const QDateTime &when)
{
    ReportData data;
    data.model = model;
    data.rom = rom;
    data.when = when;
    const int count = makerMode ? ParamCount : UserParamCount;
    for (int k = 0; k < count; ++k) {
        const bool hex = ParamIsHex(k);
        data.params.append({k, nameWithoutNumber(ParamSpokenName(k)),
                            FieldText(params.values[static_cast<size_t>(k)], hex).trimmed(), ParamRange(k), hex});
    }
    const PointTexts texts = PointDataToTexts(points);
    for (int p = 0; p < PointCount; ++p) {
        auto at = [&](int column) { return texts[static_cast<size_t>(PointColumns * p + column)].trimmed(); };
        QString absInc = at(PointColumn::Inc);
        if (absInc == u"0") absInc += QStringLiteral(" (abs)");
        else if (absInc == u"1") absInc += QStringLiteral(" (inc)");
        data.points.append(
            {QString::number(p), absInc, at(PointColumn::Locate), at(PointColumn::Spd), at(PointColumn::KGJit)});
    }
    data.plots = plots;
    data.hasCapture = hasCapture;
    return data;
}

int ReportPageCount(QPagedPaintDevice &device, const ReportData &data)
{
    return ReportLayout(device, data, nullptr, 0, {}).run();
}

bool RenderReport(QPagedPaintDevice &device, const ReportData &data, const QPageRanges &pages)
{
    const int total = ReportPageCount(device, data);
    QPainter painter;
    if (!painter.begin(&device)) return false;
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    ReportLayout(device, data, &painter, total, pages).run();
    return painter.end();
}

bool WriteReportPdf(const QString &path, const ReportData &data, QString *error)
{
    auto fail = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("The report could not be written to \"%1\": %2")
                         .arg(QDir::toNativeSeparators(path), reason);
        return false;
    };
    if (path.isEmpty()) {
        if (error) *error = QStringLiteral("The report could not be written: no file name was given.");
        return false;
    }
    const SaveResult saved = SaveFileWith(path, [&data](QIODevice &device, QString *why) {
        // The writer finishes the document when it goes, before the flush.
        QPdfWriter writer(&device);
        writer.setResolution(300);
        setUpPage(writer);
        writer.setTitle(Title);
        writer.setCreator(QStringLiteral("ORVEX"));
        if (RenderReport(writer, data)) return true;
        *why = QStringLiteral("the pages could not be drawn.");
        return false;
    });
    return saved.ok || fail(saved.reason);
}

void PrintReport(QWidget *parent, const ReportData &data)
{
    QPrinter printer(QPrinter::HighResolution);
    setUpPage(printer);
    printer.setDocName(Title);

    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Print Commissioning Report"));
    dialog.setAccessibleName(QStringLiteral("Print the commissioning report"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintCollateCopies);
    dialog.setMinMax(1, ReportPageCount(printer, data));
    if (dialog.exec() != QDialog::Accepted) return;

    const QPageRanges pages = printer.printRange() == QPrinter::PageRange ? printer.pageRanges() : QPageRanges();
    if (RenderReport(printer, data, pages) && printer.printerState() != QPrinter::Error) return;

    const QString where = printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Print Commissioning Report"),
                    QStringLiteral("The report could not be printed on \"%1\". Check that the printer is ready "
                                   "(or that the file can be written) and try again.")
                        .arg(where.isEmpty() ? QStringLiteral("the chosen printer") : where),
                    QMessageBox::Ok, parent);
    box.setAccessibleName(QStringLiteral("Printing failed"));
    box.setAccessibleDescription(box.text());
    box.exec();
}
