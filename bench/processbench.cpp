#include "processbench.h"

#include "benchreport.h"
#include "benchstats.h"

#include "sim/ptyserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

double FirstWriteAfterStart(const std::function<void(QProcess &, const QString &, const QString &)> &start,
                            const QByteArray &until)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) return -1;
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    QTemporaryDir cwd;
    QProcess p;
    const double t0 = Seconds();
    start(p, cwd.path(), QString::fromLocal8Bit(name));
    QByteArray seen;
    double t1 = -1;
    while (Seconds() - t0 < 10) {
        pollfd fd{master, POLLIN, 0};
        if (::poll(&fd, 1, 50) <= 0) continue;
        char chunk[256];
        const ssize_t n = ::read(master, chunk, sizeof chunk);
        if (n <= 0) continue;
        seen.append(chunk, n);
        if (until.isEmpty() || seen.contains(until)) {
            t1 = Seconds();
            break;
        }
    }
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(5000);
    }
    ::close(master);
    ::close(slave);
    return t1 < 0 ? -1 : t1 - t0;
}

namespace {

using namespace std::chrono_literals;

// With repliesWhole, the program runs with "Take Replies Whole (Less CPU)"
// on, from a settings file of its own in workDir.
void startProgram(QProcess &p, const QString &binary, const QString &workDir, const QString &device,
                  bool repliesWhole = false)
{
    p.setWorkingDirectory(workDir);  // no port file there: port 1, online
    if (repliesWhole) {
        const QString config = QDir(workDir).filePath(QStringLiteral("whole-replies-config"));
        QSettings(QDir(config).filePath(QStringLiteral("orvex/orvex.conf")), QSettings::IniFormat)
            .setValue(QStringLiteral("options/takeRepliesWhole"), true);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        p.setProcessEnvironment(env);
    }
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(binary, {QStringLiteral("--port"), QStringLiteral("1=") + device});
}

void endProgram(QProcess &p)
{
    if (p.state() == QProcess::NotRunning) return;
    p.kill();
    p.waitForFinished(5000);
}

double startUpOnce(const QString &binary)
{
    return FirstWriteAfterStart(
        [&binary](QProcess &p, const QString &workDir, const QString &device) {
            startProgram(p, binary, workDir, device);
        },
        QByteArrayLiteral("\x02S\x04"));
}

// CPU time of every thread of a process, in seconds, from the scheduler's
// nanosecond account; and the coarser tick count of /proc/PID/stat.
double processCpuSeconds(qint64 pid, int *threads = nullptr)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    double total = 0;
    int n = 0;
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks.filePath(tid + QStringLiteral("/schedstat")));
        if (!f.open(QIODevice::ReadOnly)) continue;
        total += f.readAll().split(' ').value(0).toDouble() * 1e-9;
        ++n;
    }
    if (threads) *threads = n;
    return total;
}

// User and system time of a process from /proc/PID/stat, in seconds (ticks).
struct UserSystem {
    double user = 0;
    double system = 0;
};
UserSystem processTicks(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray all = f.readAll();
    // The fields after the command name, which is in parentheses.
    const QList<QByteArray> fields = all.mid(all.lastIndexOf(')') + 2).split(' ');
    const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
    return {fields.value(11).toDouble() / tick, fields.value(12).toDouble() / tick};
}

// A number of /proc/PID/status ("VmRSS" in kB, "voluntary_ctxt_switches"),
// or of /proc/PID/task/TID/status when a thread is given.
double statusKb(qint64 pid, const QByteArray &key, qint64 tid = 0)
{
    QFile f(tid ? QStringLiteral("/proc/%1/task/%2/status").arg(pid).arg(tid) : QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key + ':')) return line.mid(key.size() + 1).trimmed().split(' ').value(0).toDouble();
    return 0;
}

