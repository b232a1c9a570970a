#pragma once
// One end of a serial line on a pseudo-terminal, read as the frames of the
// wire protocol: a start character, a text and an end character.

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

class FramedLine {
public:
    // A device opened raw, as the program opens a serial port.
    explicit FramedLine(const QByteArray &device) : FramedLine(::open(device.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        termios tio{};
        if (m_fd < 0 || ::tcgetattr(m_fd, &tio) != 0) return;
        ::cfmakeraw(&tio);
        ::tcsetattr(m_fd, TCSANOW, &tio);
    }
    // An open descriptor (the master side of a pseudo-terminal), taken over.
    explicit FramedLine(int fd) : m_fd(fd)
    {
        if (m_fd >= 0) ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    }
    ~FramedLine()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    FramedLine(const FramedLine &) = delete;
    FramedLine &operator=(const FramedLine &) = delete;

    bool ok() const { return m_fd >= 0; }
    void send(const QByteArray &bytes) { [[maybe_unused]] const auto n = ::write(m_fd, bytes.constData(), bytes.size()); }

    // The text of the next frame (a later start character before its end
    // begins it anew), or "<none>" after timeoutMs. What arrived during the
    // call stays in raw, and when (ms into the call) in reads.
    QByteArray frame(int timeoutMs = 2000)
    {
        raw.clear();
        reads.clear();
        QElapsedTimer t;
        t.start();
        for (;;) {
            const qsizetype stx = m_buf.indexOf('\x02');
            for (qsizetype end = stx < 0 ? m_buf.size() : stx + 1; end < m_buf.size(); ++end) {
                if (m_buf[end] != '\x04' && m_buf[end] != '\x03') continue;
                const qsizetype start = m_buf.lastIndexOf('\x02', end);
                const QByteArray text = m_buf.mid(start + 1, end - start - 1);
                m_buf.remove(0, end + 1);
                return text;
            }
            if (t.elapsed() >= timeoutMs) return "<none>";
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            char chunk[65536];
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n <= 0) continue;
            m_buf.append(chunk, n);
            raw.append(chunk, n);
            reads << t.elapsed();
        }
    }
    QByteArray exchange(const QByteArray &request, int timeoutMs = 2000)
    {
        send('\x02' + request + '\x04');
        return frame(timeoutMs);
    }

    QByteArray raw;
    QList<qint64> reads;

private:
    int m_fd = -1;
    QByteArray m_buf;
};
