#include "netbench.h"

#include "ptybench.h"
#include "ptyrig.h"

#include "drive/link/frames.h"
#include "monitor/iomon.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "wave/hmon.h"
#include "wave/picturebox.h"

#include <QComboBox>
#include <QPushButton>
#include <array>

using namespace benchrig;

namespace {

constexpr int ManualTrigger = 3;  // the trigger list's "Manual"

const char *pathName(Path p)
{
    switch (p) {
    case Path::Pty: return "pseudo-terminal";
    case Path::Raw: return "ser2net, raw TCP (socket://)";
    case Path::Rfc2217: return "ser2net, RFC 2217 (rfc2217://)";
    case Path::Rfc2217CharDelay: return "ser2net with its default chardelay, RFC 2217";
    }
    return "";
}

constexpr std::array<Path, 4> Paths{Path::Pty, Path::Raw, Path::Rfc2217, Path::Rfc2217CharDelay};

enum class Transfer { Params, Points, Wave };

// One transfer on a rig that is online; exchanges = 0 when it did not end.
LinkUse measure(PtyRig &rig, Transfer t, double characterSeconds)
{
    MDItbl &app = *rig.app;
    rig.runFor(0.3);
    const int from = static_cast<int>(rig.log.size());
    if (t == Transfer::Wave) {
        HMon &w = *app.hMon;
        const bool done = [&] {
            w.CmdRun->click();
            return rig.waitFor([&] { return w.PictYomitorichu->isHidden(); }, 60000);
        }();
        const int i = FindReply(rig.log, QStringLiteral("T"), 1, from);
        const int j = FindReply(rig.log, QStringLiteral("T"), 8, from);
        return done ? LinkUseOf(rig.log, i, j, characterSeconds) : LinkUse{};
    }
    QPushButton *button = t == Transfer::Params ? app.prmWrit->CmdRW[0] : app.tblWrit->CmdRW[0];
    const QByteArray first = FrameCmd(t == Transfer::Params ? "R;0" : "TBLR;0");
    const QByteArray last = FrameCmd(t == Transfer::Params ? "R;5" : "TBLR;1F");
    button->click();
    const bool done = rig.waitFor(
        [&] {
            const int j = FindRequest(rig.log, last, from);
            return j >= 0 && rig.log[static_cast<std::size_t>(j)].ended >= 0;
        },
        60000);
    return done ? LinkUseOf(rig.log, FindRequest(rig.log, first, from), FindRequest(rig.log, last, from), characterSeconds)
                : LinkUse{};
}


}  // namespace

