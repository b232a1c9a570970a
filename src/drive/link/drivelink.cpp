#include "drivelink.h"

#include "frames.h"
#include "pollrotation.h"

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

void DriveLink::setCommand(QByteArrayView text, const QString &cmdName)
{
    // A stop request is never dropped: what replaces it waits behind it.
    QByteArray scratch;
    const QByteArray &framed = framedText(text, scratch);
    const bool held = std::any_of(m_held.cbegin(), m_held.cend(), [this](const Held &h) { return h.framed == m_s.PendingCmd; });
    if (IsStopRequest(RequestKeyword(m_s.PendingCmd)) && m_s.PendingCmd != framed && !held)
        m_held.append({m_s.PendingCmd, nullptr});
    QPointer<LinkClient> replaced = std::exchange(m_pendingClient, nullptr);
    if (replaced && m_pendingDeferred) {
        // It waited only because a stop went first: it keeps its turn.
        m_held.append({m_s.PendingCmd, replaced});
        replaced = nullptr;
    }
    m_pendingDeferred = false;
    m_pollForBackground = false;
    m_s.PendingCmd = framed;  // the text, framed once
    if (!cmdName.isEmpty()) m_s.CmdName = cmdName;
    // A client's request that was waiting will not go out now.
    if (replaced) replaced->lost();
}

void DriveLink::setClientCommand(LinkClient *client, const QString &text, const QString &cmdName)
{
    setCommandText(text, cmdName);
    m_pendingClient = client;
}

void DriveLink::FrameCmd() { m_s.PendingCmd = ::FrameCmd(m_s.PendingCmd); }

void DriveLink::MakeCmdS() { setCommand("S", QStringLiteral("S")); }
void DriveLink::MakeCmdALM() { setCommand("ALM", QStringLiteral("ALM")); }
void DriveLink::MakeCmdIO() { setCommand("IO", QStringLiteral("IO")); }

void DriveLink::SendPending()
{
    const QByteArray framed = m_s.PendingCmd;
    LinkClient *client = std::exchange(m_pendingClient, nullptr);
    const bool background = std::exchange(m_pollForBackground, false);
    m_pendingDeferred = false;
    m_s.PendingCmd.clear();
    sendFramed(framed, client);
    m_inFlightBackground = background;
}

void DriveLink::sendFramed(const QByteArray &framed, LinkClient *client)
{
    m_inFlightClient = client;
    m_inFlightOwned = client != nullptr;
    m_inFlightBackground = false;
    m_s.AwaitReply = 1;
    m_s.TimeoutTicks = 0;
    m_s.LastCmd = framed;
    const QByteArrayView keyword = RequestKeyword(framed);
    if (keyword == "PJOG" || keyword == "NJOG") m_jogStarted = true;
    else if (keyword == "JOGOFF") m_jogStarted = false;
    else if (keyword == "HSON") m_highSpeedOn = true;
    else if (keyword == "HSOFF") m_highSpeedOn = false;
    m_port.write(framed);
}

void DriveLink::sendHeld()
{
    const Held h = m_held.takeFirst();
    if (m_pendingClient) m_pendingDeferred = true;
    sendFramed(h.framed, h.client);
}

bool DriveLink::sendWaiting()
{
    if (!m_held.isEmpty()) {
        sendHeld();
        return true;
    }
    if (m_s.PendingCmd.isEmpty()) return false;
    SendPending();
    return true;
}

void DriveLink::withdraw(LinkClient *client)
{
    if (m_pendingClient == client) {
        m_pendingClient = nullptr;
        m_s.PendingCmd.clear();
    }
}

bool DriveLink::noReply() const
{
    return m_port.isOpen() && (m_lostInARow >= 2 || (m_sinceReply.isValid() && m_sinceReply.elapsed() > NoReplyMs));
}

bool DriveLink::stopOutstanding() const
{
    const bool held = std::any_of(m_held.cbegin(), m_held.cend(),
                                  [](const Held &h) { return IsStopRequest(RequestKeyword(h.framed)); });
    return held || IsStopRequest(RequestKeyword(m_s.PendingCmd))
        || (m_s.AwaitReply != 0 && IsStopRequest(RequestKeyword(m_s.LastCmd)));
}

