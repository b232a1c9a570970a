// orvex-cli points: the drives' point tables read into files, written from
// files, or compared.

#include "tablecommand.h"

#include "drive/points/pointfile.h"
#include "drive/points/pointjobs.h"

namespace {

TableKind<PointTable> pointKind()
{
    TableKind<PointTable> k;
    k.what = QStringLiteral("point table");
    k.native = QStringLiteral("ptt");
    k.backupKind = QStringLiteral("pointtable");
    k.read = [](DriveSession &s, PointTable &v, const std::function<void(int, int)> &progress) {
        ReadPointTableJob job(s.link());
        job.countsAsRead = false;
        if (!s.run(job, progress)) return false;
        v = job.result();
        return true;
    };
    k.write = [](DriveSession &s, const PointTable &v, const std::function<void(int, int)> &progress) {
        WritePointTableJob job(s.link());
        job.setSource(v);
        return s.run(job, progress);
    };
    k.encode = [](FileKind kind, const PointTable &v) { return EncodePoints(kind, v); };
    k.decode = [](const QString &path, const PointTable &base, QString *error) { return DecodePoints(path, base, error); };
    k.compare = [](const PointTable &a, const PointTable &b) { return ComparePoints(a, b); };
    k.json = [](const PointTable &v) { return PointsJson(v); };
    k.backupBytes = [](const PointTable &v) { return EncodePointFile(v); };
    return k;
}

int run(Context &c, const QStringList &args) { return RunTable(c, pointKind(), args); }

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
