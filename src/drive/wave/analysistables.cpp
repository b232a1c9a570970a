#include "analysistables.h"

#include "drive/plotscale.h"

namespace WA = WaveAnalysis;

namespace {

QString withUnit(double v, int decimals, const QString &unit)
{
    return PlotScale::Fixed(v, decimals) + (unit.isEmpty() ? QString() : QLatin1Char(' ') + unit);
}

QString figureText(const WA::StepFigure &f, int decimals, const QString &unit)
{
    return f.value ? withUnit(*f.value, decimals, unit) : WA::MissingText(f.missing);
}

const QString Rpm = QStringLiteral("rpm");
const QString Percent = QStringLiteral("%");
const QString Ms = QStringLiteral("ms");

}  // namespace

// ---- measurements --------------------------------------------------------------------

MeasurementTable::MeasurementTable(const CaptureAnalysis &analysis, QObject *parent)
    : QAbstractTableModel(parent), m_analysis(analysis)
{
    connect(&analysis, &CaptureAnalysis::capturesChanged, this, &MeasurementTable::refresh);
    connect(&analysis, &CaptureAnalysis::figuresChanged, this, &MeasurementTable::refresh);
    refresh();
}

QStringList MeasurementTable::headers()
{
    return {QStringLiteral("Trace"),       QStringLiteral("Minimum"),      QStringLiteral("Maximum"),
            QStringLiteral("Mean"),        QStringLiteral("RMS"),          QStringLiteral("Peak-to-peak"),
            QStringLiteral("Before step"), QStringLiteral("After step"),   QStringLiteral("Step start"),
            QStringLiteral("Rise 10-90 %"), QStringLiteral("Overshoot"),   QStringLiteral("Settling"),
            QStringLiteral("Note")};
}

QList<QStringList> MeasurementTable::cellsOf(const ListedCapture &c) const
{
    QList<QStringList> out;
    for (const auto channel : {CaptureAnalysis::Speed, CaptureAnalysis::Torque}) {
        const bool speed = channel == CaptureAnalysis::Speed;
        const QString unit = speed ? Rpm : Percent;
        const int d = CaptureAnalysis::decimals(c, channel);
        QStringList cells{c.name + (speed ? QStringLiteral(" Speed") : QStringLiteral(" Torque"))};
        if (const auto f = m_analysis.figures(c.id, channel))
            cells << withUnit(f->minimum, d, unit) << withUnit(f->maximum, d, unit) << withUnit(f->mean, d, unit)
                  << withUnit(f->rms, d, unit) << withUnit(f->peakToPeak, d, unit);
        else
            cells << QString() << QString() << QString() << QString() << QString();
        if (speed) {
            const WA::StepResponse &s = m_analysis.step(c.id);
            cells << figureText(s.before, d, unit) << figureText(s.after, d, unit) << figureText(s.startMs, 1, Ms)
                  << figureText(s.riseTimeMs, 1, Ms) << figureText(s.overshootPercent, 1, Percent)
                  << figureText(s.settlingTimeMs, 1, Ms) << WA::StepNote(s);
        } else {
            for (int k = Before; k < ColumnCount; ++k) cells << QString();
        }
        out << cells;
    }
    return out;
}

void MeasurementTable::refresh()
{
    QList<Row> rows;
    for (const ListedCapture *c : m_analysis.shown())
        for (const QStringList &cells : cellsOf(*c)) rows.append({c->id, cells});
    if (rows.size() == m_rows.size()) {
        // The same rows with new figures: the view keeps its place.
        m_rows = rows;
        if (!m_rows.isEmpty()) Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
        return;
    }
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

QList<QStringList> MeasurementTable::rowsOf(int captureId) const
{
    const ListedCapture *c = m_analysis.list().find(captureId);
    return c ? cellsOf(*c) : QList<QStringList>{};
}

QVariant MeasurementTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size()) return {};
    const Row &r = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return r.cells.value(index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter | (index.column() == Trace || index.column() == Note
                                                           ? Qt::AlignLeft
                                                           : Qt::AlignRight));
    case CaptureIdRole:
        return r.id;
    default:
        return {};
    }
}

QVariant MeasurementTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return headers()[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

// ---- cursors -----------------------------------------------------------------------------

CursorTable::CursorTable(const CaptureAnalysis &analysis, QObject *parent)
    : QAbstractTableModel(parent), m_analysis(analysis)
{
    connect(&analysis, &CaptureAnalysis::capturesChanged, this, &CursorTable::refresh);
    connect(&analysis, &CaptureAnalysis::figuresChanged, this, &CursorTable::refresh);
    refresh();
}

void CursorTable::setMode(Mode mode)
{
    if (mode == m_mode) return;
    m_mode = mode;
    refresh();
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, 3);
}

void CursorTable::setFrequency(double hz)
{
    m_frequency = hz;
    if (m_mode == Mode::Spectrum) refresh();
}

