#include "replyshaper.h"

#include <algorithm>

namespace sim {

namespace {

constexpr char Stx = '\x02';
constexpr char Eot = '\x04';

void addNote(std::string &note, const char *what)
{
    if (!note.empty()) note += ',';
    note += what;
}

}  // namespace

std::string WirePlan::bytes() const
{
    std::string out;
    for (const WirePiece &p : pieces) out += p.bytes;
    return out;
}

bool ReplyShaper::chance(double rate)
{
    if (rate <= 0) return false;
    return static_cast<double>(m_rng() >> 11) * 0x1.0p-53 < rate;
}

int ReplyShaper::below(int n) { return n <= 1 ? 0 : static_cast<int>(m_rng() % static_cast<std::uint64_t>(n)); }

char ReplyShaper::printable() { return static_cast<char>(0x20 + below(0x7F - 0x20)); }

std::string ReplyShaper::oversizeReply(std::string_view keyword)
{
    std::string r(keyword);
    for (int i = 0; i < 300; ++i) r += ";" + std::to_string(i % 10);
    return r;
}

WirePlan ReplyShaper::shape(std::string_view requestKeyword, const std::string &reply, FaultConfig &faults)
{
    WirePlan plan;
    if (faults.dropNext > 0) {
        --faults.dropNext;
        plan.dropped = true;
    } else if (faults.dropKeywords.count(std::string(requestKeyword)) || chance(faults.dropRate)) {
        plan.dropped = true;
    }
    if (plan.dropped) {
        plan.note = "dropped";
        return plan;
    }

    std::string body = reply;
    if (faults.refuseKeywords.count(std::string(requestKeyword))) {
        body = "ERR;1";
        addNote(plan.note, "refused");
    }
    if (chance(faults.oversizeRate)) {
        body = oversizeReply(reply.substr(0, reply.find(';')));
        addNote(plan.note, "oversize");
    }
    if (faults.garbleRate > 0) {
        bool garbled = false;
        for (char &c : body) {
            if (chance(faults.garbleRate)) {
                c = printable();
                garbled = true;
            }
        }
        if (garbled) addNote(plan.note, "garbled");
    }
    std::string wire;
    if (chance(faults.strayEndRate)) {
        wire += Eot;
        wire += "\x03";
        addNote(plan.note, "stray end");
    }
    if (chance(faults.noiseRate)) {
        for (int i = 0; i < std::max(faults.noiseLength, 1); ++i) wire += printable();
        addNote(plan.note, "noise");
    }
    if (chance(faults.doubleStartRate)) {
        // A reply that breaks off; the next start character begins it anew.
        wire += Stx;
        wire += body.substr(0, 1 + static_cast<std::size_t>(below(static_cast<int>(body.size()))));
        addNote(plan.note, "double start");
    }
    wire += Stx + body + Eot;

    std::vector<std::size_t> cuts;  // positions where a new write begins
    std::vector<std::chrono::microseconds> pauses;
    if (chance(faults.stallRate) && wire.size() > 1) {
        cuts.push_back(wire.size() / 2);
        pauses.emplace_back(std::chrono::milliseconds(std::max(faults.stallMs, 0)));
        addNote(plan.note, "stall");
    } else if (chance(faults.splitRate) && wire.size() > 1) {
        const int count = 1 + below(std::min<int>(3, static_cast<int>(wire.size()) - 1));
        for (int i = 0; i < count; ++i) cuts.push_back(1 + static_cast<std::size_t>(below(static_cast<int>(wire.size()) - 1)));
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        pauses.assign(cuts.size(), std::chrono::milliseconds(std::max(faults.splitGapMs, 0)));
        addNote(plan.note, "split");
    }
    std::size_t from = 0;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
        const std::size_t to = i < cuts.size() ? cuts[i] : wire.size();
        plan.pieces.push_back({wire.substr(from, to - from), i == 0 ? std::chrono::microseconds{0} : pauses[i - 1]});
        from = to;
    }
    return plan;
}

}  // namespace sim
