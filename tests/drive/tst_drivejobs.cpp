// The drive layer's jobs against the simulated drive, without a window:
// each job reads or writes what the drive holds, and ends as done, refused,
// given up or cancelled, after which the link goes on with another job.

#include "drive/wave/capturejob.h"
#include "drive/params/parameterjobs.h"
#include "drive/points/pointjobs.h"
#include "drive/statusjob.h"
#include "drive/link/frames.h"
#include "drive/link/memoryport.h"
#include "drive/link/qtserialio.h"
#include "sim/ptyserver.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <memory>

using Ending = DriveJob::Ending;

namespace {

sim::ServerConfig fastDrive()
{
    sim::ServerConfig c;
    c.paced = false;
    c.transcriptInMemory = true;
    // The drive's own time runs twenty times as fast: a capture's samples
    // are taken in a twentieth of the time.
    const auto start = std::chrono::steady_clock::now();
    c.modelClock = [start] {
        return std::chrono::duration_cast<std::chrono::microseconds>((std::chrono::steady_clock::now() - start) * 20);
    };
    return c;
}

// A link on port 1, the simulated drive's pseudo-terminal, ticked every 25 ms.
// A reply the drive drops on purpose is not waited for: as soon as the drive
// has noted it, the link is ticked the 16 times after which it declares a
// reply lost, as if the time had passed. The question of a lost reply is
// answered by retry().
struct Rig {
    sim::PtyServer drive{fastDrive()};
    PortSettings settings;
    std::unique_ptr<QtSerialIo> port;
    std::unique_ptr<DriveLink> link;
    QTimer ticker;
    std::function<bool()> retry = [] { return false; };
    int questions = 0;
    std::uint64_t seen = 0;  // the drive's transcript entries looked at

    Rig()
    {
        if (!drive.start()) qFatal("the simulated drive does not start");
        PortMap map;
        map.setExplicit(1, QString::fromStdString(drive.devicePath()));
        port = std::make_unique<QtSerialIo>(map, QSerialPort::EvenParity);
        link = std::make_unique<DriveLink>(settings, *port);
        QObject::connect(link.get(), &DriveLink::replyLost, link.get(), [this] {
            ++questions;
            if (retry()) link->retry();
            else link->giveUp();
        });
        QObject::connect(&ticker, &QTimer::timeout, link.get(), &DriveLink::tick);
        ticker.start(25);
    }
    ~Rig() { link->closePort(); }
    // A reply dropped since the last look: the time-out runs out now.
    void skipDroppedReplyWait()
    {
        for (const sim::TranscriptEntry &e : drive.transcript().since(seen)) {
            seen = e.index + 1;
            if (e.kind == sim::TranscriptEntry::Kind::Reply && e.note.find("dropped") != std::string::npos)
                for (int t = 0; t < 16 && link->awaitingReply(); ++t) link->tick();
        }
    }
    // Runs the event loop until done() holds; false when it did not in time.
    // Replies are taken as they come (no fixed sleep between looks).
    bool waitFor(const std::function<bool()> &done, int timeoutMs)
    {
        QEventLoop loop;
        QTimer look, deadline;
        bool met = done();
        QObject::connect(&look, &QTimer::timeout, &loop, [&] {
            skipDroppedReplyWait();
            if ((met = done())) loop.quit();
        });
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (met) return true;
        look.start(1);
        deadline.start(timeoutMs);
        loop.exec();
        return met;
    }
    // Runs the job to its end; false when it did not start or end in time.
    bool run(DriveJob &job, int timeoutMs = 5000)
    {
        if (!waitFor([&] { return link->portOpen(); }, timeoutMs)) return false;
        if (!job.start()) return false;
        return waitFor([&] { return !job.running(); }, timeoutMs);
    }
    sim::Parameters driveParams() { return drive.withModel([](sim::DriveModel &m) { return m.parameters(); }); }
    sim::PointTable drivePoints() { return drive.withModel([](sim::DriveModel &m) { return m.points(); }); }
};

ParameterSet someParameters()
{
    ParameterSet set;
    for (int k = 0; k < UserParamCount; ++k) set.values[k] = ParamRange(k).section(u'/', 0, 0).toInt();
    set.values[0] = 12345;
    set.values[17] = -123456;
    set.values[38] = 0xABC;
    return set;
}

PointTable somePoints()
{
    PointTable t{};
    for (int p = 0; p < PointCount; ++p) t[PointColumns * p + 0] = p % 2, t[PointColumns * p + 1] = -1000 * p,
                                         t[PointColumns * p + 2] = 10 + p, t[PointColumns * p + 3] = 100 + p;
    return t;
}

}  // namespace

