#include "drivelink.h"

#include "frames.h"
#include "pollrotation.h"
#include "replycheck.h"

#include <algorithm>
#include <utility>

namespace {

bool isSilentTimeout(const QString &keyword)
{
    // Poll requests and the CPU reset (the drive restarts and cannot answer)
    // are dropped without a question when their reply is lost.
    return keyword == u"S" || keyword == u"VV" || keyword == u"IO" || keyword == u"MON" || keyword == u"RESET";
}

// The framed text: the poll's own requests are framed once for the run and
// shared, any other text is framed into scratch.
const QByteArray &framedText(QByteArrayView text, QByteArray &scratch)
{
    static const QByteArray s = ::FrameCmd("S"), io = ::FrameCmd("IO"), alm = ::FrameCmd("ALM");
    if (text == "S") return s;
    if (text == "IO") return io;
    if (text == "ALM") return alm;
    scratch = ::FrameCmd(text);
    return scratch;
}

}  // namespace

DriveLink::DriveLink(PortSettings &settings, SerialIo &port, QObject *parent)
    : QObject(parent), m_settings(settings), m_port(port)
{
    connect(&m_port, &SerialIo::bytesArrived, this, [this](const QByteArray &b) { receive(b); });
    connect(&m_port, &SerialIo::lost, this, &DriveLink::onPortLost);
    // The FLASH reply only ends the exchange; the transfers' replies go to
    // their jobs, and one that comes late changes nothing.
    for (const char *keyword : {"FLASH", "R", "W", "TBLR", "TBLW"}) setDecoder(QString::fromLatin1(keyword), {});
    setPollBuilder(QStringLiteral("0"), [this] { MakeCmdALM(); });
    setPollBuilder(QStringLiteral("1"), [this] { MakeCmdIO(); });
}

// ---- requests into the queue ----------------------------------------------------

void DriveLink::put(QByteArrayView text, const QString &cmdName, LinkClient *client, bool fromPoll)
{
    QByteArray scratch;
    const QByteArray &framed = framedText(text, scratch);  // the text, framed once
    m_s.PendingCmd = framed;
    std::optional<Request> displaced =
        m_queue.put(Request{framed, client, client != nullptr, RequestKindOf(RequestKeyword(framed), fromPoll)});
    if (!cmdName.isEmpty()) m_s.CmdName = cmdName;
    // A client's request that was waiting will not go out now.
    if (displaced && displaced->owner) displaced->owner->lost();
}

void DriveLink::setCommand(QByteArrayView text, const QString &cmdName) { put(text, cmdName, nullptr, false); }

void DriveLink::setClientCommand(LinkClient *client, const QString &text, const QString &cmdName)
{
    put(text.toLatin1(), cmdName, client, false);
}

void DriveLink::MakeCmdS() { put("S", QStringLiteral("S"), nullptr, true); }
void DriveLink::MakeCmdALM() { put("ALM", QStringLiteral("ALM"), nullptr, true); }
void DriveLink::MakeCmdIO() { put("IO", QStringLiteral("IO"), nullptr, true); }

bool DriveLink::askBeforePoll(QByteArrayView text, const QString &cmdName)
{
    if (!m_port.isOpen() || m_queue.slot() || !m_transferOwner.isEmpty() || stopOutstanding()) return false;
    put(text, cmdName, nullptr, true);
    return true;
}

void DriveLink::withdraw(LinkClient *client)
{
    m_queue.withdraw(client);
    syncPending();
}

void DriveLink::syncPending()
{
    const Request *slot = m_queue.slot();
    if (!slot) m_s.PendingCmd.clear();
    else if (m_s.PendingCmd != slot->framed) m_s.PendingCmd = slot->framed;
}

// ---- writing ---------------------------------------------------------------------

void DriveLink::SendPending()
{
    if (const Request *r = m_queue.takeSlot()) {
        m_s.PendingCmd.clear();
        write(*r);
    }
}

bool DriveLink::sendWaiting()
{
    const Request *r = m_queue.takeNext();
    if (!r) return false;
    syncPending();
    write(*r);
    return true;
}

