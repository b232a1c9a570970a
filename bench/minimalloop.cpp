#include "minimalloop.h"

#include "drive/link/linkstate.h"

#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

double seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Writes a whole framed request; false when the device failed.
bool writeAll(int fd, const char *p, std::size_t n)
{
    while (n > 0) {
        const ssize_t k = ::write(fd, p, n);
        if (k <= 0) return false;
        p += k;
        n -= static_cast<std::size_t>(k);
    }
    return true;
}

}  // namespace

ThreadUsage ThreadUserSystem()
{
    rusage u{};
    ::getrusage(RUSAGE_THREAD, &u);
    return {static_cast<double>(u.ru_utime.tv_sec) + static_cast<double>(u.ru_utime.tv_usec) * 1e-6,
            static_cast<double>(u.ru_stime.tv_sec) + static_cast<double>(u.ru_stime.tv_usec) * 1e-6};
}

MinimalLoopResult RunMinimalPollLoop(const std::string &device, double warmUp, double measured)
{
    MinimalLoopResult r;
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return r;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &tio);
    ::tcflush(fd, TCIOFLUSH);  // nothing of whoever used the line before

    // Framed as the program frames them: the start character, the text, the end character.
    const char requests[2][5] = {{StxChar, 'S', EotChar}, {StxChar, 'I', 'O', EotChar}};
    const std::size_t lengths[2] = {3, 4};
    int next = 0;
    const double start = seconds();
    double t0 = 0;
    ThreadUsage u0;
    bool timing = false;
    for (;;) {
        if (!timing && seconds() - start >= warmUp) {
            timing = true;
            t0 = seconds();
            u0 = ThreadUserSystem();
        } else if (timing && r.exchanges % 64 == 0 && seconds() - t0 >= measured) {
            break;
        }
        if (!writeAll(fd, requests[next], lengths[next])) break;
        next ^= 1;
        // Read to the reply's end character.
        bool inReply = false, ended = false;
        while (!ended) {
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) {
                ::close(fd);
                return r;
            }
            if (timing) ++r.reads;
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] == StxChar) inReply = true;
                else if (inReply && (buf[i] == EotChar || buf[i] == EtxChar)) ended = true;
            }
        }
        if (timing) ++r.exchanges;
    }
    const ThreadUsage u1 = ThreadUserSystem();
    r.wall = seconds() - t0;
    r.user = u1.user - u0.user;
    r.system = u1.system - u0.system;
    r.ok = r.exchanges > 0;
    ::close(fd);
    return r;
}
