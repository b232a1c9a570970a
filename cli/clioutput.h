#pragma once
// What orvex-cli says and where: the results on standard output (a line a
// drive, or one JSON document), messages and progress on standard error (a
// line at a time, whichever drive's thread says it), and the exit status.
// The monitor's samples go out through sinks: a line each on standard
// output, and rows of a CSV file written as they come, every write and flush
// checked.

#include "clitool.h"

#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QString>
#include <QTextStream>
#include <functional>
#include <map>
#include <memory>

class QFile;

inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

// What one drive came to.
struct DriveResult {
    QString device;
    QString name;
    bool ok = false;
    QString summary;  // after "ttyUSB0: " on a success
    QString error;    // why it failed
    QJsonObject json;
};

// A result for the device, not yet done.
DriveResult StartResult(const QString &device);
// The result as failed, for this reason.
DriveResult Failed(DriveResult r, const QString &why);
// "ttyUSB0" for "/dev/ttyUSB0".
QString DeviceName(const QString &device);

// "0x0000A001"
QString HexWord(quint32 v);
// The names joined with ", ", or "none".
QString JoinedOrNone(const QStringList &names);

class CliOutput {
public:
    explicit CliOutput(CliEnvironment &env) : m_env(env) {}

    bool json = false;   // --json
    bool quiet = false;  // --quiet

    // The results' stream.
    QTextStream &out() { return *m_env.out; }
    // A line on standard error.
    void message(const QString &text);
    // Progress of a drive ("ttyUSB0: reading 3/6"), only to a terminal.
    std::function<void(int, int)> progress(const QString &name, const QString &what);
    // "orvex-cli: text" and where to find help; the status of a bad command line.
    int usage(const QString &text);
    // One line (or an entry of the JSON array) a drive, and a message naming
    // the drives that failed; the status of the batch.
    int report(const QList<DriveResult> &results);

private:
    CliEnvironment &m_env;
    QMutex m_errLock;
};

// ---- the monitor's samples ----------------------------------------------------

// A line a sample on standard output (a JSON object a line with --json).
class MonitorLines : public MonitorSink {
public:
    explicit MonitorLines(CliOutput &output) : m_output(output) {}
    void take(const MonitorSample &s) override;

private:
    CliOutput &m_output;
};

// A CSV file a drive (the name holds {name}) or one for all, a row a sample.
// Every write and its flush are checked: a file that cannot be written is
// left as far as it got, says so at once on standard error, and its error
// fails the drives recorded in it.
class MonitorCsv : public MonitorSink {
public:
    MonitorCsv(CliOutput &output, QString pattern, QList<int> items);
    ~MonitorCsv() override;
    void take(const MonitorSample &s) override;
    void finish() override;
    // Why the file of this device could not be written; empty when it was.
    QString errorFor(const QString &device) const;

private:
    struct File;
    bool begin(File &file, const QByteArray &header);
    bool write(File &file, const QByteArray &bytes);
    void fail(File &file, const QString &reason);
    CliOutput &m_output;
    QString m_pattern;
    QList<int> m_items;
    std::map<QString, std::unique_ptr<File>> m_files;
};
