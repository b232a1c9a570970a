#include "requestqueue.h"

#include "linkclient.h"

#include <algorithm>
#include <utility>

Request::Kind RequestKindOf(QByteArrayView keyword, bool builtByPoll)
{
    if (IsStopRequest(keyword)) return Request::Kind::Stop;
    if (IsTransferRequest(keyword)) return Request::Kind::Transfer;
    return builtByPoll ? Request::Kind::Poll : Request::Kind::Command;
}

bool UndoesStop(QByteArrayView request, QByteArrayView stop)
{
    if (stop == "JOGOFF") return request == "PJOG" || request == "NJOG";
    if (stop == "HSOFF") return request == "HSON";
    if (stop == "SVOFF") return request == "SVON";
    if (stop == "EMCON") return request == "EMCOFF";
    return false;
}

bool RequestQueue::keptAlready(const QByteArray &framed) const
{
    return std::any_of(m_kept.cbegin(), m_kept.cend(), [&framed](const Request &k) { return k.framed == framed; });
}

std::optional<Request> RequestQueue::put(Request r)
{
    std::optional<Request> displaced;
    if (m_slot) {
        // The same stop again stays one; a stop kept already goes once.
        const bool keep = m_slot->isStop() ? m_slot->framed != r.framed && !keptAlready(m_slot->framed)
                                           : m_slot->owner && m_slotKeepsTurn;
        if (keep) m_kept.append(std::move(*m_slot));
        else displaced = std::move(*m_slot);
    }
    m_slot = std::move(r);
    m_slotKeepsTurn = false;
    return displaced;
}

void RequestQueue::markPoll(bool background)
{
    if (!m_slot) return;
    if (m_slot->kind == Request::Kind::Command) m_slot->kind = Request::Kind::Poll;
    m_slot->background = background;
}

const Request *RequestQueue::takeNext()
{
    if (m_kept.isEmpty()) return takeSlot();
    // A client's request in the slot waits behind this one: it keeps its turn.
    if (m_slot && m_slot->owner) m_slotKeepsTurn = true;
    m_last = m_kept.takeFirst();
    return &m_last;
}

const Request *RequestQueue::takeSlot()
{
    if (!m_slot) return nullptr;
    m_last = std::move(*m_slot);
    m_slot.reset();
    m_slotKeepsTurn = false;
    return &m_last;
}

QPointer<LinkClient> RequestQueue::takeLastOwner() { return std::exchange(m_last.owner, nullptr); }

void RequestQueue::answerLast(Request &into)
{
    // Mostly the same text as the last answered (the poll's own requests are
    // shared): no count of its users changes then.
    if (!into.framed.isSharedWith(m_last.framed)) into.framed = m_last.framed;
    into.owner = std::exchange(m_last.owner, nullptr);
    into.owned = std::exchange(m_last.owned, false);
    into.kind = m_last.kind;
    into.background = m_last.background;
    into.retries = m_last.retries;
}

bool RequestQueue::retryLast()
{
    if (m_slot && m_slot->isStop()) {
        if (!keptAlready(m_slot->framed)) m_kept.append(std::move(*m_slot));
        m_slot.reset();
        m_slotKeepsTurn = false;
    }
    qsizetype at = 0;
    for (qsizetype i = 0; i < m_kept.size(); ++i)
        if (m_kept[i].isStop()) at = i + 1;
    const QByteArrayView keyword = m_last.keyword();
    for (qsizetype i = 0; i < at; ++i)
        if (m_kept[i].isStop() && UndoesStop(keyword, m_kept[i].keyword())) return false;
    Request again = m_last;
    ++again.retries;
    m_kept.insert(at, std::move(again));
    return true;
}

void RequestQueue::withdraw(const LinkClient *client)
{
    if (!client) return;
    if (m_slot && m_slot->owner == client) {
        m_slot.reset();
        m_slotKeepsTurn = false;
    }
    m_kept.removeIf([client](const Request &k) { return k.owner == client; });
}

QList<QPointer<LinkClient>> RequestQueue::dropClients()
{
    QList<QPointer<LinkClient>> owners;
    if (m_last.owner) owners << takeLastOwner();
    if (m_slot && m_slot->owner) {
        owners << m_slot->owner;
        m_slot.reset();
    }
    m_slotKeepsTurn = false;
    for (const Request &k : std::as_const(m_kept))
        if (k.owner) owners << k.owner;
    m_kept.removeIf([](const Request &k) { return !k.owner.isNull(); });
    return owners;
}

void RequestQueue::dropTransferStep()
{
    if (m_slot && m_slot->kind == Request::Kind::Transfer) {
        m_slot.reset();
        m_slotKeepsTurn = false;
    }
}

void RequestQueue::dropWaiting()
{
    m_kept.clear();
    m_slot.reset();
    m_slotKeepsTurn = false;
}

QList<Request> RequestQueue::takeStops()
{
    QList<Request> stops;
    for (const Request &k : std::as_const(m_kept))
        if (k.isStop()) stops << k;
    m_kept.removeIf([](const Request &k) { return k.isStop(); });
    if (m_slot && m_slot->isStop()) {
        stops << std::move(*m_slot);
        m_slot.reset();
        m_slotKeepsTurn = false;
    }
    return stops;
}

bool RequestQueue::stopOutstanding(bool awaited) const
{
    const bool kept = std::any_of(m_kept.cbegin(), m_kept.cend(), [](const Request &k) { return k.isStop(); });
    return kept || (m_slot && m_slot->isStop()) || (awaited && m_last.isStop());
}
