#include "clibench.h"

#include "processbench.h"

#include "benchreport.h"
#include "benchstats.h"

#include "drive/link/frames.h"
#include "sim/ptyserver.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace {

constexpr int DriveCount = 8;

// Eight simulated drives paced at 9600 bit/s, each on a pseudo-terminal of
// its own and served by a thread of its own, under links drive1 … drive8.
struct PacedDrives {
    QTemporaryDir dir;
    std::vector<std::unique_ptr<sim::PtyServer>> servers;
    QString error;

    PacedDrives()
    {
        for (int i = 1; i <= DriveCount; ++i) {
            sim::ServerConfig c;
            c.paced = true;
            c.seed = static_cast<std::uint64_t>(i);
            c.transcriptInMemory = true;
            c.linkPath = QDir(dir.path()).filePath(QStringLiteral("drive%1").arg(i)).toStdString();
            auto server = std::make_unique<sim::PtyServer>(c);
            std::string why;
            if (!server->start(&why)) {
                error = QString::fromStdString(why);
                return;
            }
            servers.push_back(std::move(server));
        }
    }
    ~PacedDrives()
    {
        for (auto &s : servers) s->stop();
    }
    QStringList portOptions(int count) const
    {
        QStringList out;
        for (int i = 0; i < count; ++i)
            out << QStringLiteral("--port") << QString::fromStdString(servers[static_cast<std::size_t>(i)]->devicePath());
        return out;
    }
};

// Runs the tool to its end: seconds from the start call to its exit, -1 (and
// the reason) when it failed or took longer than two minutes.
double runTool(const QString &binary, const QStringList &args, const QString &workDir, QString *why)
{
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    const double t0 = Seconds();
    p.start(binary, args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished(5000);
        *why = QStringLiteral("did not end within 2 minutes");
        return -1;
    }
    const double t1 = Seconds();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *why = QStringLiteral("exit %1: %2").arg(p.exitCode()).arg(QString::fromLocal8Bit(p.readAll()).simplified().left(200));
        return -1;
    }
    return t1 - t0;
}

// The drive's transcript as the exchanges of the link efficiency figures: a
// request is taken as written when the drive began to read it (its last
// character arrived at the line rate after the others), a reply as ended
// when the drive wrote its last character.
std::vector<Exchange> exchangesOf(const std::vector<sim::TranscriptEntry> &entries, double characterSeconds)
{
    std::vector<Exchange> log;
    for (const sim::TranscriptEntry &e : entries) {
        if (e.kind == sim::TranscriptEntry::Kind::Request) {
            Exchange x;
            x.request = FrameCmd(QByteArray::fromStdString(e.text));
            x.written = e.seconds - static_cast<double>(x.request.size()) * characterSeconds;
            log.push_back(std::move(x));
        } else if (e.kind == sim::TranscriptEntry::Kind::Reply && !e.wire.empty() && !log.empty() && log.back().ended < 0) {
            Exchange &x = log.back();
            x.ended = e.seconds;
            x.replyChars = static_cast<int>(e.wire.size());
            x.keyword = QString::fromStdString(e.text).section(QLatin1Char(';'), 0, 0);
        }
    }
    return log;
}

QString msList(const std::vector<double> &seconds)
{
    QStringList each;
    for (double s : seconds) each << QString::number(s * 1e3, 'f', 0);
    return each.join(QStringLiteral(", "));
}

// Seconds from starting the tool to the first byte read at the drive's end of
// a pseudo-terminal; -1 when none came within 10 s.
double firstRequestOnce(const QString &binary)
{
    return FirstWriteAfterStart(
        [&binary](QProcess &p, const QString &workDir, const QString &device) {
            p.setWorkingDirectory(workDir);
            p.setStandardOutputFile(QProcess::nullDevice());
            p.setStandardErrorFile(QProcess::nullDevice());
            p.start(binary, {QStringLiteral("status"), QStringLiteral("--port"), device});
        },
        {});
}

}  // namespace