// The least any program must spend to keep this line busy: a bare reader
// that wakes for each character as the line delivers it, and at each end
// character writes the next request ("S" and "IO" in turn). Nothing is
// decoded or shown.
struct FloorResult {
    bool ok = false;
    double cpu = 0;
    double wall = 0;
    long wakes = 0;
    long exchanges = 0;
};
FloorResult floorReader(const std::string &device, double warmUp, double seconds)
{
    FloorResult r;
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return r;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    const char *requests[] = {"\x02S\x04", "\x02IO\x04"};
    int next = 0;
    auto send = [&] {
        [[maybe_unused]] const ssize_t n = ::write(fd, requests[next], std::strlen(requests[next]));
        next ^= 1;
    };
    send();
    const double start = Seconds();
    double c0 = 0, t0 = 0;
    bool timing = false;
    bool inReply = false;
    for (;;) {
        const double now = Seconds();
        if (!timing && now - start >= warmUp) {
            timing = true;
            c0 = ThreadCpuSeconds();
            t0 = now;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (timing) ++r.wakes;
        bool ended = false;
        for (ssize_t i = 0; i < n; ++i) {
            if (buf[i] == '\x02') inReply = true;
            else if ((buf[i] == '\x04' || buf[i] == '\x03') && inReply) {
                inReply = false;
                ended = true;
            }
        }
        if (!ended) continue;
        if (timing) ++r.exchanges;
        if (timing && Seconds() - t0 >= seconds) break;
        send();
    }
    r.cpu = ThreadCpuSeconds() - c0;
    r.wall = Seconds() - t0;
    r.ok = true;
    ::close(fd);
    return r;
}

// Starts the program on the drive's line and measures its CPU (and memory)
// while it polls; false when it did not poll or did not live to the end.
bool measureProgramPolling(BenchReport &report, const ProcessOptions &o, const QString &dir, sim::PtyServer &drive,
                           const QString &label, bool withMemory, double *shareOut = nullptr, bool repliesWhole = false)
{
    QProcess p;
    startProgram(p, o.binary, dir, QString::fromStdString(drive.devicePath()), repliesWhole);
    if (!p.waitForStarted(10000) || !drive.transcript().waitBeyond(4, 10000ms)) {
        report.add({QStringLiteral("program"), QStringLiteral("did not start polling"), QStringLiteral("runs"), false, {}});
        endProgram(p);
        return false;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(o.warmUpSeconds));
    const qint64 pid = p.processId();
    const Load before = ReadLoad();
    const double c0 = processCpuSeconds(pid);
    const UserSystem k0 = processTicks(pid);
    const double w0 = statusKb(pid, "voluntary_ctxt_switches", pid);
    const std::uint64_t n0 = drive.transcript().count();
    const double t0 = Seconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(o.cpuSeconds));
    int threads = 0;
    const double cpu = processCpuSeconds(pid, &threads) - c0;
    const UserSystem k1 = processTicks(pid);
    const double wakes = statusKb(pid, "voluntary_ctxt_switches", pid) - w0;
    const double wall = Seconds() - t0;
    const double exchanges = static_cast<double>(drive.transcript().count() - n0) / 2;
    const double rss = statusKb(pid, "VmRSS");
    const double hwm = statusKb(pid, "VmHWM");
    const bool alive = p.state() == QProcess::Running;
    endProgram(p);
    const QString load = LoadText(before, ReadLoad());

    const double share = cpu / wall;
    if (shareOut) *shareOut = alive ? share : -1;
    report.add({label,
                QStringLiteral("%1 % of one core (%2 ms in %3 s, %4 thread(s); user %5 ms, system %6 ms; main "
                               "thread %7 wake-ups/s, %8 µs CPU each; %9 exchanges/s)")
                    .arg(share * 100, 0, 'f', 3)
                    .arg(cpu * 1e3, 0, 'f', 1)
                    .arg(wall, 0, 'f', 1)
                    .arg(threads)
                    .arg((k1.user - k0.user) * 1e3, 0, 'f', 0)
                    .arg((k1.system - k0.system) * 1e3, 0, 'f', 0)
                    .arg(wakes / wall, 0, 'f', 0)
                    .arg(wakes > 0 ? cpu / wakes * 1e6 : 0.0, 0, 'f', 1)
                    .arg(exchanges / wall, 0, 'f', 1),
                QStringLiteral("< 1 %"), alive && share < 0.01, load});
    if (!withMemory) return alive;
    report.add({QStringLiteral("resident memory while polling"),
                QStringLiteral("%1 MB (peak %2 MB)").arg(rss / 1024, 0, 'f', 1).arg(hwm / 1024, 0, 'f', 1),
                QStringLiteral("< 80 MB"), alive && rss > 0 && hwm / 1024 < 80, load});
    return alive;
}

}  // namespace

