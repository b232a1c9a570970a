#include "helparea.h"

#include <QPainter>

namespace {
constexpr int Margin = 6;
}

HelpArea::HelpArea(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setAccessibleName(QStringLiteral("Help"));
    m_fit = textRoom(fontMetrics().averageCharWidth() * 56, 8);
}

void HelpArea::Print(const QString &text)
{
    m_printed << text;
    m_lines << text.split(u'\n');
    setAccessibleDescription(m_printed.join(u'\n'));
    update();
}

void HelpArea::Cls()
{
    m_printed.clear();
    m_lines.clear();
    setAccessibleDescription(QString());
    update();
}

QSize HelpArea::textRoom(int columnsPx, int lines) const
{
    const int frame = 2 * frameWidth();
    return QSize(columnsPx + 2 * Margin + frame, lines * fontMetrics().lineSpacing() + 2 * Margin + frame);
}

void HelpArea::fitTexts(const QStringList &texts)
{
    const QFontMetrics fm = fontMetrics();
    int width = 0;
    int lines = 1;
    for (const QString &t : texts) {
        const QStringList split = t.split(u'\n');
        lines = std::max<int>(lines, split.size());
        for (const QString &line : split) width = std::max(width, fm.horizontalAdvance(line));
    }
    m_fit = textRoom(width, lines);
    updateGeometry();
}

QSize HelpArea::sizeHint() const { return m_fit; }
QSize HelpArea::minimumSizeHint() const { return m_fit; }

void HelpArea::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    p.setPen(palette().color(QPalette::Text));
    const QRect area = contentsRect().adjusted(Margin, Margin, -Margin, -Margin);
    p.setClipRect(contentsRect());
    const QFontMetrics fm = fontMetrics();
    int y = area.top() + fm.ascent();
    for (const QString &line : m_lines) {
        if (y - fm.ascent() > area.bottom()) break;
        p.drawText(area.left(), y, line);
        y += fm.lineSpacing();
    }
}
