#pragma once
// The options every command shares, in one place: the drives (--port,
// --ports-from), the line (--parity, --retries, --replies-whole) and the
// output (--json, --quiet), and the checks of what they name.

#include "clicommand.h"

// Adds the shared options; drives: with the drive options.
void AddCommonOptions(QCommandLineParser &parser, bool drives);
// Reads them into the context; empty when they can be used, else why not.
QString TakeCommonOptions(Context &c, bool drives);
// Empty when no two devices share a name ({name}, the drive's line) or are
// one device under two names; else which do.
QString DistinctDrives(const QStringList &devices);
// Empty when a drive was named, else what to give.
QString NeedDrives(const Context &c);
// An output name (-o, --csv) given, and telling the drives apart when they
// are several; empty when it does.
QString CheckOutputName(const Context &c, const QString &pattern);

// Runs work for every device at once, each on a thread of its own, and gives
// the results in the order of the devices.
QList<DriveResult> OnEveryDrive(const QStringList &devices, const std::function<DriveResult(const QString &)> &work);
