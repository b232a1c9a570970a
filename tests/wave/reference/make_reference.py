#!/usr/bin/python3
"""Reference values for the waveform analysis, computed once with tools that
share nothing with the program: scipy.signal for the step responses of known
systems (evaluated every microsecond for the true rise, overshoot and
settling), numpy's FFT for the spectra.

Run by hand (not by the tests), from the repository's top:
    python3 tests/wave/reference/make_reference.py
It writes tests/wave/reference/analysis_reference.json, which the tests read.
Needs Debian's python3-numpy and python3-scipy. The noise comes from a fixed
seed, so a second run writes the same file.
"""

import json
import math
import os

import numpy as np
import scipy
from scipy import signal

SAMPLES = 128
DENSE_MS = 0.001  # the true figures are found on a grid of a microsecond
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "analysis_reference.json")
rng = np.random.default_rng(20261207)


def system(kind, a, b):
    """A unit-gain system: ('second', zeta, wn in rad/s) or ('first', tau in ms, -)."""
    if kind == "second":
        zeta, wn = a, b
        return signal.lti([wn * wn], [1.0, 2 * zeta * wn, wn * wn])
    tau = a / 1000.0
    return signal.lti([1.0], [tau, 1.0])


def unit_step(sys, t_ms):
    """The unit step response at the times t_ms after the step (0 before it)."""
    t_ms = np.asarray(t_ms, dtype=float)
    out = np.zeros_like(t_ms)
    after = t_ms > 0
    if np.any(after):
        # scipy wants an increasing grid from 0; the response at 0 is 0.
        grid = np.concatenate(([0.0], t_ms[after] / 1000.0))
        _, y = signal.step(sys, T=grid)
        out[after] = y[1:]
    return out


def true_figures(sys, length_ms, bands):
    """Rise 10-90 %, overshoot and settling of the unit step, from the step, densely."""
    t = np.arange(0.0, length_ms + DENSE_MS / 2, DENSE_MS)
    _, y = signal.step(sys, T=t / 1000.0)
    i10 = int(np.argmax(y >= 0.1))
    i90 = int(np.argmax(y >= 0.9))
    rise = (t[i90] - t[i10]) if y.max() >= 0.9 else None
    overshoot = max(0.0, (y.max() - 1.0) * 100.0)
    settling = {}
    for band in bands:
        out = np.nonzero(np.abs(y - 1.0) > band / 100.0)[0]
        settling[str(band)] = float(t[out[-1] + 1]) if len(out) and out[-1] + 1 < len(t) else None
    return rise, overshoot, settling


def step_case(name, kind, a, b, period, step_at, before, size, noise=0.0, unit=0.0, span=None,
              expect="step", bands=(2, 5), ramp=0.0):
    times = np.arange(SAMPLES) * period
    t0 = step_at * period  # the step's own time, between samples when step_at is not whole
    sys = system(kind, a, b)
    y = before + size * unit_step(sys, times - t0)
    if ramp:
        # a level that drifts before the step: `ramp` units a sample, until the step
        y = y + np.where(times < t0, ramp * (times - t0) / period, 0.0)
    clean = y.copy()
    if noise:
        y = y + rng.normal(0.0, noise * abs(size), SAMPLES)
    if unit:
        y = np.round(y / unit) * unit
        clean = np.round(clean / unit) * unit
    if span is None:
        span = [0, SAMPLES - 1]
    length = times[-1] - t0
    rise, overshoot, settling = true_figures(sys, length, bands)
    # The overshoot the samples show, without noise: the largest sample beyond
    # the final value, in % of the step.
    after = clean[times > t0]
    sampled = max(0.0, float(np.max((after - (before + size)) * np.sign(size))) / abs(size) * 100.0)
    return {
        "name": name,
        "system": {"kind": kind, "zeta" if kind == "second" else "tau_ms": a, "wn": b} if kind == "second"
        else {"kind": kind, "tau_ms": a},
        "period_ms": period,
        "step_ms": t0,
        "before": before,
        "size": size,
        "noise_sigma": noise * abs(size),
        "resolution": unit,
        "span": span,
        "expect": expect,
        "true": {"rise_ms": rise, "overshoot_percent": overshoot, "settling_ms": settling},
        "sampled_overshoot_percent": sampled,
        "samples": [round(float(v), 6) for v in y],
        "clean": [round(float(v), 6) for v in clean],
    }


