#include "benchreport.h"

#include <chrono>
#include <cstdio>
#include <ctime>

double Seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void BenchReport::section(const QString &title, const QString &note)
{
    std::printf("\n### %s\n", qPrintable(title));
    if (!note.isEmpty()) std::printf("%s\n", qPrintable(note));
    std::printf("\n| figure | measured | target | met | load 1/5/15 min before → after, CPU idle between |\n|---|---|---|---|---|\n");
    std::fflush(stdout);
}

void BenchReport::add(Figure figure)
{
    std::printf("| %s | %s | %s | %s | %s |\n", qPrintable(figure.name), qPrintable(figure.value),
                qPrintable(figure.target.isEmpty() ? QStringLiteral("–") : figure.target),
                figure.target.isEmpty() ? "" : (figure.met ? "yes" : "**no**"), qPrintable(figure.load));
    std::fflush(stdout);
    m_figures.push_back(std::move(figure));
}

QString BenchReport::timeText(const Summary &s, double scale, const char *unit)
{
    return QStringLiteral("median %1 %3, p99 %2 %3 (n = %4, max %5 %3)")
        .arg(s.median * scale, 0, 'f', 2)
        .arg(s.p99 * scale, 0, 'f', 2)
        .arg(QString::fromUtf8(unit))
        .arg(s.count)
        .arg(s.max * scale, 0, 'f', 2);
}

void BenchReport::printSummary() const
{
    std::printf("\n### Summary of the figures with a target\n\n| figure | measured | target | met | load |\n|---|---|---|---|---|\n");
    for (const Figure &f : m_figures) {
        if (f.target.isEmpty()) continue;
        std::printf("| %s | %s | %s | %s | %s |\n", qPrintable(f.name), qPrintable(f.value), qPrintable(f.target),
                    f.met ? "yes" : "**no**", qPrintable(f.load));
    }
    std::printf("\n%d of the figures with a target missed it.\n", missed());
    std::fflush(stdout);
}

int BenchReport::missed() const
{
    int n = 0;
    for (const Figure &f : m_figures) n += (!f.target.isEmpty() && !f.met) ? 1 : 0;
    return n;
}
