#include "frames.h"

namespace {

inline int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

inline bool isIgnorable(char c) { return c == ' ' || c == '\t' || c == '\n'; }

quint32 readHex(QByteArrayView text)
{
    quint32 value = 0;
    for (char c : text) {
        if (isIgnorable(c)) continue;
        const int d = hexDigit(c);
        if (d < 0) break;
        value = (value << 4) | static_cast<quint32>(d);
    }
    return value;
}

}  // namespace

qint32 HexFieldToLong(QByteArrayView field)
{
    const qsizetype n = field.size();
    if (n >= 9) return 0;
    if (n <= 4) return static_cast<qint16>(static_cast<quint16>(readHex(field)));
    char t[8];
    const qsizetype pad = 8 - n;
    for (qsizetype i = 0; i < pad; ++i) t[i] = '0';
    for (qsizetype i = 0; i < n; ++i) t[pad + i] = field[i];
    if (t[0] == '0' && t[1] == '0' && t[2] == '0' && t[3] == '0')
        return static_cast<qint32>(readHex(QByteArrayView(t + 4, 4)));
    return static_cast<qint32>(readHex(QByteArrayView(t, 8)));
}

QByteArrayView NextField(QByteArrayView text, int &parsePos, quint8 &moreFields)
{
    const qsizetype length = text.size();
    if (parsePos >= length) {
        moreFields = 0;
        return {};
    }
    const qsizetype start = parsePos - 1;  // 0-based index of the first character
    qsizetype i = start;
    while (i < length) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        ++i;
        if (c == ';') break;
        if (c < 32) {
            moreFields = 0;
            break;
        }
        if (i == length) {  // no end character: the text ends the field
            moreFields = 0;
            parsePos = static_cast<int>(i + 1);
            return text.sliced(start, i - start);
        }
    }
    parsePos = static_cast<int>(i + 1);
    return text.sliced(start, i - 1 - start);
}

int SplitReply(LinkState &s)
{
    s.ParsePos = 2;
    s.MoreFields = 1;
    const QByteArrayView buf(s.RecvBuf);
    const QByteArrayView keyword = NextField(buf, s.ParsePos, s.MoreFields);
    // Mostly the keyword the request's builder set already: no new text then.
    if (s.CmdName != QLatin1StringView(keyword.data(), keyword.size())) s.CmdName = QString::fromLatin1(keyword);
    int i = 0;
    while (s.MoreFields == 1) {
        const QByteArrayView f = NextField(buf, s.ParsePos, s.MoreFields);
        if (i < ReplyFieldCount) s.ReplyField[static_cast<size_t>(i)] = HexFieldToLong(f);
        ++i;
    }
    return i;
}

QByteArray FrameCmd(QByteArrayView text)
{
    QByteArray framed;
    framed.reserve(text.size() + 2);
    framed.append(StxChar);
    framed.append(text);
    framed.append(EotChar);
    return framed;
}

QByteArrayView RequestKeyword(QByteArrayView framed)
{
    if (framed.isEmpty() || framed.front() != StxChar) return {};
    qsizetype end = 1;
    while (end < framed.size() && framed[end] != ';' && static_cast<unsigned char>(framed[end]) >= 32) ++end;
    return framed.sliced(1, end - 1);
}

bool IsStopRequest(QByteArrayView keyword)
{
    return keyword == "JOGOFF" || keyword == "HSOFF" || keyword == "SVOFF" || keyword == "EMCON";
}

bool IsTransferRequest(QByteArrayView keyword)
{
    return keyword == "R" || keyword == "W" || keyword == "TBLR" || keyword == "TBLW" || keyword == "FLASH";
}
