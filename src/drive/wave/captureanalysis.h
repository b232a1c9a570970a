#pragma once
// What the waveform analysis shows, free of any window: the shown captures of
// the list in physical units, their spectra and their figures over the span
// measured (the whole capture, or the samples between the two cursors), each
// computed once and kept until its capture or a setting changes. The window,
// its exports and the commissioning report all read it.

#include "drive/wave/capturelist.h"
#include "drive/wave/waveanalysis.h"

#include <QObject>
#include <array>
#include <map>
#include <optional>

class CaptureAnalysis : public QObject {
    Q_OBJECT
public:
    enum class Span { Whole, BetweenCursors };
    enum Channel { Speed = 0, Torque = 1 };

    explicit CaptureAnalysis(CaptureList &list, QObject *parent = nullptr);

    CaptureList &list() { return m_list; }
    const CaptureList &list() const { return m_list; }
    // The shown captures, in list order.
    QList<const ListedCapture *> shown() const;

    // Settings. Each change that moves a figure says so with figuresChanged().
    void setSpan(Span span);
    Span span() const { return m_span; }
    void setBandPercent(double percent);  // the settling band, 2 or 5
    double bandPercent() const { return m_band; }
    void setWindow(WaveAnalysis::SpectrumWindow window);
    WaveAnalysis::SpectrumWindow window() const { return m_window; }
    // The two cursors' times (ms from the trigger); they measure when the
    // span is BetweenCursors.
    void setCursors(double t1, double t2);
    double cursor(int i) const { return m_cursors[size_t(i)]; }

    // Of one capture (by id; an id not listed gives empty values).
    const WaveAnalysis::PhysicalTrace &trace(int id) const;
    const std::optional<WaveAnalysis::Spectrum> &spectrum(int id, Channel channel) const;
    // The samples measured: all of them, or those nearest the cursors.
    std::pair<int, int> measuredSamples(int id) const;
    std::optional<WaveAnalysis::SpanFigures> figures(int id, Channel channel) const;
    // The step response of speed over the measured samples.
    const WaveAnalysis::StepResponse &step(int id) const;
    // The same over the whole capture, whatever the span (where the cursors go).
    const WaveAnalysis::StepResponse &wholeStep(int id) const;
    // One unit of a channel, and the decimals its figures deserve.
    static double resolution(const ListedCapture &c, Channel channel);
    static int decimals(const ListedCapture &c, Channel channel);

Q_SIGNALS:
    // The captures shown changed (added, removed, ticked): plots and tables anew.
    void capturesChanged();
    // A setting or the cursors moved a figure.
    void figuresChanged();

private:
    struct Cached {
        WaveAnalysis::PhysicalTrace trace;
        std::array<std::array<std::optional<WaveAnalysis::Spectrum>, 2>, 2> spectra;  // [window][channel]
        std::array<bool, 2> spectraDone{};
        std::optional<WaveAnalysis::StepResponse> step;
        std::pair<int, int> stepSpan{-1, -1};
        double stepBand = 0;
        std::optional<WaveAnalysis::StepResponse> whole;
        double wholeBand = 0;
    };
    Cached *cached(int id) const;
    void listChanged();

    CaptureList &m_list;
    Span m_span = Span::Whole;
    double m_band = 2;
    WaveAnalysis::SpectrumWindow m_window = WaveAnalysis::SpectrumWindow::Rectangular;
    std::array<double, 2> m_cursors{};
    mutable std::map<int, Cached> m_cache;
};
