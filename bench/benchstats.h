#pragma once
// Arithmetic of the benchmarks: summaries of timing samples, the line-rate
// time of what went over the link, and the machine's load.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// Median, 99th percentile and extremes of a set of samples (any unit).
struct Summary {
    std::size_t count = 0;
    double median = 0;
    double p99 = 0;
    double min = 0;
    double max = 0;
};

// The p-th percentile (0..100) by nearest rank: the smallest sample with at
// least p % of the samples at or below it. 0 for no samples.
double Percentile(std::vector<double> samples, double p);
Summary Summarise(const std::vector<double> &samples);

// One request and its reply as the program saw them: when the request was
// handed to the port, when the reply's end character had been taken, and
// what the reply was.
struct Exchange {
    QByteArray request;    // framed, as written
    double written = 0;    // seconds on the benchmark's clock
    double ended = -1;     // -1 while the reply has not ended
    int replyChars = 0;    // framed reply, start and end characters included
    QString keyword;       // of the reply
    std::int32_t field0 = 0;
};

struct LinkUse {
    int exchanges = 0;
    long characters = 0;     // requests and replies, both directions
    double lineSeconds = 0;  // what those characters take at the line rate
    double measuredSeconds = 0;
    double efficiency = 0;   // lineSeconds / measuredSeconds
    // The program's own part of the time lost: from each reply's end taken
    // to the next request of the span written.
    double programSeconds = 0;
};

// How well exchanges first..last (inclusive) used the line: from the first
// request written to the end of the last reply, against the time the
// characters exchanged take at characterSeconds each. A span that is empty,
// out of range or whose last reply never ended gives exchanges = 0.
LinkUse LinkUseOf(const std::vector<Exchange> &log, int first, int last, double characterSeconds);

// The first exchange at or after `from` whose request is `framedRequest`, or
// whose reply has `keyword` and field 0 equal to `field0`; -1 when none.
int FindRequest(const std::vector<Exchange> &log, const QByteArray &framedRequest, int from = 0);
int FindReply(const std::vector<Exchange> &log, const QString &keyword, std::int32_t field0, int from = 0);

// The 1, 5 and 15 minute load averages, as uptime shows them, and the
// machine's CPU time so far (all CPUs, in ticks), idle and in total.
struct Load {
    double one = 0;
    double five = 0;
    double fifteen = 0;
    double idleTicks = 0;
    double totalTicks = 0;
};
Load ReadLoad();
// "9.59 9.51 8.77 → 9.70 9.53 8.78, idle 3 %": the load averages before and
// after, and the share of the machine's CPU time that was idle in between.
QString LoadText(const Load &before, const Load &after);
