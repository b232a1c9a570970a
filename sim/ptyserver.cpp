#include "ptyserver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace sim {

namespace {

using namespace std::chrono_literals;

constexpr char Stx = '\x02';
constexpr char Eot = '\x04';
constexpr char Etx = '\x03';
// A request grows no longer than this; longer text is dropped as noise.
constexpr std::size_t MaxRequestLength = 4096;

void setFlags(int fd, bool nonBlocking)
{
    if (nonBlocking) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

std::string systemError(const char *what) { return std::string(what) + ": " + std::strerror(errno); }

// The line as the server opens it and as every client finds it: raw (no echo,
// no line editing, no character translated, as a serial line), 8 bits,
// 9600 bit/s. Set whole, so that nothing a client set stays, such as CLOCAL,
// IGNPAR, INPCK, HUPCL, CMSPAR or VMIN 0.
void setLine(int slave)
{
    termios tio {};
    ::tcgetattr(slave, &tio);  // the control characters
    tio.c_iflag = 0;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cflag = CS8 | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(slave, TCSANOW, &tio);
}

std::string keywordOf(const std::string &text) { return text.substr(0, text.find(';')); }

}  // namespace

PtyServer::PtyServer(ServerConfig config)
    : m_config(std::move(config)),
      m_model(m_config.seed, m_config.nvPath),
      m_shaper(m_config.seed ^ 0x5EEDFA17ULL),
      m_transcript(std::make_unique<Transcript>(m_config.transcriptPath, m_config.transcriptInMemory)),
      m_started(Clock::now())
{
}

PtyServer::~PtyServer()
{
    stop();
    closePty();
    if (m_wakeRead >= 0) ::close(m_wakeRead);
    if (m_wakeWrite >= 0) ::close(m_wakeWrite);
}

bool PtyServer::open(std::string *error)
{
    if (m_master >= 0) return true;
    if (m_wakeRead < 0) {
        int fds[2];
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
            if (error) *error = systemError("pipe");
            return false;
        }
        m_wakeRead = fds[0];
        m_wakeWrite = fds[1];
    }
    return openPty(error);
}

bool PtyServer::openPty(std::string *error)
{
    if (!m_config.linkPath.empty()) {
        // Only a link of our own kind may be replaced, never a file.
        struct stat st {};
        if (::lstat(m_config.linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
            if (error) *error = m_config.linkPath + " exists and is not a symbolic link";
            return false;
        }
    }
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        if (error) *error = systemError("openpty");
        return false;
    }
    setLine(slave);
    setFlags(master, true);
    setFlags(slave, false);
    char name[256] = {};
    if (::ttyname_r(slave, name, sizeof name) != 0) {
        if (error) *error = systemError("ttyname");
        ::close(master);
        ::close(slave);
        return false;
    }
    // Every open and close of the pseudo-terminal by a client, a killed one's
    // too, shows here (the server's own open came before).
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0 || ::inotify_add_watch(watch, name, IN_OPEN | IN_CLOSE) < 0) {
        if (error) *error = systemError("inotify");
        if (watch >= 0) ::close(watch);
        ::close(master);
        ::close(slave);
        return false;
    }
    if (!m_config.linkPath.empty()) {
        ::unlink(m_config.linkPath.c_str());
        if (::symlink(name, m_config.linkPath.c_str()) != 0) {
            if (error) *error = systemError(("symlink " + m_config.linkPath).c_str());
            ::close(watch);
            ::close(master);
            ::close(slave);
            return false;
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_master = master;
        // The server keeps the slave open too, so the line stays usable while
        // the program closes and reopens it.
        m_slave = slave;
        m_slavePath = name;
        m_watch = watch;
        m_clients = 0;
    }
    if (onOpened) onOpened(name);
    return true;
}

