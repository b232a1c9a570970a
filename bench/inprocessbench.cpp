#include "inprocessbench.h"

#include "benchreport.h"
#include "pollwindows.h"

#include "app/mditbl.h"
#include "common/filechooser.h"
#include "drive/session.h"
#include "drive/link/frames.h"
#include "drive/link/memoryport.h"
#include "app/titlebar.h"
#include "monitor/iomon.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "sim/drivemodel.h"
#include "common/plotview.h"
#include "drive/wave/capturelist.h"
#include "tools/waveanalysiswindow.h"
#include "wave/hmon.h"
#include "wave/picturebox.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QMdiArea>
#include <QPushButton>
#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <optional>

namespace {

using namespace std::chrono_literals;

constexpr int ManualTrigger = 3;  // the trigger list's "Manual"

// The whole program on an in-memory port, its tick stopped, answered by the
// drive model straight from memory.
struct MemoryRig {
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    MemoryPort port;
    DialogFileChooser files;  // no file is chosen here
    std::unique_ptr<Session> session;
    std::unique_ptr<MDItbl> app;
    sim::DriveModel drive{1};
    QByteArray lastWrite;
    double writtenAt = 0;
    QString replyKeyword;
    qint32 replyField0 = 0;

    struct Turn {
        double seconds = -1;  // -1: nothing was written
        QByteArray request;   // the request answered, without its frame
        QString keyword;      // of the reply
        qint32 field0 = 0;
    };

    MemoryRig()
    {
        QDir::setCurrent(dir.path());
        session = std::make_unique<Session>(port);
        app = std::make_unique<MDItbl>(*session, files);
        app->titleBar->TimerDateTime.stop();
        // Nobody is asked: a lost reply is given up, a refused port tried again.
        QObject::connect(&session->link, &DriveLink::replyLost, &session->link, &DriveLink::giveUp);
        QObject::connect(&session->link, &DriveLink::portRefused, &session->link, &DriveLink::resumeOpening);
        app->show();
        QCoreApplication::processEvents();
        drive.advanceTo(1s);
        port.onWrite = [this](const QByteArray &b) {
            writtenAt = Seconds();
            lastWrite = b;
        };
        QObject::connect(&session->link, &DriveLink::replyDecoded, app.get(), [this](const Reply &reply) {
            replyKeyword = reply.keyword;
            replyField0 = reply.field[0];
        });
        app->titleBar->TimerDateTime_Timer();  // opens the port: "S" goes out
    }
    ~MemoryRig()
    {
        app.reset();
        session.reset();
        QDir::setCurrent(previousDir);
    }

    void activate(QWidget *child)
    {
        app->mdiArea->setActiveSubWindow(app->frameOf(child));
        QCoreApplication::processEvents();
    }

    // Answers the request last written: all of the reply but its end
    // character first, then the end character alone, timed until the next
    // request is written. Repaints run afterwards, as they do between
    // events in the running program.
    Turn exchange()
    {
        Turn turn;
        turn.request = lastWrite.mid(1, lastWrite.size() - 2);
        drive.advance(1ms);
        const std::optional<std::string> answer =
            drive.handle(std::string_view(turn.request.constData(), static_cast<std::size_t>(turn.request.size())));
        QByteArray framed = FrameCmd(answer ? QByteArrayView(answer->data(), static_cast<qsizetype>(answer->size()))
                                            : QByteArrayView("ERR;1"));
        const QByteArray end = framed.right(1);
        framed.chop(1);
        port.inject(framed);
        lastWrite.clear();
        const double t0 = Seconds();
        port.inject(end);
        if (!lastWrite.isEmpty()) turn.seconds = writtenAt - t0;
        turn.keyword = replyKeyword;
        turn.field0 = replyField0;
        QCoreApplication::processEvents();
        return turn;
    }
};

struct Row {
    QString name;
    std::vector<double> samples;
};

// The link alone: no window, every reply goes to no decoder.
std::vector<double> linkAlone(const InProcessOptions &o)
{
    PortSettings settings;
    MemoryPort port;
    DriveLink link(settings, port);
    double writtenAt = 0;
    bool written = false;
    port.onWrite = [&](const QByteArray &) {
        writtenAt = Seconds();
        written = true;
    };
    link.OpenPort();
    const QByteArray body = FrameCmd("S;80008000;0;0;D7;0").chopped(1);
    const QByteArray end(1, EotChar);
    std::vector<double> out;
    for (int i = 0; i < o.warmUp + o.samples; ++i) {
        port.inject(body);
        written = false;
        const double t0 = Seconds();
        port.inject(end);
        if (written && i >= o.warmUp) out.push_back(writtenAt - t0);
    }
    return out;
}

Figure turnaroundFigure(const QString &name, const std::vector<double> &samples, const Load &before, bool withTarget)
{
    const Summary s = Summarise(samples);
    Figure f{name, BenchReport::timeText(s, 1e6, "µs"), {}, true, LoadText(before, ReadLoad())};
    if (withTarget) {
        f.target = QStringLiteral("median < 5 µs");
        f.met = s.count > 0 && s.median < 5e-6;
    }
    return f;
}

}  // namespace

