#pragma once
// A named pipe that nobody writes to. Opening it for reading waits for a
// writer, so code that opens it would hang its test for good; here a watcher
// thread stands in as a writer whenever a reader waits (and leaves at once, so
// the reader finds the pipe empty) and remembers that the pipe was opened.

#include <QFile>
#include <QString>
#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class NamedPipe {
public:
    explicit NamedPipe(const QString &path) : m_path(QFile::encodeName(path))
    {
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
        m_watcher = std::thread([this] {
            while (!m_stop) {
                // Succeeds only while the pipe is open for reading.
                const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    m_opened = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    ~NamedPipe()
    {
        m_stop = true;
        m_watcher.join();
    }
    NamedPipe(const NamedPipe &) = delete;
    NamedPipe &operator=(const NamedPipe &) = delete;

    bool made() const { return m_made; }
    bool opened() const { return m_opened; }

private:
    QByteArray m_path;
    bool m_made = false;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_opened{false};
    std::thread m_watcher;
};
