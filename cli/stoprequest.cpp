#include "stoprequest.h"

#include <QMutexLocker>

void StopRequest::request(Why why, const QString &reason)
{
    {
        QMutexLocker lock(&m_lock);
        if (m_why.load() != Why::None || why == Why::None) return;
        m_reason = reason;
        m_why.store(why);
    }
    Q_EMIT stopRequested();
}

QString StopRequest::reason() const
{
    QMutexLocker lock(&m_lock);
    return m_reason;
}
