#include "clioutput.h"

#include "drive/link/netportname.h"
#include "drive/csvfiles.h"
#include "drive/monitor/monitorrules.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutexLocker>
#include <cerrno>
#include <cstdio>
#include <cstring>

DriveResult StartResult(const QString &device)
{
    DriveResult r;
    r.device = device;
    r.name = DeviceName(device);
    return r;
}

DriveResult Failed(DriveResult r, const QString &why)
{
    r.ok = false;
    r.error = why;
    return r;
}

QString DeviceName(const QString &device) { return PortFileName(device); }

QString HexWord(quint32 v)
{
    return QStringLiteral("0x%1").arg(v, 8, 16, QLatin1Char('0')).toUpper().replace(u"0X"_qs, u"0x"_qs);
}

QString JoinedOrNone(const QStringList &names)
{
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

// ---- standard output and standard error -----------------------------------------

void CliOutput::message(const QString &text)
{
    QMutexLocker lock(&m_errLock);
    *m_env.err << text << Qt::endl;
}

std::function<void(int, int)> CliOutput::progress(const QString &name, const QString &what)
{
    if (!m_env.progress) return {};
    return [this, name, what](int step, int steps) {
        QMutexLocker lock(&m_errLock);
        *m_env.err << QStringLiteral("%1: %2 %3/%4").arg(name, what).arg(step).arg(steps) << Qt::endl;
    };
}

int CliOutput::usage(const QString &text)
{
    message(QStringLiteral("orvex-cli: ") + text);
    message(QStringLiteral("Try \"orvex-cli --help\"."));
    return ExitUsage;
}

int CliOutput::report(const QList<DriveResult> &results)
{
    QJsonArray array;
    QStringList failures;
    for (const DriveResult &r : results) {
        if (!r.ok) failures << QStringLiteral("%1 (%2)").arg(r.name, r.error);
        if (json) {
            QJsonObject o = r.json;
            o.insert(QStringLiteral("port"), r.device);
            o.insert(QStringLiteral("name"), r.name);
            o.insert(QStringLiteral("ok"), r.ok);
            if (!r.ok) o.insert(QStringLiteral("error"), r.error);
            array.append(o);
        } else if (!r.ok) {
            out() << r.name << ": failed: " << r.error << Qt::endl;
        } else if (!quiet) {
            out() << r.name << ": " << r.summary << Qt::endl;
        }
    }
    if (json) out() << QJsonDocument(array).toJson(QJsonDocument::Indented) << Qt::flush;
    if (failures.isEmpty()) return ExitOk;
    message(QStringLiteral("%1 of %2 drives failed: %3").arg(failures.size()).arg(results.size()).arg(failures.join(QStringLiteral(", "))));
    return ExitFailed;
}

// ---- the monitor's samples ----------------------------------------------------

void MonitorLines::take(const MonitorSample &s)
{
    QTextStream &out = m_output.out();
    if (m_output.json) {
        QJsonObject o{{QStringLiteral("name"), s.drive}, {QStringLiteral("port"), s.device},
                      {QStringLiteral("time"), s.time.toString(Qt::ISODateWithMs)}, {QStringLiteral("ok"), s.ok}};
        if (!s.ok) o.insert(QStringLiteral("error"), s.error);
        if (s.statusWord) o.insert(QStringLiteral("statusWord"), HexWord(*s.statusWord));
        if (s.alarms) o.insert(QStringLiteral("alarms"), QJsonArray::fromStringList(s.alarmNames));
        QJsonObject items;
        for (const MonitorItemValue &v : s.items)
            if (v.value) items.insert(MonitorItems()[v.item].section(u':', 0, 0), *v.value);
        o.insert(QStringLiteral("items"), items);
        out << QJsonDocument(o).toJson(QJsonDocument::Compact) << Qt::endl;
        return;
    }
    if (!s.ok) {
        out << s.drive << ' ' << s.time.toString(QStringLiteral("hh:mm:ss.zzz")) << " failed: " << s.error << Qt::endl;
        return;
    }
    if (m_output.quiet) return;
    QStringList parts{s.drive, s.time.toString(QStringLiteral("hh:mm:ss.zzz")),
                      QStringLiteral("status %1").arg(HexWord(s.statusWord.value_or(0))),
                      QStringLiteral("alarms: %1").arg(JoinedOrNone(s.alarmNames))};
    for (const MonitorItemValue &v : s.items) parts << QStringLiteral("%1=%2").arg(MonitorItems()[v.item], v.text);
    out << parts.join(u' ') << Qt::endl;
}

struct MonitorCsv::File {
    explicit File(const QString &p) : path(p) {}
    QString path;
    // A new file beside path until its header is on the disk; it then
    // takes path's place, and the rows follow into it.
    QFile file;
    QString error;  // set once it failed; nothing more is written then
};

MonitorCsv::MonitorCsv(CliOutput &output, QString pattern, QList<int> items)
    : m_output(output), m_pattern(std::move(pattern)), m_items(std::move(items))
{
}

MonitorCsv::~MonitorCsv() = default;

void MonitorCsv::take(const MonitorSample &s)
{
    const QString path = SubstituteName(m_pattern, s.device);
    std::unique_ptr<File> &slot = m_files[path];
    if (!slot) {
        slot = std::make_unique<File>(path);
        QStringList header{QStringLiteral("Time"), QStringLiteral("Drive"), QStringLiteral("Status Word"),
                           QStringLiteral("Alarms")};
        for (int item : m_items) header << MonitorItems()[item];
        header << QStringLiteral("Error");
        if (!begin(*slot, CsvText({header}))) return;
    }
    if (!slot->error.isEmpty()) return;
    QStringList row{s.time.toString(Qt::ISODateWithMs), s.drive,
                    s.statusWord ? HexWord(*s.statusWord) : QString(), s.alarms ? s.alarmNames.join(QStringLiteral(", ")) : QString()};
    for (const MonitorItemValue &v : s.items) row << v.text;
    row << s.error;
    write(*slot, CsvText({row}));
}

void MonitorCsv::finish()
{
    for (auto &[path, f] : m_files) {
        if (!f->error.isEmpty() || !f->file.isOpen()) continue;
        f->file.close();
        if (f->file.error() != QFileDevice::NoError) fail(*f, f->file.errorString());
    }
}

QString MonitorCsv::errorFor(const QString &device) const
{
    const auto it = m_files.find(SubstituteName(m_pattern, device));
    return it == m_files.end() ? QString() : it->second->error;
}

// An existing file is replaced only by one whose header is on the disk: a
// run that cannot write even that (a full disk) leaves it as it was.
bool MonitorCsv::begin(File &f, const QByteArray &header)
{
    QString part;
    for (int n = 1; n <= 100 && !f.file.isOpen(); ++n) {
        part = f.path + (n == 1 ? QStringLiteral(".part") : QStringLiteral(".part%1").arg(n));
        f.file.setFileName(part);
        if (f.file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) break;
        if (!QFileInfo::exists(part)) break;  // not for a name taken
    }
    if (!f.file.isOpen()) {
        fail(f, f.file.errorString());
        return false;
    }
    if (!write(f, header)) {
        QFile::remove(part);
        return false;
    }
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(f.path).constData()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(part);
        fail(f, why);
        return false;
    }
    return true;
}

// A row is on the disk once its flush succeeded: a full disk shows there.
bool MonitorCsv::write(File &f, const QByteArray &bytes)
{
    if (f.file.write(bytes) == bytes.size() && f.file.flush() && f.file.error() == QFileDevice::NoError) return true;
    fail(f, f.file.errorString());
    return false;
}

void MonitorCsv::fail(File &f, const QString &reason)
{
    f.error = QStringLiteral("%1: cannot be written: %2").arg(f.path, reason.isEmpty() ? QStringLiteral("not written") : reason);
    f.file.close();
    m_output.message(QStringLiteral("orvex-cli: %1; recording stopped").arg(f.error));
}
