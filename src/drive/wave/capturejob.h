#pragma once
// A capture on its own: arms it and uploads it, asking "T" itself after
// every reply. The drive records around the trigger; until it has
// triggered, its replies carry no block, then the eight blocks follow. The
// waveform window's capture runs through the poll instead; both store the
// blocks with TakeWaveReply. The drive hands each block out once: an upload
// that ends (block 8) without every block of this capture (one came
// garbled and was not taken) ends the job given up, never done with
// samples of an older capture in the gap.

#include "drive/drivedata.h"
#include "drive/drivejob.h"
#include "drive/wave/wavestate.h"

class CaptureJob : public DriveJob {
    Q_OBJECT
public:
    // timeBase 0..3, trigPos 0..30, as the waveform window's dial and marker.
    CaptureJob(DriveLink &link, const CaptureSetup &setup, int timeBase, int trigPos, QObject *parent = nullptr);

    const Capture &result() const { return m_result; }

Q_SIGNALS:
    // The first block came: the drive has triggered.
    void triggered();

protected:
    void begin() override;
    void take(const Reply &reply) override;

private:
    void ask();

    WaveState m_wave;
    CaptureSetup m_setup;
    Capture m_result;
    unsigned m_blocksTaken = 0;  // bit b - 1 for block b of this capture
};
