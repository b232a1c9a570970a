#pragma once
// Numbers on the wire. Reply fields are upper-case hexadecimal, written the
// way the program reads them back: up to four digits are a 16-bit two's
// complement number, five to eight digits a 32-bit one (behind four leading
// zeros: 0..65535). So a negative 16-bit quantity goes out as four digits, a
// negative 32-bit quantity as eight, and 32768..65535 with at least five.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class FieldWidth { Bits16, Bits32 };

// One reply field. A 16-bit quantity outside -32768..65535 is written as a
// 32-bit one, so its value is never lost.
std::string HexField(std::int64_t value, FieldWidth width);

// One request field: one to eight hexadecimal digits (either case), read as a
// 32-bit two's complement number ("FFFFFFFF" is -1, "FFFF" is 65535). Empty,
// longer or non-hexadecimal text gives nothing.
std::optional<std::int32_t> ParseRequestField(std::string_view text);

// The request text split at every ";": the keyword, then the fields. A ";" at
// the very end adds no field (the point write ends that way).
std::vector<std::string_view> SplitRequest(std::string_view text);

}  // namespace sim
