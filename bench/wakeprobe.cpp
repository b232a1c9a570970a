// How much later a reader sees a reply's end when it sleeps through the whole
// reply than when it is woken for every character: no Qt event loop, only a
// pseudo-terminal, a writer thread that writes a 20-character reply a
// character a millisecond (as a drive at 9600 bit/s does), and a reader that
// polls and reads. Set as the port is set with "Take Replies Whole (Less
// CPU)" off and on, in turn, three times each.
//
//   build/bench/orvex-wake-probe [replies]

#include "drive/link/linkstate.h"
#include "drive/link/replyends.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

void probe(bool whole, int replies)
{
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return std::perror("openpty");
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    ::tcsetattr(slave, TCSANOW, &raw);
    if (whole && !SetReplyDelivery(slave, true, EotChar, EtxChar)) std::fputs("cannot take replies whole\n", stderr);

    constexpr int Length = 20;
    std::atomic<Clock::rep> lastWritten{0};
    std::thread drive([&] {
        char reply[Length];
        for (int i = 0; i < Length; ++i) reply[i] = static_cast<char>('A' + i);
        reply[0] = StxChar;
        reply[Length - 1] = EotChar;
        for (int r = 0; r < replies; ++r) {
            for (int i = 0; i < Length; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                if (i == Length - 1) lastWritten = Clock::now().time_since_epoch().count();
                if (::write(master, reply + i, 1) != 1) return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(3));  // the request's time on the line
        }
    });
    std::vector<double> late;
    long wakes = 0;
    char buffer[4096];
    while (static_cast<int>(late.size()) < replies) {
        pollfd p{slave, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) break;
        const Clock::rep woke = Clock::now().time_since_epoch().count();
        const ssize_t n = ::read(slave, buffer, sizeof buffer);
        ++wakes;
        if (n > 0 && buffer[n - 1] == EotChar)
            late.push_back(std::chrono::duration<double, std::micro>(Clock::duration(woke - lastWritten.load())).count());
    }
    drive.join();
    ::close(master);
    ::close(slave);
    if (late.empty()) return;
    std::sort(late.begin(), late.end());
    const auto at = [&](double q) { return late[std::min(late.size() - 1, static_cast<std::size_t>(q * late.size()))]; };
    std::printf("%-22s %5ld wake-ups for %zu replies; last character written -> reader woken: median %.1f us, "
                "p90 %.1f us, p99 %.1f us\n",
                whole ? "replies whole:" : "a character at a time:", wakes, late.size(), at(0.5), at(0.9), at(0.99));
}

}  // namespace

int main(int argc, char *argv[])
{
    const int replies = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    for (int round = 0; round < 3; ++round) {
        probe(false, replies);
        probe(true, replies);
    }
    return 0;
}
