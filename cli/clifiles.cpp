#include "clifiles.h"

#include "drive/savefile.h"
#include "drive/secretfile.h"
#include "drive/valuechecks.h"
#include "drive/csvfiles.h"
#include "drive/params/paramfile.h"
#include "drive/points/pointfile.h"
#include "drive/wave/wavefile.h"
#include "drive/params/paramcatalogue.h"
#include "drive/params/paramtext.h"
#include "drive/points/pointrules.h"
#include "drive/wave/waveanalysis.h"
#include "drive/wave/wavequantities.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace {

const QString ParametersKind = QStringLiteral("orvex parameters");
const QString PointsKind = QStringLiteral("orvex point table");
const QString CaptureKind = QStringLiteral("orvex capture");
const QStringList PointKeys{QStringLiteral("absInc"), QStringLiteral("travel"), QStringLiteral("speed"),
                            QStringLiteral("accDec")};

// The largest JSON file read: far above any table the tool writes.
constexpr qint64 JsonFileLimit = 4 * 1024 * 1024;

QString twoDigits(int k) { return QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0')); }

// A whole number that fits in 32 bits, or nothing.
std::optional<qint32> wholeNumber(const QJsonValue &v)
{
    if (!v.isDouble()) return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < -2147483648.0 || d > 2147483647.0) return std::nullopt;
    return static_cast<qint32>(d);
}

std::optional<QJsonObject> readJsonObject(const QString &path, const QString &kind, QString *error)
{
    const std::optional<QByteArray> bytes = ReadInputFile(path, JsonFileLimit, error);
    if (!bytes) return std::nullopt;
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(*bytes, &parse);
    if (parse.error != QJsonParseError::NoError) {
        *error = QStringLiteral("%1: not JSON: %2 at byte %3").arg(path, parse.errorString()).arg(parse.offset);
        return std::nullopt;
    }
    if (!doc.isObject()) {
        *error = QStringLiteral("%1: the JSON is %2, not an object ({\"kind\": \"%3\", ...})")
                     .arg(path, doc.isArray() ? QStringLiteral("an array") : QStringLiteral("a single value"), kind);
        return std::nullopt;
    }
    if (doc.object().value(QStringLiteral("kind")).toString() != kind) {
        *error = QStringLiteral("%1: not a file of kind \"%2\"").arg(path, kind);
        return std::nullopt;
    }
    return doc.object();
}

// The refused rows of a CSV import as one message; nothing when all were
// taken. Read over no values (base unknown), a row does not say what its
// entry held before.
template <typename Values>
std::optional<QString> csvProblems(const QString &path, const CsvImport<Values> &import, bool baseKnown)
{
    if (!import.ok()) return QStringLiteral("%1: %2").arg(path, import.error);
    QStringList refused;
    for (const CsvLineReport &l : import.lines)
        if (l.kind != CsvLineReport::Kind::Taken)
            refused << QStringLiteral("line %1: %2").arg(l.line).arg(baseKnown ? l.text : l.plain);
    if (refused.isEmpty()) return std::nullopt;
    return QStringLiteral("%1: %2").arg(path, refused.join(QStringLiteral("; ")));
}

// A file whose values are out of range: the first few named, and how many.
QString outOfRange(const QString &path, const QStringList &problems)
{
    constexpr qsizetype Shown = 3;
    QString text = QStringLiteral("%1: %2").arg(path, problems.mid(0, Shown).join(QStringLiteral("; ")));
    if (problems.size() > Shown) text += QStringLiteral("; and %1 more").arg(problems.size() - Shown);
    return text + QStringLiteral(" (--as-is takes the file's values as they are)");
}

}  // namespace

FileKind KindOfFile(const QString &path, const QString &nativeExtension)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == nativeExtension) return FileKind::Binary;
    if (ext == u"csv") return FileKind::Csv;
    if (ext == u"json") return FileKind::Json;
    return FileKind::Unknown;
}

