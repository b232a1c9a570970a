// orvex-drive-sim: a simulated Tavix-DRIVE on a pseudo-terminal.
//
// Prints the device to open, serves until SIGINT or SIGTERM (or "quit" on
// standard input), and power-cycles the drive on SIGUSR1. Standard input
// takes these commands, one a line:
//   power          power off and on
//   alarm N        raise alarm N (0..12)
//   vanish MS      the pseudo-terminal goes away for MS milliseconds
//   flood N        N characters without an end character
//   drop N         leave out the next N replies
//   quit           stop

#include "sim/ptyserver.h"
#include "sim/serverargs.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <sys/signalfd.h>
#include <unistd.h>

using sim::FaultConfig;
using sim::PtyServer;
using sim::ServerArgs;

#ifndef ORVEX_VERSION
#define ORVEX_VERSION "0"
#endif

namespace {

// One line of standard input; false to stop.
bool command(PtyServer &server, const std::string &line)
{
    std::istringstream words(line);
    std::string what;
    long long n = 0;
    words >> what;
    const bool hasNumber = static_cast<bool>(words >> n);
    if (what.empty()) return true;
    if (what == "quit" || what == "exit") return false;
    if (what == "power") {
        server.powerCycle();
    } else if (what == "alarm" && hasNumber && n >= 0 && n <= 12) {
        server.raiseAlarm(static_cast<int>(n));
    } else if (what == "vanish" && hasNumber && n > 0) {
        server.vanish(std::chrono::milliseconds(n));
    } else if (what == "flood" && hasNumber && n > 0 && n <= 100'000'000) {
        server.flood(static_cast<std::size_t>(n));
    } else if (what == "drop" && hasNumber && n > 0 && n <= 1'000'000) {
        FaultConfig f = server.faults();
        f.dropNext += static_cast<int>(n);
        server.setFaults(f);
    } else {
        std::cerr << "orvex-drive-sim: unknown command \"" << line
                  << "\" (power, alarm N, vanish MS, flood N, drop N, quit)\n";
    }
    return true;
}

}  // namespace

int main(int argc, char *argv[])
{
    const ServerArgs args = sim::ParseServerArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (!args.error.empty()) {
        std::fprintf(stderr, "orvex-drive-sim: %s", args.error.c_str());
        return 2;
    }
    if (args.help) {
        std::printf("Usage: orvex-drive-sim [options]\n%s"
                    "  -h, --help           show these options and exit (--help-all too)\n"
                    "  -v, --version        show the version and exit\n",
                    sim::ServerArgsHelp());
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (args.version) {
        std::printf("orvex-drive-sim %s\n", ORVEX_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    // The signals are taken as events of the control loop, not as handlers.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // before the server's thread starts
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

    PtyServer server(args.config);
    server.onOpened = [&args](const std::string &path) {
        std::printf("%s%s%s\n", path.c_str(), args.config.linkPath.empty() ? "" : " -> ",
                    args.config.linkPath.c_str());
        std::fflush(stdout);
    };
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "orvex-drive-sim: %s\n", error.c_str());
        return 1;
    }

    bool stdinOpen = true;
    std::string pending;
    for (bool go = true; go;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (::poll(fds, stdinOpen ? 2 : 1, -1) < 0) continue;
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info {};
            if (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (info.ssi_signo == SIGUSR1) server.powerCycle();
                else go = false;
            }
        }
        if (stdinOpen && (fds[1].revents & (POLLIN | POLLHUP))) {
            char buffer[512];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                stdinOpen = false;  // no more commands; serve on
                continue;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t nl; go && (nl = pending.find('\n')) != std::string::npos;) {
                go = command(server, pending.substr(0, nl));
                pending.erase(0, nl + 1);
            }
            if (pending.size() > 4096) pending.clear();
        }
    }
    server.stop();
    return 0;
}
