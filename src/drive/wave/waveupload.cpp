#include "waveupload.h"

#include "drive/numtext.h"
#include "drive/link/frames.h"

#include <limits>

int TRequestCode(int captureRun, int timeBase, int edge, int trig)
{
    return captureRun * 128 + timeBase * 32 + edge * 8 + trig;
}

QString TRequestText(const WaveState &wave, const CaptureSetup &setup)
{
    const int code = TRequestCode(wave.CaptureRun, wave.DialPos[2], setup.edge, setup.trig);
    return QStringLiteral("T;") + HexText(code) + QLatin1Char(';') + HexText(wave.TrigPos) + QLatin1Char(';') +
           HexText(setup.status);
}

UnfoldedTorque UnfoldStatusBit(qint16 field)
{
    if (field < -9999) return {static_cast<qint16>(field + 10000), 1};
    if (field > 9999) return {static_cast<qint16>(field - 10000), 1};
    return {field, 0};
}

int FieldsCarried(QByteArrayView recvBuf)
{
    int parsePos = 2;
    quint8 more = 1;
    NextField(recvBuf, parsePos, more);  // the keyword
    int n = 0;
    while (more == 1) {
        NextField(recvBuf, parsePos, more);
        ++n;
    }
    return n;
}

namespace {
bool fits16(qint32 v)
{
    return v >= std::numeric_limits<qint16>::min() && v <= std::numeric_limits<qint16>::max();
}
}  // namespace

BlockOutcome StoreWaveBlock(WaveState &wave, const std::array<qint32, ReplyFieldCount> &field, int fieldsCarried)
{
    const qint32 b = field[0];
    if (b < 1 || b > WaveBlocks) return BlockOutcome::NoData;
    if (fieldsCarried < WaveBlockFields) return BlockOutcome::Refused;
    for (int i = 1; i < WaveBlockFields; ++i)
        if (!fits16(field[static_cast<size_t>(i)])) return BlockOutcome::Refused;

    for (int j = 0; j < WaveBlockSamples; ++j) {
        const auto s = static_cast<size_t>((b - 1) * WaveBlockSamples + j);
        const UnfoldedTorque t = UnfoldStatusBit(static_cast<qint16>(field[static_cast<size_t>(2 * j + 1)]));
        wave.WaveData[0][s][0] = static_cast<qint16>(field[static_cast<size_t>(2 * j + 2)]);
        wave.WaveFlag[0][s] = t.flag;
        wave.WaveData[0][s][1] = t.torque;
    }
    return BlockOutcome::Stored;
}

void ShiftSeries(WaveState &wave, int k)
{
    if (k < 0 || k > 1) return;
    const auto from = static_cast<size_t>(k);
    for (size_t s = 0; s < WaveSamples; ++s) {
        wave.WaveFlag[from + 1][s] = wave.WaveFlag[from][s];
        wave.WaveData[from + 1][s][0] = wave.WaveData[from][s][0];
        wave.WaveData[from + 1][s][1] = wave.WaveData[from][s][1];
    }
}

bool AdvanceProgress(std::array<bool, 16> &shown)
{
    for (size_t i = 0; i < shown.size(); i += 2) {
        if (!shown[i]) {
            shown[i] = true;
            shown[i + 1] = true;
            return true;
        }
    }
    return false;
}

UploadStep TakeWaveReply(WaveState &wave, const Reply &reply)
{
    UploadStep step;
    if (StoreWaveBlock(wave, reply.field, reply.carried) != BlockOutcome::Stored) return step;
    step.stored = true;
    step.block = reply.field[0];
    step.complete = step.block == WaveBlocks;
    if (step.complete) {
        ShiftSeries(wave, 1);
        ShiftSeries(wave, 0);
    }
    return step;
}