void PtyServer::closePty()
{
    std::lock_guard lock(m_mutex);
    if (m_master >= 0) ::close(m_master);
    if (m_slave >= 0) ::close(m_slave);
    if (m_watch >= 0) ::close(m_watch);
    m_master = m_slave = m_watch = -1;
    if (!m_config.linkPath.empty()) {
        struct stat st {};
        if (::lstat(m_config.linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(m_config.linkPath.c_str());
    }
}

std::string PtyServer::devicePath() const
{
    if (!m_config.linkPath.empty()) return m_config.linkPath;
    return slavePath();
}

std::string PtyServer::slavePath() const
{
    std::lock_guard lock(m_mutex);
    return m_slavePath;
}

bool PtyServer::start(std::string *error)
{
    if (m_thread.joinable()) return true;
    if (!open(error)) return false;
    m_stop = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

bool PtyServer::run(std::string *error)
{
    if (!open(error)) return false;
    m_running = true;
    serve();
    m_running = false;
    closePty();
    return true;
}

void PtyServer::stop()
{
    m_stop = true;
    wake();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

void PtyServer::wake()
{
    if (m_wakeWrite >= 0) {
        const char c = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wakeWrite, &c, 1);
    }
}

// --- controls from any thread --------------------------------------------------------

void PtyServer::powerCycle()
{
    {
        std::lock_guard lock(m_mutex);
        m_model.powerCycle();
        m_dropQueue = true;
    }
    wake();
}

void PtyServer::raiseAlarm(int bit)
{
    std::lock_guard lock(m_mutex);
    m_model.advanceTo(modelTime());
    m_model.raiseAlarm(bit);
}

FaultConfig PtyServer::faults() const
{
    std::lock_guard lock(m_mutex);
    return m_config.faults;
}

void PtyServer::setFaults(const FaultConfig &faults)
{
    std::lock_guard lock(m_mutex);
    m_config.faults = faults;
}

void PtyServer::setResponseDelay(std::chrono::microseconds delay)
{
    std::lock_guard lock(m_mutex);
    m_config.responseDelay = delay;
}

void PtyServer::setPaced(bool paced)
{
    std::lock_guard lock(m_mutex);
    m_config.paced = paced;
}

void PtyServer::flood(std::size_t bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_floodBytes += bytes;
    }
    wake();
}

void PtyServer::vanish(std::chrono::milliseconds for_)
{
    {
        std::lock_guard lock(m_mutex);
        m_vanishFor = std::max(for_, 1ms);
    }
    wake();
}

// --- the loop -------------------------------------------------------------------------

double PtyServer::seconds(Clock::time_point t) const { return std::chrono::duration<double>(t - m_started).count(); }

std::chrono::microseconds PtyServer::modelTime() const
{
    if (m_config.modelClock) return m_config.modelClock();
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_started);
}

void PtyServer::applyControls(Clock::time_point now)
{
    std::size_t flood = 0;
    std::chrono::milliseconds vanishFor{0};
    bool dropQueue = false;
    {
        std::lock_guard lock(m_mutex);
        std::swap(flood, m_floodBytes);
        std::swap(vanishFor, m_vanishFor);
        std::swap(dropQueue, m_dropQueue);
    }
    if (dropQueue) {
        // The drive restarted: what it was hearing or saying is gone.
        m_requests.clear();
        m_output.clear();
        m_inRequest = false;
        m_replyPending = false;
        m_transcript->add(TranscriptEntry::Kind::Event, seconds(now), "power cycle");
    }
    if (flood > 0 && m_master >= 0) {
        static constexpr char Pattern[] = "0123456789ABCDEF;";
        std::string bytes(flood, ' ');
        for (std::size_t i = 0; i < flood; ++i) bytes[i] = Pattern[i % (sizeof Pattern - 1)];
        m_output.push_back({std::move(bytes), now});
        m_transcript->add(TranscriptEntry::Kind::Event, seconds(now), "flood of " + std::to_string(flood) + " characters");
    }
    if (vanishFor.count() > 0 && !m_vanished) {
        closePty();
        m_requests.clear();
        m_output.clear();
        m_inRequest = false;
        m_replyPending = false;
        m_vanished = true;
        m_backAt = now + vanishFor;
        m_transcript->add(TranscriptEntry::Kind::Event, seconds(now), "pseudo-terminal gone");
    }
}

void PtyServer::takeCharacter(char c, Clock::time_point arrived)
{
    if (c == Stx) {
        m_inRequest = true;
        m_requestText.clear();
        return;
    }
    if (!m_inRequest) return;  // noise between requests
    if (c == Eot || c == Etx) {
        m_inRequest = false;
        m_requests.push_back({m_requestText, arrived});
        return;
    }
    if (m_requestText.size() >= MaxRequestLength) {
        m_inRequest = false;
        m_transcript->add(TranscriptEntry::Kind::Event, seconds(arrived), "request too long, dropped");
        return;
    }
    m_requestText += c;
}

void PtyServer::readLine(Clock::time_point now)
{
    char buffer[4096];
    bool paced;
    std::chrono::nanoseconds characterTime;
    {
        std::lock_guard lock(m_mutex);
        paced = m_config.paced;
        characterTime = m_config.characterTime();
    }
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            // On a real line each character takes its time to arrive.
            Clock::time_point arrived = now;
            if (paced) {
                m_receiveFree = std::max(m_receiveFree, now) + characterTime;
                arrived = m_receiveFree;
            }
            takeCharacter(buffer[i], arrived);
        }
    }
}