class TstDriveJobs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endings_data();
    void endings();
    void afterTheWritesLastBlock();
    void halfWritten_data();
    void halfWritten();
    void confirmedReads_data();
    void confirmedReads();
    void captureWithAGap();
    void statusNeverGarbled();
};

void TstDriveJobs::endings_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("ending");
    // The keyword each kind's faults are put on.
    for (const char *kind : {"read parameters", "write parameters", "read points", "write points", "capture", "status"}) {
        QTest::addRow("%s, done", kind) << kind << "" << int(Ending::Done);
        QTest::addRow("%s, retried", kind) << kind << "retry" << int(Ending::Done);
        QTest::addRow("%s, time-out", kind) << kind << "drop" << int(Ending::GivenUp);
        QTest::addRow("%s, refused", kind) << kind << "refuse" << int(Ending::Refused);
        QTest::addRow("%s, cancelled", kind) << kind << "cancel" << int(Ending::Cancelled);
        QTest::addRow("%s, port lost", kind) << kind << "lost" << int(Ending::GivenUp);
        QTest::addRow("%s, port closed", kind) << kind << "close" << int(Ending::GivenUp);
    }
}

void TstDriveJobs::endings()
{
    QFETCH(QString, kind);
    QFETCH(QString, how);
    QFETCH(int, ending);
    Rig r;
    std::unique_ptr<DriveJob> job;
    std::string keyword;
    if (kind == u"read parameters") {
        job = std::make_unique<ReadParametersJob>(*r.link), keyword = "R";
    } else if (kind == u"write parameters") {
        auto *w = new WriteParametersJob(*r.link);
        w->setSource(someParameters());
        job.reset(w), keyword = "W";
    } else if (kind == u"read points") {
        job = std::make_unique<ReadPointTableJob>(*r.link), keyword = "TBLR";
    } else if (kind == u"write points") {
        auto *w = new WritePointTableJob(*r.link);
        w->setSource(somePoints());
        job.reset(w), keyword = "TBLW";
    } else if (kind == u"capture") {
        job = std::make_unique<CaptureJob>(*r.link, CaptureSetup{3, 0, 0}, 0, 15), keyword = "T";  // manual trigger
    } else {
        job = std::make_unique<ReadStatusJob>(*r.link, ReadStatusJob::Parts{true, true, true, {4, 16}}), keyword = "ALM";
    }
    sim::FaultConfig faults;
    if (how == u"drop" || how == u"retry") faults.dropKeywords = {keyword};
    if (how == u"refuse") faults.refuseKeywords = {keyword};
    r.drive.setFaults(faults);
    if (how == u"retry") r.retry = [&r] {
        r.drive.setFaults({});  // answered the second time
        return true;
    };
    QSignalSpy progress(job.get(), &DriveJob::progressed);
    QObject::connect(job.get(), &DriveJob::progressed, [&](int step) {
        if (step != 1) return;
        if (how == u"cancel") job->cancel();
        if (how == u"lost") {  // as the serial layer tells of a vanished device
            r.port->close();
            Q_EMIT r.port->lost(QStringLiteral("unplugged"));
        }
        if (how == u"close") r.link->closePort();  // the port dialog
    });
    QSignalSpy finished(job.get(), &DriveJob::finished);
    QVERIFY(r.run(*job));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(int(job->ending()), ending);
    QCOMPARE(r.questions, how == u"retry" || how == u"drop" ? 1 : 0);
    if (how == u"refuse") QCOMPARE(job->errorCode(), 1);
    QCOMPARE(r.link->transferOwner(), QString());  // nothing is left holding the link
    QCOMPARE(r.link->state().XferIndex, quint8(0));

    if (ending == int(Ending::Done)) {
        QCOMPARE(progress.size(), job->steps());
        if (auto *read = qobject_cast<ReadParametersJob *>(job.get())) {
            const sim::Parameters p = r.driveParams();
            QVERIFY(std::equal(p.begin(), p.end(), read->result().values.begin()));
        } else if (qobject_cast<WriteParametersJob *>(job.get())) {
            const sim::Parameters p = r.driveParams();
            const ParameterSet wanted = someParameters();
            QVERIFY(std::equal(wanted.values.begin(), wanted.values.begin() + UserParamCount, p.begin()));
        } else if (auto *read = qobject_cast<ReadPointTableJob *>(job.get())) {
            const sim::PointTable t = r.drivePoints();
            QVERIFY(std::equal(t.begin(), t.end(), read->result().begin()));
        } else if (qobject_cast<WritePointTableJob *>(job.get())) {
            const sim::PointTable t = r.drivePoints();
            const PointTable wanted = somePoints();
            QVERIFY(std::equal(t.begin(), t.end(), wanted.begin()));
        } else if (auto *capture = qobject_cast<CaptureJob *>(job.get())) {
            QVERIFY(capture->result().taken.isValid());
        } else if (auto *status = qobject_cast<ReadStatusJob *>(job.get())) {
            const StatusSnapshot &s = status->result();
            QVERIFY(s.statusWord && s.romVersion && s.alarms && s.alarmHistory && s.ioWord);
            QVERIFY(s.monitor[4] && s.monitor[16] && !s.monitor[0]);
        }
    }

    // Whatever the ending, the link goes on: another job runs to its end.
    r.drive.setFaults({});
    ReadStatusJob next(*r.link, {});
    QVERIFY(r.run(next));
    QCOMPARE(next.ending(), Ending::Done);
}

