#include "wavecapture.h"

#include <algorithm>
#include <cmath>

namespace sim {

double WaveCapture::samplePeriod(int timeBase)
{
    static constexpr double SecondsPerDivision[] = {0.05, 0.1, 0.2, 0.5};
    return SecondsPerDivision[std::clamp(timeBase, 0, 3)] / 12.5;
}

int WaveCapture::pretrigger(int trigPos)
{
    // The trigger marker stands over sample 25.25 + 2.5 × position.
    return static_cast<int>(std::lround(25.25 + 2.5 * std::clamp(trigPos, 0, 30)));
}

void WaveCapture::arm(const Setup &setup, double now)
{
    m_setup = setup;
    m_state = State::Armed;
    m_nextSample = now;
    m_pre.clear();
    m_recording.clear();
    m_nextBlock = 1;
}

bool WaveCapture::triggers(const WaveSample &previous, const WaveSample &present) const
{
    const bool rising = m_setup.edge == 0 || m_setup.edge == 2;
    switch (m_setup.source) {
    case Source::Manual:
        return true;
    case Source::Status:
        return rising ? (!previous.status && present.status) : (previous.status && !present.status);
    case Source::Speed:
    case Source::Torque: {
        const int level = m_setup.source == Source::Speed ? SpeedLevel : TorqueLevel;
        const int a = m_setup.source == Source::Speed ? previous.speed : previous.torque;
        const int b = m_setup.source == Source::Speed ? present.speed : present.torque;
        switch (m_setup.edge) {
        case 0: return a < level && b >= level;     // forward speed or torque grows
        case 1: return a >= level && b < level;     // forward falls back
        case 2: return a > -level && b <= -level;   // reverse grows
        default: return a <= -level && b > -level;  // reverse falls back
        }
    }
    }
    return false;
}

void WaveCapture::offer(double now, const WaveSample &present)
{
    if (!sampling() || now + 1e-9 < m_nextSample) return;
    m_nextSample += samplePeriod(m_setup.timeBase);
    if (m_nextSample <= now) m_nextSample = now + samplePeriod(m_setup.timeBase);  // after a gap

    const int pre = pretrigger(m_setup.trigPos);
    if (m_state == State::Armed) {
        // The trigger is looked for once the samples before it are there.
        if (static_cast<int>(m_pre.size()) >= pre && triggers(m_pre.empty() ? present : m_pre.back(), present)) {
            m_recording.assign(m_pre.end() - pre, m_pre.end());
            m_state = State::Triggered;
        } else {
            m_pre.push_back(present);
            if (static_cast<int>(m_pre.size()) > std::max(pre, 1)) m_pre.pop_front();
            return;
        }
    }
    m_recording.push_back(present);
    if (static_cast<int>(m_recording.size()) >= SampleCount) m_state = State::Ready;
}

int WaveCapture::takeBlock(std::array<WaveSample, BlockSamples> &samples)
{
    if (m_state != State::Ready) return 0;
    const int block = m_nextBlock;
    std::copy_n(m_recording.begin() + (block - 1) * BlockSamples, BlockSamples, samples.begin());
    if (++m_nextBlock > BlockCount) m_state = State::Idle;
    return block;
}

}  // namespace sim
