#pragma once
// Benchmarks of the command-line tool as the user runs it, a process of its
// own against simulated drives on pseudo-terminals paced at 9600 bit/s: a
// read from eight drives at once against one, one drive's parameter read
// against its line time, and the time to the first request.

#include <QString>

class BenchReport;

struct CliOptions {
    QString binary;     // the orvex-cli executable
    int readRuns = 5;   // timed reads of each kind, one and eight drives in turn
    int startRuns = 9;  // timed start-ups (one more first, not counted)
};

void BenchCli(BenchReport &report, const CliOptions &options);
