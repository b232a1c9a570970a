#pragma once
// The parameter file: sixty signed 32-bit little-endian values, parameter 00
// first, 240 bytes, no header. Any other length is not a parameter file.

#include "drive/drivedata.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <optional>

inline constexpr int ParamFileSize = 4 * ParamCount;

QByteArray EncodeParamFile(const ParamValues &values);
// The values of a parameter file; nothing when the length is not 240 bytes.
std::optional<ParamValues> DecodeParamFile(QByteArrayView bytes);
