#pragma once
// Benchmarks of the real program as its own process, started as the user
// starts it with "--port 1=DEVICE": time to the first request written, and
// CPU and memory while it polls a drive paced at 9600 bit/s.

#include <QByteArray>
#include <QString>
#include <functional>

class QProcess;

class BenchReport;

struct ProcessOptions {
    QString binary;          // the orvex executable
    int startRuns = 9;       // timed start-ups (one more first, not counted)
    double cpuSeconds = 30;  // polling measured
    double warmUpSeconds = 3;
};

void BenchStartUp(BenchReport &report, const ProcessOptions &options);
// Seconds from starting a program on a fresh pseudo-terminal to the first of
// its writes there that holds `until` (any write when empty); -1 when none
// came within 10 s. start(process, workDir, device) starts it, in an empty
// working directory.
double FirstWriteAfterStart(const std::function<void(QProcess &, const QString &, const QString &)> &start,
                            const QByteArray &until);
// The CPU and memory figures start this program again as
// "--floor-reader DEVICE WARMUP SECONDS": a bare reader that keeps the line
// busy. Prints "cpu wall wake-ups exchanges".
int RunFloorReader(int argc, char *argv[]);
void BenchPollingCpuProcess(BenchReport &report, const ProcessOptions &options);
