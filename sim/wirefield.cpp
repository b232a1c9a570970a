#include "wirefield.h"

namespace sim {

namespace {

std::string hexDigits(std::uint32_t value, int minDigits)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), Digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(out.size()) < minDigits) out.insert(0, minDigits - out.size(), '0');
    return out;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string HexField(std::int64_t value, FieldWidth width)
{
    if (width == FieldWidth::Bits16 && value >= -32768 && value < 0)
        return hexDigits(static_cast<std::uint16_t>(value), 4);
    if (value < 0) return hexDigits(static_cast<std::uint32_t>(value), 8);
    const auto u = static_cast<std::uint32_t>(value);
    // 8000..FFFF in four digits would read back negative.
    return hexDigits(u, u >= 0x8000 && u <= 0xFFFF ? 5 : 1);
}

std::optional<std::int32_t> ParseRequestField(std::string_view text)
{
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        const int d = hexValue(c);
        if (d < 0) return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(d);
    }
    return static_cast<std::int32_t>(value);
}

std::vector<std::string_view> SplitRequest(std::string_view text)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t semi = text.find(';', start);
        if (semi == std::string_view::npos) {
            if (start < text.size() || parts.empty()) parts.push_back(text.substr(start));
            break;
        }
        parts.push_back(text.substr(start, semi - start));
        start = semi + 1;
    }
    return parts;
}

}  // namespace sim
