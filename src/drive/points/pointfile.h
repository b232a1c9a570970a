#pragma once
// The point table file: the 128 numbers of PointData in order, each a signed
// 32-bit little-endian number, 512 bytes, no header. Its length is the only
// check made when it is read.

#include "drive/points/pointdata.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

inline constexpr qint64 PointFileSize = PointCount * PointColumns * 4;

QByteArray EncodePointFile(const PointData &data);
// The table of a file's bytes; nothing unless there are exactly 512.
std::optional<PointData> DecodePointFile(QByteArrayView bytes);

struct PointFileRead {
    enum class Status { Ok, WrongLength, Failed };
    Status status = Status::Failed;
    PointData data{};
};
PointFileRead ReadPointFile(const QString &path);

// Writes the table as a whole new file: the old file is replaced only once the
// new one is complete. On failure the reason is left in error.
bool WritePointFile(const QString &path, const PointData &data, QString *error = nullptr);
