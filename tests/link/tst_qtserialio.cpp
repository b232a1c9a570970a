// The serial port over a pseudo-terminal: a request reaches the line at once,
// without waiting for the event loop, and what the line cannot take at once
// still arrives whole and in order.

#include "drive/link/qtserialio.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class TstQtSerialIo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestsReachTheLineAtOnceAndInOrder();
    void receivedBytesStayAsDelivered();
    void repliesComeWholeAndUnchanged_data();
    void repliesComeWholeAndUnchanged();
    void repliesWholeOnlyWhenChosen();
    void aSecondNameOfAPortInUse();
    void garbledCharactersAreMarked();
};

void TstQtSerialIo::requestsReachTheLineAtOnceAndInOrder()
{
    // The drive's end of a pseudo-terminal, read without waiting.
    int master = -1;
    int slave = -1;
    char name[256] = {};
    QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const auto closeLine = qScopeGuard([&] { ::close(master), ::close(slave); });
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    const auto drain = [master] {
        QByteArray out;
        char chunk[4096];
        for (ssize_t n; (n = ::read(master, chunk, sizeof chunk)) > 0;) out.append(chunk, n);
        return out;
    };
    PortMap map;
    map.setExplicit(1, QString::fromLocal8Bit(name));
    QtSerialIo port(map, QSerialPort::NoParity);
    QCOMPARE(port.open(1).status, OpenStatus::Ok);
    drain();

    // No event is processed between the write and the read.
    const QByteArray request("\x02TBLW;1F;1;FFFFFFFB;64;14;\x04");
    port.write(request);
    pollfd p{master, POLLIN, 0};
    QCOMPARE(::poll(&p, 1, 1000), 1);
    QByteArray seen = drain();
    for (int i = 0; i < 20 && seen.size() < request.size(); ++i) {
        ::poll(&p, 1, 50);
        seen += drain();
    }
    QCOMPARE(seen, request);

    // Far more than a pseudo-terminal holds; the short text after it must
    // not overtake what is still queued.
    QByteArray big(300000, Qt::Uninitialized);
    for (qsizetype i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 23);
    const QByteArray small("\x02S\x04");
    port.write(big);
    port.write(small);
    seen.clear();
    QElapsedTimer t;
    t.start();
    while (seen.size() < big.size() + small.size() && t.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        seen += drain();
    }
    QCOMPARE(seen.size(), big.size() + small.size());
    QVERIFY(seen == big + small);
}

// The port hands over what arrived; a receiver that keeps a delivery keeps
// it as it was when later deliveries come.
void TstQtSerialIo::receivedBytesStayAsDelivered()
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const auto closeLine = qScopeGuard([&] { ::close(master), ::close(slave); });
    PortMap map;
    map.setExplicit(1, QString::fromLocal8Bit(name));
    QtSerialIo port(map, QSerialPort::NoParity);
    QCOMPARE(port.open(1).status, OpenStatus::Ok);
    QList<QByteArray> kept;
    connect(&port, &SerialIo::bytesArrived, this, [&](const QByteArray &b) { kept << b; });
    const QByteArray first("\x02S;80008000;0;0;D7;0\x04"), second("\x02IO;1F\x04");
    const auto deliver = [&](const QByteArray &bytes) {
        QByteArray all;
        for (const QByteArray &b : std::as_const(kept)) all += b;
        const qsizetype want = all.size() + bytes.size();
        QCOMPARE(::write(master, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        QElapsedTimer t;
        t.start();
        for (;;) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            qsizetype got = 0;
            for (const QByteArray &b : std::as_const(kept)) got += b.size();
            if (got >= want || t.elapsed() > 5000) break;
        }
    };
    deliver(first);
    const QList<QByteArray> afterFirst = kept;
    deliver(second);
    QByteArray all;
    for (const QByteArray &b : std::as_const(kept)) all += b;
    QCOMPARE(all, first + second);
    // The deliveries of the first reply still read as they did.
    for (qsizetype i = 0; i < afterFirst.size(); ++i) QCOMPARE(kept[i], afterFirst[i]);
    QByteArray firstAgain;
    for (const QByteArray &b : afterFirst) firstAgain += b;
    QCOMPARE(firstAgain, first);
}

namespace {

// A drive's end of a pseudo-terminal and the port on the other end, with
// every delivery kept.
struct CharLine {
    int master = -1;
    int slave = -1;
    std::unique_ptr<QtSerialIo> port;
    QList<QByteArray> got;

    bool open()
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) return false;
        PortMap map;
        map.setExplicit(1, QString::fromLocal8Bit(name));
        port = std::make_unique<QtSerialIo>(map, QSerialPort::NoParity);
        QObject::connect(port.get(), &SerialIo::bytesArrived, [this](const QByteArray &b) { got << b; });
        return port->open(1).status == OpenStatus::Ok;
    }
    ~CharLine()
    {
        port.reset();
        if (master >= 0) ::close(master), ::close(slave);
    }
    // Written a character at a time, as a drive at 9600 bit/s does, with the
    // event loop running between; the deliveries it made.
    QList<QByteArray> send(const QByteArray &bytes)
    {
        got.clear();
        for (const char c : bytes) {
            if (::write(master, &c, 1) != 1) return {};
            ::usleep(1000);
            QCoreApplication::processEvents();
        }
        QElapsedTimer t;
        t.start();
        while (got.join().size() < bytes.size() && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return got;
    }
};

}  // namespace

