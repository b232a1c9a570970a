#pragma once
// The waveform monitor's shared state: the capture's run bit, the trigger
// position, the dial positions, the zero lines and the three sample series.

#include <QtGlobal>
#include <array>

inline constexpr int WaveSlots = 129;   // slots 0..127 hold samples; 128 is never written
inline constexpr int WaveSamples = 128;

struct WaveState {
    qint16 CaptureRun = 0;                 // run bit of the "T" request
    qint16 TrigPos = 0;                    // 0..30; 15 once the main window has loaded
    std::array<qint16, 3> DialPos{};       // speed scale, torque scale, time base; each 0..3
    std::array<qint16, 2> ZeroPos{};       // zero line offsets of speed and torque, -15..15
    // WaveData[series][slot][channel]: series 0 upload buffer, 1 present,
    // 2 previous; channel 0 speed, 1 torque.
    std::array<std::array<std::array<qint16, 2>, WaveSlots>, 3> WaveData{};
    // WaveFlag[series][slot]: the status bit of a sample.
    std::array<std::array<qint16, WaveSlots>, 3> WaveFlag{};
};
