#include "trendpoller.h"

#include "drive/monitor/monitorrules.h"
#include "drive/trend/trendrules.h"

#include <QPointer>
#include <utility>

TrendPoller::TrendPoller(DriveLink &link, const QString &tag, const Clock &clock, QObject *parent)
    : LinkClient(parent), m_link(link), m_clock(clock)
{
    // The builder lives in the link; it asks nothing once this is gone.
    m_link.setPollBuilder(tag, [self = QPointer<TrendPoller>(this)] {
        if (self) self->build();
    });
    connect(&m_link, &DriveLink::replyDecoded, this, &TrendPoller::onReplyDecoded);
}

qint64 TrendPoller::now() const { return m_clock.epochMs(); }

void TrendPoller::setItems(const QList<int> &items)
{
    m_items.clear();
    for (int item : items)
        if (item >= 0 && item < MonitorItemCount && !m_items.contains(item) && m_items.size() < TrendMaxItems)
            m_items << item;
    m_next = 0;
}

void TrendPoller::build()
{
    if (m_items.isEmpty()) return;
    if (m_next >= m_items.size()) m_next = 0;
    m_asked = m_items[m_next++];
    m_link.setClientCommand(this, MonitorCommand(m_asked), QStringLiteral("MON"));
}

void TrendPoller::replied(const Reply &reply)
{
    const int asked = std::exchange(m_asked, -1);
    const std::optional<qint32> value =
        reply.keyword == u"MON" && asked >= 0 ? TrendMonitorValue(reply.raw, asked) : std::nullopt;
    if (!value) {
        ++m_refused;
        return;
    }
    Q_EMIT monitorValue(asked, *value, now());
}

void TrendPoller::refused(qint32)
{
    m_asked = -1;
    ++m_refused;
}

void TrendPoller::lost() { m_asked = -1; }

void TrendPoller::onReplyDecoded(const Reply &reply)
{
    if (reply.request.keyword() != "S" || reply.keyword != u"S") return;
    if (const std::optional<quint32> word = TrendStatusWord(reply.raw)) Q_EMIT statusWord(*word, now());
}