// With replies taken whole, the port hands a reply over in one delivery at its
// end character, and every byte of it, the terminal's own control characters
// included, comes as sent.
void TstQtSerialIo::repliesComeWholeAndUnchanged_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QList<QByteArray>>("deliveries");
    const QByteArray status("\x02S;80008000;0;0;D7;0\x04");
    QTest::newRow("a status reply") << status << QList<QByteArray>{status};
    QTest::newRow("ended by code 3") << QByteArray("\x02T;1;2;3\x03") << QList<QByteArray>{"\x02T;1;2;3\x03"};
    QTest::newRow("two replies") << status + "\x02IO;1F\x04" << QList<QByteArray>{status, "\x02IO;1F\x04"};
    // Quit, erase, kill, backspace, word erase, literal next, reprint,
    // discard, suspend, stop, start, a carriage return, a zero and a top-bit
    // character: each a control character to a terminal, data here.
    const QByteArray controls("\x02R;\x1c\x7f\x15\x08\x17\x16\x12\x0f\x1a\x13\x11\r\0\xff\x04", 18);
    QTest::newRow("control characters") << controls << QList<QByteArray>{controls};
    QTest::newRow("a line feed ends a delivery, not the reply") << QByteArray("\x02S;1\n2\x04")
                                                             << QList<QByteArray>{"\x02S;1\n", "2\x04"};
}

void TstQtSerialIo::repliesComeWholeAndUnchanged()
{
    QFETCH(QByteArray, sent);
    QFETCH(QList<QByteArray>, deliveries);
    CharLine line;
    QVERIFY(line.open());
    line.port->setRepliesWhole(true);
    QCOMPARE(line.send(sent), deliveries);
}

// By default each character comes as it arrives; the choice takes effect on
// the open port both ways, and holds for the next opening.
void TstQtSerialIo::repliesWholeOnlyWhenChosen()
{
    const QByteArray reply("\x02S;80008000;0;0;D7;0\x04");
    CharLine line;
    QVERIFY(line.open());
    QVERIFY(line.send(reply).size() > 1);
    line.port->setRepliesWhole(true);
    QCOMPARE(line.send(reply), QList<QByteArray>{reply});
    line.port->setRepliesWhole(false);
    QVERIFY(line.send(reply).size() > 1);
    line.port->setRepliesWhole(true);
    line.port->close();
    QCOMPARE(line.port->open(1).status, OpenStatus::Ok);
    QCOMPARE(line.send(reply), QList<QByteArray>{reply});
}

// A port in use is found in use under any of its names (a link such as
// /dev/serial/by-id/...), rather than opened a second time (which even root
// would be let do, and the two would set the line against each other); a
// name with a NUL is no name.
void TstQtSerialIo::aSecondNameOfAPortInUse()
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const auto closeLine = qScopeGuard([&] { ::close(master), ::close(slave); });
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("by-id-axis"));
    QVERIFY(QFile::link(QString::fromLocal8Bit(name), link));
    PortMap byName, byLink, withNul;
    byName.setExplicit(1, QString::fromLocal8Bit(name));
    byLink.setExplicit(1, link);
    withNul.setExplicit(1, QString::fromLocal8Bit(name) + QChar(0) + QStringLiteral("x"));
    QtSerialIo first(byName, QSerialPort::NoParity), second(byLink, QSerialPort::NoParity), third(withNul, QSerialPort::NoParity);
    QCOMPARE(first.open(1).status, OpenStatus::Ok);
    const OpenResult again = second.open(1);
    QCOMPARE(again.status, OpenStatus::InUse);
    QVERIFY2(again.reason.contains(u"in use"), qPrintable(again.reason));
    first.close();
    QCOMPARE(second.open(1).status, OpenStatus::Ok);
    second.close();
    QCOMPARE(third.open(1).status, OpenStatus::InvalidPort);
}

// The terminal driver is asked to mark a character received with a parity
// or framing error rather than drop it; a 0xFF, which it then doubles,
// still arrives as one, a character at a time and with replies taken whole.
void TstQtSerialIo::garbledCharactersAreMarked()
{
    CharLine line;
    QVERIFY(line.open());
    const auto marking = [&line] {
        termios tio{};
        return ::tcgetattr(line.slave, &tio) == 0 && (tio.c_iflag & INPCK) && (tio.c_iflag & PARMRK) &&
               !(tio.c_iflag & (IGNPAR | ISTRIP | IGNBRK));
    };
    QVERIFY(marking());
    QVERIFY(line.port->marksGarbled());
    const QByteArray withFF("\x02TBLR;1;\xff;0;0\x04");
    QCOMPARE(line.send(withFF).join(), withFF);
    line.port->setRepliesWhole(true);
    QVERIFY(marking());
    QCOMPARE(line.send(withFF), QList<QByteArray>{withFF});
    QCOMPARE(line.port->markedCharacters(), 0);  // a pseudo-terminal garbles nothing
}

QTEST_GUILESS_MAIN(TstQtSerialIo)
#include "tst_qtserialio.moc"