void DriveLink::write(const Request &request)
{
    m_s.AwaitReply = 1;
    m_s.TimeoutTicks = 0;
    if (!m_s.LastCmd.isSharedWith(request.framed)) m_s.LastCmd = request.framed;
    const QByteArrayView keyword = request.keyword();
    if (keyword == "PJOG" || keyword == "NJOG") m_jogStarted = true;
    else if (keyword == "JOGOFF") m_jogStarted = false;
    else if (keyword == "HSON") m_highSpeedOn = true;
    else if (keyword == "HSOFF") m_highSpeedOn = false;
    m_port.write(request.framed);
}

void DriveLink::SendNext()
{
    if (m_queue.waiting()) {
        sendWaiting();
        return;
    }
    // A running transfer leaves its next request in the slot at every turn.
    // Without one, something replaced it (a button pressed within the same
    // exchange, the port opening): the chain is broken and would hold its
    // buttons disabled for good, so it is given up.
    if (!m_transferOwner.isEmpty()) abandonTransfer();
    if (m_pollsHeld) return;
    PollRequest();
    SendPending();
}

void DriveLink::PollRequest()
{
    bool background = false;
    if (m_s.PollToggle == 0) {
        MakeCmdS();
        m_s.PollToggle = 1;
    } else {
        const QString active = m_activeTag ? m_activeTag() : QString();
        const QString tag = windowPollTag(active);
        const auto it = m_pollBuilders.constFind(tag);
        if (it != m_pollBuilders.cend() && *it) (*it)();
        else MakeCmdS();
        m_s.PollToggle = 0;
        background = tag != active;  // its window is not the one the user looks at
    }
    if (!m_queue.slot()) {  // a poll always leaves a request
        MakeCmdS();
        background = false;
    }
    m_queue.markPoll(background);
}

QString DriveLink::windowPollTag(const QString &active)
{
    if (!m_keepAllLive || !m_liveTags || m_activeOnlyTags.contains(active)) return active;
    // A request that goes out only while its window is active joins while
    // its window says so (an armed capture keeps asking for its blocks).
    const auto joins = [this](const QString &tag) {
        if (!m_activeOnlyTags.contains(tag)) return true;
        const auto it = m_joinsRotation.constFind(tag);
        return it != m_joinsRotation.cend() && *it && (*it)();
    };
    QStringList live;
    for (const QString &tag : m_liveTags()) {
        const auto it = m_pollBuilders.constFind(tag);
        if (it != m_pollBuilders.cend() && *it && !live.contains(tag) && joins(tag)) live << tag;
    }
    if (live.isEmpty()) return active;
    m_lastRotated = NextPollTag(live, m_lastRotated);
    return m_lastRotated;
}

bool DriveLink::noReply() const
{
    if (m_settings.OfflineMode != 0) return false;
    // A network port that dropped or was refused is as silent as a drive
    // that does not answer; a local port that went away says so on its own.
    if (!m_port.isOpen()) return m_port.vanished();
    return m_lostInARow >= 2 || (m_sinceReply.isValid() && m_sinceReply.elapsed() > NoReplyMs);
}

// ---- receiving -------------------------------------------------------------------

void DriveLink::receive(QByteArrayView bytes)
{
    // As takeChar() for each character, but a run of ordinary characters
    // (neither a start nor an end character) is taken in one go: inside a
    // reply it is appended at once, outside one it is passed over.
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    while (p < end) {
        const char *q = p;
        while (q < end && *q != StxChar && *q != EotChar && *q != EtxChar) ++q;
        if (q > p && m_s.InReply == 1) {
            const qsizetype room = MaxReplyLength - m_s.RecvBuf.size();
            if (q - p <= room) {
                m_s.RecvBuf.append(p, q - p);
            } else {
                // The character that finds the reply full drops it; the rest
                // of the run is outside a reply.
                m_s.RecvBuf.append(p, qMax<qsizetype>(room, 0));
                m_s.RecvBuf.clear();
                m_s.InReply = 0;
            }
        }
        if (q == end) return;
        takeChar(*q);
        p = q + 1;
    }
}

