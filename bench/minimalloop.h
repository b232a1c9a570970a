#pragma once
// The least a poll loop can do per exchange: no Qt, nothing decoded or shown.
// It opens the serial device, writes "S" and "IO" in turn framed as the
// program frames its requests, and reads until the reply's end character;
// nothing else. The CPU figures of the program are set beside it.

#include <string>

struct MinimalLoopResult {
    bool ok = false;
    double user = 0;    // seconds of the loop's thread, user mode
    double system = 0;  // seconds of the loop's thread, kernel mode
    double wall = 0;
    long exchanges = 0;
    long reads = 0;     // read() calls that returned bytes
};

// Runs the loop on the calling thread: warmUp seconds first, not counted,
// then about `seconds` measured with getrusage(RUSAGE_THREAD).
MinimalLoopResult RunMinimalPollLoop(const std::string &device, double warmUp, double seconds);

// User and system CPU seconds of the calling thread.
struct ThreadUsage {
    double user = 0;
    double system = 0;
};
ThreadUsage ThreadUserSystem();
