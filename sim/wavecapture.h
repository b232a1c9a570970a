#pragma once
// The drive's waveform recorder: 128 samples of speed, torque and one status
// bit, taken at the period of the chosen time base, around a trigger. Once
// the recording is complete it is handed out in eight blocks of sixteen.

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

namespace sim {

struct WaveSample {
    std::int16_t speed = 0;   // 1 unit = 0.75 rpm
    std::int16_t torque = 0;  // units of the motor type (its rated torque is 100 %)
    bool status = false;
};

class WaveCapture {
public:
    static constexpr int SampleCount = 128;
    static constexpr int BlockCount = 8;
    static constexpr int BlockSamples = 16;

    enum class Source { Speed = 0, Torque = 1, Status = 2, Manual = 3 };
    enum class State { Idle, Armed, Triggered, Ready };

    struct Setup {
        Source source = Source::Manual;
        int edge = 0;       // 0 forward up, 1 forward down, 2 reverse up, 3 reverse down
        int timeBase = 0;   // 0..3: 0.05, 0.1, 0.2, 0.5 s a division
        int trigPos = 15;   // 0..30, 15 puts the trigger in the middle
        int statusIndex = 0;
    };

    // Levels that the speed and torque must cross to trigger, in sample units.
    static constexpr int SpeedLevel = 133;   // 100 rpm
    static constexpr int TorqueLevel = 180;  // 20 % with the default motor

    // Sample period of a time base: 12.5 samples a division.
    static double samplePeriod(int timeBase);
    // Samples recorded before the trigger for a trigger position.
    static int pretrigger(int trigPos);

    void arm(const Setup &setup, double now);
    void cancel() { m_state = State::Idle; }
    State state() const { return m_state; }
    const Setup &setup() const { return m_setup; }
    // The model offers the present values at every step of its time.
    void offer(double now, const WaveSample &present);
    // Whether the recorder needs the model's steps (it is taking samples).
    bool sampling() const { return m_state == State::Armed || m_state == State::Triggered; }
    // The next block number 1..8 and its samples once the recording is
    // complete; after block 8 the recorder is idle again. 0 while there is none.
    int takeBlock(std::array<WaveSample, BlockSamples> &samples);

private:
    bool triggers(const WaveSample &previous, const WaveSample &present) const;

    State m_state = State::Idle;
    Setup m_setup;
    double m_nextSample = 0;
    std::deque<WaveSample> m_pre;
    std::vector<WaveSample> m_recording;
    int m_nextBlock = 1;
};

}  // namespace sim