QStringList CursorTable::headers() const
{
    if (m_mode == Mode::Spectrum)
        return {QStringLiteral("Trace"), QStringLiteral("At f"), QStringLiteral("Largest peak"),
                QStringLiteral("Peak level")};
    return {QStringLiteral("Trace"), QStringLiteral("At t1"), QStringLiteral("At t2"), QStringLiteral("Difference")};
}

QString CursorTable::cursorLine() const
{
    if (m_mode == Mode::Spectrum) return QStringLiteral("f = %1 Hz").arg(PlotScale::Fixed(m_frequency, 2));
    const double t1 = m_analysis.cursor(0), t2 = m_analysis.cursor(1), dt = t2 - t1;
    return QStringLiteral("t1 = %1 ms   t2 = %2 ms   Δt = %3 ms   1/Δt = %4")
        .arg(PlotScale::Fixed(t1, 1), PlotScale::Fixed(t2, 1), PlotScale::Fixed(dt, 1),
             dt != 0 ? PlotScale::Fixed(1000.0 / dt, 2) + QStringLiteral(" Hz") : QStringLiteral("—"));
}

void CursorTable::refresh()
{
    QList<Row> rows;
    for (const ListedCapture *c : m_analysis.shown()) {
        const WA::PhysicalTrace &p = m_analysis.trace(c->id);
        if (m_mode == Mode::Spectrum) {
            for (const auto channel : {CaptureAnalysis::Speed, CaptureAnalysis::Torque}) {
                const auto &s = m_analysis.spectrum(c->id, channel);
                const QString unit = channel == CaptureAnalysis::Speed ? QStringLiteral("dB rpm") : QStringLiteral("dB %");
                QStringList cells{c->name + (channel == CaptureAnalysis::Speed ? QStringLiteral(" Speed")
                                                                                : QStringLiteral(" Torque"))};
                if (s) {
                    const int i = WA::NearestSample(s->frequencyHz, m_frequency);
                    cells << (i >= 0 ? withUnit(s->magnitudeDb[size_t(i)], 1, unit) : QString());
                    if (s->peakIndex >= 0)
                        cells << withUnit(s->frequencyHz[size_t(s->peakIndex)], 2, QStringLiteral("Hz"))
                              << withUnit(s->magnitudeDb[size_t(s->peakIndex)], 1, unit);
                    else
                        cells << QStringLiteral("no peak") << QString();
                }
                rows.append({c->id, cells});
            }
            continue;
        }
        const std::vector<double> status(p.status.begin(), p.status.end());
        const struct {
            QString what;
            const std::vector<double> &y;
            QString unit;
            int decimals;
            bool atSample;  // the status bit is read at the sample, not between two
        } traces[] = {{QStringLiteral("Speed"), p.speedRpm, Rpm, CaptureAnalysis::decimals(*c, CaptureAnalysis::Speed), false},
                      {QStringLiteral("Torque"), p.torquePercent, Percent,
                       CaptureAnalysis::decimals(*c, CaptureAnalysis::Torque), false},
                      {WA::StatusSignalName(c->capture.setup.status), status, QString(), 0, true}};
        for (const auto &tr : traces) {
            const auto at = [&](double t) -> std::optional<double> {
                if (tr.atSample) {
                    const int i = WA::NearestSample(p.timeMs, t);
                    return i < 0 ? std::nullopt : std::optional<double>(tr.y[size_t(i)]);
                }
                return WA::ValueAt(p.timeMs, tr.y, t);
            };
            const auto a = at(m_analysis.cursor(0));
            const auto b = at(m_analysis.cursor(1));
            rows.append({c->id,
                         {c->name + QLatin1Char(' ') + tr.what, a ? withUnit(*a, tr.decimals, tr.unit) : QString(),
                          b ? withUnit(*b, tr.decimals, tr.unit) : QString(),
                          a && b ? withUnit(*b - *a, tr.decimals, tr.unit) : QString()}});
        }
    }
    if (rows.size() == m_rows.size()) {
        m_rows = rows;
        if (!m_rows.isEmpty()) Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 3));
        return;
    }
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

QVariant CursorTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size()) return {};
    const Row &r = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return r.cells.value(index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter | (index.column() == 0 ? Qt::AlignLeft : Qt::AlignRight));
    case CaptureIdRole:
        return r.id;
    default:
        return {};
    }
}

QVariant CursorTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
        return headers()[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

// ---- as texts ------------------------------------------------------------------------------

QList<QStringList> TableRows(const QAbstractItemModel &model)
{
    QList<QStringList> rows;
    QStringList header;
    for (int c = 0; c < model.columnCount(); ++c) header << model.headerData(c, Qt::Horizontal).toString();
    rows << header;
    for (int r = 0; r < model.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model.columnCount(); ++c) cells << model.index(r, c).data().toString();
        rows << cells;
    }
    return rows;
}

QString TableText(const QAbstractItemModel &model)
{
    QStringList lines;
    for (const QStringList &row : TableRows(model)) lines << row.join(QLatin1Char('\t'));
    return lines.join(QLatin1Char('\n'));
}
