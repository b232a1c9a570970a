// orvex-cli monitor: the drives' status, alarms and monitor items polled at
// an interval, each sample a line, a CSV row and an MQTT message as asked.

#include "clicommand.h"
#include "drive/link/netportname.h"
#include "clioptions.h"
#include "statustexts.h"

#include "drive/monitor/monitorrules.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cmath>

namespace {

// Ten years: longer is no run anyone waits for the end of.
constexpr double MaxDurationSeconds = 10.0 * 366 * 24 * 3600;

void addOptions(QCommandLineParser &p)
{
    p.addOption({QStringLiteral("items"), QStringLiteral("Monitor items as the panel numbers them (00-10, hexadecimal) or by name, separated by commas."), QStringLiteral("LIST")});
    p.addOption({QStringLiteral("interval"), QStringLiteral("Milliseconds from one poll to the next (default 1000)."), QStringLiteral("MS"), QStringLiteral("1000")});
    p.addOption({QStringLiteral("duration"), QStringLiteral("Seconds to watch; 0 (default) until Ctrl+C."), QStringLiteral("S"), QStringLiteral("0")});
    p.addOption({QStringLiteral("csv"), QStringLiteral("Record the samples in this CSV file (may hold {name})."), QStringLiteral("FILE")});
    p.addOption({QStringLiteral("mqtt"), QStringLiteral("Publish the samples to this MQTT broker."), QStringLiteral("HOST[:PORT]")});
    p.addOption({QStringLiteral("topic"), QStringLiteral("Prefix of the topics published."), QStringLiteral("PREFIX")});
    p.addOption({QStringLiteral("client-id"), QStringLiteral("MQTT client id."), QStringLiteral("ID")});
    p.addOption({QStringLiteral("username"), QStringLiteral("MQTT user name."), QStringLiteral("U")});
    p.addOption({QStringLiteral("password-file"),
                 QStringLiteral("File holding the MQTT password (readable by its owner only)."), QStringLiteral("F")});
    p.addOption({QStringLiteral("tls-ca"), QStringLiteral("CA certificate for TLS to the broker (port 8883 by default)."),
                 QStringLiteral("FILE")});
    p.addOption({QStringLiteral("tls-cert"), QStringLiteral("Client certificate for a broker that asks for one (with --tls-key)."),
                 QStringLiteral("FILE")});
    p.addOption({QStringLiteral("tls-key"), QStringLiteral("The client certificate's key (readable by its owner only)."),
                 QStringLiteral("FILE")});
}

// Items as the operation panel's list numbers them ("0A" or "A" is 10, "10"
// is 16), or by name ("Current Speed").
std::optional<QList<int>> parseItems(const QString &text)
{
    QList<int> items;
    for (const QString &word : text.split(u',', Qt::SkipEmptyParts)) {
        const QString w = word.trimmed();
        bool ok = false;
        int item = w.toInt(&ok, 16);
        if (!ok) {
            item = -1;
            for (int k = 0; k < MonitorItemCount; ++k)
                if (!MonitorItemName(k).isEmpty() && MonitorItemName(k).compare(w, Qt::CaseInsensitive) == 0) item = k;
        }
        if (item < 0 || item >= MonitorItemCount) return std::nullopt;
        items << item;
    }
    if (items.isEmpty()) return std::nullopt;
    return items;
}

// One poll of a drive as a sample.
MonitorSample sampleOf(const DriveResult &r, bool ok, const QString &error, const StatusSnapshot &snap, const QList<int> &items)
{
    MonitorSample sample;
    sample.drive = r.name;
    sample.device = r.device;
    sample.ok = ok;
    sample.time = QDateTime::currentDateTime();
    if (!ok) sample.error = error;
    sample.statusWord = snap.statusWord;
    if (snap.statusWord) sample.statusOn = StatusNames(*snap.statusWord);
    sample.alarms = snap.alarms;
    if (snap.alarms) sample.alarmNames = AlarmNames(*snap.alarms);
    for (int item : items) {
        MonitorItemValue v{item, MonitorItemName(item), snap.monitor[item], QString()};
        if (v.value) v.text = MonitorValueText(item, *v.value);
        sample.items << v;
    }
    return sample;
}

int run(Context &c, const QStringList &)
{
    const std::optional<QList<int>> items = parseItems(c.parser.value(QStringLiteral("items")));
    if (!items) return c.output.usage(QStringLiteral("--items wants monitor items 00 to 10 as the panel numbers them, or their names, separated by commas"));
    bool ok = false;
    const int interval = c.parser.value(QStringLiteral("interval")).toInt(&ok);
    if (!ok || interval < 50 || interval > 3600000) return c.output.usage(QStringLiteral("--interval wants milliseconds from 50"));
    const double duration = c.parser.value(QStringLiteral("duration")).toDouble(&ok);
    // Not a number, or no end: neither is a length of time.
    if (!ok || !std::isfinite(duration) || duration < 0 || duration > MaxDurationSeconds)
        return c.output.usage(QStringLiteral("--duration wants seconds from 0 to %1 (0: until Ctrl+C), not \"%2\"")
                                  .arg(qint64(MaxDurationSeconds))
                                  .arg(c.parser.value(QStringLiteral("duration"))));

    std::vector<std::unique_ptr<MonitorSink>> sinks;
    sinks.push_back(std::make_unique<MonitorLines>(c.output));
    MonitorCsv *csv = nullptr;
    if (c.parser.isSet(QStringLiteral("csv"))) {
        auto sink = std::make_unique<MonitorCsv>(c.output, c.parser.value(QStringLiteral("csv")), *items);
        csv = sink.get();
        sinks.push_back(std::move(sink));
    }
    if (c.parser.isSet(QStringLiteral("mqtt"))) {
        if (!c.env.publisher) return c.output.usage(QStringLiteral("MQTT publishing is not built in"));
        PublishOptions p{c.parser.value(QStringLiteral("mqtt")), c.parser.value(QStringLiteral("topic")),
                         c.parser.value(QStringLiteral("client-id")), c.parser.value(QStringLiteral("username")),
                         c.parser.value(QStringLiteral("password-file")), c.parser.value(QStringLiteral("tls-ca")),
                         c.parser.value(QStringLiteral("tls-cert")), c.parser.value(QStringLiteral("tls-key"))};
        QString error;
        std::unique_ptr<MonitorSink> publisher = c.env.publisher(p, &error);
        if (!publisher) return c.output.usage(error);
        sinks.push_back(std::move(publisher));
    }
    for (auto &sink : sinks)
        sink->cannotGoOn = [&c](const QString &why) { c.stop.request(StopRequest::Why::Failed, why); };

    // The samples reach the sinks on this thread.
    QObject receiver;
    const auto deliver = [&](const MonitorSample &sample) {
        QMetaObject::invokeMethod(&receiver, [&sinks, sample] {
            for (auto &sink : sinks) sink->take(sample);
        }, Qt::QueuedConnection);
    };
    const auto results = OnEveryDrive(c.devices, [&](const QString &device) {
        DriveResult r = StartResult(device);
        DriveSession s(device, c.session);
        // A device server that is down now may be back later: its drive is
        // polled on and fails until then, the others going on meanwhile.
        if (!s.open() && !IsNetPortName(device)) return Failed(r, s.error());
        QElapsedTimer running;
        running.start();
        int samples = 0, failures = 0;
        QString lastError;
        // Ctrl+C (or SIGTERM) ends the run as its duration does.
        while ((duration <= 0 || running.elapsed() < duration * 1000) && !c.stop.requested()) {
            QElapsedTimer poll;
            poll.start();
            ReadStatusJob job(s.link(), ReadStatusJob::Parts{true, true, false, *items});
            const bool polled = s.run(job);
            if (!polled && s.stopped()) break;  // no sample: the poll was cut short
            if (!polled) {
                lastError = s.error();
                ++failures;
            }
            ++samples;
            deliver(sampleOf(r, polled, s.error(), job.result(), *items));
            s.pause(interval - static_cast<int>(poll.elapsed()));
        }
        if (failures > 0) return Failed(r, QStringLiteral("%1 of %2 polls failed, the last: %3").arg(failures).arg(samples).arg(lastError));
        r.ok = true;
        r.summary = QStringLiteral("%1 samples").arg(samples);
        r.json = QJsonObject{{QStringLiteral("samples"), samples}};
        return r;
    });
    QCoreApplication::sendPostedEvents(&receiver);
    for (auto &sink : sinks) sink->finish();
    // A drive whose samples could not all be recorded or published has failed.
    QStringList runFailures;
    if (c.stop.why() == StopRequest::Why::Failed) runFailures << c.stop.reason();
    else
        for (auto &sink : sinks)
            if (const QString why = sink->failure(); !why.isEmpty()) runFailures << why;
    QList<DriveResult> ended = results;
    for (DriveResult &r : ended) {
        QStringList why = runFailures;
        if (const QString recording = csv ? csv->errorFor(r.device) : QString(); !recording.isEmpty()) why << recording;
        if (why.isEmpty()) continue;
        if (!r.ok) why.prepend(r.error);
        r = Failed(r, why.join(QStringLiteral("; ")));
    }
    return c.output.report(ended);
}

}  // namespace

CliCommand MonitorCommand()
{
    CliCommand command;
    command.name = QStringLiteral("monitor");
    command.usage = QStringLiteral("--port DEV --items LIST [--interval MS] [--duration S] [--csv FILE]");
    command.addOptions = addOptions;
    command.run = run;
    return command;
}
