#include "ptybench.h"
#include "ptyrig.h"

#include "benchreport.h"
#include "pollwindows.h"
#include "benchstats.h"
#include "minimalloop.h"

#include "app/mditbl.h"
#include "drive/link/frames.h"
#include "drive/link/qtserialio.h"
#include "monitor/iomon.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "sim/ptyserver.h"
#include "wave/hmon.h"
#include "wave/picturebox.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QMdiArea>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <functional>
#include <memory>
#include <thread>

using namespace benchrig;

namespace {

constexpr int ManualTrigger = 3;  // the trigger list's "Manual"

}  // namespace

void BenchPtyTurnaroundAndRate(BenchReport &report, const PtyOptions &o)
{
    report.section(QStringLiteral("Over a pseudo-terminal, drive answering at once"),
                   QStringLiteral("The whole program with its serial port on a pseudo-terminal; the simulated drive "
                                  "on a thread of its own, unpaced. Turnaround as the drive sees it: from the time it "
                                  "notes for a reply (just before writing its last character) to the time it has "
                                  "woken to read the next request. I/O monitor active (\"S\" and \"IO\")."));
    PtyRig rig(false);
    if (!ready(rig, report)) return;
    rig.runFor(1.0);  // warm-up

    // Several runs on the same program and drive: the machine's load comes
    // and goes, and each run shows what it met.
    std::vector<double> medians, p99s, rates;
    std::vector<double> pooled;
    const Load first = ReadLoad();
    for (int run = 0; run < o.rateRuns; ++run) {
        const Load before = ReadLoad();
        const std::uint64_t mark = rig.drive->transcript().count();
        const long start = rig.replies;
        const double t0 = Seconds();
        rig.runFor(o.rateSeconds);
        const double elapsed = Seconds() - t0;
        const long exchanges = rig.replies - start;

        const std::vector<double> turnaround = Turnarounds(rig, mark);
        const Summary s = Summarise(turnaround);
        const double rate = static_cast<double>(exchanges) / elapsed;
        medians.push_back(s.median);
        p99s.push_back(s.p99);
        rates.push_back(rate);
        pooled.insert(pooled.end(), turnaround.begin(), turnaround.end());
        report.add({QStringLiteral("run %1 of %2: turnaround; exchange rate").arg(run + 1).arg(o.rateRuns),
                    BenchReport::timeText(s, 1e3, "ms") +
                        QStringLiteral("; %1 exchanges/s").arg(rate, 0, 'f', 0),
                    {}, true, LoadText(before, ReadLoad())});
    }
    const double median = Percentile(medians, 50);
    const double p99 = Percentile(p99s, 50);
    const double rate = Percentile(rates, 50);
    const QString load = LoadText(first, ReadLoad());
    const Summary all = Summarise(pooled);
    report.add({QStringLiteral("turnaround over the pseudo-terminal (median run)"),
                QStringLiteral("median %1 ms, p99 %2 ms (median of the %3 runs' figures; all samples pooled: median "
                               "%4 ms, p99 %5 ms, n = %6)")
                    .arg(median * 1e3, 0, 'f', 3)
                    .arg(p99 * 1e3, 0, 'f', 3)
                    .arg(o.rateRuns)
                    .arg(all.median * 1e3, 0, 'f', 3)
                    .arg(all.p99 * 1e3, 0, 'f', 3)
                    .arg(all.count),
                QStringLiteral("median < 0.2 ms, p99 < 2 ms"), !medians.empty() && median < 0.2e-3 && p99 < 2e-3, load});
    report.add({QStringLiteral("exchange rate (median run)"),
                QStringLiteral("%1 exchanges/s (runs: %2 … %3)")
                    .arg(rate, 0, 'f', 0)
                    .arg(*std::min_element(rates.begin(), rates.end()), 0, 'f', 0)
                    .arg(*std::max_element(rates.begin(), rates.end()), 0, 'f', 0),
                QStringLiteral("≥ 5000 /s"), rate >= 5000, load});
}

