#pragma once
// Benchmarks inside this process, on the in-memory port: the turnaround of
// the program from a reply's end character to the next request written, and
// the redraw of the waveform plots.

class BenchReport;

struct InProcessOptions {
    int samples = 20000;  // exchanges timed for each active window
    int warmUp = 2000;
    int jobRuns = 30;     // parameter imports, point table imports, uploads
    int redraws = 3000;
};

void BenchTurnaroundInProcess(BenchReport &report, const InProcessOptions &options);
void BenchRedraw(BenchReport &report, const InProcessOptions &options);
