#pragma once
// Fault runs: the drive library's jobs, as the command-line tool runs them,
// against a simulated drive that garbles the characters of its replies (each
// one replaced by another printable character with the given probability).
// A lost or garbled reply is asked again while the job's retries last, and a
// job given up is started again while they last, as orvex-cli does (with
// more retries than its default two); nothing else helps. Each run then compares what the job ended with against what the
// drive holds. The number that counts: runs that ended done with a value
// that is not on the drive. It must be 0.
//
// The runs, each on drive values made afresh at random within their ranges:
//   read           the parameters, each block confirmed by a second reply that
//                  agrees (the read a backup or a partial write takes)
//   read once      the parameters, each block read once (the window's import):
//                  counted for comparison, a changed digit passes any check
//   partial write  a confirmed read, one parameter changed, the four user
//                  blocks written, then read back (confirmed) and compared,
//                  once more when they differ
//   points write   a fresh table written, then FLASH

#include "drive/drivejob.h"
#include "drive/link/qtserialio.h"
#include "drive/params/parameterjobs.h"
#include "drive/points/pointjobs.h"
#include "sim/drivetables.h"
#include "sim/ptyserver.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QString>
#include <QTest>
#include <QTimer>
#include <memory>

namespace faultruns {

enum class Kind { Read, ReadOnce, PartialWrite, PointsWrite };

inline QString kindName(Kind k)
{
    switch (k) {
    case Kind::Read: return QStringLiteral("parameter read (confirmed)");
    case Kind::ReadOnce: return QStringLiteral("parameter read (once)");
    case Kind::PartialWrite: return QStringLiteral("partial parameter write");
    case Kind::PointsWrite: return QStringLiteral("point table write");
    }
    return {};
}

struct Counts {
    int runs = 0;
    int done = 0;       // ended done
    int failed = 0;     // ended otherwise: given up after the retries, or refused
    int wrong = 0;      // ended done with a value that is not on the drive
    int garbled = 0;    // replies the link did not take
    qint64 ms = 0;
    QString line(Kind kind, double garble) const
    {
        return QStringLiteral("%1 at --garble=%2: %3 runs, %4 done, %5 failed, %6 done with a value not on the drive; "
                              "%7 garbled replies not taken; %8 ms")
            .arg(kindName(kind))
            .arg(garble)
            .arg(runs)
            .arg(done)
            .arg(failed)
            .arg(wrong)
            .arg(garbled)
            .arg(ms);
    }
};

// One simulated drive answering at once, its faults on, and a link to it on
// the program's serial port; lost replies retried while the job's retries last.
class Rig {
public:
    static constexpr int Retries = 20;

    Rig(double garble, quint64 seed)
    {
        sim::ServerConfig c;
        c.paced = false;
        c.seed = seed;
        c.transcriptInMemory = false;
        c.faults.garbleRate = garble;
        m_drive = std::make_unique<sim::PtyServer>(c);
        if (!m_drive->start()) qFatal("the simulated drive does not start");
        PortMap map;
        map.setExplicit(1, QString::fromStdString(m_drive->devicePath()));
        m_port = std::make_unique<QtSerialIo>(map, QSerialPort::EvenParity);
        m_link = std::make_unique<DriveLink>(m_settings, *m_port);
        QObject::connect(m_link.get(), &DriveLink::replyLost, m_link.get(), [this] {
            if (m_retriesLeft-- > 0) m_link->retry();
            else m_link->giveUp();
        });
        QObject::connect(&m_ticker, &QTimer::timeout, m_link.get(), &DriveLink::tick);
        m_ticker.start(10);  // a lost reply is declared after 0.16 s
    }
    ~Rig() { m_link->closePort(); }

    DriveLink &link() { return *m_link; }
    sim::PtyServer &drive() { return *m_drive; }

