#pragma once
// Files are written whole or not at all. The bytes go to a file beside the
// target, which takes the target's place only once every write and the flush
// have succeeded; on any failure the old file stays as it was and the result
// says why, naming the file.
//
// QSaveFile alone is not enough: its commit() reports success when the
// buffered bytes could not be written out (a full disk), and then replaces a
// good file with an empty one. Every path here checks the writes, the flush
// and the device's error before the commit, and the commit itself.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

class QIODevice;

struct SaveResult {
    bool ok = false;
    QString path;
    QString reason;  // why it failed ("No space left on device")
    // "<path>: <reason>"
    QString error() const { return path + QStringLiteral(": ") + reason; }
    explicit operator bool() const { return ok; }
};

// Writes the bytes as the whole file.
SaveResult SaveFileWhole(const QString &path, QByteArrayView bytes);

// The file's content is written by fill onto the device (a PDF or a picture
// writer, say); fill returns false when it could not write it all, with its
// own reason in *why when it knows one.
SaveResult SaveFileWith(const QString &path, const std::function<bool(QIODevice &device, QString *why)> &fill);
