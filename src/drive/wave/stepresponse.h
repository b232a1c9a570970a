#pragma once
// The step response of a trace over a span of its samples, free of any
// window. The figures and how each is found:
//
// - Final stretch: the last tenth of the span (at least 4 samples). The level
//   after the step ("after") is its mean.
// - Steady stretch: the samples from the span's start to the step's start.
//   The level before the step ("before") is its mean; the noise is estimated
//   over the whole of it, from the differences of neighbouring samples (a
//   slow drift does not count as noise), and never below the trace's
//   resolution (one unit of the drive).
// - Steady stretch's end: the trace first crosses a level well above the
//   noise (6 x the noise band, at least a tenth of the step, at most half of
//   it); from there it is followed back to the last sample that lies within
//   the noise band about the level before (3 x the noise). The steady
//   stretch, its level and its noise are found again until that sample no
//   longer moves.
// - Start of the step: a curve is fitted by least squares to the rise, from 3
//   samples before the steady stretch's end up to the last sample below 80 %
//   of the step: the level before up to a time t0, then
//   c1 d + c2 d^2 + c3 d^3 with d = t - t0 and c1 >= 0 (a first-order
//   response or a step within a sample leaves with a slope, a second-order
//   one leaves flat). t0 is tried on a fine grid across the fitted samples;
//   the one with the least squared residue wins. The start is the sample
//   nearest t0, but never one after a sample that has left the level by more
//   than the noise band and 1 % of the step. Every sample of the rise counts,
//   so noise on the few samples near the level moves the start little (the
//   last sample within the noise band alone moves a whole sample with them).
//   A rise with fewer than two samples clear of the noise (a step within a
//   sample or two) keeps the steady stretch's end as its start.
// - A span that holds fewer than 3 steady samples before the step starts
//   inside the step: no figure is given ("the span starts inside the step").
// - A steady stretch whose straight-line fit moves by more than twice the
//   noise band and more than 5 % of the step is not steady: the figures are
//   given and flagged (beforeSteady is false).
// - The step is after - before; it is no step when it is not clearly above
//   the spread of the first and final stretches.
// - Rise time: from the first time the trace reaches 10 % of the step, after
//   the start, to the first time after that it reaches 90 %, each time
//   interpolated linearly between the sample before and the sample that
//   reaches the level. A rise that was crossed is given whether or not the
//   trace settles.
// - Overshoot, from the samples: the largest sample beyond the level after,
//   towards the step, from the start on, in % of the step; 0 when none.
// - Settling time, counted from the step's start as fitted (before it is
//   rounded to a sample, and never more than half a sample from the sample
//   shown as the start): until the trace last enters the band of +-band %
//   of the step about the level after (interpolated between the last sample
//   outside and the next). A single sample just outside (by no more than a
//   unit) between two inside is not counted as leaving the band. When the
//   last sample outside lies in the final stretch, the trace does not settle
//   within the span. Where the noise band is more than a quarter of the
//   settling band, the trace is first smoothed (a quadratic fitted over the
//   five samples about each). Where an excursion comes within the noise band
//   of the band's edge (from either side), the noise decides whether it
//   leaves the band: the figure is given all the same, with the earliest and
//   latest settling the noise allows (the band widened and narrowed by the
//   noise band), and the note says so.
// - Still on the way: when the final stretch itself moves on towards the
//   step (a straight-line fit moves by more than 1 % of the step and more
//   than its own scatter explains), the level after is not the final value:
//   rise time and overshoot are "not reached" and the trace does not settle.
// A step down is measured as a step up: every level towards the step.

#include <optional>
#include <vector>

#include <QString>

namespace WaveAnalysis {

// Why a figure of the step response could not be found.
enum class StepMissing {
    None,          // the figure is there
    NoStep,        // the span holds no step: flat, or only noise or ripple
    NoCrossing,    // the trace never reaches the level the figure needs
    NeverSettles,  // the trace does not stay within the band before the span ends
    TooShort,      // too few samples to tell a level before and after
    StartsInside,  // the span starts inside the step: no steady level before it
};

struct StepFigure {
    std::optional<double> value;
    StepMissing missing = StepMissing::NoStep;
};

struct StepResponse {
    StepMissing step = StepMissing::NoStep;  // None when a step was found
    bool beforeSteady = true;  // false: the level before the step drifts
    StepFigure before;         // the steady value before the step
    StepFigure after;          // the steady value after it
    StepFigure startMs;        // where the step begins
    StepFigure riseTimeMs;     // 10 % to 90 % of the step
    StepFigure overshootPercent;  // beyond the final value, in % of the step (0 when none)
    StepFigure settlingTimeMs;    // from the start until the trace stays within the band
    // Where the noise leaves open which excursion of the trace is its last
    // out of the band: the earliest and the latest settling it allows (no
    // latest: perhaps it does not settle within the span).
    struct SettlingRange {
        double earliestMs = 0;
        std::optional<double> latestMs;
    };
    std::optional<SettlingRange> settlingWithinNoise;
    double noise = 0;          // the noise of the steady stretch (a standard deviation)
    int startIndex = -1;       // the sample of the start
    double settlingFromMs = 0; // where settling is counted from: the fitted start, before it is rounded to a sample
};

// The step response of y over the samples from..to (both included, either
// order, held to the samples; only the samples both vectors have count), with
// the settling band in % of the step (2 or 5, any value above 0 serves; a band
// that is not above 0 lets nothing settle) and the trace's resolution (the
// size of one unit, the least noise band; 0 for a trace of any real value).
// A span with a value that is not a finite number holds no step.
StepResponse AnalyseStep(const std::vector<double> &timeMs, const std::vector<double> &y, int from, int to,
                         double settlingBandPercent, double resolution = 0);

// A figure's missing reason in words, as the measurement table shows it
// ("no step", "not reached", "does not settle", "too few samples", "the span
// starts inside the step").
QString MissingText(StepMissing missing);

// What the measurement table notes of a step response: "level before the
// step not steady", "the span starts inside the step", "settling 52.0 to
// 124.0 ms within the noise", "settling 131.0 ms or later within the noise"
// (more than one joined by "; "), or nothing.
QString StepNote(const StepResponse &r);

// The definitions above in a few sentences, for the help and every export.
QString StepDefinitions();

}  // namespace WaveAnalysis