int RunFloorReader(int argc, char *argv[])
{
    if (argc < 5) return 2;
    const FloorResult r = floorReader(argv[2], std::atof(argv[3]), std::atof(argv[4]));
    if (!r.ok) return 1;
    std::printf("%.6f %.6f %ld %ld\n", r.cpu, r.wall, r.wakes, r.exchanges);
    return 0;
}

void BenchStartUp(BenchReport &report, const ProcessOptions &o)
{
    report.section(QStringLiteral("Start-up"),
                   QStringLiteral("`%1 --port 1=<pty>` started as a process, from the start call to the first "
                                  "request (\"S\") read on the other end of the pseudo-terminal; platform %2. One "
                                  "start first, not counted (it fills the page cache).")
                       .arg(o.binary, qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("(default)"))));
    const Load before = ReadLoad();
    startUpOnce(o.binary);
    std::vector<double> runs;
    int failed = 0;
    for (int i = 0; i < o.startRuns; ++i) {
        const double s = startUpOnce(o.binary);
        if (s < 0) ++failed;
        else runs.push_back(s);
    }
    const Summary s = Summarise(runs);
    QStringList each;
    for (double r : runs) each << QString::number(r * 1e3, 'f', 0);
    report.add({QStringLiteral("start-up to the first request written"),
                QStringLiteral("median %1 ms, min %2 ms, max %3 ms (runs in ms: %4%5)")
                    .arg(s.median * 1e3, 0, 'f', 0)
                    .arg(s.min * 1e3, 0, 'f', 0)
                    .arg(s.max * 1e3, 0, 'f', 0)
                    .arg(each.join(QStringLiteral(", ")))
                    .arg(failed ? QStringLiteral("; %1 failed").arg(failed) : QString()),
                QStringLiteral("< 0.4 s"), failed == 0 && s.count > 0 && s.median < 0.4, LoadText(before, ReadLoad())});
}