std::optional<QByteArray> ReadInputFile(const QString &path, qint64 limit, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("%1: no such file").arg(path);
        return std::nullopt;
    }
    // A pipe or a device is never opened: opening a pipe waits for a writer.
    if (!info.isFile()) {
        *error = QStringLiteral("%1: not a plain file (a named pipe, a device or a folder is not read)").arg(path);
        return std::nullopt;
    }
    if (info.size() > limit) {
        *error = QStringLiteral("%1: too large (%2 bytes) for this kind of file").arg(path).arg(info.size());
        return std::nullopt;
    }
    // Opened without waiting and looked at again once open: the name may
    // have been given to a pipe since.
    return ReadPlainFile(path, QStringLiteral("the file"), limit, error);
}

bool WriteOutputFile(const QString &path, const QByteArray &bytes, QString *error)
{
    const SaveResult saved = SaveFileWhole(path, bytes);
    if (saved.ok) return true;
    *error = QStringLiteral("%1: cannot be written: %2").arg(path, saved.reason);
    return false;
}

// ---- parameters -------------------------------------------------------------

QJsonObject ParametersJson(const ParamValues &values, int count)
{
    QJsonArray list;
    for (int k = 0; k < count && k < ParamCount; ++k) {
        list.append(QJsonObject{{QStringLiteral("number"), twoDigits(k)},
                                {QStringLiteral("name"), ParamSpokenName(k)},
                                {QStringLiteral("value"), values[k]},
                                {QStringLiteral("hexadecimal"), ParamIsHex(k)}});
    }
    return QJsonObject{{QStringLiteral("kind"), ParametersKind}, {QStringLiteral("parameters"), list}};
}

QByteArray EncodeParameters(FileKind kind, const ParamValues &values, int count)
{
    switch (kind) {
    case FileKind::Binary:
        return EncodeParamFile(values);
    case FileKind::Csv: {
        ParameterSet set;
        set.values = values;
        return ParametersCsv(set, count);
    }
    case FileKind::Json:
        return QJsonDocument(ParametersJson(values, count)).toJson();
    case FileKind::Unknown:
        break;
    }
    return {};
}

std::optional<ParamValues> DecodeParameters(const QString &path, const ParamValues *base, bool maker, QString *error, bool asIs)
{
    switch (KindOfFile(path, QStringLiteral("pxt"))) {
    case FileKind::Binary: {
        // One byte more than a record tells a longer file from a good one.
        const std::optional<QByteArray> bytes = ReadInputFile(path, ParamFileSize, error);
        if (!bytes) return std::nullopt;
        const std::optional<ParamValues> values = DecodeParamFile(*bytes);
        if (!values) {
            *error = QStringLiteral("%1: not a parameter file (%2 bytes, not %3)").arg(path).arg(bytes->size()).arg(ParamFileSize);
            return std::nullopt;
        }
        // The values it holds go through the parameter window's entry checks.
        const QStringList problems = asIs ? QStringList() : ParamSetProblems(*values, maker ? ParamCount : UserParamCount);
        if (!problems.isEmpty()) {
            *error = outOfRange(path, problems);
            return std::nullopt;
        }
        return values;
    }
    case FileKind::Csv: {
        const std::optional<QByteArray> bytes = ReadInputFile(path, CsvFileLimit, error);
        if (!bytes) return std::nullopt;
        ParameterSet current;
        if (base) current.values = *base;
        const CsvImport<ParameterSet> import = ReadParametersCsv(*bytes, current, maker);
        if (const std::optional<QString> problem = csvProblems(path, import, base != nullptr)) {
            *error = *problem;
            return std::nullopt;
        }
        return import.values.values;
    }
    case FileKind::Json: {
        const std::optional<QJsonObject> doc = readJsonObject(path, ParametersKind, error);
        if (!doc) return std::nullopt;
        ParamValues values = base ? *base : ParamValues{};
        const QJsonArray list = doc->value(QStringLiteral("parameters")).toArray();
        if (list.isEmpty()) {
            *error = QStringLiteral("%1: no parameters").arg(path);
            return std::nullopt;
        }
        std::array<bool, ParamCount> named{};
        for (const QJsonValue &entry : list) {
            const QJsonObject o = entry.toObject();
            bool ok = false;
            const int k = o.value(QStringLiteral("number")).toString().toInt(&ok);
            const std::optional<qint32> v = wholeNumber(o.value(QStringLiteral("value")));
            if (!ok || k < 0 || k >= ParamCount || !v) {
                *error = QStringLiteral("%1: an entry without a parameter number 00-59 and a whole value").arg(path);
                return std::nullopt;
            }
            if (k >= UserParamCount && !maker) {
                *error = QStringLiteral("%1: parameter %2 is the maker's (--maker)").arg(path, twoDigits(k));
                return std::nullopt;
            }
            // Which of two values was meant is not for the tool to guess.
            if (named[k]) {
                *error = QStringLiteral("%1: parameter %2 is named twice").arg(path, twoDigits(k));
                return std::nullopt;
            }
            named[k] = true;
            if (const QString problem = ParamValueProblem(k, *v); !problem.isEmpty()) {
                *error = QStringLiteral("%1: %2").arg(path, problem);
                return std::nullopt;
            }
            values[k] = *v;
        }
        return values;
    }
    case FileKind::Unknown:
        break;
    }
    *error = QStringLiteral("%1: a parameter file is .pxt, .csv or .json").arg(path);
    return std::nullopt;
}