void BenchTurnaroundInProcess(BenchReport &report, const InProcessOptions &o)
{
    report.section(QStringLiteral("Turnaround in-process (in-memory port)"),
                   QStringLiteral("From the reply's end character handed to the link to the next request handed to the "
                                  "port; the whole program with all windows, answered by the drive model. Repaints run "
                                  "between exchanges, outside the timed part, as in the running program."));
    {
        const Load before = ReadLoad();
        report.add(turnaroundFigure(QStringLiteral("link alone, no windows (\"S\" replies)"), linkAlone(o), before, false));
    }

    MemoryRig rig;
    MDItbl &app = *rig.app;
    const auto windows = PollWindows(app);
    std::vector<double> all;
    for (const auto &[name, window] : windows) {
        const Load before = ReadLoad();
        rig.activate(window);
        std::vector<double> samples;
        for (int i = 0; i < o.warmUp + o.samples; ++i) {
            const MemoryRig::Turn t = rig.exchange();
            if (t.seconds >= 0 && i >= o.warmUp) samples.push_back(t.seconds);
        }
        all.insert(all.end(), samples.begin(), samples.end());
        report.add(turnaroundFigure(QStringLiteral("whole program, ") + name, samples, before, true));
    }
    report.add(turnaroundFigure(QStringLiteral("whole program, all six windows together"), all, ReadLoad(), true));

    rig.activate(app.ioMon);
    // A job: every reply of the sequence builds the next request.
    auto job = [&](const QString &name, QPushButton *start, const QByteArray &lastRequest, const QString &keyword) {
        const Load before = ReadLoad();
        std::vector<double> samples;
        for (int run = 0; run < o.jobRuns; ++run) {
            start->click();
            for (int n = 0; n < 200; ++n) {
                const MemoryRig::Turn t = rig.exchange();
                if (t.keyword == keyword && t.seconds >= 0) samples.push_back(t.seconds);
                if (t.request == lastRequest) break;
            }
            for (int n = 0; n < 4; ++n) rig.exchange();  // back to polling
        }
        report.add(turnaroundFigure(name, samples, before, false));
    };
    job(QStringLiteral("parameter import, \"R\" replies (the last ends the job)"), app.prmWrit->CmdRW[0],
        QByteArray("R;5"), QStringLiteral("R"));
    job(QStringLiteral("point table import, \"TBLR\" replies"), app.tblWrit->CmdRW[0], QByteArray("TBLR;1F"),
        QStringLiteral("TBLR"));

    // A waveform upload: blocks 1..8; block 8 draws the three plots before
    // the next request goes out.
    {
        const Load before = ReadLoad();
        rig.activate(app.hMon);
        app.hMon->CmbTrig->setCurrentIndex(ManualTrigger);
        std::vector<double> blocks;
        std::vector<double> lastBlock;
        for (int run = 0; run < std::max(1, o.jobRuns / 3); ++run) {
            app.hMon->CmdRun->click();
            for (int n = 0; n < 5000 && !app.hMon->PictYomitorichu->isHidden(); ++n) {
                const MemoryRig::Turn t = rig.exchange();
                if (t.keyword != u"T" || t.seconds < 0 || t.field0 < 1 || t.field0 > 8) continue;
                blocks.push_back(t.seconds);
                if (t.field0 == 8) lastBlock.push_back(t.seconds);
            }
        }
        report.add(turnaroundFigure(QStringLiteral("waveform upload, \"T\" blocks 1–8"), blocks, before, false));
        report.add(turnaroundFigure(QStringLiteral("waveform upload, block 8 alone (draws the plots)"), lastBlock,
                                    before, false));
        rig.activate(app.ioMon);
    }
}

