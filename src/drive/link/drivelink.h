#pragma once
// The drive link: one request in flight at a time. It takes received bytes one
// character at a time, splits each finished reply and hands it, as a value,
// to the decoder registered for its keyword (or to the client whose request
// it answers), then sends the next request: a stop kept waiting, else the one
// in the single PendingCmd slot, else the next poll request. The requests
// waiting and in flight are values in one RequestQueue. It knows no window:
// windows register decoders, poll builders and a handler for an abandoned
// transfer, the main window tells it which tag is active, and what the user
// must decide (a lost reply, a port that cannot be opened) it announces and
// waits for; it never waits inside a call.

#include "linkclient.h"
#include "linkstate.h"
#include "portsettings.h"
#include "request.h"
#include "requestqueue.h"
#include "serialio.h"

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class DriveLink : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void()>;
    using Decoder = std::function<void(const Reply &)>;

    DriveLink(PortSettings &settings, SerialIo &port, QObject *parent = nullptr);

    // The link state, for reading: only the link writes it.
    const LinkState &state() const { return m_s; }
    // The requests waiting and the one written last.
    const RequestQueue &requests() const { return m_queue; }
    PortSettings &settings() { return m_settings; }
    SerialIo &port() { return m_port; }

    // --- request builders -------------------------------------------------
    // PendingCmd = the framed text, replacing whatever waited there, except
    // that a stop request it would replace is kept and goes out first. A
    // non-empty name also becomes CmdName.
    void setCommand(QByteArrayView text, const QString &cmdName = {});
    void setCommandText(const QString &text, const QString &cmdName = {}) { setCommand(text.toLatin1(), cmdName); }
    // The same for a client's request: its reply goes to the client.
    void setClientCommand(LinkClient *client, const QString &text, const QString &cmdName);
    // The client's requests waiting are taken back (the reply to one in
    // flight still reaches it, to be ignored).
    void withdraw(LinkClient *client);
    void MakeCmdS();
    void MakeCmdALM();
    void MakeCmdIO();
    // A one-off request of one who watches the replies (the alarm log asks
    // "ALM" for the names of an alarm the status shows): queued only into an
    // empty slot with the port open, no transfer running and no stop
    // outstanding, so it replaces nothing; it goes out at the next turn of the
    // link, before the poll's next request, and its reply goes to the
    // keyword's decoder like any. False when it was not queued.
    bool askBeforePoll(QByteArrayView text, const QString &cmdName);

    // --- the turn of the link ---------------------------------------------
    void SendPending();
    void SendNext();
    void PollRequest();
    void OpenPort();
    void LinkTimeout();
    // One received character (the receive event); receive() feeds many.
    void takeChar(char c);
    void receive(QByteArrayView bytes);

    // --- the 100 ms tick ----------------------------------------------------
    // The link's part of the tick: BlinkPhase steps (blinkStepped() tells the
    // status strip to colour its lamps); then offline, everything is dropped;
    // online, the time-out counts and a closed port is opened.
    void tick();
    bool portOpen() const { return m_port.isOpen(); }
    // The port dialog closes the port; a running transfer is abandoned. The
    // stops that wait are written first when the port is open, and kept for
    // the next opening when it is gone.
    void closePort();

    // --- what the link waits for ---------------------------------------------
    // After replyLost(): the lost request is written again (stops that wait
    // go first; one that the request would undo stands, and the request is
    // not written again), or given up: a transfer is abandoned, the clients
    // hear of it, and what waits goes out, else "S".
    void retry();
    void giveUp();
    bool awaitingDecision() const { return m_lostReply != LostReply::None; }
    // After portRefused(): the user has read the message and left the port
    // dialog; the next tick tries to open the port again.
    void resumeOpening();
    bool awaitingPortChoice() const { return m_portWait == PortWait::UserChoice; }

    // --- registration -------------------------------------------------------
    void setDecoder(const QString &keyword, Decoder decoder);
    void setCatchAll(Decoder decoder) { m_catchAll = std::move(decoder); }
    // A window's poll request. One that may go out only while its window is
    // the active one (the waveform capture's) joins the rotation below only
    // while joinsRotation says so (a capture armed or uploading).
    enum class PollTurn { InRotation, ActiveOnly };
    void setPollBuilder(const QString &tag, Handler builder, PollTurn turn = PollTurn::InRotation,
                        std::function<bool()> joinsRotation = {});
    // Asked at each poll turn (the shell's answer, at once, so a function).
    void setActiveTagSource(std::function<QString()> source) { m_activeTag = std::move(source); }
    // "Keep All Monitors Live": the window half of the poll takes the requests
    // of the windows on show in turn (see NextPollTag), the active window's
    // included, rather than the active window's alone; the "S" half and the
    // requests that wait go on as ever. Off, nothing differs from the plain
    // poll. A request sent for a window that is not the active one is given
    // up silently when its reply is lost.
    void setKeepAllLive(bool on) { m_keepAllLive = on; }
    bool keepAllLive() const { return m_keepAllLive; }
    // The tags of the windows on show, in a stable order.
    void setLiveTagSource(std::function<QStringList()> source) { m_liveTags = std::move(source); }
    void addAbandonHandler(Handler handler) { m_abandonHandlers.push_back(std::move(handler)); }
    // The windows are going (the main window closes before the session that
    // owns the link): all of the above is let go, so that the link never
    // calls into a window that is gone.
    void dropRegistrations();

    // --- transfers (the parameter and the point table transfers share
    // XferIndex and the slot, so only one may run) ---------------------------
    // A job that holds the transfer hears through lost() when it is abandoned.
    bool beginTransfer(const QString &owner, LinkClient *job = nullptr);
    void endTransfer()
    {
        m_transferOwner.clear();
        m_transferJob = nullptr;
    }
    const QString &transferOwner() const { return m_transferOwner; }
    // XferIndex = 0 and every editor restores its read and write buttons.
    void abandonTransfer();
    // The block or point of the transfer that runs, stepped by its job.
    void setXferIndex(quint8 index) { m_s.XferIndex = index; }
    // ReadDoneFlags: the whole point table (ReadDone::PointTable) or the
    // parameters (ReadDone::Parameters) have been read; never cleared.
    void markRead(quint8 flag) { m_s.ReadDoneFlags |= flag; }

    // --- motion this program started -----------------------------------------
    // A jog (PJOG or NJOG with no JOGOFF written since) and high speed (HSON
    // with no HSOFF since), as far as requests written to the port tell.
    bool jogStarted() const { return m_jogStarted; }
    bool highSpeedOn() const { return m_highSpeedOn; }
    // A stop request waits to be sent or its reply is still awaited.
    bool stopOutstanding() const { return m_queue.stopOutstanding(m_s.AwaitReply != 0); }
    // The drive does not answer: two lost replies in a row, or nothing
    // received for NoReplyMs since the port opened or the last reply; or
    // a network port dropped or was refused and is being tried again.
    bool noReply() const;
    static constexpr qint64 NoReplyMs = 3000;
    // Replies that failed their check (replycheck.h) since the link was made:
    // each was handled as a lost one and none became a value.
    int garbledReplies() const { return m_garbled; }
    // The keyword of the request that the last reply answered.
    QByteArrayView answeredKeyword() const { return m_reply.request.keyword(); }
    // The last reply, as its decoder received it.
    const Reply &lastReply() const { return m_reply; }
    // Lost replies are given up without the question (the program is ending).
    void setQuietTimeouts(bool quiet) { m_quietTimeouts = quiet; }
    // Held: after a reply with nothing waiting to go out, no poll request is
    // made and the line falls silent (a session about to let the port go).
    void setPollsHeld(bool held) { m_pollsHeld = held; }
    bool awaitingReply() const { return m_s.AwaitReply != 0; }

    // A reply that grows past this many characters without an end character
    // is dropped; real replies are far shorter.
    static constexpr int MaxReplyLength = 16384;

    const QString &portStatus() const { return m_portStatus; }

