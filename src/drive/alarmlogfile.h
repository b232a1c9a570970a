#pragma once
// The alarm log's file as the log reaches it: opened without following a
// symbolic link and only when it is a regular file, read whole whatever its
// size, appended to with every write checked and the data synced. Each call
// that fails leaves the reason in lastError().

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace AlarmLogFile {

struct Identity {
    quint64 device = 0;
    quint64 inode = 0;
};

enum class Result {
    Ok,
    Missing,     // nothing at the path
    NotRegular,  // a symbolic link, a folder, a device or a pipe: never used
    Failed,      // it could not be opened (lastError says why)
};

// For reading.
Result open(const QString &path, bool write, int *fd, Identity *id);
// For reading and appending; a file that is missing is created, exclusively
// (created says so).
Result openForAppend(const QString &path, int *fd, Identity *id, bool *created);
// Every byte from the file's start (an open for reading, or for appending).
bool readAll(int fd, QByteArray *out);
bool readAllAgain(int fd, QByteArray *out);
qint64 size(int fd);
bool writeAll(int fd, QByteArrayView bytes);
bool sync(int fd);
bool close(int fd);
QString lastError();

}  // namespace AlarmLogFile
