#include "pointmodel.h"

#include <QStringList>

PointModel::PointModel(QObject *parent) : QObject(parent)
{
    for (int i = 0; i < Cells; ++i)
        m_texts[static_cast<size_t>(i)] = i % PointColumns < PointColumn::Spd ? QStringLiteral("0") : QStringLiteral("1");
}

void PointModel::setText(int i, const QString &text)
{
    QString &held = m_texts[static_cast<size_t>(i)];
    if (held == text) return;
    held = text;
    Q_EMIT textChanged(i, text);
}

void PointModel::setPoint(int point, const PointData &from)
{
    for (int c = 0; c < PointColumns; ++c) {
        const auto i = static_cast<size_t>(cell(point, c));
        m_data[i] = from[i];
    }
}

void PointModel::dataFromTexts() { m_data = PointDataFromTexts(m_texts); }

void PointModel::dataToTexts()
{
    const PointTexts texts = PointDataToTexts(m_data);
    for (int i = 0; i < Cells; ++i) setText(i, texts[static_cast<size_t>(i)]);
}

void PointModel::showTable(const PointData &table)
{
    m_data = table;
    dataToTexts();
}

PointData PointModel::textValues() const
{
    PointData table{};
    for (int i = 0; i < Cells; ++i) table[static_cast<size_t>(i)] = PointCellValue(text(i));
    return table;
}

QString PointModel::tableText() const
{
    QStringList lines;
    for (int r = 0; r < PointCount; ++r) {
        QStringList cells;
        for (int c = 0; c < PointColumns; ++c) cells << text(r, c).trimmed();
        lines << cells.join(u'\t');
    }
    return lines.join(u'\n') + u'\n';
}

void PointModel::setBaseline(const PointData &table)
{
    m_baseline = table;
    Q_EMIT baselineChanged();
}

bool PointModel::changed(int i) const
{
    return m_baseline && PointCellValue(text(i)) != (*m_baseline)[static_cast<size_t>(i)];
}

QString PointModel::baselineText(int i) const
{
    return m_baseline ? PointCellText(i % PointColumns, (*m_baseline)[static_cast<size_t>(i)]) : QString();
}
