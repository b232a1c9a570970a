#pragma once
// Benchmarks of the real program as its own process, started as the user
// starts it with "--port 1=DEVICE": time to the first request written, and
// CPU and memory while it polls a drive paced at 9600 bit/s.

#include <QString>

class BenchReport;

struct ProcessOptions {
    QString binary;          // the orvex executable
    int startRuns = 9;       // timed start-ups (one more first, not counted)
    double cpuSeconds = 30;  // polling measured
    double warmUpSeconds = 3;
};

void BenchStartUp(BenchReport &report, const ProcessOptions &options);
// The CPU and memory figures start this program again as
// "--floor-reader DEVICE WARMUP SECONDS": a bare reader that keeps the line
// busy. Prints "cpu wall wake-ups exchanges".
int RunFloorReader(int argc, char *argv[]);
void BenchPollingCpuProcess(BenchReport &report, const ProcessOptions &options);
