// The waveform analysis against reference values computed once with
// independent tools (scipy.signal step responses of known systems evaluated
// every microsecond, numpy's FFT): tests/wave/reference/make_reference.py
// wrote analysis_reference.json, which holds the samples and the true
// figures. Steps between samples, noise, quantised traces, spans starting
// before and inside the step, and spectra.
//
// With ORVEX_REFERENCE_VERBOSE=1 every case prints our figures beside the
// true ones.

#include "drive/wave/stepresponse.h"
#include "drive/wave/waveanalysis.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <cmath>
#include <numbers>
#include <random>

namespace WA = WaveAnalysis;
using Missing = WA::StepMissing;

namespace {

QJsonObject Reference()
{
    static const QJsonObject data = [] {
        QFile f(QStringLiteral(REFERENCE_FILE));
        if (!f.open(QIODevice::ReadOnly)) return QJsonObject();
        return QJsonDocument::fromJson(f.readAll()).object();
    }();
    return data;
}

std::vector<double> Numbers(const QJsonValue &v)
{
    std::vector<double> out;
    for (const QJsonValue &x : v.toArray()) out.push_back(x.toDouble());
    return out;
}

std::vector<double> Times(double period, size_t n)
{
    std::vector<double> t;
    for (size_t i = 0; i < n; ++i) t.push_back(double(i) * period);
    return t;
}

bool Verbose() { return qEnvironmentVariableIntValue("ORVEX_REFERENCE_VERBOSE") != 0; }

// Normal noise from a generator whose sequence the C++ standard fixes, so
// the figures are the same with every compiler.
class Noise {
public:
    explicit Noise(quint32 seed) : m_engine(seed) {}
    double next()
    {
        if (m_spare) return *std::exchange(m_spare, std::nullopt);
        const double u1 = (double(m_engine()) + 1.0) / 4294967296.0;
        const double u2 = double(m_engine()) / 4294967296.0;
        const double r = std::sqrt(-2 * std::log(u1));
        m_spare = r * std::sin(2 * std::numbers::pi * u2);
        return r * std::cos(2 * std::numbers::pi * u2);
    }

private:
    std::mt19937 m_engine;
    std::optional<double> m_spare;
};

}  // namespace

class TstAnalysisReference : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void steps_data();
    void steps();
    void noiseMovesNoFigure_data();
    void noiseMovesNoFigure();
    void spectra_data();
    void spectra();
};

void TstAnalysisReference::initTestCase()
{
    QVERIFY2(!Reference().isEmpty(), REFERENCE_FILE);
    QVERIFY(Reference().value(QStringLiteral("steps")).toArray().size() >= 50);
}

void TstAnalysisReference::steps_data()
{
    QTest::addColumn<QJsonObject>("c");
    for (const QJsonValue &v : Reference().value(QStringLiteral("steps")).toArray())
        QTest::newRow(qPrintable(v[QStringLiteral("name")].toString())) << v.toObject();
}

