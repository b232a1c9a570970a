#pragma once
// The waveform monitor's exchange with the drive: the "T" poll request that
// carries the capture set-up, and the "T" reply that carries one block of
// sixteen samples.

#include "drive/drivedata.h"
#include "drive/link/request.h"
#include "drive/wave/wavestate.h"

#include <QByteArrayView>
#include <QString>
#include <array>

// Samples per block; a capture is uploaded in eight blocks.
inline constexpr int WaveBlockSamples = 16;
inline constexpr int WaveBlocks = 8;
// Fields a block needs: the block number, then torque and speed per sample.
inline constexpr int WaveBlockFields = 1 + 2 * WaveBlockSamples;


// The code field of the request: bits 0-1 trigger source, bit 2 always 0,
// bits 3-4 edge, bits 5-6 time base, bit 7 the run bit.
int TRequestCode(int captureRun, int timeBase, int edge, int trig);

// "T;" code ";" trigger position ";" status signal, all in hexadecimal.
QString TRequestText(const WaveState &wave, const CaptureSetup &setup);

// A torque field carries the status bit as an offset of 10000 away from
// zero: -9999..9999 is the torque with the bit clear, beyond that the bit is
// set and the offset comes off.
struct UnfoldedTorque {
    qint16 torque;
    qint16 flag;
};
UnfoldedTorque UnfoldStatusBit(qint16 field);

// How many fields the reply in recvBuf carried after its keyword, counted as
// the reply was split (a reply can carry fewer than ReplyField holds: the
// positions it does not carry keep an older reply's values).
int FieldsCarried(QByteArrayView recvBuf);

enum class BlockOutcome {
    NoData,   // the block number is not 1..8: an armed capture waiting for its trigger
    Stored,   // the block's sixteen samples are in the upload buffer
    Refused,  // too few fields, or a sample field beyond 16 bits: nothing changed
};

// Stores one block into the upload buffer (series 0). A reply that does not
// carry all 33 fields, or whose sample fields do not fit 16 bits, is refused
// whole: it changes nothing, as if it had not arrived, so an older reply's
// leftovers or a wrapped number never pass for a measured sample.
BlockOutcome StoreWaveBlock(WaveState &wave, const std::array<qint32, ReplyFieldCount> &field, int fieldsCarried);

// Copies series k (0 or 1) into series k + 1, slots 0..127; series k stays.
void ShiftSeries(WaveState &wave, int k);

// One "T" reply taken whatever the state of the capture: a block 1..8 is
// stored, and block 8 ends the upload (the present series becomes the
// previous one, the upload buffer the present one).
struct UploadStep {
    bool stored = false;
    int block = 0;
    bool complete = false;  // block 8: the present series is the new capture
};
UploadStep TakeWaveReply(WaveState &wave, const Reply &reply);

// The progress squares: at the first hidden one of squares 0, 2, ..., 14,
// that square and the next are shown. Returns false when all were shown.
bool AdvanceProgress(std::array<bool, 16> &shown);
