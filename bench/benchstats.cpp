#include "benchstats.h"

#include <QFile>
#include <algorithm>
#include <cmath>

double Percentile(std::vector<double> samples, double p)
{
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const double rank = std::ceil(std::clamp(p, 0.0, 100.0) / 100.0 * static_cast<double>(samples.size()));
    const std::size_t index = rank < 1 ? 0 : static_cast<std::size_t>(rank) - 1;
    return samples[std::min(index, samples.size() - 1)];
}

Summary Summarise(const std::vector<double> &samples)
{
    Summary s;
    if (samples.empty()) return s;
    s.count = samples.size();
    s.median = Percentile(samples, 50);
    s.p99 = Percentile(samples, 99);
    const auto [lo, hi] = std::minmax_element(samples.begin(), samples.end());
    s.min = *lo;
    s.max = *hi;
    return s;
}

LinkUse LinkUseOf(const std::vector<Exchange> &log, int first, int last, double characterSeconds)
{
    LinkUse use;
    if (first < 0 || last < first || last >= static_cast<int>(log.size())) return use;
    if (log[static_cast<std::size_t>(last)].ended < 0) return use;
    for (int i = first; i <= last; ++i) {
        const Exchange &e = log[static_cast<std::size_t>(i)];
        use.characters += e.request.size() + e.replyChars;
        if (i < last) use.programSeconds += log[static_cast<std::size_t>(i) + 1].written - e.ended;
    }
    use.exchanges = last - first + 1;
    use.lineSeconds = static_cast<double>(use.characters) * characterSeconds;
    use.measuredSeconds = log[static_cast<std::size_t>(last)].ended - log[static_cast<std::size_t>(first)].written;
    use.efficiency = use.measuredSeconds > 0 ? use.lineSeconds / use.measuredSeconds : 0;
    return use;
}

int FindRequest(const std::vector<Exchange> &log, const QByteArray &framedRequest, int from)
{
    for (int i = std::max(from, 0); i < static_cast<int>(log.size()); ++i)
        if (log[static_cast<std::size_t>(i)].request == framedRequest) return i;
    return -1;
}

int FindReply(const std::vector<Exchange> &log, const QString &keyword, std::int32_t field0, int from)
{
    for (int i = std::max(from, 0); i < static_cast<int>(log.size()); ++i) {
        const Exchange &e = log[static_cast<std::size_t>(i)];
        if (e.ended >= 0 && e.keyword == keyword && e.field0 == field0) return i;
    }
    return -1;
}

Load ReadLoad()
{
    Load l;
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly)) return l;
    const QList<QByteArray> parts = f.readAll().split(' ');
    if (parts.size() >= 3) {
        l.one = parts[0].toDouble();
        l.five = parts[1].toDouble();
        l.fifteen = parts[2].toDouble();
    }
    QFile stat(QStringLiteral("/proc/stat"));
    if (stat.open(QIODevice::ReadOnly)) {
        // "cpu  user nice system idle iowait irq softirq steal ..."
        const QList<QByteArray> f = stat.readLine().simplified().split(' ');
        for (qsizetype i = 1; i < f.size() && i <= 8; ++i) l.totalTicks += f[i].toDouble();
        l.idleTicks = f.value(4).toDouble() + f.value(5).toDouble();
    }
    return l;
}

QString LoadText(const Load &before, const Load &after)
{
    QString text = QStringLiteral("%1 %2 %3 → %4 %5 %6")
                       .arg(before.one, 0, 'f', 2)
                       .arg(before.five, 0, 'f', 2)
                       .arg(before.fifteen, 0, 'f', 2)
                       .arg(after.one, 0, 'f', 2)
                       .arg(after.five, 0, 'f', 2)
                       .arg(after.fifteen, 0, 'f', 2);
    const double total = after.totalTicks - before.totalTicks;
    if (total > 0)
        text += QStringLiteral(", idle %1 %").arg(100 * (after.idleTicks - before.idleTicks) / total, 0, 'f', 0);
    return text;
}