void BenchLinkEfficiency(BenchReport &report, const PtyOptions &o)
{
    PtyRig rig(true);
    const sim::ServerConfig paced;  // the drive's line: 9600 bit/s, 10 bits a character
    const double characterSeconds = std::chrono::duration<double>(paced.characterTime()).count();
    report.section(QStringLiteral("Use of a 9600 bit/s line"),
                   QStringLiteral("The drive paced at the line rate (%1 ms a character, both directions). Efficiency "
                                  "= line-rate time of every character exchanged ÷ time from the first request "
                                  "written to the end of the last reply, as the program saw them.")
                       .arg(characterSeconds * 1e3, 0, 'f', 4));
    if (!ready(rig, report)) return;
    MDItbl &app = *rig.app;

    auto record = [&](const QString &name, const std::vector<LinkUse> &uses, const Load &before) {
        std::vector<double> eff;
        QStringList each;
        for (const LinkUse &u : uses) {
            if (u.exchanges == 0) continue;
            eff.push_back(u.efficiency);
            each << QStringLiteral("%1").arg(u.efficiency, 0, 'f', 4);
        }
        const Summary s = Summarise(eff);
        const LinkUse first = uses.empty() ? LinkUse{} : uses.front();
        double lost = 0;
        double program = 0;
        for (const LinkUse &u : uses) {
            lost += u.measuredSeconds - u.lineSeconds;
            program += u.programSeconds;
        }
        report.add({name,
                    QStringLiteral("median %1, worst %2 (runs: %3; %4 exchanges, %5 characters, %6 s at line rate; "
                                   "of the %7 ms lost per run, the program's own turnaround took %8 ms)")
                        .arg(s.median, 0, 'f', 4)
                        .arg(s.min, 0, 'f', 4)
                        .arg(each.join(QStringLiteral(", ")))
                        .arg(first.exchanges)
                        .arg(first.characters)
                        .arg(first.lineSeconds, 0, 'f', 3)
                        .arg(uses.empty() ? 0.0 : lost * 1e3 / static_cast<double>(uses.size()), 0, 'f', 2)
                        .arg(uses.empty() ? 0.0 : program * 1e3 / static_cast<double>(uses.size()), 0, 'f', 3),
                    QStringLiteral("≥ 0.98 (median run)"), !eff.empty() && eff.size() == uses.size() && s.median >= 0.98,
                    LoadText(before, ReadLoad())});
    };

    // A transfer of requests first..last, started by a button.
    auto transfer = [&](QPushButton *button, const QByteArray &first, const QByteArray &last) {
        std::vector<LinkUse> uses;
        for (int run = 0; run < o.jobRuns; ++run) {
            rig.runFor(0.3);
            const int from = static_cast<int>(rig.log.size());
            button->click();
            const bool done = rig.waitFor(
                [&] {
                    const int j = FindRequest(rig.log, last, from);
                    return j >= 0 && rig.log[static_cast<std::size_t>(j)].ended >= 0;
                },
                60000);
            const int i = FindRequest(rig.log, first, from);
            const int j = FindRequest(rig.log, last, from);
            uses.push_back(done ? LinkUseOf(rig.log, i, j, characterSeconds) : LinkUse{});
        }
        return uses;
    };
    // The three transfers, named with what follows their names.
    auto transfers = [&](const QString &how) {
        {
            const Load before = ReadLoad();
            record(QStringLiteral("parameter import (R;0 … R;5)") + how,
                   transfer(app.prmWrit->CmdRW[0], FrameCmd("R;0"), FrameCmd("R;5")), before);
        }
        {
            const Load before = ReadLoad();
            record(QStringLiteral("point table import (TBLR;0 … TBLR;1F)") + how,
                   transfer(app.tblWrit->CmdRW[0], FrameCmd("TBLR;0"), FrameCmd("TBLR;1F")), before);
        }
        // From the request answered with block 1 to the reply with block 8,
        // the "S" polls between them included.
        const Load before = ReadLoad();
        HMon &w = *app.hMon;
        w.CmbTrig->setCurrentIndex(ManualTrigger);
        rig.activate(&w);
        std::vector<LinkUse> uses;
        for (int run = 0; run < o.jobRuns; ++run) {
            rig.runFor(0.3);
            const int from = static_cast<int>(rig.log.size());
            w.CmdRun->click();
            const bool done = rig.waitFor([&] { return w.PictYomitorichu->isHidden(); }, 60000);
            const int i = FindReply(rig.log, QStringLiteral("T"), 1, from);
            const int j = FindReply(rig.log, QStringLiteral("T"), 8, from);
            uses.push_back(done ? LinkUseOf(rig.log, i, j, characterSeconds) : LinkUse{});
        }
        rig.activate(app.ioMon);
        record(QStringLiteral("waveform upload (8 blocks and the \"S\" polls between)") + how, uses, before);
    };
    transfers(QString());
    // What the terminal driver's collecting of replies costs in line use:
    // the program sleeps through a reply and wakes later at its end.
    rig.session->link.port().setRepliesWhole(true);
    transfers(QStringLiteral(", \"Take Replies Whole (Less CPU)\" on"));
    rig.session->link.port().setRepliesWhole(false);
}