void BenchNetwork(BenchReport &report, const PtyOptions &o)
{
    const sim::ServerConfig paced;
    const double characterSeconds = std::chrono::duration<double>(paced.characterTime()).count();
    report.section(QStringLiteral("Through ser2net on 127.0.0.1 against the pseudo-terminal"),
                   QStringLiteral("Four programs in this process, each with its own simulated drive paced at the line "
                                  "rate: one on the drive's pseudo-terminal, one through ser2net with a raw TCP "
                                  "accepter, two through ser2net with telnet(rfc2217). Only the one measured is "
                                  "online; the runs go round them, so the machine's load falls on each alike. ser2net "
                                  "runs with \"chardelay: false\" (what the device gives is sent at once), and once "
                                  "more with its default for comparison. Efficiency as in \"Use of a 9600 bit/s "
                                  "line\". Target for a network path: median ≥ 0.98 and at most 1 % below the "
                                  "pseudo-terminal's median."));
    std::array<std::unique_ptr<PtyRig>, Paths.size()> rigs;
    for (std::size_t i = 0; i < Paths.size(); ++i) {
        rigs[i] = std::make_unique<PtyRig>(true, true, Paths[i]);
        if (!ready(*rigs[i], report)) return;
        rigs[i]->app->hMon->CmbTrig->setCurrentIndex(ManualTrigger);
        rigs[i]->offLine();
    }
    const std::pair<Transfer, QString> transfers[] = {
        {Transfer::Params, QStringLiteral("parameter import (R;0 … R;5)")},
        {Transfer::Points, QStringLiteral("point table import (TBLR;0 … TBLR;1F)")},
        {Transfer::Wave, QStringLiteral("waveform upload (8 blocks and the \"S\" polls between)")},
    };
    for (const auto &[transfer, name] : transfers) {
        const Load before = ReadLoad();
        std::array<std::vector<double>, Paths.size()> eff;
        std::array<double, Paths.size()> lostMs{};
        for (int run = 0; run < o.jobRuns; ++run) {
            for (std::size_t i = 0; i < Paths.size(); ++i) {
                PtyRig &rig = *rigs[i];
                if (!rig.onLine()) continue;
                if (transfer == Transfer::Wave) rig.activate(rig.app->hMon);
                const LinkUse u = measure(rig, transfer, characterSeconds);
                if (u.exchanges > 0) {
                    eff[i].push_back(u.efficiency);
                    lostMs[i] += (u.measuredSeconds - u.lineSeconds) * 1e3;
                }
                rig.activate(rig.app->ioMon);
                rig.offLine();
            }
        }
        const QString load = LoadText(before, ReadLoad());
        const double local = Summarise(eff[0]).median;
        for (std::size_t i = 0; i < Paths.size(); ++i) {
            const Summary s = Summarise(eff[i]);
            QStringList each;
            for (double e : eff[i]) each << QString::number(e, 'f', 4);
            const bool complete = static_cast<int>(eff[i].size()) == o.jobRuns;
            const QString text = QStringLiteral("median %1, worst %2 (runs: %3; %4 ms lost per run)")
                                     .arg(s.median, 0, 'f', 4)
                                     .arg(s.min, 0, 'f', 4)
                                     .arg(each.join(QStringLiteral(", ")))
                                     .arg(eff[i].empty() ? 0.0 : lostMs[i] / static_cast<double>(eff[i].size()), 0, 'f', 2);
            if (i == 0) {
                report.add({name + QStringLiteral(", ") + QString::fromLatin1(pathName(Paths[i])), text,
                            QStringLiteral("≥ 0.98 (median run)"), complete && s.median >= 0.98, load});
            } else if (Paths[i] == Path::Rfc2217CharDelay) {
                const double below = local > 0 ? (local - s.median) / local : 1;
                report.add({name + QStringLiteral(", ") + QString::fromLatin1(pathName(Paths[i])),
                            text + QStringLiteral("; %1 % below the pseudo-terminal").arg(below * 100, 0, 'f', 2), {},
                            complete, load});
            } else {
                const double below = local > 0 ? (local - s.median) / local : 1;
                report.add({name + QStringLiteral(", ") + QString::fromLatin1(pathName(Paths[i])),
                            text + QStringLiteral("; %1 % below the pseudo-terminal").arg(below * 100, 0, 'f', 2),
                            QStringLiteral("≥ 0.98 and ≤ 1 % below"), complete && s.median >= 0.98 && below <= 0.01, load});
            }
        }
    }
    for (auto &rig : rigs) rig.reset();

    // What a network path adds to an exchange: the drive answering at once,
    // the I/O monitor active, each path in turn.
    report.section(QStringLiteral("Turnaround through ser2net, drive answering at once"),
                   QStringLiteral("The simulated drive unpaced; turnaround as the drive sees it (from its reply's last "
                                  "character to the next request's arrival), which on a network path holds both ways "
                                  "through ser2net and the program's own turn. I/O monitor active. The same program "
                                  "on the pseudo-terminal first, as the base."));
    std::array<double, Paths.size()> medians{}, rates{};
    for (std::size_t i = 0; i < Paths.size(); ++i) {
        PtyRig rig(false, true, Paths[i]);
        if (!ready(rig, report)) return;
        rig.runFor(1.0);
        const Load before = ReadLoad();
        std::vector<double> pooled;
        std::vector<double> runRates;
        for (int run = 0; run < o.rateRuns; ++run) {
            const std::uint64_t mark = rig.drive->transcript().count();
            const long start = rig.replies;
            const double t0 = Seconds();
            rig.runFor(o.rateSeconds);
            runRates.push_back(static_cast<double>(rig.replies - start) / (Seconds() - t0));
            const std::vector<double> t = Turnarounds(rig, mark);
            pooled.insert(pooled.end(), t.begin(), t.end());
        }
        const Summary s = Summarise(pooled);
        medians[i] = s.median;
        rates[i] = Percentile(runRates, 50);
        QString text = BenchReport::timeText(s, 1e3, "ms") + QStringLiteral("; %1 exchanges/s").arg(rates[i], 0, 'f', 0);
        if (i > 0)
            text += QStringLiteral("; adds %1 ms to the median exchange").arg((s.median - medians[0]) * 1e3, 0, 'f', 3);
        report.add({QStringLiteral("turnaround, ") + QString::fromLatin1(pathName(Paths[i])), text, {}, true,
                    LoadText(before, ReadLoad())});
    }
}
