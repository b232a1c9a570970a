// The serial port over a pseudo-terminal: a request reaches the line at once,
// without waiting for the event loop, and what the line cannot take at once
// still arrives whole and in order.

#include "link/qtserialio.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace {

// The drive's end of a pseudo-terminal.
struct Line {
    int master = -1;
    int slave = -1;
    QString device;
    Line()
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        device = QString::fromLocal8Bit(name);
    }
    ~Line()
    {
        if (master >= 0) ::close(master);
        if (slave >= 0) ::close(slave);
    }
    // What has arrived so far, without waiting.
    QByteArray drain()
    {
        QByteArray out;
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(master, chunk, sizeof chunk);
            if (n <= 0) break;
            out.append(chunk, n);
        }
        return out;
    }
};

// A line with the program's port open on it, nothing yet read.
struct OpenLine : Line {
    PortMap map;
    std::unique_ptr<QtSerialIo> port;
    bool open()
    {
        if (device.isEmpty()) return false;
        map.setExplicit(1, device);
        port = std::make_unique<QtSerialIo>(map, QSerialPort::NoParity);
        if (port->open(1).status != OpenStatus::Ok) return false;
        drain();
        return true;
    }
};

QByteArray pattern(qsizetype size, char first)
{
    QByteArray b(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) b[i] = static_cast<char>(first + i % 23);
    return b;
}

}  // namespace

class TstQtSerialIo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestIsOnTheLineAtOnce_data();
    void requestIsOnTheLineAtOnce();
    void moreThanTheLineTakesArrivesInOrder();
};

void TstQtSerialIo::requestIsOnTheLineAtOnce_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("poll") << QByteArray("\x02S\x04");
    QTest::newRow("point write") << QByteArray("\x02TBLW;1F;1;FFFFFFFB;64;14;\x04");
    QTest::newRow("two hundred characters") << pattern(200, 'A');
}

void TstQtSerialIo::requestIsOnTheLineAtOnce()
{
    QFETCH(QByteArray, request);
    OpenLine line;
    QVERIFY(line.open());

    // No event is processed between the write and the read.
    line.port->write(request);
    pollfd p{line.master, POLLIN, 0};
    QCOMPARE(::poll(&p, 1, 1000), 1);
    QByteArray seen = line.drain();
    for (int i = 0; i < 20 && seen.size() < request.size(); ++i) {
        ::poll(&p, 1, 50);
        seen += line.drain();
    }
    QCOMPARE(seen, request);
}

void TstQtSerialIo::moreThanTheLineTakesArrivesInOrder()
{
    OpenLine line;
    QVERIFY(line.open());

    // Far more than a pseudo-terminal holds; the short text after it must
    // not overtake what is still queued.
    const QByteArray big = pattern(300000, 'a');
    const QByteArray small("\x02S\x04");
    line.port->write(big);
    line.port->write(small);
    QByteArray seen;
    QElapsedTimer t;
    t.start();
    while (seen.size() < big.size() + small.size() && t.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        seen += line.drain();
    }
    QCOMPARE(seen.size(), big.size() + small.size());
    QVERIFY(seen == big + small);
}

QTEST_GUILESS_MAIN(TstQtSerialIo)
#include "tst_qtserialio.moc"
