#pragma once
// Rules of the trend recorder, without widgets: what can be recorded (the
// operation panel's monitor items and the bits of the status word), the
// replies the values come from, the samples kept for the chart, and the rows
// of the recording.
//
// The recording is a CSV file written with CsvText (UTF-8, every field in
// double quotes, CR LF), so any spreadsheet reads it:
//   "Time","Elapsed [s]","Current Speed [rpm]","Torque Command [%]","Run","Note"
//   "2026-12-06T14:03:22.125+01:00","0.000","1500","12","1","recording started"
// - Time: the local wall-clock time the values came, ISO 8601 with
//   milliseconds and no zone;
// - Elapsed [s]: seconds since this recording started, three decimals;
// - one column a monitor item, "name [unit]" ("Item 07" for an item the
//   panel lists without a name), the value in decimal; the two status words
//   (0E and 10) as "0x" and eight hexadecimal digits, which a spreadsheet
//   keeps as text rather than misreading as a decimal number;
// - one column a status bit, named as the status window names it, 0 or 1;
// - Note: empty, or what is special about the row:
//     "recording started"   the first row of each recording (recording into
//                           the same file again adds rows under its header);
//     "gap: no values since 14:03:20.125"
//                           nothing came for more than TrendGapMs: every
//                           value cell is empty, one such row per gap;
//     "resumed after 5.2 s" the first row after such a gap;
//     "stale: A, B"         these columns had no value for more than
//                           TrendGapMs while others came; their cells are
//                           empty.
//   Several notes on one row are joined by "; ".
// A row is written whenever values come: a monitor reply gives one item, a
// status reply every chosen bit. Each row carries every column's latest value
// that is at most TrendGapMs old, so a spreadsheet draws continuous lines;
// an older value, or one not read since the recording started, is empty.

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <utility>

// A pause longer than this in the values is a gap: the chart breaks its
// lines there and the recording says so.
inline constexpr qint64 TrendGapMs = 2000;
// At most this many monitor items are recorded at once.
inline constexpr int TrendMaxItems = 4;

// ---- What can be recorded -----------------------------------------------------

struct TrendChannel {
    enum class Kind { Monitor, Status };
    Kind kind = Kind::Monitor;
    int index = 0;  // the monitor item 0..16, or the row of StatusRows() 0..13
    bool operator==(const TrendChannel &) const = default;
};

// The channel's name ("Current Speed", "Run"), unit ("rpm"; empty for a bit
// and for the items that are counts or words) and column header
// ("Current Speed [rpm]", "Run").
QString TrendChannelName(const TrendChannel &channel);
QString TrendChannelUnit(const TrendChannel &channel);
QString TrendChannelHeader(const TrendChannel &channel);
// A status bit is drawn as a digital trace.
bool TrendChannelDigital(const TrendChannel &channel);
// A value as the recording and the read-out write it.
QString TrendValueText(const TrendChannel &channel, double value);
// The value of a status bit channel in a status word (0 or 1).
double TrendStatusBit(const TrendChannel &channel, quint32 word);
// The channels of a choice: the items in the order given (repeats, and
// anything outside 0..16, left out; at most TrendMaxItems), then the status
// bits in the status window's order.
QList<TrendChannel> TrendChannels(const QList<int> &items, const QList<int> &statusRows);

// ---- Replies ------------------------------------------------------------------

// The fields of a received reply (its text from the start character), each
// read as the link reads it; at most 257. Unlike the link's field array,
// nothing is left over from an earlier reply.
QList<qint32> TrendReplyFields(QByteArrayView reply);
// The value a "MON" reply gives for the item asked: its first field must be
// that item and a second field must follow.
std::optional<qint32> TrendMonitorValue(QByteArrayView reply, int askedItem);
// The status word of an "S" reply (its first field).
std::optional<quint32> TrendStatusWord(QByteArrayView reply);

// ---- Samples for the chart ----------------------------------------------------

struct TrendPoint {
    qint64 t = 0;  // ms since the epoch
    double v = 0;
    bool operator==(const TrendPoint &) const = default;
};

// The samples of one channel, oldest first, times never decreasing (a time
// before the last, after the clock was set back, is taken as the last).
// Bounded: when it holds limit points, the oldest eighth goes at once.
class TrendSeries {
public:
    static constexpr qsizetype DefaultLimit = 36000;  // ten minutes at 60 a second
    explicit TrendSeries(qsizetype limit = DefaultLimit) : m_limit(qMax<qsizetype>(limit, 8)) {}

    void append(qint64 t, double v);
    void clear() { m_points.clear(); }
    const QList<TrendPoint> &points() const { return m_points; }
    qsizetype limit() const { return m_limit; }
    // The index of the first point at or after t (size() when none).
    qsizetype firstAtOrAfter(qint64 t) const;
    // The value in force at t: that of the last point at or before t, as
    // long as it is at most gapMs older than t (as in the recording's rows).
    std::optional<double> valueAt(qint64 t, qint64 gapMs = TrendGapMs) const;

private:
    QList<TrendPoint> m_points;
    qsizetype m_limit;
};

// ---- The recording's rows -------------------------------------------------------

// Local wall-clock time as the recording writes it, with the offset from UTC:
// "2026-12-06T14:03:22.125+01:00".
QString TrendTimeText(qint64 ms);

class TrendRows {
public:
    TrendRows(const QList<TrendChannel> &channels, qint64 startMs, qint64 gapMs = TrendGapMs);

    QStringList header() const;
    // Values that came at t, by the channel's position in the list; the row
    // to write, or nothing when no value is for a recorded channel.
    std::optional<QStringList> take(qint64 t, const QList<std::pair<int, double>> &values);
    // The clock reached t: a gap row, once a gap, when nothing has come for
    // more than gapMs.
    std::optional<QStringList> idle(qint64 t);

    const QList<TrendChannel> &channels() const { return m_channels; }

private:
    QStringList row(qint64 t, const QStringList &cells, const QStringList &notes) const;

    QList<TrendChannel> m_channels;
    QList<qint64> m_seen;  // when each channel last came (the start before its first)
    QList<double> m_last;
    QList<bool> m_known;
    qint64 m_start;
    qint64 m_gapMs;
    qint64 m_lastValue;  // when anything last came
    bool m_inGap = false;
    bool m_first = true;
};

// ---- The chart's span ---------------------------------------------------------

struct TrendSpan {
    QString text;  // "10 s", "1 min"
    qint64 ms;
};
const std::array<TrendSpan, 6> &TrendSpans();
