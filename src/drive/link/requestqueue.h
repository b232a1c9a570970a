#pragma once
// The requests of the link as values, from the moment a builder leaves one
// until it has been written: one slot, the requests kept ahead of it, and
// the one written last (in flight while its reply is awaited). The rule it
// keeps: one request in flight; a later request replaces the one waiting in
// the slot; a stop is never replaced and goes out first; a client's request
// that waited behind a kept one keeps its turn. It writes nothing and tells
// no one: the link writes what it hands out and tells the owners it returns.

#include "request.h"

#include <QList>
#include <optional>

class RequestQueue {
public:
    // --- waiting -----------------------------------------------------------
    // Leaves r in the slot. What waited there is kept (it goes out before the
    // slot, in the order kept) when it is a stop not kept already, or a
    // client's request that waited only because a kept one went first;
    // anything else is displaced and returned, for its owner to be told.
    std::optional<Request> put(Request r);
    const Request *slot() const { return m_slot ? &*m_slot : nullptr; }
    const QList<Request> &kept() const { return m_kept; }
    bool waiting() const { return m_slot || !m_kept.isEmpty(); }
    // The poll built the slot's request: it is a poll request, for a window
    // other than the active one when background.
    void markPoll(bool background);

    // --- going out -----------------------------------------------------------
    // The oldest kept request, else the slot's: it becomes the request written
    // last. Null when nothing waits.
    const Request *takeNext();
    // The slot's request, ahead of the kept ones (the first request on a port
    // just opened). Null when the slot is empty.
    const Request *takeSlot();
    // The request written last (LastCmd as a value): the one in flight while
    // its reply is awaited.
    const Request &last() const { return m_last; }
    // Its owner, taken from it: a reply or a loss is told to an owner once.
    QPointer<LinkClient> takeLastOwner();
    // Its reply came: into becomes the request as it was written, after which
    // it is no one's (another reply to it is nobody's answer).
    void answerLast(Request &into);
    // Forgets it (offline: nothing was written).
    void forgetLast() { m_last = Request(); }
    // The request written last goes out again, once more, right after the
    // stops that wait (a stop in the slot is kept for that). False, and
    // nothing queued, when one of those stops is undone by it (UndoesStop):
    // the stop stands.
    bool retryLast();

    // --- taken back ----------------------------------------------------------
    // The client's requests that wait.
    void withdraw(const LinkClient *client);
    // Every client's request that waits is dropped, and the one written last
    // is no longer a client's: their owners, to be told (the one written
    // last first, then the slot's, then the kept ones').
    QList<QPointer<LinkClient>> dropClients();
    // The slot's request, when it is a step of a transfer.
    void dropTransferStep();
    // Everything that waits.
    void dropWaiting();
    // The stops that wait, taken out in the order they would have gone.
    QList<Request> takeStops();
    // A stop waits, or is in flight when awaited says a reply is.
    bool stopOutstanding(bool awaited) const;

private:
    bool keptAlready(const QByteArray &framed) const;

    QList<Request> m_kept;         // go out before the slot, oldest first
    std::optional<Request> m_slot; // PendingCmd
    bool m_slotKeepsTurn = false;  // the slot's client request waits because a kept one went first
    Request m_last;                // LastCmd
};

// Whether a request written after a stop would undo it: a jog after
// "JOGOFF", high speed after "HSOFF", servo on after "SVOFF", the emergency
// stop released after "EMCON".
bool UndoesStop(QByteArrayView request, QByteArrayView stop);
