#pragma once
// Collects the figures of a benchmark run and prints each as a row of a
// Markdown table the moment it is measured, with the load of the machine
// before and after it; a summary of the figures with targets closes the run.

#include "benchstats.h"

#include <QString>
#include <vector>

struct Figure {
    QString name;
    QString value;
    QString target;  // empty: for information
    bool met = true;
    QString load;    // load averages before → after
};

class BenchReport {
public:
    // Prints the heading of a section.
    void section(const QString &title, const QString &note = {});
    void add(Figure figure);
    // A figure for a sample summary in microseconds or milliseconds.
    static QString timeText(const Summary &s, double scale, const char *unit);
    void printSummary() const;
    int missed() const;

private:
    std::vector<Figure> m_figures;
};

// Seconds on a monotonic clock.
double Seconds();
// CPU seconds the calling thread has used.
double ThreadCpuSeconds();
