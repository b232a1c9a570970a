// orvex-cli params: the drives' parameters read into files, written from
// files, or compared; --maker takes the maker's 40-59 in. Writing them
// needs the maker's password (makeraccess.h). Reading and comparing them do
// not: the values are no secret (the parameter window's file and "params
// read" without --maker hold all sixty) and reading them changes nothing.

#include "makeraccess.h"
#include "tablewrite.h"

#include "drive/params/paramfile.h"
#include "drive/params/parameterjobs.h"
#include "drive/valuechecks.h"

namespace {

TableKind<ParamValues> parameterKind(bool maker, bool asIs)
{
    const int count = maker ? ParamCount : UserParamCount;
    TableKind<ParamValues> k;
    k.what = QStringLiteral("parameters");
    k.command = QStringLiteral("params");
    k.native = QStringLiteral("pxt");
    k.backupKind = QStringLiteral("parameters");
    k.read = [](DriveSession &s, ParamValues &v, const std::function<void(int, int)> &progress) {
        ReadParametersJob job(s.link());
        job.countsAsRead = false;
        if (!s.run(job, progress)) return false;
        v = job.result().values;
        return true;
    };
    k.write = [maker](DriveSession &s, const ParamValues &v, const std::function<void(int, int)> &progress, WriteReach &reach) {
        WriteParametersJob job(s.link());
        ParameterSet set;
        set.values = v;
        set.writeBlocks = maker ? ParamBlockCount : UserParamCount / ParamBlockSize;
        job.setSource(set);
        reach.unit = QStringLiteral("block");
        reach.units = set.writeBlocks;
        FollowWrite(job, s, reach);
        return s.runWrite(job, progress);
    };
    k.encode = [count](FileKind kind, const ParamValues &v) { return EncodeParameters(kind, v, count); };
    k.decode = [maker, asIs](const QString &path, const ParamValues *base, QString *error) {
        return DecodeParameters(path, base, maker, error, asIs);
    };
    k.inRange = [count](const ParamValues &v) { return ParamSetProblems(v, count).isEmpty(); };
    k.compare = [count](const ParamValues &a, const ParamValues &b) { return CompareParameters(a, b, count); };
    k.compareAll = [](const ParamValues &a, const ParamValues &b) { return CompareParameters(a, b, ParamCount); };
    if (maker) k.writeOptions << QStringLiteral("--maker");
    k.json = [count](const ParamValues &v) { return ParametersJson(v, count); };
    k.backupBytes = [](const ParamValues &v) { return EncodeParamFile(v); };
    return k;
}

void addOptions(QCommandLineParser &p)
{
    AddTableOptions(p);
    p.addOption({QStringLiteral("maker"),
                 QStringLiteral("All sixty parameters, the maker's 40-59 too (maker mode, for the maker's service "
                                "staff); writing them asks for the maker's password.")});
    AddMakerPasswordOption(p);
}

int run(Context &c, const QStringList &args)
{
    const bool maker = c.parser.isSet(QStringLiteral("maker"));
    TableKind<ParamValues> kind = parameterKind(maker, c.parser.isSet(QStringLiteral("as-is")));
    if (maker) kind.mayWrite = [&c] { return CheckMakerPassword(c); };
    return RunTable(c, kind, args);
}

}  // namespace

CliCommand ParamsCommand()
{
    CliCommand command;
    command.name = QStringLiteral("params");
    command.usage = QStringLiteral("read -o FILE | write FILE | diff A B");
    command.about = QStringLiteral("the parameters (.pxt, .csv, .json)");
    command.needsDrives = false;  // diff of two files needs none
    command.takesArguments = true;
    command.addOptions = addOptions;
    command.run = run;
    return command;
}
