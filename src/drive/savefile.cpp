#include "savefile.h"

#include <QSaveFile>

namespace {

SaveResult failed(const QString &path, const QString &reason)
{
    return {false, path, reason.isEmpty() ? QStringLiteral("not written") : reason};
}

}  // namespace

SaveResult SaveFileWith(const QString &path, const std::function<bool(QIODevice &, QString *)> &fill)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return failed(path, file.errorString());
    QString why;
    const bool filled = fill(file, &why);
    // The flush writes out what is still buffered: a full disk shows here,
    // and the device keeps the error for the check after it.
    const bool flushed = file.flush();
    if (!filled || !flushed || file.error() != QFileDevice::NoError) {
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString() : why;
        file.cancelWriting();
        return failed(path, reason);
    }
    if (!file.commit()) return failed(path, file.errorString());
    return {true, path, {}};
}

SaveResult SaveFileWhole(const QString &path, QByteArrayView bytes)
{
    return SaveFileWith(path, [bytes](QIODevice &device, QString *) {
        return device.write(bytes.data(), bytes.size()) == bytes.size();
    });
}
