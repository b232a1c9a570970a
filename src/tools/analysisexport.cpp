#include "analysisexport.h"

#include "common/plotview.h"
#include "drive/savefile.h"
#include "drive/timetext.h"

#include <QDir>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

namespace {

constexpr double CellPadPoints = 3;  // on either side of a cell's text
constexpr double MarginMm = 12;

double pointsToDevice(double points, QPaintDevice *device)
{
    const int dpi = device && device->logicalDpiX() > 0 ? device->logicalDpiX() : 96;
    return points * dpi / 72.0;
}

}  // namespace

double FittedTable::width() const
{
    double w = 0;
    for (double c : widths) w += c;
    return w;
}

FittedTable FitTable(const QList<QStringList> &rows, const QFont &base, double width, QPaintDevice *device,
                     double minPoints)
{
    FittedTable t;
    t.font = base;
    double points = base.pointSizeF() > 0 ? base.pointSizeF() : 9;
    for (;;) {
        t.font.setPointSizeF(points);
        QFont bold = t.font;
        bold.setBold(true);
        const QFontMetricsF fm(t.font, device), fmBold(bold, device);
        const double pad = pointsToDevice(CellPadPoints * points / 9, device);
        t.widths.assign(0, 0);
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < rows[r].size(); ++c) {
                if (size_t(c) >= t.widths.size()) t.widths.resize(size_t(c) + 1, 0);
                const double w = (r == 0 ? fmBold : fm).horizontalAdvance(rows[r][c]) + 2 * pad;
                t.widths[size_t(c)] = std::max(t.widths[size_t(c)], w);
            }
        t.rowHeight = fm.height() * 1.45;
        if (t.width() <= width || points <= minPoints) break;
        points = std::max(minPoints, points * std::max(0.5, std::min(0.97, width / t.width())));
    }
    // What is left of the width goes to the columns alike.
    if (t.width() < width && !t.widths.empty()) {
        const double extra = std::min((width - t.width()) / double(t.widths.size()), pointsToDevice(24, device));
        for (double &w : t.widths) w += extra;
    }
    return t;
}