Q_SIGNALS:
    // What the status strip says of the port ("COM1 /dev/ttyS0", a reason it
    // cannot be opened, "lost").
    void portStatusChanged(const QString &text);
    // A reply has been split and dispatched.
    void replyDecoded(const Reply &reply);
    // The tick stepped BlinkPhase: the lamps are coloured now, from the
    // status word as it stands before the rest of the tick.
    void blinkStepped();
    // The reply to request failed its check (why says how): it was not
    // taken, and the request is handled as if its reply had been lost.
    void replyGarbled(const Request &request, const QString &why);
    // The reply to a request that is not a poll's was lost: the user is asked
    // "It failed in the communication.", and the link neither counts nor
    // opens until retry() or giveUp().
    void replyLost(const Request &request);
    // The lost reply has been decided (the question can close).
    void decisionTaken();
    // The port could not be opened: it is invalid or in use. The last
    // settings known to work are back; the link opens no port until
    // resumeOpening().
    void portRefused(OpenStatus status, int portNo);
    void openingResumed();

private:
    // Queues one request (see setCommand); fromPoll for the link's own
    // builders of the poll requests.
    void put(QByteArrayView text, const QString &cmdName, LinkClient *client, bool fromPoll);
    // Hands the split reply to its decoder or its client.
    void dispatch(int carried);
    // A reply that failed its check; awaited when its request was.
    void takeGarbled(bool awaited, const QString &why);
    // The request in flight gets no answer: the question, or given up
    // silently and the link goes on.
    void loseReply();
    // Writes the request the queue handed out: it becomes LastCmd and is
    // awaited.
    void write(const Request &request);
    // Sends the oldest kept request, else the slot's; false when nothing waits.
    bool sendWaiting();
    // The clients whose requests wait or are in flight will get no answer.
    void loseClients();
    // Counts towards the time-out, online.
    void countTimeout();
    // Offline: the status word is cleared and nothing waits or is collected.
    void dropAllOffline();
    void onPortLost(const QString &reason);
    // The tag whose request fills the window half of the poll.
    QString windowPollTag(const QString &active);
    void resetExchange();
    void syncPending();
    void setPortStatus(const QString &text);

    PortSettings &m_settings;
    SerialIo &m_port;
    LinkState m_s;
    RequestQueue m_queue;
    Reply m_reply;

    QHash<QString, Decoder> m_decoders;
    Decoder m_catchAll;
    QHash<QString, Handler> m_pollBuilders;
    std::function<QString()> m_activeTag;
    QSet<QString> m_activeOnlyTags;
    QHash<QString, std::function<bool()>> m_joinsRotation;  // of active-only tags
    bool m_keepAllLive = false;
    std::function<QStringList()> m_liveTags;
    QString m_lastRotated;  // the tag the rotation served last
    std::vector<Handler> m_abandonHandlers;
    QString m_transferOwner;
    QPointer<LinkClient> m_transferJob;
    bool m_jogStarted = false;
    bool m_highSpeedOn = false;
    bool m_quietTimeouts = false;
    bool m_pollsHeld = false;
    int m_lostInARow = 0;
    int m_garbled = 0;
    QElapsedTimer m_sinceReply;

    // A lost reply: the decision is awaited; the reply came meanwhile.
    enum class LostReply { None, Asked, AnsweredMeanwhile };
    LostReply m_lostReply = LostReply::None;
    // Opening the port: as usual; the open port went away (retried silently);
    // refused, and the user chooses.
    enum class PortWait { None, Lost, UserChoice };
    PortWait m_portWait = PortWait::None;
    QString m_portStatus;
};
