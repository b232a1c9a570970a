#pragma once
// The waveform file (*.wvt): one record of 404 signed 16-bit little-endian
// numbers, 808 bytes, no header. Entries 3 s, 3 s + 1, 3 s + 2 hold the
// status bit, torque and speed of slot s of the present series; 384..392 the
// set-up and view; 393..403 are 0.

#include "drive/wave/waveupload.h"
#include "drive/wave/wavestate.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <array>
#include <optional>

inline constexpr int WaveFileEntries = 404;
inline constexpr int WaveFileBytes = 2 * WaveFileEntries;

namespace WaveFileEntry {
inline constexpr int Trig = 384;
inline constexpr int Edge = 385;
inline constexpr int TrigPos = 386;
inline constexpr int TimeBase = 387;
inline constexpr int SpeedScale = 388;
inline constexpr int TorqueScale = 389;
inline constexpr int SpeedZero = 390;
inline constexpr int TorqueZero = 391;
inline constexpr int Status = 392;
}  // namespace WaveFileEntry

using WaveFileRecord = std::array<qint16, WaveFileEntries>;

// The record of the present series with the set-up and view it was taken with.
WaveFileRecord MakeWaveFileRecord(const WaveState &wave, const CaptureSetup &setup);
QByteArray EncodeWaveFile(const WaveFileRecord &record);
// The record in a file's bytes; nothing unless there are exactly 808.
std::optional<WaveFileRecord> DecodeWaveFile(QByteArrayView bytes);

// What a record holds that this program never writes: a status bit other
// than 0 or 1, a list or dial position outside its list ("entry 384 (trigger
// source) = 7 is outside its range 0/3"). The zero lines and the trigger
// position are not among them: their placement clamps them. A file with
// such entries is refused, since its set-up would go to the drive with the
// next capture.
QStringList WaveFileProblems(const WaveFileRecord &record);

// The samples of a record become the present series (after the caller has
// shifted the former present series into the previous one).
void LoadWaveSamples(WaveState &wave, const WaveFileRecord &record);

// A value held to lo..hi: list and dial positions of a file made elsewhere
// may lie outside their lists.
inline constexpr int HeldTo(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// A capture as a record, with the view (scales, zero lines) at 0, and a
// record's capture with its set-up held to the lists' ranges.
WaveFileRecord CaptureFileRecord(const Capture &capture);
Capture CaptureFromRecord(const WaveFileRecord &record);
