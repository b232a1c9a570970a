#pragma once
// Turns the model's reply into what goes over the line: framed, and bent by
// the faults that are switched on. The plan says which bytes go out, in how
// many writes and with which pauses between them.

#include "faultconfig.h"

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct WirePiece {
    std::string bytes;
    std::chrono::microseconds pauseBefore{0};
};

struct WirePlan {
    bool dropped = false;
    std::vector<WirePiece> pieces;
    std::string note;  // the faults applied, comma-separated

    std::string bytes() const;
};

class ReplyShaper {
public:
    explicit ReplyShaper(std::uint64_t seed) : m_rng(seed) {}

    // The plan for one reply to a request with the given keyword. dropNext
    // in the faults counts down.
    WirePlan shape(std::string_view requestKeyword, const std::string &reply, FaultConfig &faults);

    // A reply of 300 fields, more than any reply may carry.
    static std::string oversizeReply(std::string_view keyword);

private:
    bool chance(double rate);
    int below(int n);
    char printable();

    std::mt19937_64 m_rng;
};

}  // namespace sim
