#include "replycheck.h"

#include "frames.h"
#include "request.h"

#include <QVarLengthArray>
#include <algorithm>
#include <limits>

namespace {

// The kinds of checked replies.
enum class Shape { None, Read, PointRead, Write, PointWrite, Flash, Capture, Status, Alarms, Io, Monitor };

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// The value of a request field the program built: upper-case hexadecimal.
// -1 when it is none.
qint64 requestNumber(QByteArrayView field)
{
    if (field.isEmpty() || field.size() > 8) return -1;
    qint64 v = 0;
    for (char c : field) {
        if (!isHexDigit(c)) return -1;
        v = v * 16 + (c <= '9' ? c - '0' : (c & ~0x20) - 'A' + 10);
    }
    return v;
}

// Field i (0 = the first after the keyword) of a framed request.
QByteArrayView requestField(QByteArrayView framed, int i)
{
    if (framed.size() < 2) return {};
    const QByteArrayView text = framed.sliced(1, framed.size() - 2);
    qsizetype from = text.indexOf(';');
    for (int k = 0; from >= 0; ++k) {
        const qsizetype to = text.indexOf(';', from + 1);
        if (k == i) return text.sliced(from + 1, (to < 0 ? text.size() : to) - from - 1);
        from = to;
    }
    return {};
}

Shape shapeOf(QByteArrayView framed, bool owned)
{
    const QByteArrayView k = RequestKeyword(framed);
    if (k == "R") return Shape::Read;
    if (k == "TBLR") return Shape::PointRead;
    if (k == "W") return Shape::Write;
    if (k == "TBLW") return Shape::PointWrite;
    if (k == "FLASH") return Shape::Flash;
    if (k == "T") {
        const qint64 code = requestNumber(requestField(framed, 0));
        return code >= 0 && (code & 0x80) != 0 ? Shape::Capture : Shape::None;
    }
    if (!owned) return Shape::None;
    if (k == "S") return Shape::Status;
    if (k == "ALM") return Shape::Alarms;
    if (k == "IO") return Shape::Io;
    if (k == "MON") return Shape::Monitor;
    return Shape::None;
}

QString fieldsText(qsizetype n)
{
    return n == 1 ? QStringLiteral("1 field") : QStringLiteral("%1 fields").arg(n);
}

}  // namespace

bool RepliesChecked(const Request &request) { return shapeOf(request.framed, request.owned) != Shape::None; }

QString ReplyShapeProblem(const Request &request, QByteArrayView reply)
{
    return ReplyShapeProblem(request.framed, request.owned, reply);
}

QString ReplyShapeProblem(QByteArrayView request, bool byJob, QByteArrayView reply)
{
    const Shape shape = shapeOf(request, byJob);
    if (shape == Shape::None) return {};
    if (reply.size() < 2 || reply.front() != StxChar || (reply.back() != EotChar && reply.back() != EtxChar))
        return QStringLiteral("the reply is not framed");
    const QByteArrayView text = reply.sliced(1, reply.size() - 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c > 0x7E)
            return c == 0xFF ? QStringLiteral("the line marked character %1 as garbled").arg(i + 1)
                             : QStringLiteral("character %1 is not printable (code %2)").arg(i + 1).arg(c);
    }

    // The keyword and the fields; a reply carries at most a few dozen.
    QVarLengthArray<QByteArrayView, 40> parts;
    qsizetype from = 0;
    for (;;) {
        const qsizetype semi = text.indexOf(';', from);
        parts.append(text.sliced(from, (semi < 0 ? text.size() : semi) - from));
        if (semi < 0) break;
        from = semi + 1;
    }
    const QByteArrayView keyword = parts.front();
    const qsizetype fields = parts.size() - 1;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArrayView f = parts[i];
        if (f.isEmpty()) return QStringLiteral("field %1 is empty").arg(i);
        for (char c : f)
            if (!isHexDigit(c)) return QStringLiteral("field %1 is not hexadecimal").arg(i);
        if (f.size() > 8) return QStringLiteral("field %1 has %2 digits").arg(i).arg(f.size());
    }
    const auto value = [&parts](qsizetype i) { return HexFieldToLong(parts[i + 1]); };

    // A refusal: its code alone.
    if (keyword == "ERR") return fields == 1 ? QString() : fieldsText(fields) + QStringLiteral(" where ERR carries 1");

    const QByteArrayView asked = RequestKeyword(request);
    if (keyword != asked)
        return QStringLiteral("keyword \"%1\" where %2 was asked")
            .arg(QString::fromLatin1(keyword.first(std::min<qsizetype>(keyword.size(), 16))), QString::fromLatin1(asked));

    const auto exactly = [&](qsizetype n) {
        return fields == n ? QString() : fieldsText(fields) + QStringLiteral(" where %1 carries %2").arg(QString::fromLatin1(asked)).arg(n);
    };
    const auto names = [&](const char *what, qsizetype i) {
        const qint64 want = requestNumber(requestField(request, 0));
        return value(i) == want ? QString()
                                : QStringLiteral("%1 %2 where %1 %3 was asked").arg(QLatin1String(what)).arg(value(i)).arg(want);
    };

    switch (shape) {
    case Shape::Read:
        if (QString e = exactly(11); !e.isEmpty()) return e;
        return names("block", 0);
    case Shape::PointRead:
        return exactly(4);
    case Shape::Write:
    case Shape::PointWrite:
        // Its arrival is what counts; a number it carries must be the one written.
        if (fields == 0) return {};
        if (QString e = exactly(1); !e.isEmpty()) return e;
        return names(shape == Shape::Write ? "block" : "point", 0);
    case Shape::Flash:
        return exactly(0);
    case Shape::Capture: {
        const qint32 block = fields > 0 ? value(0) : 0;
        const bool carriesBlock = block >= 1 && block <= 8;
        if (fields == 1 && !carriesBlock) return {};  // nothing recorded yet
        if (fields != 33) return fieldsText(fields) + QStringLiteral(" where T carries 1 or 33");
        if (!carriesBlock) return QStringLiteral("block %1 where 1 to 8 come").arg(block);
        for (qsizetype i = 1; i < fields; ++i) {
            const qint32 v = value(i);
            if (v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<qint16>::max())
                return QStringLiteral("field %1 does not fit 16 bits").arg(i + 1);
        }
        return {};
    }
    case Shape::Status:
        return exactly(5);
    case Shape::Alarms:
        return exactly(9);
    case Shape::Io:
        return exactly(1);
    case Shape::Monitor:
        if (QString e = exactly(2); !e.isEmpty()) return e;
        return names("item", 0);
    case Shape::None:
        break;
    }
    return {};
}
