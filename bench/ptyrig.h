#pragma once
// The whole program in this process with its port on the simulated drive,
// served on a thread of its own: on the drive's pseudo-terminal, or through
// a ser2net in front of it (raw TCP or RFC 2217), the port the user runs in
// either case. Every request is stamped as it is handed to the port, and
// every reply as its end is taken.

#include "benchreport.h"
#include "benchstats.h"
#include "pollwindows.h"

#include "../tests/ser2nettestutil.h"

#include "app/mditbl.h"
#include "common/childwindow.h"
#include "common/filechooser.h"
#include "drive/session.h"
#include "drive/link/portio.h"
#include "sim/ptyserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

namespace benchrig {

// How the program reaches the drive.
// Rfc2217CharDelay: ser2net with its default delay before it sends what the
// device gave; the others have it off.
enum class Path { Pty, Raw, Rfc2217, Rfc2217CharDelay };


// The user's serial port, with the time each request is handed to it noted
// in the exchange log.
class StampedPort : public PortIo {
public:
    StampedPort(PortMap map, std::vector<Exchange> &log) : PortIo(std::move(map), QSerialPort::EvenParity), m_log(log)
    {
    }
    void write(const QByteArray &bytes) override
    {
        Exchange e;
        e.request = bytes;
        e.written = Seconds();
        m_log.push_back(std::move(e));
        PortIo::write(bytes);
    }

private:
    std::vector<Exchange> &m_log;
};

struct PtyRig {
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    std::unique_ptr<sim::PtyServer> drive;
    std::vector<Exchange> log;
    std::unique_ptr<StampedPort> port;
    DialogFileChooser files;  // no file is chosen here
    std::unique_ptr<Session> session;
    std::unique_ptr<MDItbl> app;
    long replies = 0;
    QString error;

    // transcript: the drive keeps every request and reply in memory (the
    // turnaround is read from it); off for long unpaced runs.
    std::unique_ptr<ser2nettest::Server> server;

    explicit PtyRig(bool paced, bool transcript = true, Path path = Path::Pty)
    {
        QDir::setCurrent(dir.path());
        sim::ServerConfig c;
        c.paced = paced;
        c.seed = 1;
        c.transcriptInMemory = transcript;
        c.linkPath = dir.filePath(QStringLiteral("drive")).toStdString();
        drive = std::make_unique<sim::PtyServer>(c);
        std::string why;
        if (!drive->start(&why)) {
            error = QString::fromStdString(why);
            return;
        }
        PortMap map;
        const QString device = QString::fromStdString(drive->devicePath());
        if (path == Path::Pty) {
            map.setExplicit(1, device);
        } else {
            ser2nettest::Port p{device, path != Path::Raw};
            p.charDelay = path == Path::Rfc2217CharDelay;
            server = std::make_unique<ser2nettest::Server>(QList<ser2nettest::Port>{p});
            if (!server->start()) {
                error = QStringLiteral("ser2net did not start: ") + server->output();
                return;
            }
            map.setExplicit(1, server->name());
        }
        port = std::make_unique<StampedPort>(map, log);
        session = std::make_unique<Session>(*port);
        app = std::make_unique<MDItbl>(*session, files);
        // Nobody is asked: a lost reply is given up, a refused port tried again.
        QObject::connect(&session->link, &DriveLink::replyLost, &session->link, &DriveLink::giveUp);
        QObject::connect(&session->link, &DriveLink::portRefused, &session->link, &DriveLink::resumeOpening);
        QObject::connect(&session->link, &DriveLink::replyDecoded, app.get(), [this](const Reply &reply) {
            ++replies;
            if (log.empty()) return;
            Exchange &e = log.back();
            e.ended = Seconds();
            e.replyChars = static_cast<int>(reply.raw.size());
            e.keyword = reply.keyword;
            e.field0 = reply.field[0];
        });
        app->show();
    }
    ~PtyRig()
    {
        app.reset();
        session.reset();
        port.reset();
        server.reset();
        if (drive) drive->stop();
        drive.reset();
        QDir::setCurrent(previousDir);
    }

    // Runs the event loop until pred() holds after a reply (or at once), or
    // the time is up.
    bool waitFor(const std::function<bool()> &pred, int timeoutMs)
    {
        if (pred()) return true;
        QEventLoop loop;
        bool ok = false;
        const QMetaObject::Connection c = QObject::connect(&session->link, &DriveLink::replyDecoded, &loop, [&] {
            if (pred()) {
                ok = true;
                loop.quit();
            }
        });
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(c);
        return ok;
    }
    void runFor(double seconds)
    {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
        loop.exec();
    }
    void activate(QWidget *child) { app->mdiArea->setActiveSubWindow(app->frameOf(child)); }
    // Takes the program off the line (offline, port closed) so that another
    // reader may use the drive, and puts it back.
    void offLine()
    {
        session->link.settings().OfflineMode = 1;
        session->link.closePort();
        runFor(0.1);
    }
    bool onLine()
    {
        session->link.settings().OfflineMode = 0;
        return polling();
    }
    bool polling()
    {
        const long start = replies;
        return waitFor([&] { return replies >= start + 4; }, 10000);
    }
};

// False, with a figure that says so, when the drive or the program did not
// start or the program does not poll.
inline bool ready(PtyRig &rig, BenchReport &report)
{
    if (rig.error.isEmpty() && rig.polling()) return true;
    report.add({QStringLiteral("program and simulated drive"),
                QStringLiteral("could not start: ") + (rig.error.isEmpty() ? QStringLiteral("no polling") : rig.error),
                QStringLiteral("runs"), false, {}});
    return false;
}


// The turnaround as the drive sees it, from its transcript since mark: from
// a reply's last character to the next request's arrival.
inline std::vector<double> Turnarounds(const PtyRig &rig, std::uint64_t mark)
{
    std::vector<double> out;
    double replyAt = -1;
    for (const sim::TranscriptEntry &e : rig.drive->transcript().since(mark)) {
        if (e.kind == sim::TranscriptEntry::Kind::Reply && !e.wire.empty()) {
            replyAt = e.seconds;
        } else if (e.kind == sim::TranscriptEntry::Kind::Request && replyAt >= 0) {
            out.push_back(e.seconds - replyAt);
            replyAt = -1;
        }
    }
    return out;
}

}  // namespace benchrig
