#include "terminalsecret.h"

#include <QByteArray>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

std::optional<QString> AskSecretAtTerminal(const QString &prompt, const std::function<bool()> &interrupted, QString *error)
{
#ifdef Q_OS_UNIX
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct termios saved {};
    if (::tcgetattr(fd, &saved) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    // Echo off before the prompt shows: what is typed after it is kept
    // (switching discards what came before) and never shown.
    struct termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
    const QByteArray question = prompt.toLocal8Bit();
    if (::write(fd, question.constData(), static_cast<size_t>(question.size())) < 0) {}

    QByteArray line;
    QString why;
    for (bool done = false; !done;) {
        if (interrupted && interrupted()) {
            why = QStringLiteral("the maker's password was not given (interrupted)");
            break;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 100);
        if (ready < 0 && errno != EINTR) {
            why = QStringLiteral("the terminal could not be read: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            break;
        }
        if (ready <= 0) continue;
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0 || c == '\n' || c == '\r') done = true;
        else if (line.size() < 4096) line.append(c);
    }
    ::tcsetattr(fd, TCSAFLUSH, &saved);
    // The line end the user typed was not echoed either.
    if (::write(fd, "\n", 1) < 0) {}
    ::close(fd);
    if (!why.isEmpty()) {
        if (error) *error = why;
        return std::nullopt;
    }
    return QString::fromLocal8Bit(line);
#else
    Q_UNUSED(prompt);
    Q_UNUSED(interrupted);
    Q_UNUSED(error);
    return std::nullopt;
#endif
}
