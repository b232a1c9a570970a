// orvex-cli points: the drives' point tables read into files, written from
// files, or compared.

#include "tablewrite.h"

#include "drive/points/pointfile.h"
#include "drive/points/pointjobs.h"
#include "drive/valuechecks.h"

namespace {

TableKind<PointTable> pointKind(bool asIs)
{
    TableKind<PointTable> k;
    k.what = QStringLiteral("point table");
    k.command = QStringLiteral("points");
    k.native = QStringLiteral("ptt");
    k.backupKind = QStringLiteral("pointtable");
    k.read = [](DriveSession &s, PointTable &v, const std::function<void(int, int)> &progress) {
        ReadPointTableJob job(s.link());
        job.countsAsRead = false;
        if (!s.run(job, progress)) return false;
        v = job.result();
        return true;
    };
    k.write = [](DriveSession &s, const PointTable &v, const std::function<void(int, int)> &progress, WriteReach &reach) {
        WritePointTableJob job(s.link());
        job.setSource(v);
        reach.unit = QStringLiteral("point");
        reach.units = PointCount;
        FollowWrite(job, s, reach);
        return s.runWrite(job, progress);
    };
    k.encode = [](FileKind kind, const PointTable &v) { return EncodePoints(kind, v); };
    k.decode = [asIs](const QString &path, const PointTable *base, QString *error) { return DecodePoints(path, base, error, asIs); };
    k.inRange = [](const PointTable &v) { return PointTableProblems(v).isEmpty(); };
    k.compare = [](const PointTable &a, const PointTable &b) { return ComparePoints(a, b); };
    k.compareAll = k.compare;
    k.json = [](const PointTable &v) { return PointsJson(v); };
    k.backupBytes = [](const PointTable &v) { return EncodePointFile(v); };
    return k;
}

int run(Context &c, const QStringList &args) { return RunTable(c, pointKind(c.parser.isSet(QStringLiteral("as-is"))), args); }

}  // namespace

CliCommand PointsCommand()
{
    CliCommand command;
    command.name = QStringLiteral("points");
    command.usage = QStringLiteral("read -o FILE | write FILE | diff A B");
    command.about = QStringLiteral("the point table (.ptt, .csv, .json)");
    command.needsDrives = false;  // diff of two files needs none
    command.takesArguments = true;
    command.addOptions = AddTableOptions;
    command.run = run;
    return command;
}
