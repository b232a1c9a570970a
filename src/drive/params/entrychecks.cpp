#include "entrychecks.h"

#include "drive/numtext.h"


namespace {

struct Range {
    double min;
    double max;
};

Range readRange(QStringView range)
{
    const qsizetype slash = range.indexOf(u'/');
    const QStringView minText = slash < 0 ? range : range.left(slash);
    const QStringView maxText = slash < 0 ? QStringView() : range.mid(slash + 1);
    return {RoundHalfEven(ValText(minText)), RoundHalfEven(ValText(maxText))};
}

}  // namespace

QString CheckRangeDec(QStringView text, QStringView range)
{
    // The field will stand for what it shows: a reading just below a half
    // ("1.4999999999999998") shows as the half (" 1.5"), which rounds up, so
    // the shown form is what is held to the range, or the value sent could
    // lie beyond it. Compared unclamped, so a reading beyond 32 bits lies
    // above every maximum (or below every minimum).
    const QString shown = StrText(ValText(text));
    const double v = RoundHalfEven(ValText(shown));
    const Range r = readRange(range);
    if (v > r.max) return StrText(r.max);
    if (v < r.min) return StrText(r.min);
    return shown;
}

QString CheckRangeHex(QStringView text, QStringView range)
{
    const qint32 v = HexEntryToLong(text);
    const Range r = readRange(range);
    if (v > r.max) return HexText(RoundToLong(r.max));
    if (v < r.min) return HexText(RoundToLong(r.min));
    return HexText(v);
}

int NextTxtIndex(int &index, int key, int count)
{
    if (key == KeyCode::Enter || key == KeyCode::Down) {
        if (++index > count - 1) index = 0;
    } else if (key == KeyCode::Up) {
        if (--index < 0) index = count - 1;
    }
    return index;
}
