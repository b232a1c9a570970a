// orvex-cli capture: a waveform capture of each drive into a file.

#include "clicommand.h"
#include "clifiles.h"
#include "clioptions.h"

#include "drive/params/parameterjobs.h"
#include "drive/wave/capturejob.h"
#include "drive/wave/wavequantities.h"

namespace {

void addOptions(QCommandLineParser &p)
{
    p.addOption({{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The capture file (.wvt, .csv or .json; may hold {name})."), QStringLiteral("FILE")});
    p.addOption({QStringLiteral("trigger"), QStringLiteral("speed (default), torque, status or manual."), QStringLiteral("SOURCE"), QStringLiteral("speed")});
    p.addOption({QStringLiteral("status"), QStringLiteral("The status signal: Brake (default), Trq.Lmt., Spd.Lmt., Exes.Devi. or InPos."), QStringLiteral("NAME"), QStringLiteral("Brake")});
    p.addOption({QStringLiteral("edge"), QStringLiteral("forward-up (default), forward-down, reverse-up or reverse-down."), QStringLiteral("EDGE"), QStringLiteral("forward-up")});
    p.addOption({QStringLiteral("time-base"), QStringLiteral("Seconds a division: 0.05 (default), 0.1, 0.2 or 0.5."), QStringLiteral("S"), QStringLiteral("0.05")});
    p.addOption({QStringLiteral("position"), QStringLiteral("The trigger's position, 0 to 30 (default 15)."), QStringLiteral("N"), QStringLiteral("15")});
    p.addOption({QStringLiteral("timeout"), QStringLiteral("Give up when the drive has not triggered after this many seconds (default 60)."), QStringLiteral("S"), QStringLiteral("60")});
}

// The position of text in a list, case and dots and blanks ignored.
int listIndex(const QStringList &list, const QString &text)
{
    const auto plain = [](QString s) { return s.remove(u'.').remove(u' ').remove(u'-').toLower(); };
    for (qsizetype i = 0; i < list.size(); ++i)
        if (plain(list[i]) == plain(text)) return static_cast<int>(i);
    return -1;
}

int run(Context &c, const QStringList &)
{
    const QString pattern = c.parser.value(QStringLiteral("output"));
    if (const QString e = CheckOutputName(c, pattern); !e.isEmpty()) return c.output.usage(e);
    if (KindOfFile(pattern, QStringLiteral("wvt")) == FileKind::Unknown)
        return c.output.usage(QStringLiteral("%1: the file must be .wvt, .csv or .json").arg(pattern));
    CaptureSetup setup;
    setup.trig = listIndex(WaveTriggerSources(), c.parser.value(QStringLiteral("trigger")));
    setup.status = listIndex(WaveStatusSignals(), c.parser.value(QStringLiteral("status")));
    setup.edge = listIndex(WaveTriggerEdges(), c.parser.value(QStringLiteral("edge")));
    const int timeBase = WaveTimeBases().indexOf(c.parser.value(QStringLiteral("time-base")));
    bool ok = false;
    const int position = c.parser.value(QStringLiteral("position")).toInt(&ok);
    bool timeoutOk = false;
    const double timeout = c.parser.value(QStringLiteral("timeout")).toDouble(&timeoutOk);
    if (setup.trig < 0) return c.output.usage(QStringLiteral("--trigger wants speed, torque, status or manual"));
    if (setup.status < 0) return c.output.usage(QStringLiteral("--status wants one of: ") + WaveStatusSignals().join(QStringLiteral(", ")));
    if (setup.edge < 0) return c.output.usage(QStringLiteral("--edge wants forward-up, forward-down, reverse-up or reverse-down"));
    if (timeBase < 0) return c.output.usage(QStringLiteral("--time-base wants 0.05, 0.1, 0.2 or 0.5"));
    if (!ok || position < 0 || position > 30) return c.output.usage(QStringLiteral("--position wants 0 to 30"));
    if (!timeoutOk || !(timeout > 0) || timeout > 86400) return c.output.usage(QStringLiteral("--timeout wants seconds above 0"));
    const auto results = OnEveryDrive(c.devices, [&](const QString &device) {
        DriveResult r = StartResult(device);
        DriveSession s(device, c.session);
        if (!s.open()) return Failed(r, s.error());
        const QString path = SubstituteName(pattern, device);
        const FileKind fileKind = KindOfFile(path, QStringLiteral("wvt"));
        // The torque's 100 % follows the motor type, parameter 57.
        int units = 0;
        if (fileKind == FileKind::Csv || fileKind == FileKind::Json) {
            ReadParametersJob params(s.link());
            params.countsAsRead = false;
            if (!s.run(params)) return Failed(r, QStringLiteral("reading the motor type: ") + s.error());
            units = WaveGeometry::MotorTypeUnits(params.result().values[57]);
        }
        CaptureJob job(s.link(), setup, timeBase, position);
        if (!s.run(job, c.output.progress(r.name, QStringLiteral("capture")), static_cast<int>(timeout * 1000),
                   QStringLiteral("no trigger within %1 s").arg(timeout)))
            return Failed(r, s.error());
        QString error;
        if (!WriteOutputFile(path, EncodeCapture(fileKind, job.result(), r.name, units), &error)) return Failed(r, error);
        r.ok = true;
        r.summary = QStringLiteral("captured into %1").arg(path);
        r.json = QJsonObject{{QStringLiteral("file"), path}};
        return r;
    });
    return c.output.report(results);
}

}  // namespace

CliCommand CaptureCommand()
{
    CliCommand command;
    command.name = QStringLiteral("capture");
    command.usage = QStringLiteral("--port DEV -o FILE");
    command.about = QStringLiteral("a waveform capture (.wvt, .csv, .json)");
    command.addOptions = addOptions;
    command.run = run;
    return command;
}
