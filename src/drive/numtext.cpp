#include "numtext.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

bool isIgnorable(QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; }

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    return -1;
}

// Digits behind "&H" or "&O": reading stops at the first non-digit.
double readRadix(QStringView text, qsizetype pos, int radix)
{
    quint64 value = 0;
    int digits = 0;
    for (; pos < text.size(); ++pos) {
        const QChar c = text[pos];
        if (isIgnorable(c)) continue;
        const int d = hexDigit(c);
        if (d < 0 || d >= radix) break;
        value = value * radix + d;
        if (++digits > 32 || value > 0xFFFFFFFFull) return 0;  // no room in 32 bits
    }
    if (digits == 0) return 0;
    const bool sixteenBit = radix == 16 ? digits <= 4 : value <= 0xFFFF;
    if (sixteenBit) return static_cast<qint16>(static_cast<quint16>(value));
    return static_cast<qint32>(static_cast<quint32>(value));
}

}  // namespace

double ValText(QStringView text)
{
    qsizetype pos = 0;
    auto skip = [&] { while (pos < text.size() && isIgnorable(text[pos])) ++pos; };
    skip();
    if (pos + 1 < text.size() && text[pos] == u'&') {
        qsizetype p = pos + 1;
        while (p < text.size() && isIgnorable(text[p])) ++p;
        if (p < text.size()) {
            const QChar k = text[p].toUpper();
            if (k == u'H') return readRadix(text, p + 1, 16);
            if (k == u'O') return readRadix(text, p + 1, 8);
        }
        return 0;
    }

    // Gather the characters of the number into a plain C string for strtod.
    std::string number;
    number.reserve(32);
    if (pos < text.size() && (text[pos] == u'-' || text[pos] == u'+')) {
        number += static_cast<char>(text[pos].unicode());
        ++pos;
    }
    bool seenPoint = false;
    int mantissaDigits = 0;
    for (; pos < text.size(); ++pos) {
        const QChar c = text[pos];
        if (isIgnorable(c)) continue;
        if (c >= u'0' && c <= u'9') {
            number += static_cast<char>(c.unicode());
            ++mantissaDigits;
        } else if (c == u'.' && !seenPoint) {
            number += '.';
            seenPoint = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) return 0;

    if (pos < text.size()) {
        const QChar e = text[pos].toUpper();
        if (e == u'E' || e == u'D') {
            std::string sign;
            qsizetype p = pos + 1;
            while (p < text.size() && isIgnorable(text[p])) ++p;
            if (p < text.size() && (text[p] == u'-' || text[p] == u'+')) {
                sign = static_cast<char>(text[p].unicode());
                ++p;
            }
            int expDigits = 0;
            std::string significant;  // exponent digits without leading zeros
            for (; p < text.size(); ++p) {
                const QChar c = text[p];
                if (isIgnorable(c)) continue;
                if (c < u'0' || c > u'9') break;
                ++expDigits;
                if (significant.empty() && c == u'0') continue;
                significant += static_cast<char>(c.unicode());
            }
            if (significant.size() > 6) significant = "999999";
            if (expDigits > 0) number += "e" + sign + (significant.empty() ? "0" : significant);
        }
    }
    double value = std::strtod(number.c_str(), nullptr);
    if (std::isinf(value)) value = std::copysign(std::numeric_limits<double>::max(), value);
    return value;
}

QString StrText(double value)
{
    if (std::isnan(value)) return QStringLiteral(" 0");
    // An infinite value (a product that overflowed) shows as the largest
    // number, as a reading of an overflowing text gives.
    if (std::isinf(value)) value = std::copysign(std::numeric_limits<double>::max(), value);
    if (value == 0) return QStringLiteral(" 0");
    const bool negative = value < 0;
    const double magnitude = std::fabs(value);

    // Fifteen significant digits: d.dddddddddddddde+XX
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", magnitude);
    std::string s(buf);
    const auto ePos = s.find('e');
    const int exponent = std::stoi(s.substr(ePos + 1));
    std::string digits = s.substr(0, 1) + s.substr(2, ePos - 2);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out;
    if (exponent >= 15 || exponent < -4) {
        out = digits.substr(0, 1);
        if (digits.size() > 1) out += "." + digits.substr(1);
        char e[16];
        std::snprintf(e, sizeof e, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += e;
    } else if (exponent < 0) {
        out = "." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else {
        const size_t intDigits = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            out = digits + std::string(intDigits - digits.size(), '0');
        } else {
            out = digits.substr(0, intDigits) + "." + digits.substr(intDigits);
        }
    }
    return (negative ? QStringLiteral("-") : QStringLiteral(" ")) + QString::fromLatin1(out);
}

QString HexText(qint32 value)
{
    return QString::number(static_cast<quint32>(value), 16).toUpper();
}

QString PlainText(qint32 value) { return QString::number(value); }

qint32 HexEntryToLong(QStringView text)
{
    QString t = QStringLiteral("0000") + text.toString();
    if (t.size() > 8) t = t.right(8);
    if (t.startsWith(QLatin1String("0000"))) {
        const QStringView last4 = QStringView(t).right(4);
        quint32 value = 0;
        for (QChar c : last4) {
            const int d = hexDigit(c);
            if (d < 0) return -1;  // fewer than four digits: below every minimum
            value = value * 16 + static_cast<quint32>(d);
        }
        return static_cast<qint32>(value);
    }
    quint32 value = 0;
    for (QChar c : t) {
        if (isIgnorable(c)) continue;
        const int d = hexDigit(c);
        if (d < 0) break;
        value = value * 16 + static_cast<quint32>(d);
    }
    return static_cast<qint32>(value);
}

double RoundHalfEven(double value) { return std::nearbyint(value); }

bool BeyondLong(double value)
{
    const double r = RoundHalfEven(value);
    return r > std::numeric_limits<qint32>::max() || r < std::numeric_limits<qint32>::min();
}

qint32 RoundToLong(double value)
{
    if (std::isnan(value)) return 0;
    const double r = RoundHalfEven(value);
    if (r >= 2147483647.0) return std::numeric_limits<qint32>::max();
    if (r <= -2147483648.0) return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(r);
}

qint32 FloorToLong(double value)
{
    if (std::isnan(value)) return 0;
    const double r = std::floor(value);
    if (r >= 2147483647.0) return std::numeric_limits<qint32>::max();
    if (r <= -2147483648.0) return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(r);
}