void TstAnalysisReference::steps()
{
    QFETCH(QJsonObject, c);
    const double period = c[QStringLiteral("period_ms")].toDouble();
    const std::vector<double> y = Numbers(c[QStringLiteral("samples")]);
    const std::vector<double> t = Times(period, y.size());
    const QJsonArray span = c[QStringLiteral("span")].toArray();
    const double resolution = c[QStringLiteral("resolution")].toDouble();
    const QString expect = c[QStringLiteral("expect")].toString();
    const double noise = c[QStringLiteral("noise_sigma")].toDouble();
    const double size = std::abs(c[QStringLiteral("size")].toDouble());
    const double stepMs = c[QStringLiteral("step_ms")].toDouble();
    const QJsonObject truth = c[QStringLiteral("true")].toObject();

    for (int band : {2, 5}) {
        const WA::StepResponse r = WA::AnalyseStep(t, y, span[0].toInt(), span[1].toInt(), band, resolution);
        if (Verbose())
            qInfo("%s, %d %%: step %d start %.2f (%.2f) rise %.2f (%.2f) overshoot %.2f (%.2f) settling %.2f (%s) %s",
                  qPrintable(c[QStringLiteral("name")].toString()), band, int(r.step), r.startMs.value.value_or(NAN),
                  stepMs, r.riseTimeMs.value.value_or(NAN), truth[QStringLiteral("rise_ms")].toDouble(NAN),
                  r.overshootPercent.value.value_or(NAN), c[QStringLiteral("sampled_overshoot_percent")].toDouble(),
                  r.settlingTimeMs.value.value_or(NAN),
                  qPrintable(QString::number(truth[QStringLiteral("settling_ms")][QString::number(band)].toDouble(NAN))),
                  qPrintable(WA::StepNote(r)));
        if (expect == u"no step") {
            QCOMPARE(r.step, Missing::NoStep);
            continue;
        }
        if (expect == u"starts inside") {
            QCOMPARE(r.step, Missing::StartsInside);
            QCOMPARE(WA::StepNote(r), QStringLiteral("the span starts inside the step"));
            continue;
        }
        QCOMPARE(r.step, Missing::None);
        QCOMPARE(r.beforeSteady, expect != u"not steady");
        if (expect == u"not steady") continue;

        // Noise widens every tolerance by the time the trace needs to cross it.
        const bool noisy = noise > 0;
        // A trace without noise has no excursion the noise could move.
        QVERIFY2(noisy || !r.settlingWithinNoise, qPrintable(WA::StepNote(r)));
        // The start is the last sample before the trace leaves the noise: at
        // or before the step's own time, and never a sample period off.
        const double start = r.startMs.value.value_or(NAN);
        QVERIFY2(std::abs(start - stepMs) <= period * (noisy ? 1.5 : 1.0),
                 qPrintable(QStringLiteral("start %1 for %2").arg(start).arg(stepMs)));
        const double rise = r.riseTimeMs.value.value_or(NAN);
        const double trueRise = truth[QStringLiteral("rise_ms")].toDouble();
        QVERIFY2(std::abs(rise - trueRise) <= period * (noisy ? 1.0 : 0.5),
                 qPrintable(QStringLiteral("rise %1 for %2").arg(rise).arg(trueRise)));
        // Overshoot from the samples: the largest sample beyond the level
        // after; noise adds its own peaks.
        const double overshoot = r.overshootPercent.value.value_or(NAN);
        const double sampled = c[QStringLiteral("sampled_overshoot_percent")].toDouble();
        // The level after is the mean of the span's last tenth: a trace that
        // still rings a little there moves it by up to that much.
        const std::vector<double> clean = Numbers(c[QStringLiteral("clean")]);
        const double finalValue = c[QStringLiteral("before")].toDouble() + c[QStringLiteral("size")].toDouble();
        double ringing = 0;
        for (size_t i = clean.size() - clean.size() / 10; i < clean.size(); ++i)
            ringing = std::max(ringing, std::abs(clean[i] - finalValue));
        const double overshootSlack =
            0.3 + 100 * (resolution + 3.5 * noise) / size + 100 * ringing / size * (1 + sampled / 100);
        QVERIFY2(std::abs(overshoot - sampled) <= overshootSlack,
                 qPrintable(QStringLiteral("overshoot %1 for %2").arg(overshoot).arg(sampled)));
        // Settling, counted from the step's start; a trace still outside the
        // band in the span's last tenth does not settle in it.
        const QJsonValue trueSettling = truth[QStringLiteral("settling_ms")][QString::number(band)];
        const int lastTenth = span[1].toInt() - std::max(4, (span[1].toInt() - span[0].toInt() + 1) / 10) + 1;
        const bool settlesInSpan = !trueSettling.isNull() && stepMs + trueSettling.toDouble() < t[size_t(lastTenth)] - period;
        if (!settlesInSpan) {
            if (trueSettling.isNull()) QCOMPARE(r.settlingTimeMs.missing, Missing::NeverSettles);
            continue;
        }
        // The level after is the mean of the span's last tenth: where the
        // trace still rings there against the band, settling rests on it.
        if (ringing > 0.1 * band * size / 100) continue;
        // Where the noise leaves it open which excursion is the last, the
        // true settling lies between the earliest and the latest it allows.
        const double settling = r.settlingTimeMs.value.value_or(NAN);
        const QString seen = QStringLiteral("settling %1 for %2 (band %3 %, %4)")
                                 .arg(settling).arg(trueSettling.toDouble()).arg(band).arg(WA::StepNote(r));
        if (const auto &range = r.settlingWithinNoise) {
            QVERIFY2(noisy, qPrintable(seen));
            static const QRegularExpression said(
                QStringLiteral("settling [0-9.]+ (to [0-9.]+ ms|ms or later) within the noise"));
            QVERIFY2(WA::StepNote(r).contains(said), qPrintable(seen));
            QVERIFY2(trueSettling.toDouble() >= range->earliestMs - 2 * period &&
                         trueSettling.toDouble() <= range->latestMs.value_or(1e300) + 2 * period,
                     qPrintable(seen));
            continue;
        }
        // The start is fitted between samples and the entry into the band
        // interpolated; noise moves the crossing by the time the trace
        // needs to cross it.
        QVERIFY2(std::abs(settling - trueSettling.toDouble()) <= period * (noisy ? 2.0 : 1.5), qPrintable(seen));
    }
}

