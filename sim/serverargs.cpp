#include "serverargs.h"

#include <charconv>
#include <cstdlib>

namespace sim {

namespace {

template <class T>
bool number(const std::string &text, T &out)
{
    const char *end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && p == end;
}

bool rate(const std::string &text, double &out)
{
    char *end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !(v >= 0 && v <= 1)) return false;
    out = v;
    return true;
}

}  // namespace

const char *ServerArgsHelp()
{
    return "  --link=PATH          make PATH a symbolic link to the pseudo-terminal\n"
           "  --pace / --no-pace   take 1.04 ms a character as at 9600 bit/s (default) or answer at once\n"
           "  --whole-replies      paced, but hand each reply over in one piece when its last character is in\n"
           "  --delay=MS           wait this long before each reply\n"
           "  --seed=N             seed of everything random (default 1)\n"
           "  --nv-file=PATH       keep the drive's non-volatile memory in this file\n"
           "  --transcript=PATH    write every request and reply with its time to this file\n"
           "  --drop=KW[,KW...]    never answer requests with these keywords\n"
           "  --refuse=KW[,KW...]  answer requests with these keywords \"ERR;1\"\n"
           "  --drop-rate=P        leave a reply out with probability P\n"
           "  --garble=P           replace each reply character with probability P\n"
           "  --noise=P            send noise before a reply with probability P (--noise-length=N)\n"
           "  --split=P            write a reply in pieces with probability P (--split-gap=MS)\n"
           "  --stall=P            stop a reply halfway with probability P (--stall-ms=MS)\n"
           "  --double-start=P     break a reply off and start it again with probability P\n"
           "  --stray-end=P        send end characters outside a reply with probability P\n"
           "  --oversize=P         send a reply of 300 fields instead with probability P\n";
}

ServerArgs ParseServerArgs(const std::vector<std::string> &args)
{
    ServerArgs out;
    ServerConfig &c = out.config;
    FaultConfig &f = c.faults;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            hasValue = true;
        }
        auto take = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return hasValue = true;
        };
        auto bad = [&] {
            out.error = "cannot use " + name + (hasValue ? "=" + value : std::string()) + "; options are:\n" +
                        ServerArgsHelp();
            return out;
        };
        if (name == "--help" || name == "-h" || name == "--help-all") {
            out.help = true;
        } else if (name == "--version" || name == "-v") {
            out.version = true;
        } else if (name == "--pace" && !hasValue) {
            c.paced = true;
        } else if (name == "--no-pace" && !hasValue) {
            c.paced = false;
        } else if (name == "--whole-replies" && !hasValue) {
            c.wholeReplies = true;
        } else if (name == "--link") {
            if (!take() || value.empty()) return bad();
            c.linkPath = value;
        } else if (name == "--nv-file") {
            if (!take() || value.empty()) return bad();
            c.nvPath = value;
        } else if (name == "--transcript") {
            if (!take() || value.empty()) return bad();
            c.transcriptPath = value;
        } else if (name == "--seed") {
            if (!take() || !number(value, c.seed)) return bad();
        } else if (name == "--delay") {
            unsigned ms = 0;
            if (!take() || !number(value, ms)) return bad();
            c.responseDelay = std::chrono::milliseconds(ms);
        } else if (name == "--drop" || name == "--refuse") {
            if (!take()) return bad();
            std::set<std::string> &keywords = name == "--drop" ? f.dropKeywords : f.refuseKeywords;
            std::size_t from = 0;
            while (from <= value.size()) {
                const std::size_t comma = std::min(value.find(',', from), value.size());
                if (comma > from) keywords.insert(value.substr(from, comma - from));
                from = comma + 1;
            }
        } else if (name == "--noise-length" || name == "--split-gap" || name == "--stall-ms") {
            int n = 0;
            if (!take() || !number(value, n) || n < 0 || n > 1'000'000) return bad();
            (name == "--noise-length" ? f.noiseLength : name == "--split-gap" ? f.splitGapMs : f.stallMs) = n;
        } else {
            double *target = name == "--drop-rate"      ? &f.dropRate
                             : name == "--garble"       ? &f.garbleRate
                             : name == "--noise"        ? &f.noiseRate
                             : name == "--split"        ? &f.splitRate
                             : name == "--stall"        ? &f.stallRate
                             : name == "--double-start" ? &f.doubleStartRate
                             : name == "--stray-end"    ? &f.strayEndRate
                             : name == "--oversize"     ? &f.oversizeRate
                                                        : nullptr;
            if (!target || !take() || !rate(value, *target)) return bad();
        }
    }
    return out;
}

}  // namespace sim
