#include "pointrules.h"

#include "drive/numtext.h"
#include "drive/params/entrychecks.h"
#include "drive/resources/strings.h"

namespace {

// Columns whose 0 means "take the drive's standard value" and shows "----".
bool showsNoValue(int column) { return column == PointColumn::Spd || column == PointColumn::KGJit; }

// The string table holds the column ranges from this number on.
constexpr int FirstRangeId = 700;

}  // namespace

QString CheckPointEntry(int column, QStringView text)
{
    const QString checked = CheckRangeDec(text, LoadResString(FirstRangeId + column));
    if (showsNoValue(column) && checked == u" 0") return NoValueText.toString();
    return checked;
}

qint32 PointCellValue(QStringView text)
{
    if (text == NoValueText) return 0;
    return RoundToLong(ValText(text));
}

QString PointCellText(int column, qint32 value)
{
    if (showsNoValue(column) && value == 0) return NoValueText.toString();
    return StrText(value);
}

PointData PointDataFromTexts(const PointTexts &texts)
{
    PointData data{};
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = PointCellValue(texts[i]);
    return data;
}

PointTexts PointDataToTexts(const PointData &data)
{
    PointTexts texts;
    for (std::size_t i = 0; i < data.size(); ++i) texts[i] = PointCellText(int(i % PointColumns), data[i]);
    return texts;
}

QString TblrText(int point) { return QStringLiteral("TBLR;") + HexText(point); }

QString TblwText(int point, const std::array<QString, PointColumns> &texts)
{
    QString text = QStringLiteral("TBLW;") + HexText(point) + QLatin1Char(';');
    for (const QString &field : texts) text += HexText(PointCellValue(field)) + QLatin1Char(';');
    return text;
}
