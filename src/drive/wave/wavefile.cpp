#include "wavefile.h"

#include "drive/records.h"

WaveFileRecord MakeWaveFileRecord(const WaveState &wave, const CaptureSetup &setup)
{
    WaveFileRecord r{};
    for (size_t s = 0; s < WaveSamples; ++s) {
        r[3 * s] = wave.WaveFlag[1][s];
        r[3 * s + 1] = wave.WaveData[1][s][1];
        r[3 * s + 2] = wave.WaveData[1][s][0];
    }
    r[WaveFileEntry::Trig] = static_cast<qint16>(setup.trig);
    r[WaveFileEntry::Edge] = static_cast<qint16>(setup.edge);
    r[WaveFileEntry::TrigPos] = wave.TrigPos;
    r[WaveFileEntry::TimeBase] = wave.DialPos[2];
    r[WaveFileEntry::SpeedScale] = wave.DialPos[0];
    r[WaveFileEntry::TorqueScale] = wave.DialPos[1];
    r[WaveFileEntry::SpeedZero] = wave.ZeroPos[0];
    r[WaveFileEntry::TorqueZero] = wave.ZeroPos[1];
    r[WaveFileEntry::Status] = static_cast<qint16>(setup.status);
    return r;
}

QByteArray EncodeWaveFile(const WaveFileRecord &record) { return EncodeRecord(record); }

std::optional<WaveFileRecord> DecodeWaveFile(QByteArrayView bytes)
{
    return DecodeRecord<qint16, WaveFileEntries>(bytes);
}

QStringList WaveFileProblems(const WaveFileRecord &record)
{
    QStringList problems;
    const auto check = [&](int entry, const QString &what, int hi) {
        if (record[entry] < 0 || record[entry] > hi)
            problems << QStringLiteral("entry %1 (%2) = %3 is outside its range 0/%4").arg(entry).arg(what).arg(record[entry]).arg(hi);
    };
    for (int s = 0; s < static_cast<int>(WaveSamples); ++s) check(3 * s, QStringLiteral("status bit of sample %1").arg(s), 1);
    namespace E = WaveFileEntry;
    check(E::Trig, QStringLiteral("trigger source"), 3);
    check(E::Edge, QStringLiteral("trigger edge"), 3);
    check(E::TimeBase, QStringLiteral("time base"), 3);
    check(E::SpeedScale, QStringLiteral("speed scale"), 3);
    check(E::TorqueScale, QStringLiteral("torque scale"), 3);
    check(E::Status, QStringLiteral("status signal"), 4);
    return problems;
}

void LoadWaveSamples(WaveState &wave, const WaveFileRecord &record)
{
    for (size_t s = 0; s < WaveSamples; ++s) {
        wave.WaveData[1][s][0] = record[3 * s + 2];
        wave.WaveData[1][s][1] = record[3 * s + 1];
        wave.WaveFlag[1][s] = record[3 * s];
    }
}

WaveFileRecord CaptureFileRecord(const Capture &capture)
{
    WaveState wave;
    for (size_t s = 0; s < WaveSamples; ++s) {
        wave.WaveData[1][s] = {capture.speed[s], capture.torque[s]};
        wave.WaveFlag[1][s] = capture.status[s];
    }
    wave.TrigPos = static_cast<qint16>(capture.trigPos);
    wave.DialPos[2] = static_cast<qint16>(capture.timeBase);
    return MakeWaveFileRecord(wave, capture.setup);
}

Capture CaptureFromRecord(const WaveFileRecord &record)
{
    WaveState wave;
    LoadWaveSamples(wave, record);
    Capture c;
    for (size_t s = 0; s < WaveSamples; ++s) {
        c.speed[s] = wave.WaveData[1][s][0];
        c.torque[s] = wave.WaveData[1][s][1];
        c.status[s] = wave.WaveFlag[1][s];
    }
    c.setup.trig = HeldTo(record[WaveFileEntry::Trig], 0, 3);
    c.setup.edge = HeldTo(record[WaveFileEntry::Edge], 0, 3);
    c.setup.status = HeldTo(record[WaveFileEntry::Status], 0, 4);
    c.timeBase = HeldTo(record[WaveFileEntry::TimeBase], 0, 3);
    c.trigPos = HeldTo(record[WaveFileEntry::TrigPos], 0, 30);
    return c;
}
