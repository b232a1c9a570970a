#pragma once
// The drive link: one request in flight at a time. It takes received bytes one
// character at a time, splits each finished reply and hands it to the decoder
// registered for its keyword, then sends the next request: the one waiting in
// the single PendingCmd slot, else the next poll request. It knows no window:
// windows register decoders, poll builders and a handler for an abandoned
// transfer, and the main window tells it which tag is active.

#include "linkstate.h"
#include "portsettings.h"
#include "serialio.h"

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// One who sends requests of its own through the link (a job): the replies
// to them come to it instead of to their keywords' decoders, and it hears
// when one of them will never be answered.
class LinkClient : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Its request was answered; the reply is split in the link's state.
    virtual void replied() = 0;
    // Its request was answered "ERR" with this code (the reply has also been
    // shown as every "ERR" is).
    virtual void refused(qint32 code) = 0;
    // Its request will not be answered: the lost reply was given up, the
    // port went away, was closed or went offline, or another request took
    // its place in the slot before it went out.
    virtual void lost() = 0;
};

class DriveLink : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void()>;

    DriveLink(PortSettings &settings, SerialIo &port, QObject *parent = nullptr);

    LinkState &state() { return m_s; }
    const LinkState &state() const { return m_s; }
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
    // The client's request waiting in the slot is taken back (the reply to
    // one in flight still reaches it, to be ignored).
    void withdraw(LinkClient *client);
    void FrameCmd();
    void MakeCmdS();
    void MakeCmdALM();
    void MakeCmdIO();

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
    // The link's part of the tick: offline, everything is dropped; online,
    // the time-out counts and a closed port is opened.
    void tick();
    // Online: count towards the time-out and declare a lost reply.
    void countTimeout();
    // Offline: the status word is cleared and nothing waits or is collected.
    void dropAllOffline();
    bool portOpen() const { return m_port.isOpen(); }
    // The port dialog closes the port; a running transfer is abandoned.
    void closePort();

    // --- registration -------------------------------------------------------
    void setDecoder(const QString &keyword, Handler decoder);
    void setCatchAll(Handler decoder) { m_catchAll = std::move(decoder); }
    // A window's poll request. One that may go out only while its window is
    // the active one (the waveform capture's) never joins the rotation below.
    enum class PollTurn { InRotation, ActiveOnly };
    void setPollBuilder(const QString &tag, Handler builder, PollTurn turn = PollTurn::InRotation);
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

    // --- motion this program started -----------------------------------------
    // A jog (PJOG or NJOG with no JOGOFF written since) and high speed (HSON
    // with no HSOFF since), as far as requests written to the port tell.
    bool jogStarted() const { return m_jogStarted; }
    bool highSpeedOn() const { return m_highSpeedOn; }
    // A stop request waits to be sent or its reply is still awaited.
    bool stopOutstanding() const;
    // The drive does not answer: two lost replies in a row, or nothing
    // received for NoReplyMs since the port opened or the last reply.
    bool noReply() const;
    static constexpr qint64 NoReplyMs = 3000;
    // The keyword of the request that the last reply answered.
    const QByteArray &answeredKeyword() const { return m_answered; }
    // Lost replies are given up without the question (the program is ending).
    void setQuietTimeouts(bool quiet) { m_quietTimeouts = quiet; }
    // Held: after a reply with nothing waiting to go out, no poll request is
    // made and the line falls silent (a session about to let the port go).
    void setPollsHeld(bool held) { m_pollsHeld = held; }
    bool awaitingReply() const { return m_s.AwaitReply != 0; }

    // --- what the user is asked or told ------------------------------------
    // "It failed in the communication." with Retry (true) and Cancel (false).
    std::function<bool()> askRetry;
    // The message of a port that cannot be opened (invalid number or in use).
    std::function<void(OpenStatus, int portNo)> showPortError;
    // The port dialog, modal.
    std::function<void()> showPortDialog;

    // A reply that grows past this many characters without an end character
    // is dropped; real replies are far shorter.
    static constexpr int MaxReplyLength = 16384;

    const QString &portStatus() const { return m_portStatus; }

Q_SIGNALS:
    // What the status strip says of the port ("COM1 /dev/ttyS0", a reason it
    // cannot be opened, "lost").
    void portStatusChanged(const QString &text);
    // A reply has been split and dispatched (its keyword is in CmdName).
    void replyDecoded();

private:
    // Hands the split reply to its decoder; answered is the keyword of the
    // request it answers.
    void dispatch(QByteArrayView answered);
    // Writes one framed request; it becomes LastCmd and is awaited, its
    // reply going to client when there is one.
    void sendFramed(const QByteArray &framed, LinkClient *client = nullptr);
    // The clients whose requests wait or are in flight will get no answer.
    void loseClients();
    // Sends a held request, else what waits in the slot; false when nothing
    // waits.
    bool sendWaiting();
    void sendHeld();
    void onPortLost(const QString &reason);
    // The tag whose request fills the window half of the poll.
    QString windowPollTag(const QString &active);
    void resetExchange();
    void setPortStatus(const QString &text);

    PortSettings &m_settings;
    SerialIo &m_port;
    LinkState m_s;

    QHash<QString, Handler> m_decoders;
    Handler m_catchAll;
    QHash<QString, Handler> m_pollBuilders;
    std::function<QString()> m_activeTag;
    QSet<QString> m_activeOnlyTags;
    bool m_keepAllLive = false;
    std::function<QStringList()> m_liveTags;
    QString m_lastRotated;             // the tag the rotation served last
    bool m_pollForBackground = false;  // the poll request in the slot is for a window not active
    bool m_inFlightBackground = false; // so is the request in flight
    std::vector<Handler> m_abandonHandlers;
    QString m_transferOwner;
    QPointer<LinkClient> m_transferJob;
    QPointer<LinkClient> m_pendingClient;   // whose request waits in the slot
    QPointer<LinkClient> m_inFlightClient;  // whose request is LastCmd
    QByteArray m_answered;
    // Requests that go out before the slot, oldest first: stops that a later
    // request would have replaced, and a job's request that waited behind
    // such a stop when a button took the slot.
    struct Held {
        QByteArray framed;
        QPointer<LinkClient> client;
    };
    QList<Held> m_held;
    bool m_pendingDeferred = false;  // the slot's job request waits because a held request went first
    bool m_inFlightOwned = false;    // the request in flight was a job's (even one gone since)
    bool m_jogStarted = false;
    bool m_highSpeedOn = false;
    bool m_quietTimeouts = false;
    bool m_pollsHeld = false;
    int m_lostInARow = 0;
    QElapsedTimer m_sinceReply;

    bool m_uiBusy = false;        // a question or a port message is open
    bool m_questionOpen = false;  // "It failed in the communication." is open
    bool m_lateReply = false;     // a reply ended while the question was open
    bool m_portLost = false;      // the open port went away; retry silently
    QString m_portStatus;
};
