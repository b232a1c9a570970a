#include "paramtext.h"

#include "drive/numtext.h"
#include "drive/params/entrychecks.h"

namespace {

bool isCleanHex(QStringView text)
{
    if (text.isEmpty() || text.size() > 8) return false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool digit = (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
        if (!digit) return false;
    }
    return true;
}

}  // namespace

qint32 FieldValue(QStringView text, bool hex) { return hex ? HexEntryToLong(text) : RoundToLong(ValText(text)); }

QString FieldText(qint32 value, bool hex) { return hex ? HexText(value) : StrText(value); }

QString WireValue(QStringView text, bool hex, QStringView range)
{
    if (!hex) return HexText(RoundToLong(ValText(text)));
    if (isCleanHex(text)) return text.toString();
    return CheckRangeHex(text, range);
}

QString ReadRequestText(int block) { return QStringLiteral("R;") + HexText(block); }

qint32 WrittenValue(const WriteField &field) { return HexEntryToLong(WireValue(field.text, field.hex, field.range)); }

QString WriteRequestText(int block, const QList<WriteField> &fields)
{
    QString text = QStringLiteral("W;") + HexText(block);
    for (const WriteField &f : fields) text += u';' + WireValue(f.text, f.hex, f.range);
    return text;
}
