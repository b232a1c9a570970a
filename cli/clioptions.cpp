#include "clioptions.h"

#include "clifiles.h"

#include "drive/link/netportname.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <memory>

namespace {

bool hasControlCharacter(const QString &text)
{
    for (QChar ch : text)
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7F) return true;
    return false;
}

// The text with its control characters shown as \0, \x1B ...
QString printable(const QString &text)
{
    QString out;
    for (QChar ch : text) {
        if (ch.unicode() == 0) out += QStringLiteral("\\0");
        else if (ch.unicode() < 0x20 || ch.unicode() == 0x7F) out += QStringLiteral("\\x%1").arg(ch.unicode(), 2, 16, QLatin1Char('0'));
        else out += ch;
    }
    return out;
}

}  // namespace

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
    c.session.stop = &c.stop;
    c.devices = c.parser.values(QStringLiteral("port"));
    for (const QString &d : c.devices) {
        if (d.isEmpty()) return QStringLiteral("--port wants a serial device");
        if (hasControlCharacter(d)) return QStringLiteral("--port \"%1\" holds a control character").arg(printable(d));
    }
    if (c.parser.isSet(QStringLiteral("ports-from"))) {
        const QString path = c.parser.value(QStringLiteral("ports-from"));
        QString error;
        const std::optional<QByteArray> bytes = ReadInputFile(path, 1024 * 1024, &error);
        if (!bytes) return error;
        const QList<QByteArray> lines = bytes->split('\n');
        for (qsizetype n = 0; n < lines.size(); ++n) {
            QByteArray line = lines[n];
            if (line.endsWith('\r')) line.chop(1);
            const QString device = QString::fromUtf8(line).section(u'#', 0, 0).trimmed();
            // A NUL would cut the name short where the system takes it (and
            // leave the port's lock file behind): such a line is refused.
            if (hasControlCharacter(device))
                return QStringLiteral("%1: line %2 holds a control character: \"%3\"").arg(path).arg(n + 1).arg(printable(device));
            if (!device.isEmpty()) c.devices << device;
        }
    }
    return DistinctDrives(c.devices);
}

QString DistinctDrives(const QStringList &devices)
{
    QHash<QString, QString> byName, byDevice;
    for (const QString &d : devices) {
        const QString name = DeviceName(d);
        if (const auto it = byName.constFind(name); it != byName.cend()) {
            if (*it == d) return QStringLiteral("the drive %1 is named twice").arg(d);
            return QStringLiteral("the drives %1 and %2 share the name %3, which tells a drive's line, files ({name}) and "
                                  "topics apart: name them by paths whose last parts differ (/dev/serial/by-id/...)")
                .arg(*it, d, name);
        }
        byName.insert(name, d);
        // Two names of one device (a link and the device itself) would open
        // it twice at once.
        if (IsNetPortName(d)) continue;
        const QString device = QFileInfo(d).canonicalFilePath();
        if (device.isEmpty()) continue;
        if (const auto it = byDevice.constFind(device); it != byDevice.cend())
            return QStringLiteral("%1 and %2 are the same device (%3): name it once").arg(*it, d, device);
        byDevice.insert(device, d);
    }
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