void DriveLink::takeChar(char c)
{
    if (c == StxChar) {
        m_s.RecvBuf.clear();
        m_s.InReply = 1;
    }
    if (m_s.InReply == 1) {
        if (m_s.RecvBuf.size() >= MaxReplyLength) {
            // A reply without end: drop it so memory stays bounded.
            m_s.RecvBuf.clear();
            m_s.InReply = 0;
            return;
        }
        m_s.RecvBuf.append(c);
    }
    if (c != EotChar && c != EtxChar) return;
    // An end character outside a reply would decode the previous reply again
    // and put a second request in flight: it is ignored.
    if (m_s.InReply == 0) return;

    const bool awaited = m_s.AwaitReply != 0;
    m_s.TimeoutTicks = 0;
    m_s.AwaitReply = 0;
    m_s.InReply = 0;
    m_lostInARow = 0;
    m_sinceReply.start();
    // A reply that feeds a transfer, a file or a job's values is checked
    // before it is split: a garbled one never becomes a value.
    if (RepliesChecked(m_queue.last())) {
        if (const QString problem = ReplyShapeProblem(m_queue.last(), m_s.RecvBuf); !problem.isEmpty()) {
            takeGarbled(awaited, problem);
            return;
        }
    }
    dispatch(SplitReply(m_s));
    if (m_lostReply != LostReply::None) {
        // The lost reply came after all; the open question decides what is sent.
        m_lostReply = LostReply::AnsweredMeanwhile;
        return;
    }
    if (!m_port.isOpen()) return;
    SendNext();
}

void DriveLink::dispatch(int carried)
{
    // The reply as a value: the positions it did not carry keep what earlier
    // replies left, as in ReplyField.
    std::copy_n(m_s.ReplyField.cbegin(), std::min(carried, ReplyFieldCount), m_reply.field.begin());
    m_reply.carried = carried;
    if (!m_reply.keyword.isSharedWith(m_s.CmdName)) m_reply.keyword = m_s.CmdName;
    m_reply.raw = m_s.RecvBuf;
    m_queue.answerLast(m_reply.request);
    // A client's reply is the client's, but an "ERR" is shown wherever it
    // comes from.
    const QPointer<LinkClient> &client = m_reply.request.owner;
    const bool refusal = m_s.CmdName == u"ERR";
    if (!client || refusal) {
        if (m_s.CmdName.size() == 1 && m_s.CmdName.at(0) == u'S') m_s.StatusWord = quint32(m_reply.field[0]);
        const auto it = m_decoders.constFind(m_s.CmdName);
        if (it != m_decoders.cend()) {
            if (*it) (*it)(m_reply);
        } else if (m_catchAll) {
            m_catchAll(m_reply);
        }
    }
    if (client) {
        if (refusal) client->refused(m_reply.field[0]);
        else client->replied(m_reply);
    }
    // A drive that refuses a step of a transfer ends the transfer, as the
    // time-out's Cancel does; otherwise its button would stay disabled. A
    // refusal of a poll or a button's request leaves the transfer running,
    // and a job's refusal is the job's (its transfer may have ended).
    if (refusal && !m_reply.request.owned && !m_transferOwner.isEmpty() &&
        m_reply.request.kind == Request::Kind::Transfer)
        abandonTransfer();
    Q_EMIT replyDecoded(m_reply);
}

// ---- the tick and the time-out ----------------------------------------------------

void DriveLink::tick()
{
    if (++m_s.BlinkPhase > 4) m_s.BlinkPhase = 0;
    Q_EMIT blinkStepped();
    if (m_settings.OfflineMode != 0) {
        dropAllOffline();
        return;
    }
    countTimeout();
    if (!portOpen()) OpenPort();
}

void DriveLink::countTimeout()
{
    // Nothing counts while the user is asked.
    if (m_lostReply != LostReply::None || m_portWait == PortWait::UserChoice) return;
    ++m_s.TimeoutTicks;
    if (m_s.TimeoutTicks > 15) {
        m_s.TimeoutTicks = 0;
        m_s.StatusWord = 0;
        LinkTimeout();
    }
}

