#pragma once
// Benchmarks of the whole program in this process on a pseudo-terminal, its
// serial port the one the user runs, against the simulated drive served on a
// thread of its own: turnaround as the drive sees it, exchange rate, use of a
// 9600 bit/s line by the transfers, and the CPU the program's thread spends
// while polling.

class BenchReport;

struct PtyOptions {
    double rateSeconds = 3;      // each timed run against a drive that answers at once
    int rateRuns = 5;
    int jobRuns = 5;             // each transfer, against the paced drive
    double windowSeconds = 10;   // CPU while polling, for each active window
    double exchangeSeconds = 3;  // CPU per exchange, each window and each run of the minimal loop
};

void BenchPtyTurnaroundAndRate(BenchReport &report, const PtyOptions &options);
void BenchLinkEfficiency(BenchReport &report, const PtyOptions &options);
void BenchPollingCpuInProcess(BenchReport &report, const PtyOptions &options);
// The program's user and system CPU per exchange, each window active in turn,
// beside a minimal poll loop's on the same drive answering at once.
void BenchCpuPerExchange(BenchReport &report, const PtyOptions &options);
