#pragma once
// Ways in which the simulated drive misbehaves on purpose. Rates are
// probabilities from 0 to 1, drawn from the server's seeded generator.

#include <set>
#include <string>

namespace sim {

struct FaultConfig {
    std::set<std::string> dropKeywords;    // requests with these keywords get no reply
    std::set<std::string> refuseKeywords;  // requests with these keywords are answered "ERR;1"
    double dropRate = 0;        // a reply is not sent
    int dropNext = 0;           // the next this many replies are not sent
    double garbleRate = 0;      // each character of a reply is replaced by another printable one
    double noiseRate = 0;       // printable characters come before the start character
    int noiseLength = 8;
    double splitRate = 0;       // the reply goes out in several writes with pauses between
    int splitGapMs = 5;
    double stallRate = 0;       // the reply stops halfway for stallMs
    int stallMs = 2000;
    double doubleStartRate = 0; // the reply starts, breaks off, and starts again with a new start character
    double strayEndRate = 0;    // end characters arrive outside a reply, before it
    double oversizeRate = 0;    // the reply carries 300 fields instead of its own

    bool any() const
    {
        return !dropKeywords.empty() || !refuseKeywords.empty() || dropRate > 0 || dropNext > 0 || garbleRate > 0 || noiseRate > 0 ||
               splitRate > 0 || stallRate > 0 || doubleStartRate > 0 || strayEndRate > 0 || oversizeRate > 0;
    }
};

}  // namespace sim
