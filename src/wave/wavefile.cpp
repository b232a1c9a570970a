#include "wavefile.h"

#include <QtEndian>

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

QByteArray EncodeWaveFile(const WaveFileRecord &record)
{
    QByteArray bytes(WaveFileBytes, '\0');
    for (int i = 0; i < WaveFileEntries; ++i)
        qToLittleEndian<qint16>(record[static_cast<size_t>(i)], bytes.data() + 2 * i);
    return bytes;
}

std::optional<WaveFileRecord> DecodeWaveFile(QByteArrayView bytes)
{
    if (bytes.size() != WaveFileBytes) return std::nullopt;
    WaveFileRecord r{};
    for (int i = 0; i < WaveFileEntries; ++i) r[static_cast<size_t>(i)] = qFromLittleEndian<qint16>(bytes.data() + 2 * i);
    return r;
}

void LoadWaveSamples(WaveState &wave, const WaveFileRecord &record)
{
    for (size_t s = 0; s < WaveSamples; ++s) {
        wave.WaveData[1][s][0] = record[3 * s + 2];
        wave.WaveData[1][s][1] = record[3 * s + 1];
        wave.WaveFlag[1][s] = record[3 * s];
    }
}
