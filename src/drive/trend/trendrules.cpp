#include "trendrules.h"

#include "drive/link/frames.h"
#include "drive/link/linkstate.h"
#include "drive/monitor/monitorrules.h"
#include "drive/timetext.h"

#include <QDateTime>
#include <algorithm>

namespace {

bool isWordItem(int item) { return MonitorItemIsWord(item); }

bool validChannel(const TrendChannel &c)
{
    return c.kind == TrendChannel::Kind::Monitor ? c.index >= 0 && c.index < MonitorItemCount
                                                 : c.index >= 0 && c.index < StatusRowCount;
}

QString clockText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString secondsText(qint64 ms, int decimals) { return QString::number(static_cast<double>(ms) / 1000.0, 'f', decimals); }

}  // namespace

// ---- What can be recorded -----------------------------------------------------

QString TrendChannelName(const TrendChannel &channel)
{
    if (!validChannel(channel)) return QStringLiteral("?");
    if (channel.kind == TrendChannel::Kind::Status) return StatusRows()[static_cast<size_t>(channel.index)].name;
    // The panel's list reads "04:Current Speed"; the number goes, a nameless
    // item keeps it.
    const QString &listed = MonitorItems()[static_cast<size_t>(channel.index)];
    const QString name = listed.section(QLatin1Char(':'), 1).trimmed();
    return name.isEmpty() ? QStringLiteral("Item ") + listed.section(QLatin1Char(':'), 0, 0) : name;
}

QString TrendChannelUnit(const TrendChannel &channel)
{
    if (!validChannel(channel) || channel.kind == TrendChannel::Kind::Status) return {};
    return MonitorItemUnit(channel.index);
}

QString TrendChannelHeader(const TrendChannel &channel)
{
    QString unit = TrendChannelUnit(channel);
    if (channel.kind == TrendChannel::Kind::Monitor && isWordItem(channel.index)) unit = QStringLiteral("hex");
    return unit.isEmpty() ? TrendChannelName(channel) : TrendChannelName(channel) + QStringLiteral(" [") + unit + u']';
}

bool TrendChannelDigital(const TrendChannel &channel) { return channel.kind == TrendChannel::Kind::Status; }

QString TrendValueText(const TrendChannel &channel, double value)
{
    if (channel.kind == TrendChannel::Kind::Status) return value != 0 ? QStringLiteral("1") : QStringLiteral("0");
    const auto whole = static_cast<qint64>(value);
    if (isWordItem(channel.index))
        return QStringLiteral("0x") + QStringLiteral("%1").arg(static_cast<quint32>(whole), 8, 16, QLatin1Char('0')).toUpper();
    return QString::number(whole);
}

double TrendStatusBit(const TrendChannel &channel, quint32 word)
{
    if (channel.kind != TrendChannel::Kind::Status || !validChannel(channel)) return 0;
    return (word >> StatusRows()[static_cast<size_t>(channel.index)].bit & 1u) != 0 ? 1 : 0;
}

QList<TrendChannel> TrendChannels(const QList<int> &items, const QList<int> &statusRows)
{
    QList<TrendChannel> out;
    int itemCount = 0;
    for (int item : items) {
        const TrendChannel c{TrendChannel::Kind::Monitor, item};
        if (itemCount >= TrendMaxItems || !validChannel(c) || out.contains(c)) continue;
        out << c;
        ++itemCount;
    }
    for (int row = 0; row < StatusRowCount; ++row)
        if (statusRows.contains(row)) out << TrendChannel{TrendChannel::Kind::Status, row};
    return out;
}

// ---- Replies ------------------------------------------------------------------

QList<qint32> TrendReplyFields(QByteArrayView reply)
{
    QList<qint32> fields;
    if (reply.isEmpty() || reply.front() != StxChar) return fields;
    int pos = 2;
    quint8 more = 1;
    NextField(reply, pos, more);  // the keyword
    while (more == 1 && fields.size() < ReplyFieldCount) fields << HexFieldToLong(NextField(reply, pos, more));
    return fields;
}

std::optional<qint32> TrendMonitorValue(QByteArrayView reply, int askedItem)
{
    const QList<qint32> f = TrendReplyFields(reply);
    if (f.size() < 2 || f[0] != askedItem) return std::nullopt;
    return f[1];
}