void TstAnalysisReference::noiseMovesNoFigure_data()
{
    QTest::addColumn<QJsonObject>("c");
    QTest::addColumn<double>("share");       // noise, of the step
    QTest::addColumn<int>("startMoves");     // of 200 traces, at most this many move the start by more than a period
    QTest::addColumn<int>("settlingMoves");  // ... the settling, and the note does not say why
    QTest::addColumn<int>("settlingOpen");   // ... say the noise leaves the settling open
    // The noise-free traces of the reference, with noise of our own.
    for (const QJsonValue &v : Reference().value(QStringLiteral("steps")).toArray()) {
        const QString name = v[QStringLiteral("name")].toString();
        const bool zeta05 = name.startsWith(u"zeta 0.5, wn 40, 4 ms");
        if (!zeta05 && !name.startsWith(u"zeta 0.7, wn 50, 4 ms") && !name.startsWith(u"zeta 0.3, wn 60, 4 ms"))
            continue;
        for (double share : {0.003, 0.01}) {
            const bool loud = share > 0.005;
            // The slowest start of the three, right on a sample, at 1 %:
            // its start moves by two periods in 11 traces of the 200.
            const int startMoves = zeta05 && name.endsWith(u"+0.0") && loud ? 12 : 2;
            // zeta 0.5 leaves the 5 % band at a slope where noise of 1 % of
            // the step moves the crossing by about half a period: by more
            // than a period in 8 or 9 traces. Its undershoot (2.7 %) lies
            // clear of the band's edge at 0.3 %, so nothing is open there;
            // 0.3 comes back to 5.16 % and 0.7 overshoots by 4.6 %, right at
            // the edge: open in most traces, rightly.
            const int settlingMoves = zeta05 && loud ? 10 : 3;
            const int settlingOpen = zeta05 && !loud ? 2 : 200;
            QTest::addRow("%s, noise %g %%", qPrintable(name), share * 100)
                << v.toObject() << share << startMoves << settlingMoves << settlingOpen;
        }
    }
}

