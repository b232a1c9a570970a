#include "pointfile.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>

QByteArray EncodePointFile(const PointData &data)
{
    QByteArray bytes(PointFileSize, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) qToLittleEndian<qint32>(data[i], bytes.data() + 4 * i);
    return bytes;
}

std::optional<PointData> DecodePointFile(QByteArrayView bytes)
{
    if (bytes.size() != PointFileSize) return std::nullopt;
    PointData data{};
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = qFromLittleEndian<qint32>(bytes.data() + 4 * i);
    return data;
}

PointFileRead ReadPointFile(const QString &path)
{
    PointFileRead result;
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
    QSaveFile file(path);
    const QByteArray bytes = EncodePointFile(data);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!ok && error) *error = file.errorString();
    return ok;
}