void DriveLink::SendNext()
{
    if (!m_held.isEmpty()) {
        sendHeld();
        return;
    }
    if (m_s.PendingCmd.isEmpty()) {
        // A running transfer leaves its next request here at every turn.
        // Without one, something replaced it (a button pressed within the
        // same exchange, the port opening): the chain is broken and would
        // hold its buttons disabled for good, so it is given up.
        if (!m_transferOwner.isEmpty()) abandonTransfer();
        if (m_pollsHeld) return;
        PollRequest();
    }
    SendPending();
}

void DriveLink::PollRequest()
{
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
        m_pollForBackground = tag != active;  // its window is not the one the user looks at
    }
    if (m_s.PendingCmd.isEmpty()) MakeCmdS();  // a poll always leaves a request
}

QString DriveLink::windowPollTag(const QString &active)
{
    if (!m_keepAllLive || !m_liveTags || m_activeOnlyTags.contains(active)) return active;
    QStringList live;
    for (const QString &tag : m_liveTags()) {
        const auto it = m_pollBuilders.constFind(tag);
        if (it != m_pollBuilders.cend() && *it && !m_activeOnlyTags.contains(tag) && !live.contains(tag)) live << tag;
    }
    if (live.isEmpty()) return active;
    m_lastRotated = NextPollTag(live, m_lastRotated);
    return m_lastRotated;
}

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

    m_s.TimeoutTicks = 0;
    m_s.AwaitReply = 0;
    m_s.InReply = 0;
    m_lostInARow = 0;
    m_sinceReply.start();
    SplitReply(m_s);
    dispatch(RequestKeyword(m_s.LastCmd));
    if (m_questionOpen) {
        // The lost reply came after all; the open question decides what is sent.
        m_lateReply = true;
        return;
    }
    if (!m_port.isOpen()) return;
    SendNext();
}

void DriveLink::dispatch(QByteArrayView answered)
{
    if (m_answered != answered) m_answered = answered.toByteArray();  // mostly the same keyword again
    // A client's reply is the client's, but an "ERR" is shown wherever it
    // comes from.
    const QPointer<LinkClient> client = std::exchange(m_inFlightClient, nullptr);
    const bool owned = std::exchange(m_inFlightOwned, false);
    const bool refusal = m_s.CmdName == u"ERR";
    if (!client || refusal) {
        const auto it = m_decoders.constFind(m_s.CmdName);
        if (it != m_decoders.cend()) {
            if (*it) (*it)();
        } else if (m_catchAll) {
            m_catchAll();
        }
    }
    if (client) {
        if (refusal) client->refused(m_s.ReplyField[0]);
        else client->replied();
    }
    // A drive that refuses a step of a transfer ends the transfer, as the
    // time-out's Cancel does; otherwise its button would stay disabled. A
    // refusal of a poll or a button's request leaves the transfer running,
    // and a job's refusal is the job's (its transfer may have ended).
    if (refusal && !owned && !m_transferOwner.isEmpty() && IsTransferRequest(answered)) abandonTransfer();
    Q_EMIT replyDecoded();
}

void DriveLink::countTimeout()
{
    if (m_uiBusy) return;  // one question at a time
    ++m_s.TimeoutTicks;
    if (m_s.TimeoutTicks > 15) {
        m_s.TimeoutTicks = 0;
        m_s.StatusWord = 0;
        LinkTimeout();
    }
}

void DriveLink::LinkTimeout()
{
    if (m_s.AwaitReply == 0) return;
    ++m_lostInARow;
    m_s.ParsePos = 2;
    m_s.CmdName = QString::fromLatin1(NextField(m_s.LastCmd, m_s.ParsePos, m_s.MoreFields));
    if (!m_port.isOpen()) return;
    // Nothing of the partial reply may be taken for the next answer.
    m_s.RecvBuf.clear();
    m_s.InReply = 0;

    if (!isSilentTimeout(m_s.CmdName) && !m_quietTimeouts && !m_inFlightBackground) {
        m_uiBusy = m_questionOpen = true;
        m_lateReply = false;
        const bool retry = askRetry ? askRetry() : false;
        m_uiBusy = m_questionOpen = false;
        if (!m_port.isOpen()) return;  // closed or lost meanwhile: already reset
        if (retry) {
            // The lost request again; what the user queued meanwhile stays
            // in the slot and goes out after its reply, before any poll.
            if (m_lateReply) SendNext();  // answered after all: go on rather than ask twice
            else sendFramed(m_s.LastCmd, m_inFlightClient);
            return;
        }
        abandonTransfer();
        loseClients();
        // The abandoned transfer's next request is no longer wanted; a
        // command the user queued meanwhile goes out instead of "S".
        if (IsTransferRequest(RequestKeyword(m_s.PendingCmd))) m_s.PendingCmd.clear();
        m_s.XferIndex = 0;
        m_s.AwaitReply = 0;
        if (sendWaiting()) return;
    } else {
        if (QPointer<LinkClient> client = std::exchange(m_inFlightClient, nullptr)) client->lost();
        if (sendWaiting()) return;
    }
    m_s.XferIndex = 0;
    m_s.AwaitReply = 0;
    MakeCmdS();
    SendPending();
}