void DriveLink::takeGarbled(bool awaited, const QString &why)
{
    ++m_garbled;
    const Request &request = m_queue.last();
    if (request.owner) request.owner->garbled();
    Q_EMIT replyGarbled(request, why);
    // One that answers nothing awaited (a second answer, or one that comes
    // while the user is asked about the request) is only counted. Otherwise
    // the request is unanswered, as if its reply had been lost: the question,
    // or a poll's request dropped silently.
    if (!awaited) return;
    m_s.AwaitReply = 1;
    if (m_lostReply != LostReply::None) return;
    loseReply();
}

void DriveLink::LinkTimeout()
{
    if (m_s.AwaitReply == 0) return;
    ++m_lostInARow;
    loseReply();
}

void DriveLink::loseReply()
{
    m_s.ParsePos = 2;
    m_s.CmdName = QString::fromLatin1(NextField(m_s.LastCmd, m_s.ParsePos, m_s.MoreFields));
    if (!m_port.isOpen()) return;
    // Nothing of the partial reply may be taken for the next answer.
    m_s.RecvBuf.clear();
    m_s.InReply = 0;

    if (!isSilentTimeout(m_s.CmdName) && !m_quietTimeouts && !m_queue.last().background) {
        // The exchange waits here until the user decides.
        m_lostReply = LostReply::Asked;
        Q_EMIT replyLost(m_queue.last());
        return;
    }
    if (const QPointer<LinkClient> client = m_queue.takeLastOwner()) client->lost();
    if (sendWaiting()) return;
    m_s.XferIndex = 0;
    m_s.AwaitReply = 0;
    MakeCmdS();
    SendPending();
}

void DriveLink::retry()
{
    if (m_lostReply == LostReply::None) return;
    const bool answered = m_lostReply == LostReply::AnsweredMeanwhile;
    m_lostReply = LostReply::None;
    if (m_port.isOpen()) {
        if (answered) {
            SendNext();  // answered after all: go on rather than ask twice
        } else {
            // The lost request again, after the stops that wait; what the
            // user queued meanwhile goes out after its reply, before any poll.
            // A stop that the request would undo stands: the request is not
            // written again, and the stops go out.
            if (!m_queue.retryLast())
                if (const QPointer<LinkClient> client = m_queue.takeLastOwner()) client->lost();
            sendWaiting();
        }
    }  // closed or lost meanwhile: already reset
    Q_EMIT decisionTaken();
}

void DriveLink::giveUp()
{
    if (m_lostReply == LostReply::None) return;
    m_lostReply = LostReply::None;
    if (m_port.isOpen()) {
        abandonTransfer();
        loseClients();
        // The abandoned transfer's next request is no longer wanted; a
        // command the user queued meanwhile goes out instead of "S", after
        // the stops that wait.
        m_queue.dropTransferStep();
        syncPending();
        m_s.XferIndex = 0;
        m_s.AwaitReply = 0;
        if (!sendWaiting()) {
            MakeCmdS();
            SendPending();
        }
    }
    Q_EMIT decisionTaken();
}

// ---- the port ----------------------------------------------------------------------

void DriveLink::OpenPort()
{
    if (m_lostReply != LostReply::None || m_portWait == PortWait::UserChoice || m_port.isOpen()) return;
    const int portNo = m_settings.PortNo;
    const OpenResult result = m_port.open(portNo);
    if (result.status == OpenStatus::Ok) {
        m_portWait = PortWait::None;
        m_lostInARow = 0;
        m_sinceReply.start();
        resetExchange();
        setPortStatus(m_port.describe());
        MakeCmdS();
        SendPending();
        m_settings.SavePortSettings();
        return;
    }
    if (m_portWait == PortWait::Lost) {
        setPortStatus(QStringLiteral("COM%1 lost, waiting for it to come back (%2)").arg(portNo).arg(result.reason));
        return;
    }
    setPortStatus(QStringLiteral("COM%1 not open: %2").arg(portNo).arg(result.reason));
    if (result.status == OpenStatus::Other) return;  // the next tick tries again

    // The user is told and chooses again, from the last settings that worked.
    m_portWait = PortWait::UserChoice;
    m_settings.RestorePortSettings();
    Q_EMIT portRefused(result.status, portNo);
}