void PtyServer::answer(const Request &request, Clock::time_point now)
{
    std::optional<std::string> reply;
    WirePlan plan;
    bool paced;
    bool whole;
    std::chrono::nanoseconds characterTime;
    std::chrono::microseconds delay;
    {
        std::lock_guard lock(m_mutex);
        m_model.advanceTo(modelTime());
        if (m_config.answerFirst) reply = m_config.answerFirst(request.text);
        if (!reply) {
            reply = m_model.handle(request.text);
            if (reply && m_config.rewriteReply) m_config.rewriteReply(request.text, *reply);
        }
        if (reply) plan = m_shaper.shape(keywordOf(request.text), *reply, m_config.faults);
        paced = m_config.paced;
        whole = m_config.wholeReplies;
        characterTime = m_config.characterTime();
        delay = m_config.responseDelay;
    }
    m_transcript->add(TranscriptEntry::Kind::Request, seconds(request.complete), request.text);
    if (!reply) {
        m_transcript->add(TranscriptEntry::Kind::Event, seconds(now), "no answer to " + request.text);
        return;
    }
    if (plan.dropped) {
        m_transcript->add(TranscriptEntry::Kind::Reply, seconds(now), *reply, {}, plan.note);
        return;
    }
    // On a paced line the reply starts when the request's last character has
    // arrived, however late this loop woke to answer it; characters already
    // due go out at once.
    Clock::time_point t = (paced ? request.complete : std::max(now, request.complete)) + delay;
    for (const WirePiece &piece : plan.pieces) {
        t += piece.pauseBefore;
        if (!paced) {
            m_output.push_back({piece.bytes, t});
            continue;
        }
        // A character is there once its last bit is.
        if (whole) {
            t += characterTime * static_cast<long>(piece.bytes.size());
            m_output.push_back({piece.bytes, t});
            continue;
        }
        for (char c : piece.bytes) {
            t += characterTime;
            m_output.push_back({std::string(1, c), t});
        }
    }
    m_output.back().endsReply = true;
    m_replyDone = t;
    m_replyPending = true;
    m_pendingReply = TranscriptEntry{};
    m_pendingReply.text = *reply;
    m_pendingReply.wire = plan.bytes();
    m_pendingReply.note = plan.note;
}

