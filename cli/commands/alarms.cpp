// orvex-cli alarms: the alarms present and the history, after an alarm reset
// or a clearing of the history when asked.

#include "clicommand.h"
#include "clioptions.h"
#include "statustexts.h"

namespace {

void addOptions(QCommandLineParser &p)
{
    p.addOption({QStringLiteral("reset"), QStringLiteral("Reset the alarms first (Alarm Reset).")});
    p.addOption({QStringLiteral("clear-history"), QStringLiteral("Clear the alarm history first (Record Clear).")});
}

int run(Context &c, const QStringList &)
{
    const bool reset = c.parser.isSet(QStringLiteral("reset"));
    const bool clear = c.parser.isSet(QStringLiteral("clear-history"));
    const auto results = OnEveryDrive(c.devices, [&](const QString &device) {
        DriveResult r = StartResult(device);
        DriveSession s(device, c.session);
        if (!s.open()) return Failed(r, s.error());
        if (reset && !s.request(QStringLiteral("ARST"))) return Failed(r, QStringLiteral("alarm reset: ") + s.error());
        if (clear && !s.request(QStringLiteral("HCL"))) return Failed(r, QStringLiteral("clearing the history: ") + s.error());
        ReadStatusJob job(s.link(), ReadStatusJob::Parts{true, true, false, {}});
        if (!s.run(job)) return Failed(r, s.error());
        r.ok = true;
        QStringList done;
        if (reset) done << QStringLiteral("alarms reset");
        if (clear) done << QStringLiteral("history cleared");
        done << AlarmsLine(job.result());
        r.summary = done.join(QStringLiteral("; "));
        r.json = StatusJson(job.result());
        return r;
    });
    return c.output.report(results);
}

}  // namespace

CliCommand AlarmsCommand()
{
    CliCommand command;
    command.name = QStringLiteral("alarms");
    command.usage = QStringLiteral("--port DEV [--reset] [--clear-history]");
    command.addOptions = addOptions;
    command.run = run;
    return command;
}
