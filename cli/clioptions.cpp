#include "clioptions.h"

#include "clifiles.h"

#include <QEventLoop>
#include <QThread>
#include <memory>

void AddCommonOptions(QCommandLineParser &p, bool drives)
{
    p.addHelpOption();
    p.addVersionOption();
    if (drives) {
        p.addOption({QStringLiteral("port"), QStringLiteral("Serial device of a drive, or a network port socket://HOST:PORT or "
                                    "rfc2217://HOST:PORT; give it once for each drive."),
                     QStringLiteral("DEV")});
        p.addOption({QStringLiteral("ports-from"), QStringLiteral("A file of serial devices or network ports, one a line (# starts a comment)."),
                     QStringLiteral("FILE")});
        p.addOption({QStringLiteral("parity"), QStringLiteral("Parity of the line: none, even (default) or odd."),
                     QStringLiteral("PARITY"), QStringLiteral("even")});
        p.addOption({QStringLiteral("retries"), QStringLiteral("Ask a lost reply again N times before giving up (default 2)."),
                     QStringLiteral("N"), QStringLiteral("2")});
        p.addOption({QStringLiteral("replies-whole"),
                     QStringLiteral("Have the serial driver hand each reply over whole at its end: about a third of "
                                    "the CPU while polling, each reply seen up to about 0.2 ms later.")});
    }
    p.addOption({QStringLiteral("json"), QStringLiteral("Print the results as JSON.")});
    p.addOption({QStringLiteral("quiet"), QStringLiteral("Print only what failed.")});
}

QString TakeCommonOptions(Context &c, bool drives)
{
    c.output.json = c.parser.isSet(QStringLiteral("json"));
    c.output.quiet = c.parser.isSet(QStringLiteral("quiet"));
    c.session.tickMs = c.env.tickMs;
    if (!drives) return {};
    const QString parity = c.parser.value(QStringLiteral("parity")).toLower();
    if (parity == u"none") c.session.parity = QSerialPort::NoParity;
    else if (parity == u"even") c.session.parity = QSerialPort::EvenParity;
    else if (parity == u"odd") c.session.parity = QSerialPort::OddParity;
    else return QStringLiteral("--parity wants none, even or odd, not \"%1\"").arg(parity);
    bool ok = false;
    c.session.retries = c.parser.value(QStringLiteral("retries")).toInt(&ok);
    if (!ok || c.session.retries < 0 || c.session.retries > 100)
        return QStringLiteral("--retries wants a number from 0 to 100, not \"%1\"").arg(c.parser.value(QStringLiteral("retries")));
    c.session.repliesWhole = c.parser.isSet(QStringLiteral("replies-whole"));
    c.devices = c.parser.values(QStringLiteral("port"));
    if (c.parser.isSet(QStringLiteral("ports-from"))) {
        QString error;
        const std::optional<QByteArray> bytes = ReadInputFile(c.parser.value(QStringLiteral("ports-from")), 1024 * 1024, &error);
        if (!bytes) return error;
        for (const QByteArray &line : bytes->split('\n')) {
            const QString device = QString::fromUtf8(line).section(u'#', 0, 0).trimmed();
            if (!device.isEmpty()) c.devices << device;
        }
    }
    for (const QString &d : c.devices)
        if (d.isEmpty()) return QStringLiteral("--port wants a serial device");
    return {};
}

QString NeedDrives(const Context &c)
{
    return c.devices.isEmpty() ? QStringLiteral("no drive: give --port DEV (or --ports-from FILE)") : QString();
}

QString CheckOutputName(const Context &c, const QString &pattern)
{
    if (pattern.isEmpty()) return QStringLiteral("an output file is needed: -o FILE");
    if (c.devices.size() > 1 && !pattern.contains(u"{name}"))
        return QStringLiteral("with several drives the output name needs {name}, as in %1").arg(QStringLiteral("params-{name}.pxt"));
    return {};
}

QList<DriveResult> OnEveryDrive(const QStringList &devices, const std::function<DriveResult(const QString &)> &work)
{
    QList<DriveResult> results(devices.size());
    std::vector<std::unique_ptr<QThread>> threads;
    QEventLoop loop;
    qsizetype left = devices.size();
    for (qsizetype i = 0; i < devices.size(); ++i) {
        threads.emplace_back(QThread::create([&results, &work, &devices, i] { results[i] = work(devices[i]); }));
        QObject::connect(threads.back().get(), &QThread::finished, &loop, [&] {
            if (--left == 0) loop.quit();
        });
    }
    for (auto &t : threads) t->start();
    if (left > 0) loop.exec();
    for (auto &t : threads) t->wait();
    return results;
}
