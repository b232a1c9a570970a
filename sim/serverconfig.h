#pragma once
// How the simulated drive is served on its pseudo-terminal.

#include "faultconfig.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace sim {

struct ServerConfig {
    std::uint64_t seed = 1;
    std::string nvPath;          // file that keeps the non-volatile memory; empty: memory only
    std::string linkPath;        // a symbolic link to the pseudo-terminal, kept while it exists
    bool paced = true;           // characters take the time of the line in both directions
    // A paced reply reaches the program in one piece when its last character
    // has arrived, as a USB serial adapter hands it over, rather than a
    // character at a time.
    bool wholeReplies = false;
    int bitsPerSecond = 9600;
    int bitsPerCharacter = 10;   // start bit, 8 data bits, stop bit
    std::chrono::microseconds responseDelay{0};  // between the end of a request and its reply
    std::string transcriptPath;  // a file of every request and reply; empty: none
    bool transcriptInMemory = true;
    FaultConfig faults;
    // The drive's time; by default the steady clock since the server started.
    std::function<std::chrono::microseconds()> modelClock;
    // A test's own answers, on the server's thread. answerFirst sees each
    // request before the drive does: an answer it gives is the reply, and the
    // drive never handles the request ("ERR;3" for "W;3..." leaves the drive
    // as it was). rewriteReply may then change the drive's own reply (a
    // garbled value). Both before the faults above.
    std::function<std::optional<std::string>(const std::string &request)> answerFirst;
    std::function<void(const std::string &request, std::string &reply)> rewriteReply;

    std::chrono::nanoseconds characterTime() const
    {
        return std::chrono::nanoseconds(1'000'000'000LL * bitsPerCharacter / (bitsPerSecond > 0 ? bitsPerSecond : 9600));
    }
};

}  // namespace sim
