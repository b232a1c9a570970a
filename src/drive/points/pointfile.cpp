#include "pointfile.h"

#include "drive/savefile.h"

#include "drive/records.h"

#include <QFile>
#include <QFileInfo>

QByteArray EncodePointFile(const PointData &data) { return EncodeRecord(data); }

std::optional<PointData> DecodePointFile(QByteArrayView bytes) {
    return DecodeRecord<qint32, PointCount * PointColumns>(bytes);
}

PointFileRead ReadPointFile(const QString &path)
{
    PointFileRead result;
    // A pipe, socket or device is no table and is never opened: opening a
    // pipe waits for a writer.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        result.status = PointFileRead::Status::WrongLength;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return result;
    if (file.size() != PointFileSize) {
        result.status = PointFileRead::Status::WrongLength;
        return result;
    }
    // Read one byte more than a table holds: a file that grew meanwhile is
    // refused rather than read in part.
    const std::optional<PointData> data = DecodePointFile(file.read(PointFileSize + 1));
    if (!data) return result;
    result.status = PointFileRead::Status::Ok;
    result.data = *data;
    return result;
}

bool WritePointFile(const QString &path, const PointData &data, QString *error)
{
    const SaveResult saved = SaveFileWhole(path, EncodePointFile(data));
    if (!saved.ok && error) *error = saved.reason;
    return saved.ok;
}
