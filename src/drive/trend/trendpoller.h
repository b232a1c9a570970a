#pragma once
// Collects the trend recorder's values from the link. While the link polls
// the recorder's tag, each of its turns asks "MON" for the next chosen item,
// exactly as the operation panel asks for its own. The request goes out as
// this client's, so its reply comes here and never to the panel's "MON"
// decoder (nor the panel's reply here); a reply is credited only when it
// names the item asked. The status word comes from every "S" reply the link
// decodes, whoever asked.

#include "drive/clock.h"
#include "drive/link/drivelink.h"

#include <QList>

class TrendPoller : public LinkClient {
    Q_OBJECT
public:
    // Registers the poll builder under tag. A value is stamped with the
    // clock's wall time (ms since the epoch); the clock outlives the poller.
    TrendPoller(DriveLink &link, const QString &tag, const Clock &clock = Clock::system(), QObject *parent = nullptr);

    // The items asked in turn (0..16, at most four); none leaves the turn to
    // the link, which then asks "S".
    void setItems(const QList<int> &items);
    const QList<int> &items() const { return m_items; }
    // The poll builder: "MON;" and the next item.
    void build();

    // Replies not credited: another item than asked, too few fields or
    // another garbled reply (which the link does not take), refused.
    int refusedReplies() const { return m_refused; }

Q_SIGNALS:
    void monitorValue(int item, qint32 value, qint64 t);
    void statusWord(quint32 word, qint64 t);

protected:
    void replied(const Reply &reply) override;
    void refused(qint32 code) override;
    void lost() override;
    void garbled() override { ++m_refused; }

private:
    void onReplyDecoded(const Reply &reply);
    qint64 now() const;

    DriveLink &m_link;
    const Clock &m_clock;
    QList<int> m_items;
    qsizetype m_next = 0;
    int m_asked = -1;  // the item of the request in flight, -1 when none
    int m_refused = 0;
};