// ---- point table --------------------------------------------------------------

QJsonObject PointsJson(const PointTable &table)
{
    QJsonArray list;
    for (int p = 0; p < PointCount; ++p) {
        QJsonObject o{{QStringLiteral("point"), p}};
        for (int c = 0; c < PointColumns; ++c) o.insert(PointKeys[c], PointValue(table, p, c));
        list.append(o);
    }
    return QJsonObject{{QStringLiteral("kind"), PointsKind}, {QStringLiteral("points"), list}};
}

QByteArray EncodePoints(FileKind kind, const PointTable &table)
{
    switch (kind) {
    case FileKind::Binary:
        return EncodePointFile(table);
    case FileKind::Csv:
        return PointsCsv(table);
    case FileKind::Json:
        return QJsonDocument(PointsJson(table)).toJson();
    case FileKind::Unknown:
        break;
    }
    return {};
}

std::optional<PointTable> DecodePoints(const QString &path, const PointTable *base, QString *error, bool asIs)
{
    switch (KindOfFile(path, QStringLiteral("ptt"))) {
    case FileKind::Binary: {
        const std::optional<QByteArray> bytes = ReadInputFile(path, PointFileSize, error);
        if (!bytes) return std::nullopt;
        const std::optional<PointData> table = DecodePointFile(*bytes);
        if (!table) {
            *error = QStringLiteral("%1: not a point table file (%2 bytes, not %3)").arg(path).arg(bytes->size()).arg(PointFileSize);
            return std::nullopt;
        }
        // The values it holds go through the point table's entry checks.
        const QStringList problems = asIs ? QStringList() : PointTableProblems(*table);
        if (!problems.isEmpty()) {
            *error = outOfRange(path, problems);
            return std::nullopt;
        }
        return table;
    }
    case FileKind::Csv: {
        const std::optional<QByteArray> bytes = ReadInputFile(path, CsvFileLimit, error);
        if (!bytes) return std::nullopt;
        const CsvImport<PointTable> import = ReadPointsCsv(*bytes, base ? *base : PointTable{});
        if (const std::optional<QString> problem = csvProblems(path, import, base != nullptr)) {
            *error = *problem;
            return std::nullopt;
        }
        return import.values;
    }
    case FileKind::Json: {
        const std::optional<QJsonObject> doc = readJsonObject(path, PointsKind, error);
        if (!doc) return std::nullopt;
        PointTable table = base ? *base : PointTable{};
        const QJsonArray list = doc->value(QStringLiteral("points")).toArray();
        if (list.isEmpty()) {
            *error = QStringLiteral("%1: no points").arg(path);
            return std::nullopt;
        }
        std::array<bool, PointCount> named{};
        for (const QJsonValue &entry : list) {
            const QJsonObject o = entry.toObject();
            const std::optional<qint32> p = wholeNumber(o.value(QStringLiteral("point")));
            if (!p || *p < 0 || *p >= PointCount) {
                *error = QStringLiteral("%1: an entry without a point number 0-31").arg(path);
                return std::nullopt;
            }
            if (named[*p]) {
                *error = QStringLiteral("%1: point %2 is named twice").arg(path).arg(*p);
                return std::nullopt;
            }
            named[*p] = true;
            for (int c = 0; c < PointColumns; ++c) {
                const std::optional<qint32> v = wholeNumber(o.value(PointKeys[c]));
                if (!v) {
                    *error = QStringLiteral("%1: point %2: %3 is missing or not a whole number").arg(path).arg(*p).arg(PointKeys[c]);
                    return std::nullopt;
                }
                // Taken only as the point table's entry check would leave it.
                if (const QString problem = PointValueProblem(*p, c, *v); !problem.isEmpty()) {
                    *error = QStringLiteral("%1: %2").arg(path, problem);
                    return std::nullopt;
                }
                table[PointColumns * *p + c] = *v;
            }
        }
        return table;
    }
    case FileKind::Unknown:
        break;
    }
    *error = QStringLiteral("%1: a point table file is .ptt, .csv or .json").arg(path);
    return std::nullopt;
}

