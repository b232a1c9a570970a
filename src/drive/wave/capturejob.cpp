#include "capturejob.h"

#include "drive/wave/waveupload.h"

CaptureJob::CaptureJob(DriveLink &link, const CaptureSetup &setup, int timeBase, int trigPos, QObject *parent)
    : DriveJob(link, QString(), parent), m_setup(setup)
{
    m_result.setup = setup;
    m_result.timeBase = timeBase;
    m_result.trigPos = trigPos;
}

void CaptureJob::begin()
{
    m_wave = WaveState{};
    m_wave.CaptureRun = 1;
    m_wave.TrigPos = static_cast<qint16>(m_result.trigPos);
    m_wave.DialPos[2] = static_cast<qint16>(m_result.timeBase);
    m_blocksTaken = 0;
    setSteps(WaveBlocks);
    ask();
}

void CaptureJob::ask() { send(TRequestText(m_wave, m_setup), QStringLiteral("T")); }

void CaptureJob::take(const Reply &reply)
{
    const UploadStep step = TakeWaveReply(m_wave, reply);
    if (step.stored) {
        m_blocksTaken |= 1U << (step.block - 1);
        if (step.block == 1) Q_EMIT triggered();
        if (!advance()) return;
    }
    if (!step.complete) {
        ask();
        return;
    }
    if (m_blocksTaken != (1U << WaveBlocks) - 1) return finish(Ending::GivenUp);
    m_wave.CaptureRun = 0;
    for (int s = 0; s < CaptureSamples; ++s) {
        m_result.speed[s] = m_wave.WaveData[1][s][0];
        m_result.torque[s] = m_wave.WaveData[1][s][1];
        m_result.status[s] = m_wave.WaveFlag[1][s];
    }
    m_result.taken = QDateTime::currentDateTime();
    finish(Ending::Done);
}