    // Runs the job to its end, again from the start while its retries last.
    bool run(DriveJob &job)
    {
        m_retriesLeft = Retries;
        if (!QTest::qWaitFor([&] { return m_link->portOpen(); }, 5000)) return false;
        for (;;) {
            // An event loop of its own, ended by the job: waiting in steps
            // would cost a step an exchange.
            QEventLoop loop;
            QObject::connect(&job, &DriveJob::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(30000, &loop, &QEventLoop::quit);
            if (!job.start()) return false;
            if (job.running()) loop.exec();
            if (job.running()) {
                job.cancel();
                return false;
            }
            if (job.ending() == DriveJob::Ending::Done) return true;
            if (job.ending() != DriveJob::Ending::GivenUp || m_retriesLeft-- <= 0) return false;
        }
    }

    sim::Parameters driveParams()
    {
        return m_drive->withModel([](sim::DriveModel &m) { return m.parameters(); });
    }
    sim::PointTable drivePoints()
    {
        return m_drive->withModel([](sim::DriveModel &m) { return m.points(); });
    }
    // New values on the drive, each within its range.
    void randomParams(QRandomGenerator &rng)
    {
        m_drive->withModel([&rng](sim::DriveModel &m) {
            for (int b = 0; b < 6; ++b) {
                std::string w = "W;" + std::to_string(b);
                for (int i = 0; i < 10; ++i) w += ';' + QByteArray::number(static_cast<quint32>(randomIn(rng, sim::ParameterRange(b * 10 + i))), 16).toUpper().toStdString();
                m.handle(w);
            }
            return 0;
        });
    }
    static qint32 randomIn(QRandomGenerator &rng, const sim::ValueRange &r)
    {
        const quint64 count = static_cast<quint64>(qint64(r.max) - r.min + 1);
        return static_cast<qint32>(r.min + static_cast<qint64>(rng.generate64() % count));
    }

private:
    std::unique_ptr<sim::PtyServer> m_drive;
    PortSettings m_settings;
    std::unique_ptr<QtSerialIo> m_port;
    std::unique_ptr<DriveLink> m_link;
    QTimer m_ticker;
    int m_retriesLeft = 0;
};

inline bool sameParams(const ParamValues &a, const sim::Parameters &b) { return std::equal(a.begin(), a.end(), b.begin()); }

// Reads the parameters (confirmed or once); the values, or nothing.
inline std::optional<ParamValues> readParams(Rig &rig, bool confirmed, Counts &c, int blocks = ParamBlockCount)
{
    ReadParametersJob read(rig.link());
    read.countsAsRead = false;
    read.setConfirmed(confirmed);
    read.setBlocks(blocks);
    const bool ok = rig.run(read);
    c.garbled += read.garbledReplies();
    if (!ok) return std::nullopt;
    return read.result().values;
}

// The runs of one kind at one garble rate; seed makes the drive and the
// values of every run.
inline Counts runAll(Kind kind, double garble, int runs, quint64 seed)
{
    Counts c;
    QElapsedTimer t;
    t.start();
    Rig rig(garble, seed);
    QRandomGenerator rng(static_cast<quint32>(seed));
    for (int n = 0; n < runs; ++n) {
        ++c.runs;
        bool done = false;
        bool right = true;
        switch (kind) {
        case Kind::Read:
        case Kind::ReadOnce: {
            rig.randomParams(rng);
            const std::optional<ParamValues> v = readParams(rig, kind == Kind::Read, c);
            done = v.has_value();
            right = done && sameParams(*v, rig.driveParams());
            break;
        }
        case Kind::PartialWrite: {
            rig.randomParams(rng);
            const std::optional<ParamValues> before = readParams(rig, true, c);
            if (!before) break;
            // One parameter of the user's set named, the rest as read.
            ParamValues wanted = *before;
            const int k = static_cast<int>(rng.bounded(UserParamCount));
            wanted[k] = Rig::randomIn(rng, sim::ParameterRange(k));
            WriteParametersJob write(rig.link());
            ParameterSet set;
            set.values = wanted;
            set.writeBlocks = UserParamCount / ParamBlockSize;
            write.setSource(set);
            const bool written = rig.run(write);
            c.garbled += write.garbledReplies();
            if (!written) break;
            // Read back and compared; read once more when it differs.
            const auto matches = [&](const std::optional<ParamValues> &back) {
                return back && std::equal(wanted.begin(), wanted.begin() + UserParamCount, back->begin());
            };
            std::optional<ParamValues> back = readParams(rig, true, c, UserParamCount / ParamBlockSize);
            if (back && !matches(back)) back = readParams(rig, true, c, UserParamCount / ParamBlockSize);
            done = matches(back);
            right = sameParams(wanted, rig.driveParams());
            break;
        }
        case Kind::PointsWrite: {
            PointTable table{};
            for (int p = 0; p < PointCount; ++p)
                for (int col = 0; col < PointColumns; ++col)
                    table[PointColumns * p + col] = Rig::randomIn(rng, sim::PointColumnRange(col));
            WritePointTableJob write(rig.link());
            write.setSource(table);
            done = rig.run(write);
            c.garbled += write.garbledReplies();
            const sim::PointTable onDrive = rig.drivePoints();
            right = std::equal(table.begin(), table.end(), onDrive.begin());
            break;
        }
        }
        if (done) ++c.done;
        else ++c.failed;
        if (done && !right) ++c.wrong;
    }
    c.ms = t.elapsed();
    return c;
}

}  // namespace faultruns
