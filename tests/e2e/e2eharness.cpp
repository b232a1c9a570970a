#include "e2eharness.h"

#include "common/childwindow.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMdiArea>
#include <QTest>

sim::ServerConfig E2eHarness::fastDrive()
{
    sim::ServerConfig c;
    c.paced = false;
    c.seed = 1;
    c.transcriptInMemory = true;
    return c;
}

E2eHarness::E2eHarness(sim::ServerConfig drive, const PortName &portName) : m_previousDir(QDir::currentPath())
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return;
    }
    QDir::setCurrent(m_dir.path());
    // Backups of this run's writes stay with it.
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    if (drive.linkPath.empty()) drive.linkPath = m_dir.filePath(QStringLiteral("drive")).toStdString();
    m_drive = std::make_unique<sim::PtyServer>(std::move(drive));
    std::string why;
    if (!m_drive->start(&why)) {
        m_error = QString::fromStdString(why);
        return;
    }
    PortMap map;
    const QString device = QString::fromStdString(m_drive->devicePath());
    map.setExplicit(1, portName ? portName(device) : device);
    m_port = std::make_unique<PortIo>(map, QSerialPort::EvenParity);
    SessionSetup setup;
    setup.clock = &clock;
    m_session = std::make_unique<Session>(*m_port, setup);
    m_window = std::make_unique<MDItbl>(*m_session, files);
    // A question or port message must never wait for a test: a lost reply is
    // answered by retryLostReply, a refused port tried again (the box shown
    // for either closes).
    DriveLink &link = m_session->link;
    QObject::connect(&link, &DriveLink::replyLost, &link, [this, &link] {
        if (retryLostReply && retryLostReply()) link.retry();
        else link.giveUp();
    });
    QObject::connect(&link, &DriveLink::portRefused, &link, &DriveLink::resumeOpening);
    m_window->show();
}

E2eHarness::~E2eHarness()
{
    m_window.reset();
    m_session.reset();
    m_port.reset();
    if (m_drive) m_drive->stop();
    m_drive.reset();
    QDir::setCurrent(m_previousDir);
}

void E2eHarness::mark()
{
    if (m_drive) m_mark = m_drive->transcript().count();
}

bool E2eHarness::waitUntil(const std::function<bool()> &pred, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qWait(5);
    }
    return true;
}

void E2eHarness::idle(int ms) { QTest::qWait(ms); }

void E2eHarness::activate(QWidget *child)
{
    if (m_window) m_window->mdiArea->setActiveSubWindow(m_window->frameOf(child));
}

bool E2eHarness::waitFor(bool reply, const QString &prefix, int timeoutMs)
{
    return waitUntil([&] {
        const QStringList seen = texts(reply, true);
        return std::any_of(seen.begin(), seen.end(), [&](const QString &t) { return t.startsWith(prefix); });
    }, timeoutMs);
}

std::vector<sim::TranscriptEntry> E2eHarness::transcript(bool sinceMark) const
{
    if (!m_drive) return {};
    return m_drive->transcript().since(sinceMark ? m_mark : 0);
}

QStringList E2eHarness::texts(bool replies, bool sinceMark) const
{
    using Kind = sim::TranscriptEntry::Kind;
    QStringList out;
    for (const sim::TranscriptEntry &e : transcript(sinceMark))
        if (replies ? e.kind == Kind::Reply && !e.wire.empty() : e.kind == Kind::Request) out << QString::fromStdString(e.text);
    return out;
}