// Once the last block is answered the write gives the transfer back while its
// FLASH is still to be answered: a refusal of that FLASH is the write's alone,
// and a stop pressed then goes first without the FLASH being lost to a
// button pressed next.
void TstDriveJobs::afterTheWritesLastBlock()
{
    PortSettings settings;
    MemoryPort port;
    DriveLink link(settings, port);
    link.OpenPort();
    const auto answer = [&](const char *text) { port.inject(FrameCmd(QByteArrayView(text))); };
    const auto sent = [&] {
        QStringList out;
        for (const QByteArray &w : port.written) out << QString::fromLatin1(w.mid(1, w.size() - 2)).section(u';', 0, 1);
        return out;
    };
    for (const bool stop : {true, false}) {
        port.written.clear();
        WriteParametersJob write(link);
        write.setSource(someParameters());
        QVERIFY(write.start());
        answer("S;0");
        for (int block = 0; block < 3; ++block) answer("W");
        if (stop) link.setCommandText(QStringLiteral("JOGOFF"));
        answer("W");  // the last block: FLASH goes out, or waits behind the stop
        ReadPointTableJob read(link);
        if (stop) {
            link.setCommandText(QStringLiteral("SVON"));
            answer("JOGOFF");
            answer("FLASH");
            QCOMPARE(write.ending(), Ending::Done);
            QCOMPARE(sent(), (QStringList{"W;0", "W;1", "W;2", "W;3", "JOGOFF", "FLASH", "SVON"}));
            continue;
        }
        QVERIFY(read.start());
        answer("ERR;5");  // to FLASH
        QCOMPARE(write.ending(), Ending::Refused);
        QCOMPARE(write.errorCode(), 5);
        QVERIFY(read.running());
        for (int p = 0; p < PointCount && read.running(); ++p) answer("TBLR;0;100;10;10");
        QCOMPARE(read.ending(), Ending::Done);
    }
}

namespace {

// A link on the in-memory port whose lost replies are answered by retry or
// give up, as the user would.
struct MemoryRig {
    PortSettings settings;
    MemoryPort port;
    DriveLink link{settings, port};
    bool retry = false;
    MemoryRig()
    {
        QObject::connect(&link, &DriveLink::replyLost, &link, [this] { retry ? link.retry() : link.giveUp(); });
        link.OpenPort();
        answer("S;0");
    }
    void answer(const QByteArray &text) { port.inject(FrameCmd(text)); }
    // The keyword and first field of each request written.
    QStringList sent() const
    {
        QStringList out;
        for (const QByteArray &w : port.written) out << QString::fromLatin1(w.mid(1, w.size() - 2)).section(u';', 0, 1);
        return out;
    }
};

}  // namespace

