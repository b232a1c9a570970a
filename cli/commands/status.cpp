// orvex-cli status: each drive's model, ROM version, status, alarms and I/O
// signals.

#include "clicommand.h"
#include "clioptions.h"
#include "statustexts.h"

namespace {

int run(Context &c, const QStringList &)
{
    const auto results = OnEveryDrive(c.devices, [&](const QString &device) {
        DriveResult r = StartResult(device);
        DriveSession s(device, c.session);
        if (!s.open()) return Failed(r, s.error());
        ReadStatusJob job(s.link(), ReadStatusJob::Parts{true, true, true, {}});
        if (!s.run(job, c.output.progress(r.name, QStringLiteral("status")))) return Failed(r, s.error());
        r.ok = true;
        r.summary = StatusLine(job.result());
        r.json = StatusJson(job.result());
        return r;
    });
    return c.output.report(results);
}

}  // namespace

CliCommand StatusCommand()
{
    CliCommand command;
    command.name = QStringLiteral("status");
    command.usage = QStringLiteral("--port DEV");
    command.about = QStringLiteral("model, ROM version, status, alarms, I/O signals");
    command.run = run;
    return command;
}
