#include "writereach.h"

#include "drivesession.h"

#include "drive/drivejob.h"

#include <QRegularExpression>
#include <algorithm>

void FollowWrite(DriveJob &job, const DriveSession &session, WriteReach &reach)
{
    QObject::connect(&job, &DriveJob::progressed, &job, [&reach](int step, int) {
        reach.acknowledged = std::max(reach.acknowledged, std::min(step, reach.units));
    });
    QObject::connect(&job, &DriveJob::finished, &job, [&job, &session, &reach](DriveJob::Ending ending) {
        const int step = job.step();  // the request of this unit was the last to go out
        switch (ending) {
        case DriveJob::Ending::Done:
            reach.done = true;
            break;
        case DriveJob::Ending::Refused:
            // The drive said no: the refused request was not taken.
            if (step >= reach.units) reach.flashRefused = true;
            break;
        case DriveJob::Ending::Cancelled:
            // Stopped once the step in flight was answered: nothing unanswered.
            if (session.stoppedBetweenSteps()) break;
            [[fallthrough]];
        case DriveJob::Ending::GivenUp:
        case DriveJob::Ending::None:
            reach.unanswered = std::max(reach.unanswered, std::min(step, reach.units));
            break;
        }
    });
}

namespace {

QString units(const WriteReach &r, int last)
{
    if (last == 0) return QStringLiteral("%1 0").arg(r.unit);
    return QStringLiteral("%1s 0-%2").arg(r.unit).arg(last);
}

}  // namespace

QString HalfWrittenText(const WriteReach &r, const QString &backup)
{
    if (r.done) return {};
    const QString before = backup.isEmpty() ? QStringLiteral("The values before were not kept (--no-backup).")
                                            : QStringLiteral("The values before are in %1.").arg(backup);
    if (r.untouched()) return QStringLiteral("Nothing was written: the drive holds the values it had.");
    if (r.acknowledged >= r.units) {
        const QString saved = r.flashRefused             ? QStringLiteral("not saved in its memory (FLASH refused)")
                              : r.unanswered >= r.units ? QStringLiteral("perhaps not saved in its memory (FLASH was not answered)")
                                                         : QStringLiteral("not saved in its memory (no FLASH)");
        return QStringLiteral("The drive runs all the new values (%1), %2. %3").arg(units(r, r.units - 1), saved, before);
    }
    // The unit after those acknowledged went out unanswered: taken or not.
    const bool perhaps = r.unanswered >= r.acknowledged;
    if (r.acknowledged == 0)
        return QStringLiteral("The drive may run %1 0 of the new values, not saved in its memory (no FLASH). %2").arg(r.unit, before);
    return QStringLiteral("The drive runs %1 of the new values%2, not saved in its memory (no FLASH). %3")
        .arg(units(r, r.acknowledged - 1),
             perhaps ? QStringLiteral(", %1 %2 perhaps too").arg(r.unit).arg(r.acknowledged) : QString(), before);
}

QString RestoreCommand(const QString &command, const QString &backup, const QString &device, const QStringList &options)
{
    static const QRegularExpression plain(QStringLiteral("\\A[A-Za-z0-9_./:=@%+,-]+\\z"));
    const auto quoted = [](const QString &word) {
        if (plain.match(word).hasMatch()) return word;
        return u'\'' + QString(word).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
    };
    QStringList words{QStringLiteral("orvex-cli"), command, QStringLiteral("write"), quoted(backup), QStringLiteral("--port"),
                      quoted(device), QStringLiteral("--no-backup")};
    for (const QString &o : options) words << quoted(o);
    return words.join(u' ');
}