int DrawTable(QPainter *painter, const QList<QStringList> &rows, int from, const QPointF &at, double maxHeight,
              const FittedTable &table)
{
    if (rows.isEmpty()) return 0;
    const int fit = std::max(0, int(std::floor(maxHeight / table.rowHeight)) - 1);  // the header takes one
    const int count = std::min(fit, int(rows.size()) - from);
    if (!painter || count <= 0) return std::max(0, count);
    QPainter &p = *painter;
    p.save();
    const double pad = pointsToDevice(CellPadPoints * table.font.pointSizeF() / 9, p.device());
    const double total = table.width();
    const auto drawRow = [&](const QStringList &cells, double y, bool header, bool shaded) {
        const QRectF band(at.x(), y, total, table.rowHeight);
        if (header) p.fillRect(band, QColor(225, 225, 225));
        else if (shaded) p.fillRect(band, QColor(245, 245, 245));
        QFont f = table.font;
        f.setBold(header);
        p.setFont(f);
        p.setPen(Qt::black);
        double x = at.x();
        for (size_t c = 0; c < table.widths.size(); ++c) {
            const QRectF cell(x + pad, y, table.widths[c] - 2 * pad, table.rowHeight);
            p.drawText(cell, Qt::AlignVCenter | (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::TextSingleLine,
                       cells.value(int(c)));
            x += table.widths[c];
        }
        p.setPen(QPen(QColor(190, 190, 190), 0));
        p.drawLine(QPointF(at.x(), y + table.rowHeight), QPointF(at.x() + total, y + table.rowHeight));
    };
    drawRow(rows.first(), at.y(), true, false);
    for (int i = 0; i < count; ++i) drawRow(rows[from + i], at.y() + (i + 1) * table.rowHeight, false, i % 2 == 1);
    p.restore();
    return count;
}

namespace {

// Lays the document out; counts the pages without a painter, draws them with one.
class DocumentLayout {
public:
    DocumentLayout(QPagedPaintDevice &device, const AnalysisDocument &doc, QPainter *painter, int total)
        : m_device(device), m_doc(doc), m_p(painter), m_total(total), m_width(device.width()), m_height(device.height())
    {
        const QFont base = QGuiApplication::font();
        m_title = base;
        m_title.setPointSizeF(13);
        m_title.setBold(true);
        m_heading = base;
        m_heading.setPointSizeF(10);
        m_heading.setBold(true);
        m_body = base;
        m_body.setPointSizeF(8.5);
        m_small = base;
        m_small.setPointSizeF(7.5);
        m_table = base;
        m_table.setPointSizeF(8);
        m_bottom = m_height - lineOf(m_small) * 2;
    }

    int run()
    {
        text(m_doc.title + QStringLiteral(" — ") + IsoTimeText(m_doc.made), m_title);
        m_y += mm(1.5);
        for (const QString &f : m_doc.facts) text(f, m_body);
        m_y += mm(2);
        if (m_doc.plot) {
            const double h = std::min(m_bottom - m_y, m_height * 0.52);
            if (m_p) {
                const double dpi = m_device.logicalDpiX() > 0 ? m_device.logicalDpiX() : 96;
                m_doc.plot->render(*m_p, QRectF(0, m_y, m_width, h), dpi / 96.0, QGuiApplication::font());
            }
            m_y += h + mm(3);
        }
        table(m_doc.measureTitle, m_doc.measurements);
        if (!m_doc.cursors.isEmpty()) table(m_doc.cursorLine, m_doc.cursors);
        if (!m_doc.definitions.isEmpty()) paragraph(m_doc.definitions, m_small);
        footer();
        return m_page;
    }

private:
    double mm(double v) const { return v * (m_device.logicalDpiY() > 0 ? m_device.logicalDpiY() : 96) / 25.4; }
    double lineOf(const QFont &f) const { return QFontMetricsF(f, &m_device).height(); }

    void footer()
    {
        if (!m_p) return;
        m_p->setFont(m_small);
        m_p->setPen(Qt::black);
        const QRectF foot(0, m_height - lineOf(m_small), m_width, lineOf(m_small));
        m_p->drawText(foot, Qt::AlignLeft | Qt::AlignVCenter, m_doc.title + QStringLiteral(" — ") + IsoTimeText(m_doc.made));
        m_p->drawText(foot, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Page %1 of %2").arg(m_page).arg(m_total));
    }

    void newPage()
    {
        footer();
        if (m_p) m_device.newPage();
        ++m_page;
        m_y = 0;
    }

    void need(double h)
    {
        if (m_y > 0 && m_y + h > m_bottom) newPage();
    }

    void text(const QString &t, const QFont &f)
    {
        need(lineOf(f));
        if (m_p) {
            m_p->setFont(f);
            m_p->setPen(Qt::black);
            m_p->drawText(QRectF(0, m_y, m_width, lineOf(f)), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          QFontMetricsF(f, &m_device).elidedText(t, Qt::ElideRight, m_width));
        }
        m_y += lineOf(f);
    }

    void paragraph(const QString &t, const QFont &f)
    {
        const QRectF box = QFontMetricsF(f, &m_device).boundingRect(QRectF(0, 0, m_width, 1e6), Qt::TextWordWrap, t);
        need(box.height());
        if (m_p) {
            m_p->setFont(f);
            m_p->setPen(Qt::black);
            m_p->drawText(QRectF(0, m_y, m_width, box.height() + 2), Qt::TextWordWrap, t);
        }
        m_y += box.height() + mm(2);
    }

    void table(const QString &title, const QList<QStringList> &rows)
    {
        if (rows.size() <= 1) return;  // a header without rows: nothing shown
        const FittedTable fitted = FitTable(rows, m_table, m_width, &m_device);
        int next = 1;
        bool first = true;
        do {
            need(lineOf(m_heading) + fitted.rowHeight * std::min<qsizetype>(2, rows.size()));
            text(first ? title : title + QStringLiteral(" (continued)"), m_heading);
            const int drawn = DrawTable(m_p, rows, next, QPointF(0, m_y), m_bottom - m_y, fitted);
            m_y += fitted.rowHeight * (drawn + 1) + mm(3);
            next += drawn;
            first = false;
            if (drawn == 0 && m_y <= fitted.rowHeight * 2 + mm(3)) break;  // not even a row fits a page
            if (next < rows.size()) newPage();
        } while (next < rows.size());
    }

    QPagedPaintDevice &m_device;
    const AnalysisDocument &m_doc;
    QPainter *m_p;
    int m_total;
    double m_width, m_height, m_bottom = 0;
    double m_y = 0;
    int m_page = 1;
    QFont m_title, m_heading, m_body, m_small, m_table;
};

}  // namespace

bool RenderAnalysisDocument(QPagedPaintDevice &device, const AnalysisDocument &doc)
{
    const int pages = DocumentLayout(device, doc, nullptr, 0).run();
    QPainter painter;
    if (!painter.begin(&device)) return false;
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    DocumentLayout(device, doc, &painter, pages).run();
    return painter.end();
}

bool WriteAnalysisPdf(const QString &path, const AnalysisDocument &doc, QString *error)
{
    const SaveResult saved = SaveFileWith(path, [&doc](QIODevice &device, QString *why) {
        // The writer finishes the document when it goes, before the flush.
        QPdfWriter writer(&device);
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter));
        writer.setTitle(doc.title);
        writer.setCreator(QStringLiteral("ORVEX"));
        if (RenderAnalysisDocument(writer, doc)) return true;
        *why = QStringLiteral("the pages could not be drawn");
        return false;
    });
    if (!saved.ok && error)
        *error = QStringLiteral("\"%1\" could not be written: %2").arg(QDir::toNativeSeparators(path), saved.reason);
    return saved.ok;
}

bool WriteAnalysisPng(const QString &path, const PlotView &plot, const QSize &size, const QString &description,
                      QString *error)
{
    QImage picture = plot.picture(size);
    picture.setText(QStringLiteral("Title"), QStringLiteral("Waveform Analysis"));
    picture.setText(QStringLiteral("Creation Time"), IsoTimeText(QDateTime::currentDateTime()));
    picture.setText(QStringLiteral("Software"), QStringLiteral("ORVEX"));
    picture.setText(QStringLiteral("Description"), description);
    const SaveResult saved = SaveFileWith(path, [&picture](QIODevice &device, QString *why) {
        QImageWriter writer(&device, "png");
        if (writer.write(picture)) return true;
        *why = QStringLiteral("the picture could not be encoded as PNG (%1)").arg(writer.errorString());
        return false;
    });
    if (!saved.ok && error)
        *error = QStringLiteral("\"%1\" could not be written: %2").arg(QDir::toNativeSeparators(path), saved.reason);
    return saved.ok;
}
