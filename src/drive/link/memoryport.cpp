#include "memoryport.h"

OpenResult MemoryPort::open(int portNo)
{
    ++openCount;
    lastOpenedPort = portNo;
    if (nextOpen.status == OpenStatus::Ok) m_open = true;
    return nextOpen;
}

void MemoryPort::write(const QByteArray &bytes)
{
    written.append(bytes);
    if (onWrite) onWrite(bytes);
}

QString MemoryPort::describe() const { return QStringLiteral("COM%1 (memory)").arg(lastOpenedPort); }

void MemoryPort::vanish(const QString &reason)
{
    m_open = false;
    Q_EMIT lost(reason);
}