void PtyServer::watchClients(Clock::time_point now)
{
    alignas(inotify_event) char buffer[4096];
    bool closed = false;
    ssize_t n;
    while ((n = ::read(m_watch, buffer, sizeof buffer)) > 0) {
        for (ssize_t i = 0; i < n;) {
            const auto *e = reinterpret_cast<const inotify_event *>(buffer + i);
            if (e->mask & IN_OPEN) ++m_clients;
            if (e->mask & IN_CLOSE) {
                m_clients = std::max(m_clients - 1, 0);
                closed = true;
            }
            i += static_cast<ssize_t>(sizeof *e + e->len);
        }
    }
    if (!closed || m_clients > 0) return;
    // The last client has gone, and the server's descriptor keeps what it
    // left: one that was killed could not undo its settings (asked for again,
    // they change nothing, since a pseudo-terminal keeps no parity, and
    // tcsetattr fails with EINVAL), its exclusive mode (the next open but
    // root's fails with EBUSY) or a suspended output. A serial port opens as
    // first set up, without what arrived while it was closed.
    setLine(m_slave);
    ::ioctl(m_slave, TIOCNXCL);
    ::tcflow(m_slave, TCOON);
    ::tcflush(m_slave, TCIFLUSH);
    m_transcript->add(TranscriptEntry::Kind::Event, seconds(now), "pseudo-terminal let go, set up afresh");
}

bool PtyServer::writeDue(Clock::time_point now)
{
    while (!m_output.empty() && m_output.front().notBefore <= now) {
        if (m_master < 0) {
            m_output.clear();
            break;
        }
        Output &o = m_output.front();
        if (o.endsReply) {
            // Written down before its end leaves, so that whoever has read
            // the reply finds it in the transcript.
            o.endsReply = false;
            m_replyPending = false;
            m_transcript->add(TranscriptEntry::Kind::Reply, seconds(m_replyDone), m_pendingReply.text,
                              m_pendingReply.wire, m_pendingReply.note);
        }
        const ssize_t n = ::write(m_master, o.bytes.data(), o.bytes.size());
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) return true;  // the line is full
            m_output.clear();
            break;
        }
        if (static_cast<std::size_t>(n) < o.bytes.size()) {
            o.bytes.erase(0, static_cast<std::size_t>(n));
            return true;
        }
        m_output.pop_front();
    }
    return false;
}

void PtyServer::serve()
{
#ifdef __linux__
    // Wake at the character times asked for, not up to 50 µs later: the
    // default slack would stretch every paced exchange.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    while (!m_stop) {
        Clock::time_point now = Clock::now();
        applyControls(now);
        if (m_vanished && now >= m_backAt) {
            std::string error;
            if (openPty(&error)) {
                m_vanished = false;
                m_transcript->add(TranscriptEntry::Kind::Event, seconds(now), "pseudo-terminal back at " + slavePath());
            } else {
                m_backAt = now + 100ms;  // try again shortly
            }
        }
        const bool blocked = writeDue(now);
        if (!m_replyPending && m_output.empty() && !m_requests.empty() && m_requests.front().complete <= now) {
            const Request request = m_requests.front();
            m_requests.pop_front();
            answer(request, now);
            continue;
        }

        Clock::time_point deadline = now + 100ms;
        if (!m_output.empty() && !blocked) deadline = std::min(deadline, m_output.front().notBefore);
        if (!m_replyPending && m_output.empty() && !m_requests.empty())
            deadline = std::min(deadline, m_requests.front().complete);
        if (m_vanished) deadline = std::min(deadline, m_backAt);

        pollfd fds[3] = {{m_wakeRead, POLLIN, 0},
                         {m_master, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0},
                         {m_watch, POLLIN, 0}};
        const auto wait = std::max(deadline - now, Clock::duration::zero());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
        const timespec timeout{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        const int ready = ::ppoll(fds, m_master >= 0 ? 3 : 1, &timeout, nullptr);
        if (ready <= 0) continue;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(m_wakeRead, drain, sizeof drain) > 0) {
            }
        }
        if (m_master >= 0 && (fds[1].revents & POLLIN)) readLine(Clock::now());
        if (m_master >= 0 && (fds[2].revents & POLLIN)) watchClients(Clock::now());
    }
}

}  // namespace sim
