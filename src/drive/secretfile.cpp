#include "secretfile.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString problemOf(const struct stat &st, const QString &path, const QString &what, bool secret)
{
    if (!S_ISREG(st.st_mode)) return QStringLiteral("%1 %2 is not a plain file").arg(what, path);
    if (secret && (st.st_mode & 077) != 0)
        return QStringLiteral("%1 %2 may be read or changed by others than its owner (mode %3): "
                              "make it the owner's alone with chmod 600 %2")
            .arg(what, path)
            .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}
#endif

QString tooLarge(const QString &path, const QString &what, qint64 limit)
{
    return QStringLiteral("%1 %2 is too large for one (more than %3 bytes)").arg(what, path).arg(limit);
}

QString fileProblem(const QString &path, const QString &what, bool secret)
{
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("cannot read %1 %2: %3").arg(what, path, systemError(errno));
    return problemOf(st, path, what, secret);
#else
    Q_UNUSED(path);
    Q_UNUSED(what);
    Q_UNUSED(secret);
    return {};
#endif
}

std::optional<QByteArray> readFile(const QString &path, const QString &what, qint64 limit, bool secret, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<QByteArray> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (const QString problem = fileProblem(path, what, secret); !problem.isEmpty()) return fail(problem);
#ifdef Q_OS_UNIX
    // Opened without waiting and looked at again: the name may have been
    // given to another file since it was checked.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(QStringLiteral("cannot read %1 %2: %3").arg(what, path, systemError(errno)));
    struct stat st {};
    QString problem = ::fstat(fd, &st) == 0 ? problemOf(st, path, what, secret) : systemError(errno);
    QByteArray bytes;
    if (problem.isEmpty() && st.st_size > limit) problem = tooLarge(path, what, limit);
    while (problem.isEmpty()) {
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) problem = QStringLiteral("cannot read %1 %2: %3").arg(what, path, systemError(errno));
        if (n <= 0) break;
        bytes.append(buffer, n);
        if (bytes.size() > limit) problem = tooLarge(path, what, limit);
    }
    ::close(fd);
    if (!problem.isEmpty()) return fail(problem);
    return bytes;
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return fail(QStringLiteral("cannot read %1 %2: %3").arg(what, path, file.errorString()));
    QByteArray bytes = file.read(limit + 1);
    if (bytes.size() > limit) return fail(tooLarge(path, what, limit));
    return bytes;
#endif
}

}  // namespace

QString SecretFileProblem(const QString &path, const QString &what) { return fileProblem(path, what, true); }

std::optional<QByteArray> ReadSecretFile(const QString &path, const QString &what, qint64 limit, QString *error)
{
    return readFile(path, what, limit, true, error);
}

QString PlainFileProblem(const QString &path, const QString &what)
{
    if (QString problem = fileProblem(path, what, false); !problem.isEmpty()) return problem;
#ifdef Q_OS_UNIX
    // Readable by this user: opened without waiting, and closed again.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return QStringLiteral("cannot read %1 %2: %3").arg(what, path, systemError(errno));
    ::close(fd);
#endif
    return {};
}

std::optional<QByteArray> ReadPlainFile(const QString &path, const QString &what, qint64 limit, QString *error)
{
    return readFile(path, what, limit, false, error);
}
