// The readers of number texts: the lenient decimal reading and its display
// form, the hexadecimal entry and reply field readings, and the range checks
// of the parameter and point table fields. The first byte picks the reader;
// the rest is the text (as UTF-8, or as raw UTF-16 to reach any character).
//
// Rules: nothing crashes; a reading is never NaN or infinite; the display form
// of a number reads back as that number to fifteen significant digits and shows
// the same again; the hexadecimal forms read back as the number; a field text
// once checked is left as it is by a second check.

#include "fuzzrig.h"

#include "drive/numtext.h"
#include "drive/link/frames.h"
#include "drive/params/entrychecks.h"
#include "drive/points/pointrules.h"

#include <cmath>
#include <cstring>

namespace {

void checkDisplayForm(double x)
{
    const QString shown = StrText(x);
    FUZZ_CHECK(!shown.isEmpty());
    const double back = ValText(shown);
    FUZZ_CHECK(std::isfinite(back));
    if (std::isfinite(x)) FUZZ_CHECK(std::fabs(back - x) <= std::fabs(x) * 1e-14);
    FUZZ_CHECK(StrText(back) == shown);
}

void checkReading(QStringView text)
{
    const double v = ValText(text);
    FUZZ_CHECK(std::isfinite(v));
    checkDisplayForm(v);
    const qint32 n = RoundToLong(v);
    FUZZ_CHECK(HexEntryToLong(HexText(n)) == n);
    FUZZ_CHECK(RoundToLong(ValText(PlainText(n))) == n);
}

void checkHexEntry(QStringView text)
{
    const qint32 v = HexEntryToLong(text);
    FUZZ_CHECK(HexEntryToLong(HexText(v)) == v);
}

void checkReplyField(QByteArrayView field)
{
    const qint32 v = HexFieldToLong(field);
    if (field.size() >= 9) FUZZ_CHECK(v == 0);
    // Five to eight digits carry the whole 32-bit number.
    const QByteArray wide = HexText(v).toLatin1().rightJustified(5, '0');
    FUZZ_CHECK(HexFieldToLong(wide) == v);
}

// A range "min/max" from the text, and the text to check.
void checkRange(QStringView all, bool hex)
{
    const qsizetype bar = all.indexOf(u'|');
    const QStringView range = bar < 0 ? QStringView(u"-1000/1000") : all.left(bar);
    const QStringView text = bar < 0 ? all : all.mid(bar + 1);
    // The program's ranges are never upside down.
    const qsizetype slash = range.indexOf(u'/');
    if (slash < 0 || RoundHalfEven(ValText(range.left(slash))) > RoundHalfEven(ValText(range.mid(slash + 1)))) return;
    const QString once = hex ? CheckRangeHex(text, range) : CheckRangeDec(text, range);
    const QString twice = hex ? CheckRangeHex(once, range) : CheckRangeDec(once, range);
    FUZZ_CHECK(twice == once);
}

void checkPointEntry(int column, QStringView text)
{
    const QString once = CheckPointEntry(column, text);
    FUZZ_CHECK(CheckPointEntry(column, once) == once);
    const qint32 v = PointCellValue(once);
    FUZZ_CHECK(PointCellValue(PointCellText(column, v)) == v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0) return 0;
    const std::uint8_t pick = data[0];
    const char *rest = reinterpret_cast<const char *>(data + 1);
    const qsizetype n = qsizetype(size - 1);
    const QString text = (pick & 0x80) ? QString(reinterpret_cast<const QChar *>(rest), n / 2)
                                       : QString::fromUtf8(rest, n);
    switch (pick % 8) {
    case 0: checkReading(text); break;
    case 1: {
        double x = 0;
        if (n >= qsizetype(sizeof x)) std::memcpy(&x, rest, sizeof x);
        checkDisplayForm(x);
        break;
    }
    case 2: checkHexEntry(text); break;
    case 3: checkReplyField(QByteArrayView(rest, n)); break;
    case 4: checkRange(text, false); break;
    case 5: checkRange(text, true); break;
    case 6: checkPointEntry((pick >> 3) % 4, text); break;
    case 7: {
        // The reply fields of a whole reply, as the link splits it.
        LinkState s;
        s.RecvBuf = QByteArray(1, StxChar) + QByteArray(rest, n);
        SplitReply(s);
        break;
    }
    }
    return 0;
}