void BenchRedraw(BenchReport &report, const InProcessOptions &o)
{
    report.section(QStringLiteral("Redraw of the three plots"),
                   QStringLiteral("Speed, torque and status plot with two series (\"Previous+Present\"), a full "
                                  "capture of 128 samples in each; the waveform window active and shown."));
    MemoryRig rig;
    MDItbl &app = *rig.app;
    HMon &w = *app.hMon;
    rig.activate(&w);
    WaveState &wave = rig.session->wave;
    // Two different captures that sweep the plots from edge to edge.
    for (int k = 1; k <= 2; ++k) {
        for (int i = 0; i < WaveSamples; ++i) {
            const double a = 2 * M_PI * i / 64.0 + k;
            wave.WaveData[k][i][0] = static_cast<qint16>(3000 * std::sin(a));
            wave.WaveData[k][i][1] = static_cast<qint16>(250 * std::cos(1.5 * a));
            wave.WaveFlag[k][i] = static_cast<qint16>((i / (8 + k)) % 2);
        }
    }
    w.CmbWave->setCurrentIndex(0);  // Previous+Present
    QCoreApplication::processEvents();

    auto measure = [&](bool paint) {
        std::vector<double> samples;
        const int warmUp = std::max(10, o.redraws / 10);
        for (int i = 0; i < warmUp + o.redraws; ++i) {
            const double t0 = Seconds();
            w.DrawTrace(0);
            w.DrawTrace(1);
            w.DrawStatusTrace();
            if (paint)
                for (PictureBox *p : w.Picture1) p->repaint();
            const double t1 = Seconds();
            if (i >= warmUp) samples.push_back(t1 - t0);
            if (!paint) QCoreApplication::processEvents();
        }
        return samples;
    };
    {
        const Load before = ReadLoad();
        const Summary s = Summarise(measure(false));
        report.add({QStringLiteral("drawing the three plots into their pictures"), BenchReport::timeText(s, 1e3, "ms"),
                    QStringLiteral("< 1 ms"), s.count > 0 && s.median < 1e-3, LoadText(before, ReadLoad())});
    }
    {
        const Load before = ReadLoad();
        const Summary s = Summarise(measure(true));
        report.add({QStringLiteral("drawing and painting them on the window"), BenchReport::timeText(s, 1e3, "ms"),
                    QStringLiteral("< 1 ms"), s.count > 0 && s.median < 1e-3, LoadText(before, ReadLoad())});
    }

    // The analysis window: made, shown and painted with the present capture,
    // then zoomed in and painted again, as a user opening it and turning the
    // wheel once sees it.
    CaptureList list;
    Capture capture;
    for (int i = 0; i < CaptureSamples; ++i) {
        capture.speed[static_cast<size_t>(i)] = wave.WaveData[1][i][0];
        capture.torque[static_cast<size_t>(i)] = wave.WaveData[1][i][1];
        capture.status[static_cast<size_t>(i)] = wave.WaveFlag[1][i];
    }
    list.add(capture, 900, QStringLiteral("Drive"));
    ParameterModel params;  // motor type 0: 900 units
    DialogFileChooser files;
    std::vector<double> samples;
    const int opens = std::max(5, o.redraws / 100);
    const Load before = ReadLoad();
    for (int i = 0; i < opens + 2; ++i) {
        const double t0 = Seconds();
        {
            WaveAnalysisWindow window(list, params, files);
            window.resize(900, 640);
            window.show();
            window.repaint();
            window.TimePlot->zoomX(0.5, 0);
            window.repaint();
            if (i >= 2) samples.push_back(Seconds() - t0);
        }
        QCoreApplication::processEvents();
    }
    const Summary a = Summarise(samples);
    report.add({QStringLiteral("opening the analysis window on a capture, drawing and zooming it"),
                BenchReport::timeText(a, 1e3, "ms"), QStringLiteral("< 50 ms"), a.count > 0 && a.median < 50e-3,
                LoadText(before, ReadLoad())});

    // The first capture in an empty window (opened before any capture, then
    // one uploaded, opened or dropped): from the capture listed to the window
    // painted, at each time base.
    for (int base = 0; base < 4; ++base) {
        Capture first = capture;
        first.timeBase = base;
        std::vector<double> firsts;
        const Load start = ReadLoad();
        for (int i = 0; i < opens + 2; ++i) {
            CaptureList empty;
            WaveAnalysisWindow window(empty, params, files);
            window.resize(900, 640);
            window.show();
            window.repaint();
            QCoreApplication::processEvents();
            const double t0 = Seconds();
            empty.add(first, 900, QStringLiteral("Drive"));
            window.repaint();
            if (i >= 2) firsts.push_back(Seconds() - t0);
            QCoreApplication::processEvents();
        }
        const Summary f = Summarise(firsts);
        report.add({QStringLiteral("empty analysis window, first capture drawn (%1 ms a sample)")
                        .arg(WaveAnalysis::SamplePeriodMs(base)),
                    BenchReport::timeText(f, 1e3, "ms"), QStringLiteral("< 50 ms"), f.count > 0 && f.median < 50e-3,
                    LoadText(start, ReadLoad())});
    }
}