void BenchPollingCpuInProcess(BenchReport &report, const PtyOptions &o)
{
    report.section(QStringLiteral("CPU of the program's thread while polling at 9600 bit/s, by active window"),
                   QStringLiteral("In this process: the program's (user-interface) thread only, measured with its "
                                  "thread CPU clock; the paced drive's thread is not counted. The 100 ms tick and "
                                  "all repaints (offscreen) are included."));
    PtyRig rig(true);
    if (!ready(rig, report)) return;
    MDItbl &app = *rig.app;
    const auto windows = PollWindows(app);
    for (const auto &[name, window] : windows) {
        rig.activate(window);
        rig.runFor(1.0);
        const Load before = ReadLoad();
        const long start = rig.replies;
        const double c0 = ThreadCpuSeconds();
        const double t0 = Seconds();
        rig.runFor(o.windowSeconds);
        const double cpu = ThreadCpuSeconds() - c0;
        const double wall = Seconds() - t0;
        const double share = cpu / wall;
        report.add({name,
                    QStringLiteral("%1 % of one core (%2 ms CPU in %3 s, %4 exchanges/s)")
                        .arg(share * 100, 0, 'f', 3)
                        .arg(cpu * 1e3, 0, 'f', 1)
                        .arg(wall, 0, 'f', 1)
                        .arg(static_cast<double>(rig.replies - start) / wall, 0, 'f', 1),
                    QStringLiteral("< 1 %"), share < 0.01, LoadText(before, ReadLoad())});
    }
}

void BenchCpuPerExchange(BenchReport &report, const PtyOptions &o)
{
    report.section(QStringLiteral("CPU per exchange against a minimal poll loop, drive answering at once"),
                   QStringLiteral("The simulated drive unpaced on a thread of its own. Alternately, on the same "
                                  "drive: a minimal poll loop on a thread of the benchmark (no Qt: it writes \"S\" "
                                  "and \"IO\" in turn, framed as the program frames them, and reads to each reply's "
                                  "end character) and the whole program on its real serial port with one window "
                                  "active, the program off the line (offline, port closed) while the loop runs. User "
                                  "and system CPU of each one's thread from getrusage(RUSAGE_THREAD), %1 s each after "
                                  "0.5 s of warm-up, divided by the exchanges in that time. The ratio sets the "
                                  "program beside the loop run just before it.")
                       .arg(o.exchangeSeconds));
    PtyRig rig(false, false);
    if (!ready(rig, report)) return;
    const std::string device = rig.drive->devicePath();

    auto loopRun = [&] {
        rig.offLine();
        MinimalLoopResult r;
        std::thread t([&] { r = RunMinimalPollLoop(device, 0.5, o.exchangeSeconds); });
        t.join();
        return r;
    };
    auto perExchange = [](double s, long n) { return n > 0 ? s / static_cast<double>(n) * 1e6 : 0.0; };

    MDItbl &app = *rig.app;
    std::vector<double> ratios;
    bool allMet = true;
    for (const auto &[name, window] : PollWindows(app)) {
        const Load before = ReadLoad();
        const MinimalLoopResult loop = loopRun();
        if (!rig.onLine()) {
            report.add({name, QStringLiteral("the program did not poll again"), QStringLiteral("runs"), false, {}});
            return;
        }
        rig.activate(window);
        rig.runFor(0.5);
        const long start = rig.replies;
        const ThreadUsage u0 = ThreadUserSystem();
        const double t0 = Seconds();
        rig.runFor(o.exchangeSeconds);
        const ThreadUsage u1 = ThreadUserSystem();
        const double wall = Seconds() - t0;
        const long n = rig.replies - start;
        const double pu = perExchange(u1.user - u0.user, n), ps = perExchange(u1.system - u0.system, n);
        const double lu = perExchange(loop.user, loop.exchanges), ls = perExchange(loop.system, loop.exchanges);
        const double ratio = loop.ok && lu + ls > 0 ? (pu + ps) / (lu + ls) : 0;
        const bool met = loop.ok && n > 0 && ratio <= 1.5;
        allMet = allMet && met;
        if (loop.ok && n > 0) ratios.push_back(ratio);
        report.add({name,
                    QStringLiteral("program %1 µs (user %2, system %3; %4 exchanges/s); minimal loop %5 µs (user %6, "
                                   "system %7; %8 exchanges/s, %9 reads each); ratio %10")
                        .arg(pu + ps, 0, 'f', 2)
                        .arg(pu, 0, 'f', 2)
                        .arg(ps, 0, 'f', 2)
                        .arg(static_cast<double>(n) / wall, 0, 'f', 0)
                        .arg(lu + ls, 0, 'f', 2)
                        .arg(lu, 0, 'f', 2)
                        .arg(ls, 0, 'f', 2)
                        .arg(loop.wall > 0 ? static_cast<double>(loop.exchanges) / loop.wall : 0.0, 0, 'f', 0)
                        .arg(loop.exchanges > 0 ? static_cast<double>(loop.reads) / static_cast<double>(loop.exchanges) : 0.0, 0, 'f', 2)
                        .arg(ratio, 0, 'f', 2),
                    QStringLiteral("≤ 1.5 × the loop's"), met, LoadText(before, ReadLoad())});
    }
    if (!ratios.empty())
        report.add({QStringLiteral("CPU per exchange, program ÷ minimal loop (all windows)"),
                    QStringLiteral("median %1, worst %2")
                        .arg(Percentile(ratios, 50), 0, 'f', 2)
                        .arg(*std::max_element(ratios.begin(), ratios.end()), 0, 'f', 2),
                    QStringLiteral("≤ 1.5"), allMet, {}});
}
