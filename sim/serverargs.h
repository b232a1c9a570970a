#pragma once
// The options of the simulated drive, shared by orvex-drive-sim and by
// "orvex --simulate --sim-arg=...". Each option is "--name=value" or
// "--name value"; a flag stands alone.

#include "serverconfig.h"

#include <string>
#include <vector>

namespace sim {

struct ServerArgs {
    ServerConfig config;
    bool help = false;     // --help, -h, --help-all
    bool version = false;  // --version, -v
    std::string error;  // set when the options cannot be used
};

ServerArgs ParseServerArgs(const std::vector<std::string> &args);
// One line per option.
const char *ServerArgsHelp();

}  // namespace sim