// A write that stops half-way tells how far it came, and the words say what
// the drive now holds: the blocks (points) written and answered, one that
// went out unanswered, and FLASH.
void TstDriveJobs::halfWritten_data()
{
    QTest::addColumn<bool>("points");
    QTest::addColumn<int>("answered");   // steps answered before the stop
    QTest::addColumn<QString>("stop");   // "refuse", "lose" (given up), "vanish", "cancel", "done"
    QTest::addColumn<QString>("text");   // what the drive holds; empty: not half-written
    const QString backup = QStringLiteral(" The values before are in B.pxt.");
    QTest::newRow("refused at block 3") << false << 3 << "refuse"
                                        << "The drive runs blocks 0-2 of the new values, not saved in its memory (no FLASH)." + backup;
    QTest::newRow("given up at block 3") << false << 3 << "lose"
                                         << "The drive runs blocks 0-2 of the new values and perhaps block 3 (its answer did not "
                                            "come), not saved in its memory (no FLASH)." + backup;
    QTest::newRow("port lost at block 1") << false << 1 << "vanish"
                                          << "The drive runs block 0 of the new values and perhaps block 1 (its answer did not "
                                             "come), not saved in its memory (no FLASH)." + backup;
    QTest::newRow("lost at block 0") << false << 0 << "lose"
                                     << "The drive may run block 0 of the new values (its answer did not come), not saved in "
                                        "its memory (no FLASH)." + backup;
    QTest::newRow("refused at block 0") << false << 0 << "refuse" << QString();
    QTest::newRow("FLASH refused") << false << 4 << "refuse"
                                   << "The drive runs blocks 0-3 of the new values, not saved in its memory (FLASH was refused)." + backup;
    QTest::newRow("FLASH unanswered") << false << 4 << "lose"
                                      << "The drive runs blocks 0-3 of the new values, perhaps not saved in its memory (FLASH "
                                         "was not answered)." + backup;
    // Cancelled while the next block waits: it never went out.
    QTest::newRow("cancelled between blocks") << false << 2 << "cancel"
                                              << "The drive runs blocks 0-2 of the new values, not saved in its memory (no FLASH)." + backup;
    QTest::newRow("done") << false << 5 << "done" << QString();
    QTest::newRow("points refused at point 12") << true << 12 << "refuse"
                                                << "The drive runs points 0-11 of the new values, not saved in its memory (no FLASH)." + backup;
    QTest::newRow("points, FLASH refused") << true << 32 << "refuse"
                                           << "The drive runs points 0-31 of the new values, not saved in its memory (FLASH was refused)." + backup;
}

void TstDriveJobs::halfWritten()
{
    QFETCH(bool, points);
    QFETCH(int, answered);
    QFETCH(QString, stop);
    QFETCH(QString, text);
    MemoryRig r;
    std::unique_ptr<DriveJob> job;
    std::function<const WriteProgress &()> progress;
    if (points) {
        auto *w = new WritePointTableJob(r.link);
        w->setSource(somePoints());
        progress = [w]() -> const WriteProgress & { return w->progress(); };
        job.reset(w);
    } else {
        auto *w = new WriteParametersJob(r.link);
        w->setSource(someParameters());
        progress = [w]() -> const WriteProgress & { return w->progress(); };
        job.reset(w);
    }
    QVERIFY(job->start());
    r.answer("S;0");  // the poll in flight; the first step goes out
    const QByteArray keyword = points ? "TBLW" : "W";
    for (int i = 0; i < answered; ++i) r.answer(i == (points ? 32 : 4) ? "FLASH" : keyword + ";" + QByteArray::number(i, 16).toUpper());
    if (stop == u"refuse") r.answer("ERR;3");
    else if (stop == u"lose")
        for (int t = 0; t < 16; ++t) r.link.tick();
    else if (stop == u"vanish") r.port.vanish(QStringLiteral("unplugged"));
    else if (stop == u"cancel") {
        r.link.setCommandText(QStringLiteral("JOGOFF"));  // the next block waits behind a stop
        r.answer(keyword + ";" + QByteArray::number(answered, 16));
        job->cancel();
    }
    QVERIFY(!job->running());
    QCOMPARE(job->ending() == Ending::Done, stop == u"done");
    QCOMPARE(progress().halfWritten(), !text.isEmpty());
    QCOMPARE(HalfWrittenText(progress(), points ? QStringLiteral("point") : QStringLiteral("block"), QStringLiteral("B.pxt")),
             text);
    if (!text.isEmpty())
        QVERIFY(HalfWrittenText(progress(), QStringLiteral("block"), QString()).endsWith(u" No backup of the values before was kept."));
}

