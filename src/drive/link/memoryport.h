#pragma once
// An in-memory port for tests and benchmarks: records what is written and
// delivers injected bytes as if they had arrived on the line.

#include "serialio.h"

#include <QList>
#include <functional>

class MemoryPort : public SerialIo {
    Q_OBJECT
public:
    using SerialIo::SerialIo;

    OpenResult open(int portNo) override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void write(const QByteArray &bytes) override;
    QString describe() const override;

    // Bytes arriving from the drive, delivered at once.
    void inject(const QByteArray &bytes) { Q_EMIT bytesArrived(bytes); }
    // The port goes away under the program.
    void vanish(const QString &reason);

    // Every write, one entry per write.
    QList<QByteArray> written;
    int openCount = 0;
    int lastOpenedPort = 0;
    // The answer of the next open() calls; Ok by default.
    OpenResult nextOpen;
    // Called after each write (a scripted peer may answer from here, within
    // the write; a test double's hook, not part of the program).
    std::function<void(const QByteArray &)> onWrite;

private:
    bool m_open = false;
};
