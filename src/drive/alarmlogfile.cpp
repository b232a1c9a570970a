#include "alarmlogfile.h"

#include <QFile>
#include <QtGlobal>

#ifndef Q_OS_WIN

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

namespace AlarmLogFile {

namespace {

thread_local QString TheError;

bool failed(const QString &why)
{
    TheError = why;
    return false;
}

bool failedErrno() { return failed(QString::fromLocal8Bit(std::strerror(errno))); }

// A regular file, and what identifies it; else the descriptor is closed.
Result checked(int *fd, Identity *id)
{
    struct stat st {};
    if (::fstat(*fd, &st) != 0) {
        failedErrno();
        ::close(*fd);
        *fd = -1;
        return Result::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        failed(QStringLiteral("it is not a regular file"));
        ::close(*fd);
        *fd = -1;
        return Result::NotRegular;
    }
    *id = {quint64(st.st_dev), quint64(st.st_ino)};
    return Result::Ok;
}

Result opened(const QString &path, int flags, int *fd, Identity *id)
{
    const QByteArray name = QFile::encodeName(path);
    // No symbolic link is followed; a pipe or a device is not waited on.
    do {
        *fd = ::open(name.constData(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    } while (*fd < 0 && errno == EINTR);
    if (*fd < 0) {
        const int e = errno;
        failedErrno();
        if (e == ENOENT) return Result::Missing;
        if (e == ELOOP || e == EISDIR || e == ENXIO) {
            if (e == ELOOP) failed(QStringLiteral("it is a symbolic link"));
            return Result::NotRegular;
        }
        return Result::Failed;
    }
    // Regular files never block; the flag is not wanted for the writes.
    ::fcntl(*fd, F_SETFL, ::fcntl(*fd, F_GETFL) & ~O_NONBLOCK);
    return checked(fd, id);
}

bool readFrom(int fd, bool positional, QByteArray *out)
{
    out->clear();
    char buffer[65536];
    off_t at = 0;
    for (;;) {
        const ssize_t n = positional ? ::pread(fd, buffer, sizeof buffer, at) : ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return failedErrno();
        }
        if (n == 0) return true;
        out->append(buffer, qsizetype(n));
        at += n;
    }
}

}  // namespace

Result open(const QString &path, bool write, int *fd, Identity *id)
{
    return opened(path, write ? O_RDWR : O_RDONLY, fd, id);
}

Result openForAppend(const QString &path, int *fd, Identity *id, bool *created)
{
    *created = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const Result r = opened(path, O_RDWR | O_APPEND, fd, id);
        if (r != Result::Missing) return r;
        // Made here, and only here: never one that appeared meanwhile.
        const Result made = opened(path, O_RDWR | O_APPEND | O_CREAT | O_EXCL, fd, id);
        if (made == Result::Ok) {
            *created = true;
            return made;
        }
        if (errno != EEXIST) return made;
    }
    return Result::Failed;
}

bool readAll(int fd, QByteArray *out) { return readFrom(fd, false, out); }

bool readAllAgain(int fd, QByteArray *out) { return readFrom(fd, true, out); }

qint64 size(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? qint64(st.st_size) : -1;
}

bool writeAll(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return failedErrno();
        }
        if (n == 0) return failed(QStringLiteral("nothing could be written"));
        done += n;
    }
    return true;
}

bool sync(int fd)
{
    if (::fsync(fd) == 0) return true;
    // A file system that cannot sync (a pipe is refused before) still took the bytes.
    if (errno == EINVAL || errno == EROFS) return true;
    return failedErrno();
}

bool close(int fd) { return fd < 0 || ::close(fd) == 0 || failedErrno(); }

QString lastError() { return TheError; }

}  // namespace AlarmLogFile

#else  // Q_OS_WIN: the same through Qt's files; a shortcut or link is refused by its kind.

#include <QFileInfo>
#include <map>
#include <memory>

namespace AlarmLogFile {

namespace {

QString TheError;
std::map<int, std::unique_ptr<QFile>> Files;
int NextFd = 1;

Result opened(const QString &path, QIODevice::OpenMode mode, int *fd, Identity *id, bool mayCreate)
{
    const QFileInfo info(path);
    if (!info.exists() && !mayCreate) {
        TheError = QStringLiteral("it does not exist");
        return Result::Missing;
    }
    if (info.exists() && (info.isSymLink() || !info.isFile())) {
        TheError = QStringLiteral("it is not a regular file");
        return Result::NotRegular;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(mode)) {
        TheError = file->errorString();
        return Result::Failed;
    }
    *id = {0, 0};
    *fd = NextFd++;
    Files[*fd] = std::move(file);
    return Result::Ok;
}

QFile *fileOf(int fd)
{
    const auto it = Files.find(fd);
    return it == Files.end() ? nullptr : it->second.get();
}

}  // namespace

Result open(const QString &path, bool write, int *fd, Identity *id)
{
    return opened(path, write ? QIODevice::ReadWrite : QIODevice::ReadOnly, fd, id, false);
}

Result openForAppend(const QString &path, int *fd, Identity *id, bool *created)
{
    *created = !QFileInfo::exists(path);
    return opened(path, QIODevice::ReadWrite | QIODevice::Append, fd, id, true);
}

bool readAll(int fd, QByteArray *out)
{
    QFile *f = fileOf(fd);
    if (!f || !f->seek(0)) return false;
    *out = f->readAll();
    if (f->error() == QFileDevice::NoError) return true;
    TheError = f->errorString();
    return false;
}

bool readAllAgain(int fd, QByteArray *out) { return readAll(fd, out); }

qint64 size(int fd)
{
    QFile *f = fileOf(fd);
    return f ? f->size() : -1;
}

bool writeAll(int fd, QByteArrayView bytes)
{
    QFile *f = fileOf(fd);
    if (f && f->write(bytes.data(), bytes.size()) == bytes.size() && f->flush()) return true;
    TheError = f ? f->errorString() : QStringLiteral("not open");
    return false;
}

bool sync(int) { return true; }

bool close(int fd)
{
    Files.erase(fd);
    return true;
}

QString lastError() { return TheError; }

}  // namespace AlarmLogFile

#endif