void DriveLink::OpenPort()
{
    if (m_uiBusy || m_port.isOpen()) return;
    const int portNo = m_settings.PortNo;
    const OpenResult result = m_port.open(portNo);
    if (result.status == OpenStatus::Ok) {
        m_portLost = false;
        m_lostInARow = 0;
        m_sinceReply.start();
        resetExchange();
        setPortStatus(m_port.describe());
        MakeCmdS();
        SendPending();
        m_settings.SavePortSettings();
        return;
    }
    if (m_portLost) {
        setPortStatus(QStringLiteral("COM%1 lost, waiting for it to come back (%2)").arg(portNo).arg(result.reason));
        return;
    }
    setPortStatus(QStringLiteral("COM%1 not open: %2").arg(portNo).arg(result.reason));
    if (result.status == OpenStatus::Other) return;  // the next tick tries again

    m_uiBusy = true;
    if (showPortError) showPortError(result.status, portNo);
    m_settings.RestorePortSettings();
    if (showPortDialog) showPortDialog();
    m_uiBusy = false;
}

void DriveLink::closePort()
{
    if (m_port.isOpen()) {
        // A stop the user asked for still reaches the drive; its reply is
        // not waited for.
        for (const Held &h : std::as_const(m_held))
            if (!h.client) m_port.write(h.framed);
        if (IsStopRequest(RequestKeyword(m_s.PendingCmd))) {
            m_port.write(m_s.PendingCmd);
            m_s.PendingCmd.clear();
        }
        m_port.close();
    }
    loseClients();
    m_held.clear();
    m_portLost = false;
    resetExchange();
    if (!m_transferOwner.isEmpty()) abandonTransfer();
    loseClients();
    setPortStatus(QString());
}

void DriveLink::dropAllOffline()
{
    m_s.StatusWord = 0;
    m_s.RecvBuf.clear();
    m_s.PendingCmd.clear();
    m_s.LastCmd.clear();
    loseClients();
    m_held.clear();  // nothing can be sent: the drive is not on the line
    // A transfer started offline can never be answered.
    if (!m_transferOwner.isEmpty()) abandonTransfer();
    loseClients();
    if (m_portStatus != u"Offline") setPortStatus(QStringLiteral("Offline"));
}

void DriveLink::onPortLost(const QString &reason)
{
    m_portLost = true;
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

void DriveLink::setDecoder(const QString &keyword, Handler decoder) { m_decoders.insert(keyword, std::move(decoder)); }

void DriveLink::setPollBuilder(const QString &tag, Handler builder, PollTurn turn)
{
    m_pollBuilders.insert(tag, std::move(builder));
    if (turn == PollTurn::ActiveOnly) m_activeOnlyTags.insert(tag);
    else m_activeOnlyTags.remove(tag);
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

void DriveLink::loseClients()
{
    const QPointer<LinkClient> inFlight = std::exchange(m_inFlightClient, nullptr);
    const QPointer<LinkClient> pending = std::exchange(m_pendingClient, nullptr);
    if (pending) m_s.PendingCmd.clear();  // a job's request goes nowhere now
    m_pendingDeferred = false;
    QList<QPointer<LinkClient>> held;
    for (qsizetype i = m_held.size() - 1; i >= 0; --i)
        if (m_held[i].client) held.prepend(m_held.takeAt(i).client);
    if (inFlight) inFlight->lost();
    if (pending) pending->lost();
    for (const QPointer<LinkClient> &c : held)
        if (c) c->lost();
}

void DriveLink::tick()
{
    if (m_settings.OfflineMode != 0) {
        dropAllOffline();
        return;
    }
    countTimeout();
    if (!portOpen()) OpenPort();
}

void DriveLink::setPortStatus(const QString &text)
{
    if (text == m_portStatus) return;
    m_portStatus = text;
    Q_EMIT portStatusChanged(text);
}