void BenchPollingCpuProcess(BenchReport &report, const ProcessOptions &o)
{
    report.section(QStringLiteral("CPU and memory of the program while polling at 9600 bit/s"),
                   QStringLiteral("`%1 --port 1=<pty>` as a process (its default window, the I/O monitor, active: "
                                  "\"S\" and \"IO\"), the simulated drive paced at 9600 bit/s in the benchmark's "
                                  "process. CPU of all the program's threads from /proc/PID/task/*/schedstat over "
                                  "%2 s after %3 s of warm-up.")
                       .arg(o.binary)
                       .arg(o.cpuSeconds)
                       .arg(o.warmUpSeconds));
    QTemporaryDir dir;
    sim::ServerConfig c;
    c.paced = true;
    c.linkPath = QDir(dir.path()).filePath(QStringLiteral("drive")).toStdString();
    sim::PtyServer drive(c);
    std::string why;
    if (!drive.start(&why)) {
        report.add({QStringLiteral("paced drive"), QString::fromStdString(why), QStringLiteral("runs"), false, {}});
        return;
    }
    double floorShare = -1;
    {
        // In a process of its own, as the program is: a switch between
        // processes costs more than one between threads of a process.
        const Load before = ReadLoad();
        QProcess reader;
        reader.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--floor-reader"), QString::fromStdString(drive.devicePath()),
                      QString::number(o.warmUpSeconds), QString::number(o.cpuSeconds)});
        reader.waitForFinished(static_cast<int>((o.warmUpSeconds + o.cpuSeconds) * 1000) + 10000);
        const QList<QByteArray> f = reader.readAllStandardOutput().trimmed().split(' ');
        std::this_thread::sleep_for(200ms);  // the last reply is in; nothing is left on the line
        const double cpu = f.value(0).toDouble(), wall = f.value(1).toDouble(), wakes = f.value(2).toDouble(),
                     exchanges = f.value(3).toDouble();
        if (f.size() == 4 && wall > 0) floorShare = cpu / wall;
        report.add({QStringLiteral("floor: a bare reader process on the same line (no Qt, nothing decoded or shown)"),
                    f.size() == 4 && wall > 0
                        ? QStringLiteral("%1 % of one core (%2 ms in %3 s; %4 wake-ups/s, %5 µs CPU each; %6 "
                                         "exchanges/s)")
                              .arg(cpu / wall * 100, 0, 'f', 3)
                              .arg(cpu * 1e3, 0, 'f', 1)
                              .arg(wall, 0, 'f', 1)
                              .arg(wakes / wall, 0, 'f', 0)
                              .arg(wakes > 0 ? cpu / wakes * 1e6 : 0.0, 0, 'f', 1)
                              .arg(exchanges / wall, 0, 'f', 1)
                        : QStringLiteral("could not run"),
                    {}, true, LoadText(before, ReadLoad())});
    }

    const auto againstFloor = [&](const QString &label, double programShare) {
        if (floorShare <= 0 || programShare < 0) return;
        const double ratio = programShare / floorShare;
        report.add({label,
                    QStringLiteral("%1 (%2 % ÷ %3 %)")
                        .arg(ratio, 0, 'f', 2)
                        .arg(programShare * 100, 0, 'f', 3)
                        .arg(floorShare * 100, 0, 'f', 3),
                    QStringLiteral("≤ 1.2"), ratio <= 1.2, {}});
    };
    double programShare = -1;
    const bool alive = measureProgramPolling(report, o, dir.path(), drive, QStringLiteral("CPU while polling at 9600 bit/s"),
                                             true, &programShare);
    if (!alive) return;
    againstFloor(QStringLiteral("CPU while polling at 9600 bit/s ÷ the bare reader's (this run)"), programShare);
    // The terminal driver collects each reply: one wake-up a reply.
    double wholeShare = -1;
    measureProgramPolling(report, o, dir.path(), drive,
                          QStringLiteral("CPU while polling at 9600 bit/s, \"Take Replies Whole (Less CPU)\" on"), false,
                          &wholeShare, true);
    drive.stop();
    againstFloor(QStringLiteral("… with \"Take Replies Whole (Less CPU)\" on ÷ the bare reader's (this run)"),
                 wholeShare);

    // The same line as most users have it today: the drive behind a USB serial
    // adapter, which hands the program a reply in one piece, not a character
    // at a time.
    sim::ServerConfig whole = c;
    whole.wholeReplies = true;
    whole.linkPath = QDir(dir.path()).filePath(QStringLiteral("drive-usb")).toStdString();
    sim::PtyServer usbDrive(whole);
    if (!usbDrive.start(&why)) {
        report.add({QStringLiteral("paced drive, whole replies"), QString::fromStdString(why), QStringLiteral("runs"),
                    false, {}});
        return;
    }
    measureProgramPolling(report, o, dir.path(), usbDrive,
                          QStringLiteral("CPU while polling at 9600 bit/s, each reply handed over whole (USB serial "
                                         "adapter)"),
                          false);
    usbDrive.stop();
}