void BenchCli(BenchReport &report, const CliOptions &o)
{
    const sim::ServerConfig line;
    const double characterSeconds = std::chrono::duration<double>(line.characterTime()).count();
    report.section(QStringLiteral("The command-line tool against drives paced at 9600 bit/s"),
                   QStringLiteral("`%1` as a process. Eight simulated drives in the benchmark's process, each on a "
                                  "pseudo-terminal of its own and served by a thread of its own, paced at the line "
                                  "rate (%2 ms a character, both directions). One drive and eight drives take turns "
                                  "(%3 runs of each), the order swapped every run; wall time from the start call to "
                                  "the exit, median of the runs.")
                       .arg(o.binary)
                       .arg(characterSeconds * 1e3, 0, 'f', 4)
                       .arg(o.readRuns));
    PacedDrives drives;
    if (!drives.error.isEmpty()) {
        report.add({QStringLiteral("paced drives"), drives.error, QStringLiteral("run"), false, {}});
        return;
    }

    // ---- eight drives at once against one ----------------------------------
    const Load readBefore = ReadLoad();
    std::vector<double> params[2], points[2], both[2];  // [0] one drive, [1] eight
    std::vector<LinkUse> uses;
    std::vector<double> ratios;
    QString failure;
    for (int run = 0; run < o.readRuns && failure.isEmpty(); ++run) {
        for (int k = 0; k < 2 && failure.isEmpty(); ++k) {
            const int which = (run % 2 == 0) ? k : 1 - k;
            const int count = which == 0 ? 1 : DriveCount;
            QTemporaryDir out;
            const std::uint64_t mark = drives.servers[0]->transcript().count();
            const double p = runTool(o.binary,
                                     QStringList{QStringLiteral("params"), QStringLiteral("read"), QStringLiteral("-o"),
                                                 QStringLiteral("params-{name}.pxt")} + drives.portOptions(count),
                                     out.path(), &failure);
            if (p < 0) break;
            if (count == 1) {
                // One drive's parameter read as its drive saw it: R;0 … R;5.
                const std::vector<Exchange> log = exchangesOf(drives.servers[0]->transcript().since(mark), characterSeconds);
                const int i = FindRequest(log, FrameCmd("R;0"));
                const int j = FindRequest(log, FrameCmd("R;5"), std::max(i, 0));
                const LinkUse u = LinkUseOf(log, i, j, characterSeconds);
                uses.push_back(u);
                if (u.exchanges > 0) ratios.push_back(u.measuredSeconds / u.lineSeconds);
            }
            const double q = runTool(o.binary,
                                     QStringList{QStringLiteral("points"), QStringLiteral("read"), QStringLiteral("-o"),
                                                 QStringLiteral("points-{name}.ptt")} + drives.portOptions(count),
                                     out.path(), &failure);
            if (q < 0) break;
            params[which].push_back(p);
            points[which].push_back(q);
            both[which].push_back(p + q);
        }
    }
    const QString readLoad = LoadText(readBefore, ReadLoad());
    if (!failure.isEmpty()) {
        report.add({QStringLiteral("orvex-cli params/points read"), failure, QStringLiteral("runs"), false, readLoad});
        return;
    }
    const double one = Percentile(both[0], 50), eight = Percentile(both[1], 50);
    const double ratio = one > 0 ? eight / one : 0;
    report.add({QStringLiteral("parameters and point table from eight drives at once ÷ from one"),
                QStringLiteral("%1 (median %2 ms for eight, %3 ms for one; params read %4 / %5 ms, points read "
                               "%6 / %7 ms; runs in ms, eight: %8; one: %9)")
                    .arg(ratio, 0, 'f', 3)
                    .arg(eight * 1e3, 0, 'f', 0)
                    .arg(one * 1e3, 0, 'f', 0)
                    .arg(Percentile(params[1], 50) * 1e3, 0, 'f', 0)
                    .arg(Percentile(params[0], 50) * 1e3, 0, 'f', 0)
                    .arg(Percentile(points[1], 50) * 1e3, 0, 'f', 0)
                    .arg(Percentile(points[0], 50) * 1e3, 0, 'f', 0)
                    .arg(msList(both[1]), msList(both[0])),
                QStringLiteral("≤ 1.1"), one > 0 && ratio <= 1.1, readLoad});

    // ---- one drive's parameter read against its line time --------------------
    {
        const Summary s = Summarise(ratios);
        QStringList each;
        for (double r : ratios) each << QString::number(r, 'f', 4);
        const LinkUse first = uses.empty() ? LinkUse{} : uses.front();
        double lost = 0;
        for (const LinkUse &u : uses) lost += u.measuredSeconds - u.lineSeconds;
        report.add({QStringLiteral("one drive's parameter read (R;0 … R;5) ÷ its line time"),
                    QStringLiteral("median %1, worst %2 (runs: %3; %4 exchanges, %5 characters, %6 ms at line rate; "
                                   "%7 ms lost per read)")
                        .arg(s.median, 0, 'f', 4)
                        .arg(s.max, 0, 'f', 4)
                        .arg(each.join(QStringLiteral(", ")))
                        .arg(first.exchanges)
                        .arg(first.characters)
                        .arg(first.lineSeconds * 1e3, 0, 'f', 1)
                        .arg(uses.empty() ? 0.0 : lost * 1e3 / static_cast<double>(uses.size()), 0, 'f', 2),
                    QStringLiteral("≤ 1.05 (median run)"),
                    !ratios.empty() && ratios.size() == uses.size() && s.median <= 1.05, readLoad});
    }

    // ---- start-up to the first request ---------------------------------------
    {
        const Load before = ReadLoad();
        firstRequestOnce(o.binary);  // fills the page cache; not counted
        std::vector<double> runs;
        int failed = 0;
        for (int i = 0; i < o.startRuns; ++i) {
            const double s = firstRequestOnce(o.binary);
            if (s < 0) ++failed;
            else runs.push_back(s);
        }
        const Summary s = Summarise(runs);
        report.add({QStringLiteral("`orvex-cli status --port <pty>`: start to the first request byte at the drive"),
                    QStringLiteral("median %1 ms, min %2 ms, max %3 ms (runs in ms: %4%5)")
                        .arg(s.median * 1e3, 0, 'f', 1)
                        .arg(s.min * 1e3, 0, 'f', 1)
                        .arg(s.max * 1e3, 0, 'f', 1)
                        .arg(msList(runs))
                        .arg(failed ? QStringLiteral("; %1 failed").arg(failed) : QString()),
                    QStringLiteral("≤ 50 ms (median)"), failed == 0 && s.count > 0 && s.median <= 0.05,
                    LoadText(before, ReadLoad())});
    }
}