// ---- captures ----------------------------------------------------------------

QJsonObject CaptureJson(const Capture &capture, int motorTypeUnits)
{
    QJsonArray speed, torque, status;
    for (int s = 0; s < CaptureSamples; ++s) {
        speed.append(capture.speed[s]);
        torque.append(capture.torque[s]);
        status.append(capture.status[s]);
    }
    static const QStringList triggers{QStringLiteral("speed"), QStringLiteral("torque"), QStringLiteral("status"),
                                      QStringLiteral("manual")};
    static const QStringList timeBases{QStringLiteral("0.05"), QStringLiteral("0.1"), QStringLiteral("0.2"),
                                       QStringLiteral("0.5")};
    return QJsonObject{{QStringLiteral("kind"), CaptureKind},
                       // With milliseconds and the UTC offset, so the record reads alone.
                       {QStringLiteral("taken"), capture.taken.toOffsetFromUtc(capture.taken.offsetFromUtc())
                                                     .toString(Qt::ISODateWithMs)},
                       {QStringLiteral("trigger"), triggers.value(capture.setup.trig)},
                       {QStringLiteral("edge"), capture.setup.edge},
                       {QStringLiteral("statusSignal"), WaveStatusSignals().value(capture.setup.status)},
                       {QStringLiteral("timeBase"), timeBases.value(capture.timeBase).toDouble()},
                       {QStringLiteral("position"), capture.trigPos},
                       {QStringLiteral("samplePeriodMs"), WaveAnalysis::SamplePeriodMs(capture.timeBase)},
                       {QStringLiteral("triggerSample"), WaveAnalysis::TriggerSample(capture.trigPos)},
                       // Speed units are 0.75 rpm; torque units make 100 % at this many
                       // (0: the motor type is unknown, a unit counts as 1 %).
                       {QStringLiteral("rpmPerSpeedUnit"), WaveAnalysis::RpmPerSpeedUnit},
                       {QStringLiteral("torqueUnitsFor100Percent"), motorTypeUnits},
                       {QStringLiteral("speed"), speed},
                       {QStringLiteral("torque"), torque},
                       {QStringLiteral("status"), status}};
}

QByteArray EncodeCapture(FileKind kind, const Capture &capture, const QString &name, int motorTypeUnits)
{
    switch (kind) {
    case FileKind::Binary:
        return EncodeWaveFile(CaptureFileRecord(capture));
    case FileKind::Csv:
        return WaveAnalysis::CapturesCsv({WaveAnalysis::NamedCapture{name, capture, motorTypeUnits}});
    case FileKind::Json:
        return QJsonDocument(CaptureJson(capture, motorTypeUnits)).toJson();
    case FileKind::Unknown:
        break;
    }
    return {};
}