def spectrum_case(name, y, period, window, tone_hz=None):
    y = np.asarray(y, dtype=float)
    n = len(y)
    mean = y.mean()
    if window == "hann":
        w = 0.5 - 0.5 * np.cos(2 * np.pi * np.arange(n) / n)  # periodic Hann
    else:
        w = np.ones(n)
    spectrum = np.fft.rfft((y - mean) * w)
    amp = np.abs(spectrum) * 2.0 / w.sum()
    amp[0] = abs(mean)
    if n % 2 == 0:
        amp[-1] /= 2.0  # half the sample rate is one bin of the two-sided spectrum, not two
    db = 20 * np.log10(np.maximum(amp, 1e-10))
    return {
        "name": name,
        "period_ms": period,
        "window": window,
        "samples": [float(v) for v in y],
        "frequency_hz": [float(f) for f in np.fft.rfftfreq(n, period / 1000.0)],
        "magnitude_db": [float(v) for v in db],
        "tone_hz": tone_hz,
    }


def main():
    steps = []
    # Second-order systems: damping and speed, the step at and between samples.
    for zeta, wn, period in [(0.3, 60, 4), (0.5, 40, 4), (0.5, 80, 4), (0.7, 50, 4), (1.0, 90, 4),
                             (0.4, 25, 8), (0.6, 12, 16), (0.5, 5, 40)]:
        for frac in (0.0, 0.3, 0.7):
            steps.append(step_case(f"zeta {zeta}, wn {wn}, {period} ms, step +{frac}", "second", zeta, wn,
                                   period, 40 + frac, 0.0, 750.0))
    # A step down from a level, in whole units of 0.75 rpm.
    for zeta, wn in [(0.5, 40), (0.8, 60)]:
        steps.append(step_case(f"down, zeta {zeta}, wn {wn}, quantised", "second", zeta, wn, 4, 50.4, 1200.0,
                               -900.0, unit=0.75))
    # First order.
    for tau in (20.0, 45.0):
        steps.append(step_case(f"first order, tau {tau} ms", "first", tau, None, 4, 30.5, 150.0, 600.0))
    # Noise of 0.3 % and 1 % of the step, quantised as the drive's speed is.
    for noise in (0.003, 0.01):
        for k, (zeta, wn) in enumerate([(0.5, 40), (0.7, 50), (0.4, 60)]):
            for copy in range(3):
                steps.append(step_case(f"noise {noise * 100:g} %, zeta {zeta}, wn {wn}, #{copy + 1}", "second",
                                       zeta, wn, 4, 45.5 + k * 0.2, 0.0, 1000.0, noise=noise, unit=0.75))
    # Spans that start some samples before the step, and inside it.
    for before in (3, 5, 8):
        first = 40 - before
        steps.append(step_case(f"span from {before} samples before", "second", 0.5, 40, 4, 40.4, 0.0, 750.0,
                               unit=0.75, span=[first, 127]))
    for inside in (0, 1, 2):
        steps.append(step_case(f"span from {inside} samples inside", "second", 0.5, 40, 4, 40.4, 0.0, 750.0,
                               unit=0.75, span=[41 + inside, 127], expect="starts inside"))
    # Ringing on at the span's end: the rise is there, the trace never settles.
    steps.append(step_case("still ringing at the end", "second", 0.08, 60, 4, 40.5, 0.0, 750.0, unit=0.75))
    # A level that is not steady before the step.
    steps.append(step_case("ramp before the step", "second", 0.6, 50, 4, 60.5, 0.0, 750.0, unit=0.75,
                           ramp=3.0, expect="not steady"))
    # Nothing but noise, and a flat line.
    flat = step_case("no step: noise only", "second", 0.5, 40, 4, 40.0, 100.0, 0.0001, noise=0.0, unit=0.75,
                     expect="no step")
    flat["samples"] = [round(float(v), 6) for v in np.round((100.0 + rng.normal(0, 1.5, SAMPLES)) / 0.75) * 0.75]
    steps.append(flat)

    spectra = []
    n = SAMPLES
    i = np.arange(n)
    for window in ("rect", "hann"):
        spectra.append(spectrum_case("sine on bin 10, amplitude 3", 3 * np.sin(2 * np.pi * 10 * i / n), 4, window,
                                     tone_hz=10 * 1000.0 / (n * 4)))
        spectra.append(spectrum_case("sine between bins 20 and 21", np.sin(2 * np.pi * 20.5 * i / n) + 0.25, 8, window))
        spectra.append(spectrum_case("tone at half the sample rate", 2 * np.cos(np.pi * i) + 5, 4, window,
                                     tone_hz=1000.0 / (2 * 4)))
        spectra.append(spectrum_case("a step response", steps[3]["samples"], 4, window))

    data = {
        "generator": "tests/wave/reference/make_reference.py",
        "tools": {"numpy": np.__version__, "scipy": scipy.__version__},
        "note": "Times in ms from sample 0. True figures are of the continuous response from its step: rise "
                "10-90 %, overshoot beyond the final value in % of the step, settling from the step until it "
                "stays within the band (2 or 5 % of the step); null where the span does not show it.",
        "steps": steps,
        "spectra": spectra,
    }
    with open(OUT, "w") as f:
        json.dump(data, f, indent=1)
        f.write("\n")


if __name__ == "__main__":
    main()