// A confirmed read takes a block only when two replies in a row agree; a
// block whose replies keep differing ends the read given up.
void TstDriveJobs::confirmedReads_data()
{
    QTest::addColumn<QStringList>("values");  // block 0's replies in turn: the value of parameter 00
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<int>("value");           // taken; -1 given up
    QTest::newRow("agree at once") << QStringList{"5", "5"} << QStringList{"R;0", "R;0", "R;1"} << 5;
    QTest::newRow("a changed digit, read again") << QStringList{"7", "5", "5"} << QStringList{"R;0", "R;0", "R;0", "R;1"} << 5;
    QTest::newRow("never twice the same") << QStringList{"1", "2", "3", "4", "5", "6"}
                                          << QStringList{"R;0", "R;0", "R;0", "R;0", "R;0", "R;0", "S"} << -1;
}

void TstDriveJobs::confirmedReads()
{
    QFETCH(QStringList, values);
    QFETCH(QStringList, sent);
    QFETCH(int, value);
    MemoryRig r;
    ReadParametersJob read(r.link);
    read.setConfirmed(true);
    QVERIFY(read.start());
    r.port.written.clear();
    r.answer("S;0");
    for (const QString &v : values) r.answer("R;0;" + v.toLatin1() + ";0;0;0;0;0;0;0;0;0");
    QCOMPARE(r.sent(), sent);
    if (value < 0) {
        QCOMPARE(read.ending(), Ending::GivenUp);
        return;
    }
    for (int b = 1; b < ParamBlockCount; ++b)
        for (int i = 0; i < 2; ++i) r.answer("R;" + QByteArray::number(b) + ";1;2;3;4;5;6;7;8;9;A");
    QCOMPARE(read.ending(), Ending::Done);
    QCOMPARE(read.result().values[0], value);
    QCOMPARE(read.result().values[59], 10);
}

// A capture job takes the drive's samples only when every block of this
// capture came: one that came garbled (not taken, and the drive hands out
// the next) leaves a gap, and the job ends given up rather than done.
void TstDriveJobs::captureWithAGap()
{
    for (const bool gap : {false, true}) {
        MemoryRig r;
        r.retry = true;
        CaptureJob capture(r.link, CaptureSetup{3, 0, 0}, 0, 15);
        QVERIFY(capture.start());
        r.answer("S;0");
        r.answer("T;0");  // armed
        for (int b = 1; b <= 8; ++b) {
            QByteArray block = "T;" + QByteArray::number(b);
            for (int j = 0; j < 16; ++j) block += ";" + QByteArray::number(b * 100 + j, 16) + ";14";
            if (gap && b == 3) block.chop(3);  // a separator lost on the line
            r.answer(block);
        }
        QCOMPARE(r.link.garbledReplies(), gap ? 1 : 0);
        QCOMPARE(capture.garbledReplies(), gap ? 1 : 0);
        QCOMPARE(capture.ending(), gap ? Ending::GivenUp : Ending::Done);
        if (!gap) QCOMPARE(capture.result().torque[40], qint16(308));  // block 3, sample 8
    }
}

// What the command-line tool's status, alarms and monitor print and the
// bridge publishes: a reply that is not whole is not taken. The alarms are
// asked again (the question, answered Retry); a monitor item, a poll's
// request, is given up silently as its lost reply is, and the job with it
// (the tool starts it again).
void TstDriveJobs::statusNeverGarbled()
{
    MemoryRig r;
    r.retry = true;
    ReadStatusJob job(r.link, ReadStatusJob::Parts{true, true, false, {4}});
    QVERIFY(job.start());
    r.port.written.clear();
    r.answer("S;0");                      // the poll in flight
    r.answer("S;80008000;0;3;123;1");
    r.answer("ALM;FFFF;0;0;0;0;0;0;0");   // a field lost
    r.answer("ALM;2;0;0;0;0;0;0;0;0");
    r.answer("MON;5;0064");               // another item's
    QCOMPARE(r.sent(), (QStringList{"S", "ALM", "ALM", "MON;4", "S"}));
    QCOMPARE(job.ending(), Ending::GivenUp);
    QCOMPARE(job.garbledReplies(), 2);
    QCOMPARE(job.result().alarms, 2u);
    QVERIFY(!job.result().monitor[5]);
}

QTEST_GUILESS_MAIN(TstDriveJobs)
#include "tst_drivejobs.moc"
