// orvex-bench: measures how fast the program turns the link around, how well
// it uses the line, what it costs while polling, how fast it draws its plots
// and starts. Prints Markdown tables; see BENCHMARKS.md.

#include "benchreport.h"
#include "clibench.h"
#include "inprocessbench.h"
#include "netbench.h"
#include "processbench.h"
#include "ptybench.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QSysInfo>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const char Usage[] =
    "usage: orvex-bench [--all] [--inprocess] [--redraw] [--pty] [--efficiency] [--startup] [--cpu] [--exchange-cpu]\n"
    "                   [--cli] [--network]\n"
    "                   [--quick] [--cpu-seconds S] [--window-seconds S] [--runs N] [--binary PATH]\n"
    "                   [--cli-binary PATH]\n"
    "  --all             every benchmark below (about three minutes)\n"
    "  --inprocess       turnaround on the in-memory port, by active window and transfer\n"
    "  --redraw          the three waveform plots with two series\n"
    "  --pty             turnaround over a pseudo-terminal and exchange rate (drive answering at once)\n"
    "  --efficiency      parameter import, point table import and waveform upload at 9600 bit/s\n"
    "  --startup         the real program, start to first request, median of --runs\n"
    "  --cpu             CPU and memory of the real program polling at 9600 bit/s for --cpu-seconds,\n"
    "                    then the program's thread in this process for each active window\n"
    "  --exchange-cpu    user and system CPU per exchange, each window active in turn, against a minimal\n"
    "                    poll loop on the same drive answering at once (about 45 s)\n"
    "  --cli             orvex-cli as a process: parameters and point table from eight paced drives\n"
    "                    against one, one drive's parameter read against its line time, and the\n"
    "                    time to its first request (about a minute)\n"
    "  --network         the three transfers at 9600 bit/s through ser2net on 127.0.0.1 (raw TCP and RFC 2217)\n"
    "                    against the pseudo-terminal in one run, and the turnaround the network adds\n"
    "                    (about two minutes; needs ser2net)\n"
    "  --quick           fewer samples and shorter runs (a smoke run, not for the record)\n";

QString uptimeText()
{
    QProcess p;
    p.start(QStringLiteral("uptime"), {});
    p.waitForFinished(2000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

}  // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--floor-reader") == 0) return RunFloorReader(argc, argv);
    // Without a display the program and this benchmark draw offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The options and files of the person running it are neither read nor
    // touched: every program measured, in this process or started from it,
    // starts from the default options.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath(QStringLiteral("data")).toLocal8Bit());
    QApplication app(argc, argv);

    bool inprocess = false, redraw = false, pty = false, efficiency = false, startup = false, cpu = false, cli = false,
         exchangeCpu = false, network = false;
    InProcessOptions inOpt;
    PtyOptions ptyOpt;
    ProcessOptions procOpt;
    CliOptions cliOpt;
    cliOpt.binary = QStringLiteral(ORVEX_CLI_BINARY);
    procOpt.binary = QStringLiteral(ORVEX_BINARY);
    const QStringList args = QApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == u"--all") inprocess = redraw = pty = efficiency = startup = cpu = cli = exchangeCpu = network = true;
        else if (a == u"--inprocess") inprocess = true;
        else if (a == u"--redraw") redraw = true;
        else if (a == u"--pty") pty = true;
        else if (a == u"--efficiency") efficiency = true;
        else if (a == u"--startup") startup = true;
        else if (a == u"--cpu") cpu = true;
        else if (a == u"--cli") cli = true;
        else if (a == u"--exchange-cpu") exchangeCpu = true;
        else if (a == u"--network") network = true;
        else if (a == u"--quick") {
            inOpt = {2000, 200, 3, 300};
            ptyOpt = {2, 2, 1, 2, 1};
            procOpt.startRuns = 3;
            procOpt.cpuSeconds = 5;
            procOpt.warmUpSeconds = 1;
            cliOpt.readRuns = 2;
            cliOpt.startRuns = 3;
        } else if (a == u"--cpu-seconds" && !next.isEmpty()) {
            procOpt.cpuSeconds = next.toDouble();
            ++i;
        } else if (a == u"--window-seconds" && !next.isEmpty()) {
            ptyOpt.windowSeconds = next.toDouble();
            ++i;
        } else if (a == u"--runs" && !next.isEmpty()) {
            procOpt.startRuns = std::max(1, next.toInt());
            cliOpt.startRuns = procOpt.startRuns;
            ++i;
        } else if (a == u"--binary" && !next.isEmpty()) {
            procOpt.binary = next;
            ++i;
        } else if (a == u"--cli-binary" && !next.isEmpty()) {
            cliOpt.binary = next;
            ++i;
        } else {
            std::fputs(Usage, stderr);
            return 2;
        }
    }
    if (!(inprocess || redraw || pty || efficiency || startup || cpu || cli || exchangeCpu || network)) {
        std::fputs(Usage, stderr);
        return 2;
    }

    std::printf("# orvex-bench %s\n\n", qPrintable(args.join(u' ')));
    std::printf("- date: %s\n- machine: %s, %d logical CPUs, Qt %s, platform %s\n- uptime at start: %s\n",
                qPrintable(QDateTime::currentDateTime().toString(Qt::ISODate)),
                qPrintable(QSysInfo::prettyProductName()), QThread::idealThreadCount(), qVersion(),
                qPrintable(QApplication::platformName()), qPrintable(uptimeText()));

    BenchReport report;
    if (inprocess) BenchTurnaroundInProcess(report, inOpt);
    if (redraw) BenchRedraw(report, inOpt);
    if (pty) BenchPtyTurnaroundAndRate(report, ptyOpt);
    if (efficiency) BenchLinkEfficiency(report, ptyOpt);
    if (startup) BenchStartUp(report, procOpt);
    if (cpu) {
        BenchPollingCpuProcess(report, procOpt);
        BenchPollingCpuInProcess(report, ptyOpt);
    }
    if (exchangeCpu) BenchCpuPerExchange(report, ptyOpt);
    if (cli) BenchCli(report, cliOpt);
    if (network) BenchNetwork(report, ptyOpt);
    report.printSummary();
    std::printf("\n- uptime at the end: %s\n", qPrintable(uptimeText()));
    return report.missed() > 0 ? 1 : 0;
}