void DriveLink::resumeOpening()
{
    if (m_portWait != PortWait::UserChoice) return;
    m_portWait = PortWait::None;
    Q_EMIT openingResumed();
}

void DriveLink::closePort()
{
    if (m_port.isOpen()) {
        // A stop the user asked for still reaches the drive; its reply is
        // not waited for. With the port gone already, the stops wait for
        // the next opening, which sends them after its "S".
        const QList<Request> stops = m_queue.takeStops();
        for (const Request &stop : stops) m_port.write(stop.framed);
        syncPending();
        m_port.close();
        for (const Request &stop : stops)
            if (stop.owner) stop.owner->lost();
    }
    // Told of their loss, clients end their jobs; none queues anew from there
    // (a window starts a next job only on one that is done), so one pass
    // finds every client's request.
    loseClients();
    m_portWait = PortWait::None;
    resetExchange();
    if (!m_transferOwner.isEmpty()) abandonTransfer();
    setPortStatus(QString());
}

void DriveLink::dropAllOffline()
{
    m_s.StatusWord = 0;
    m_s.RecvBuf.clear();
    loseClients();  // once, as in closePort()
    // Nothing can be sent: the drive is not on the line.
    m_queue.dropWaiting();
    m_queue.forgetLast();
    m_s.PendingCmd.clear();
    m_s.LastCmd.clear();
    // A transfer started offline can never be answered.
    if (!m_transferOwner.isEmpty()) abandonTransfer();
    if (m_portStatus != u"Offline") setPortStatus(QStringLiteral("Offline"));
}

void DriveLink::onPortLost(const QString &reason)
{
    m_portWait = PortWait::Lost;
    resetExchange();
    if (!m_transferOwner.isEmpty()) abandonTransfer();
    loseClients();
    setPortStatus(QStringLiteral("COM%1 lost (%2), retrying").arg(m_settings.PortNo).arg(reason));
}

void DriveLink::resetExchange()
{
    m_s.AwaitReply = 0;
    m_s.InReply = 0;
    m_s.RecvBuf.clear();
    m_s.TimeoutTicks = 0;
}

void DriveLink::loseClients()
{
    const QList<QPointer<LinkClient>> owners = m_queue.dropClients();
    syncPending();
    for (const QPointer<LinkClient> &c : owners)
        if (c) c->lost();
}

// ---- registration and transfers -----------------------------------------------------

void DriveLink::setDecoder(const QString &keyword, Decoder decoder) { m_decoders.insert(keyword, std::move(decoder)); }

void DriveLink::dropRegistrations()
{
    m_decoders.clear();
    m_catchAll = {};
    m_pollBuilders.clear();
    m_activeOnlyTags.clear();
    m_joinsRotation.clear();
    m_activeTag = {};
    m_liveTags = {};
    m_abandonHandlers.clear();
}

void DriveLink::setPollBuilder(const QString &tag, Handler builder, PollTurn turn, std::function<bool()> joinsRotation)
{
    m_pollBuilders.insert(tag, std::move(builder));
    if (turn == PollTurn::ActiveOnly) m_activeOnlyTags.insert(tag);
    else m_activeOnlyTags.remove(tag);
    if (joinsRotation) m_joinsRotation.insert(tag, std::move(joinsRotation));
    else m_joinsRotation.remove(tag);
}

bool DriveLink::beginTransfer(const QString &owner, LinkClient *job)
{
    if (!m_transferOwner.isEmpty() && m_transferOwner != owner) return false;
    m_transferOwner = owner;
    m_transferJob = job;
    return true;
}

void DriveLink::abandonTransfer()
{
    const QPointer<LinkClient> job = m_transferJob;
    endTransfer();
    m_s.XferIndex = 0;
    if (job) job->lost();
    for (const Handler &h : m_abandonHandlers) h();
}

void DriveLink::setPortStatus(const QString &text)
{
    if (text == m_portStatus) return;
    m_portStatus = text;
    Q_EMIT portStatusChanged(text);
}