// 200 noisy copies of a clean trace (normal noise of 0.3 % or 1 % of the
// step, quantised to the drive's 0.75 rpm): in 99 % of them the start and
// the rise time move by no more than a sample period, and the overshoot
// (taken from the samples, so noise adds its own peaks) by no more than 3.5
// times the noise or 1 % of the step. The settling time (5 % band) moves by
// no more than a period, or the note says the noise leaves it open and the
// noise-free figure lies within the range it gives (a period either side).
void TstAnalysisReference::noiseMovesNoFigure()
{
    QFETCH(QJsonObject, c);
    QFETCH(double, share);
    QFETCH(int, startMoves);
    QFETCH(int, settlingMoves);
    QFETCH(int, settlingOpen);
    const double period = c[QStringLiteral("period_ms")].toDouble();
    const std::vector<double> clean = Numbers(c[QStringLiteral("clean")]);
    const std::vector<double> t = Times(period, clean.size());
    const double size = std::abs(c[QStringLiteral("size")].toDouble());
    const WA::StepResponse quiet = WA::AnalyseStep(t, clean, 0, int(clean.size()) - 1, 5, 0.75);
    QCOMPARE(quiet.step, Missing::None);
    Noise noise(quint32(share * 1e6) + quint32(c[QStringLiteral("step_ms")].toDouble() * 10));
    constexpr int Traces = 200;
    int noStep = 0, startMoved = 0, riseMoved = 0, settlingMoved = 0, openCovers = 0, opened = 0, overshootMoved = 0;
    const auto moved = [](const WA::StepFigure &a, const WA::StepFigure &b, double limit) {
        return !a.value || !b.value || std::abs(*a.value - *b.value) > limit;
    };
    for (int k = 0; k < Traces; ++k) {
        std::vector<double> y = clean;
        for (double &v : y) v = std::round((v + share * size * noise.next()) / 0.75) * 0.75;
        const WA::StepResponse r = WA::AnalyseStep(t, y, 0, int(y.size()) - 1, 5, 0.75);
        if (r.step != Missing::None) {
            ++noStep;
            continue;
        }
        startMoved += moved(r.startMs, quiet.startMs, period);
        riseMoved += moved(r.riseTimeMs, quiet.riseTimeMs, period);
        const auto &range = r.settlingWithinNoise;
        opened += range.has_value();
        if (moved(r.settlingTimeMs, quiet.settlingTimeMs, period)) {
            const double truth = quiet.settlingTimeMs.value.value_or(1e300);
            if (range && truth >= range->earliestMs - period && truth <= range->latestMs.value_or(1e300) + period)
                ++openCovers;
            else
                ++settlingMoved;
        }
        overshootMoved += moved(r.overshootPercent, quiet.overshootPercent, std::max(1.0, 350 * share));
    }
    if (Verbose())
        qInfo("of %d: no step %d, moved by more than a period: start %d, rise %d, settling %d; overshoot by more "
              "than its limit %d; settling open %d (moved, within the range given %d)", Traces, noStep, startMoved, riseMoved,
              settlingMoved, overshootMoved, opened, openCovers);
    QVERIFY2(noStep <= Traces / 100, qPrintable(QString::number(noStep)));
    QVERIFY2(startMoved <= startMoves, qPrintable(QString::number(startMoved)));
    QVERIFY2(riseMoved <= Traces / 100, qPrintable(QString::number(riseMoved)));
    QVERIFY2(settlingMoved <= settlingMoves, qPrintable(QString::number(settlingMoved)));
    QVERIFY2(opened <= settlingOpen, qPrintable(QString::number(opened)));
    QVERIFY2(overshootMoved <= Traces / 100, qPrintable(QString::number(overshootMoved)));
}

void TstAnalysisReference::spectra_data()
{
    QTest::addColumn<QJsonObject>("c");
    for (const QJsonValue &v : Reference().value(QStringLiteral("spectra")).toArray())
        QTest::addRow("%s, %s", qPrintable(v[QStringLiteral("name")].toString()),
                      qPrintable(v[QStringLiteral("window")].toString()))
            << v.toObject();
}

void TstAnalysisReference::spectra()
{
    QFETCH(QJsonObject, c);
    const auto window = c[QStringLiteral("window")].toString() == u"hann" ? WA::SpectrumWindow::Hann
                                                                           : WA::SpectrumWindow::Rectangular;
    const auto s = WA::AmplitudeSpectrum(Numbers(c[QStringLiteral("samples")]), c[QStringLiteral("period_ms")].toDouble(), window);
    QVERIFY(s);
    const std::vector<double> f = Numbers(c[QStringLiteral("frequency_hz")]);
    const std::vector<double> db = Numbers(c[QStringLiteral("magnitude_db")]);
    QCOMPARE(s->magnitudeDb.size(), db.size());
    for (size_t k = 0; k < db.size(); ++k) {
        QVERIFY(std::abs(s->frequencyHz[k] - f[k]) < 1e-9);
        // Levels far below the largest are rounding noise in both.
        if (db[k] < -120 && s->magnitudeDb[k] < -120) continue;
        QVERIFY2(std::abs(s->magnitudeDb[k] - db[k]) < 1e-6,
                 qPrintable(QStringLiteral("bin %1: %2 dB, numpy %3 dB").arg(k).arg(s->magnitudeDb[k]).arg(db[k])));
    }
    const QJsonValue tone = c[QStringLiteral("tone_hz")];
    if (!tone.isNull()) {
        QVERIFY(s->peakIndex >= 0);
        QCOMPARE(s->frequencyHz[size_t(s->peakIndex)], tone.toDouble());
    }
}

QTEST_GUILESS_MAIN(TstAnalysisReference)
#include "tst_analysisreference.moc"