std::optional<quint32> TrendStatusWord(QByteArrayView reply)
{
    const QList<qint32> f = TrendReplyFields(reply);
    if (f.isEmpty()) return std::nullopt;
    return static_cast<quint32>(f[0]);
}

// ---- Samples for the chart ----------------------------------------------------

void TrendSeries::append(qint64 t, double v)
{
    if (!m_points.isEmpty()) t = qMax(t, m_points.constLast().t);
    if (m_points.size() >= m_limit) m_points.remove(0, m_limit / 8);
    m_points.append({t, v});
}

qsizetype TrendSeries::firstAtOrAfter(qint64 t) const
{
    const auto it = std::lower_bound(m_points.cbegin(), m_points.cend(), t,
                                     [](const TrendPoint &p, qint64 time) { return p.t < time; });
    return it - m_points.cbegin();
}

std::optional<double> TrendSeries::valueAt(qint64 t, qint64 gapMs) const
{
    const auto it = std::upper_bound(m_points.cbegin(), m_points.cend(), t,
                                     [](qint64 time, const TrendPoint &p) { return time < p.t; });
    if (it == m_points.cbegin()) return std::nullopt;
    const TrendPoint &p = *(it - 1);
    if (t - p.t > gapMs) return std::nullopt;
    return p.v;
}

// ---- The recording's rows -------------------------------------------------------

QString TrendTimeText(qint64 ms) { return IsoTimeText(ms); }

TrendRows::TrendRows(const QList<TrendChannel> &channels, qint64 startMs, qint64 gapMs)
    : m_channels(channels), m_seen(channels.size(), startMs), m_last(channels.size(), 0.0),
      m_known(channels.size(), false), m_start(startMs), m_gapMs(gapMs), m_lastValue(startMs)
{
}

QStringList TrendRows::header() const
{
    QStringList h{QStringLiteral("Time"), QStringLiteral("Elapsed [s]")};
    for (const TrendChannel &c : m_channels) h << TrendChannelHeader(c);
    h << QStringLiteral("Note");
    return h;
}

QStringList TrendRows::row(qint64 t, const QStringList &cells, const QStringList &notes) const
{
    QStringList r{TrendTimeText(t), secondsText(t - m_start, 3)};
    r << cells;
    r << notes.join(QStringLiteral("; "));
    return r;
}

std::optional<QStringList> TrendRows::take(qint64 t, const QList<std::pair<int, double>> &values)
{
    bool any = false;
    for (const auto &[channel, value] : values) {
        if (channel < 0 || channel >= m_channels.size()) continue;
        m_seen[channel] = t;
        m_last[channel] = value;
        m_known[channel] = true;
        any = true;
    }
    if (!any) return std::nullopt;

    QStringList notes;
    if (m_first) notes << QStringLiteral("recording started");
    if (m_inGap) notes << QStringLiteral("resumed after %1 s").arg(secondsText(t - m_lastValue, 1));
    m_first = false;
    m_inGap = false;
    m_lastValue = t;

    QStringList cells;
    QStringList stale;
    for (qsizetype k = 0; k < m_channels.size(); ++k) {
        const bool fresh = t - m_seen[k] <= m_gapMs;
        cells << (fresh && m_known[k] ? TrendValueText(m_channels[k], m_last[k]) : QString());
        if (!fresh) stale << TrendChannelName(m_channels[k]);
    }
    if (!stale.isEmpty()) notes << QStringLiteral("stale: ") + stale.join(QStringLiteral(", "));
    return row(t, cells, notes);
}

std::optional<QStringList> TrendRows::idle(qint64 t)
{
    if (m_inGap || t - m_lastValue <= m_gapMs) return std::nullopt;
    m_inGap = true;
    const QString since = m_first ? QStringLiteral("the start") : clockText(m_lastValue);
    return row(t, QStringList(m_channels.size(), QString()), {QStringLiteral("gap: no values since ") + since});
}

// ---- The chart's span ---------------------------------------------------------

const std::array<TrendSpan, 6> &TrendSpans()
{
    static const std::array<TrendSpan, 6> spans{{
        {QStringLiteral("10 s"), 10'000},
        {QStringLiteral("30 s"), 30'000},
        {QStringLiteral("1 min"), 60'000},
        {QStringLiteral("2 min"), 120'000},
        {QStringLiteral("5 min"), 300'000},
        {QStringLiteral("10 min"), 600'000},
    }};
    return spans;
}
