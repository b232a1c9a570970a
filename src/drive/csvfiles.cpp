#include "csvfiles.h"

#include "savefile.h"

#include "drive/numtext.h"
#include "drive/params/entrychecks.h"
#include "drive/params/paramcatalogue.h"
#include "drive/params/paramtext.h"
#include "drive/params/paramunits.h"
#include "drive/points/pointrules.h"
#include "drive/resources/strings.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <csv.h>

#include <algorithm>
#include <array>

namespace {

// ---- Writing ----------------------------------------------------------------

// One field, quoted by libcsv (always in quotes, quotes doubled).
void appendField(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();  // constData() is never null
    const size_t size = csv_write(nullptr, 0, utf8.constData(), size_t(utf8.size()));
    const qsizetype at = out.size();
    out.resize(at + qsizetype(size));
    csv_write(out.data() + at, size, utf8.constData(), size_t(utf8.size()));
}

void appendRow(QByteArray &out, const QStringList &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        appendField(out, fields[i]);
    }
    out += "\r\n";
}

// ---- Reading ----------------------------------------------------------------

constexpr unsigned char ParseOptions = CSV_STRICT | CSV_STRICT_FINI;

struct ParseState {
    QList<CsvRecord> records;
    QStringList fields;
    int startLine = 0;
    bool rowEnded = false;
};

void onField(void *text, size_t size, void *data)
{
    auto *state = static_cast<ParseState *>(data);
    // An empty field may come without a buffer.
    if (size == 0)
        state->fields << QString(QLatin1String(""));
    else
        state->fields << QString::fromUtf8(static_cast<const char *>(text), qsizetype(size));
}

void onRow(int, void *data)
{
    auto *state = static_cast<ParseState *>(data);
    state->records << CsvRecord{state->startLine, std::move(state->fields), {}};
    state->fields.clear();
    state->rowEnded = true;
}

// The end of the line starting at pos: behind its LF, CR LF or CR, or the end
// of the text.
qsizetype lineEnd(QByteArrayView bytes, qsizetype pos)
{
    for (; pos < bytes.size(); ++pos) {
        if (bytes[pos] == '\n') return pos + 1;
        if (bytes[pos] == '\r') return pos + 1 < bytes.size() && bytes[pos + 1] == '\n' ? pos + 2 : pos + 1;
    }
    return pos;
}

bool blankLine(QByteArrayView line)
{
    for (char c : line)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    return true;
}

// ---- Importing --------------------------------------------------------------

// A long text is cut short in a message.
QString shortened(const QString &text)
{
    constexpr qsizetype MaxShown = 40;
    return text.size() <= MaxShown ? text : text.left(MaxShown) + QChar(0x2026);
}

QString quoted(const QString &text) { return u'"' + shortened(text) + u'"'; }

QString twoDigits(int k) { return QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0')); }

bool allBlank(const QStringList &fields)
{
    for (const QString &f : fields)
        if (!f.trimmed().isEmpty()) return false;
    return true;
}

// A decimal number as a whole, as the lenient reading reads it: sign,
// digits with a point, an E or D exponent; or "&H" hexadecimal, "&O" octal.
bool isDecimalNumber(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral(R"(\A(?:[+-]?(?:\d+\.?\d*|\.\d+)(?:[EeDd][+-]?\d+)?|&[Hh][0-9A-Fa-f]{1,8}|&[Oo][0-7]{1,10})\z)"));
    return number.match(text).hasMatch();
}

// Hexadecimal digits as a whole, at most eight behind any leading zeros; the
// digits without those zeros ("0" for zero), or nothing.
std::optional<QString> hexDigits(QString text)
{
    // Marked as written ("0x155"), or the digits alone as older files have them.
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) text.remove(0, 2);
    if (text.isEmpty()) return std::nullopt;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f'))) return std::nullopt;
    }
    qsizetype zeros = 0;
    while (zeros < text.size() - 1 && text[zeros] == u'0') ++zeros;
    const QString digits = text.mid(zeros);
    if (digits.size() > 8) return std::nullopt;
    return digits;
}

struct Columns {
    QString error;           // why the file is refused as a whole
    QList<qsizetype> index;  // the field of each wanted column
};

// The wanted columns in the file's first row.
Columns findColumns(const CsvRead &csv, const QStringList &wanted, const QString &what)
{
    Columns c;
    if (csv.records.isEmpty()) {
        c.error = QStringLiteral("The file is empty.");
        return c;
    }
    const CsvRecord &header = csv.records.first();
    const QString notThis = QStringLiteral("The file is not %1 in CSV: ").arg(what);
    if (!header.problem.isEmpty()) {
        c.error = notThis + QStringLiteral("its first row (line %1) is not valid CSV (%2).").arg(header.line).arg(header.problem);
        return c;
    }
    QStringList missing;
    for (const QString &name : wanted) {
        qsizetype found = -1;
        for (qsizetype i = 0; i < header.fields.size(); ++i) {
            if (header.fields[i].trimmed().compare(name, Qt::CaseInsensitive) != 0) continue;
            if (found >= 0) {
                c.error = QStringLiteral("The file's header row has the column \"%1\" twice.").arg(name);
                return c;
            }
            found = i;
        }
        if (found < 0) missing << u'"' + name + u'"';
        c.index << found;
    }
    if (!missing.isEmpty())
        c.error = notThis + QStringLiteral("its first row has no column %1. The first row must name the columns: %2.")
                                .arg(missing.join(QStringLiteral(", ")), wanted.join(QStringLiteral(", ")));
    return c;
}

// The rows below the header that carry anything, each with its report filled
// in by read(); the shared part of both importers.
template <typename Values, typename Read>
CsvImport<Values> importRows(QByteArrayView bytes, const Values &current, const QStringList &wanted, const QString &what,
                             Read read)
{
    CsvImport<Values> result;
    result.values = current;
    const CsvRead csv = ReadCsv(bytes);
    if (!csv.ok()) {
        result.error = csv.error;
        return result;
    }
    const Columns columns = findColumns(csv, wanted, what);
    if (!columns.error.isEmpty()) {
        result.error = columns.error;
        return result;
    }
    for (qsizetype r = 1; r < csv.records.size(); ++r) {
        const CsvRecord &record = csv.records[r];
        if (record.problem.isEmpty() && allBlank(record.fields)) continue;
        CsvLineReport report{record.line, CsvLineReport::Kind::Refused, {}, {}};
        if (!record.problem.isEmpty()) {
            report.text = QStringLiteral("Malformed CSV: %1.").arg(record.problem);
        } else {
            // The wanted fields, or the name of the first that is missing.
            QStringList fields;
            QString missing;
            for (qsizetype i = 0; i < wanted.size(); ++i) {
                const qsizetype at = columns.index[i];
                if (at >= record.fields.size()) {
                    missing = wanted[i];
                    break;
                }
                fields << record.fields[at].trimmed();
            }
            read(fields, missing, result.values, report);
        }
        if (report.plain.isEmpty()) report.plain = report.text;
        result.lines << report;
    }
    if (result.lines.isEmpty()) result.error = QStringLiteral("The file holds only its header row: it names no entry of %1.").arg(what);
    return result;
}

// How a value fared: refused (why), or its new value and whether the check
// changed it.
struct Entry {
    QString refused;
    qint32 value = 0;
    bool changed = false;
};

// A value is taken unchanged when it stands for exactly the number typed.
Entry entryOf(double typed, qint32 value) { return {{}, value, double(value) != typed}; }

Entry parameterEntry(int k, const QString &typed, bool checked)
{
    const bool hex = ParamIsHex(k);
    if (hex) {
        const std::optional<QString> digits = hexDigits(typed);
        if (!digits) return {QStringLiteral("%1 is not a hexadecimal number").arg(quoted(typed))};
        const QString text = checked ? CheckRangeHex(*digits, ParamRange(k)) : *digits;
        return entryOf(HexEntryToLong(*digits), FieldValue(text, true));
    }
    if (!isDecimalNumber(typed)) return {QStringLiteral("%1 is not a number").arg(quoted(typed))};
    const QString text = checked ? CheckRangeDec(typed, ParamRange(k)) : typed;
    return entryOf(ValText(typed), FieldValue(text, false));
}

Entry pointEntry(int column, const QString &typed)
{
    const bool mayBeEmpty = column == PointColumn::Spd || column == PointColumn::KGJit;
    if (mayBeEmpty && typed == NoValueText) return {{}, 0, false};
    if (!isDecimalNumber(typed)) return {QStringLiteral("%1 is not a number").arg(quoted(typed))};
    return entryOf(ValText(typed), PointCellValue(CheckPointEntry(column, typed)));
}

// Remembers which entry each line named: a second row for the same entry is
// refused.
class FirstLines {
public:
    // The line that named the entry before, or 0 (remembering this one).
    int seen(int entry, int line)
    {
        const auto it = m_lines.constFind(entry);
        if (it != m_lines.cend()) return *it;
        m_lines.insert(entry, line);
        return 0;
    }

private:
    QHash<int, int> m_lines;
};

// An entry's number: digits only, within 0..count - 1; else -1.
int entryNumber(const QString &text, int count)
{
    if (text.isEmpty() || text.size() > 4) return -1;
    for (QChar c : text)
        if (c < u'0' || c > u'9') return -1;
    const int n = text.toInt();
    return n < count ? n : -1;
}

const QStringList ParamHeader{QStringLiteral("Number"), QStringLiteral("Name"), QStringLiteral("Value"),
                              QStringLiteral("Unit"),   QStringLiteral("Range"), QStringLiteral("Hexadecimal")};

// A hexadecimal value as the file writes it: marked, "0x155".
QString markedHex(qint32 value) { return QStringLiteral("0x") + FieldText(value, true).trimmed(); }

// The range of a parameter in the base of its value: "0x0/0x3FF" for a
// hexadecimal one (its range is kept in decimal).
QString rangeText(int k)
{
    const QString range = ParamRange(k);
    if (!ParamIsHex(k) || range.isEmpty()) return range;
    const QStringList ends = range.split(u'/');
    if (ends.size() != 2) return range;
    return markedHex(ends[0].toInt()) + u'/' + markedHex(ends[1].toInt());
}
const QStringList PointHeader{QStringLiteral("Point"), QStringLiteral("Abs/Inc"), QStringLiteral("Travel"),
                              QStringLiteral("Speed"), QStringLiteral("Acc/Dec")};

// The string table holds the point table's column ranges from this number on.
constexpr int PointRangeId = 700;

QString pointTexts(const PointTable &table, int point)
{
    QStringList texts;
    for (int c = 0; c < PointColumns; ++c) texts << PointCellText(c, PointValue(table, point, c)).trimmed();
    return texts.join(QStringLiteral(", "));
}

}  // namespace

// ---- Any table ------------------------------------------------------------

QByteArray CsvText(const QList<QStringList> &rows)
{
    QByteArray out;
    for (const QStringList &row : rows) appendRow(out, row);
    return out;
}

QList<QStringList> CsvRead::rows() const
{
    QList<QStringList> rows;
    rows.reserve(records.size());
    for (const CsvRecord &r : records) rows << r.fields;
    return rows;
}

CsvRead ReadCsv(QByteArrayView bytes)
{
    CsvRead result;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        result.error = QStringLiteral("The file is UTF-16 text; save it as UTF-8 CSV.");
        return result;
    }
    if (bytes.contains('\0')) {
        result.error = QStringLiteral("The file is not a text file: it holds NUL bytes.");
        return result;
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes = bytes.sliced(3);

    csv_parser parser;
    if (csv_init(&parser, ParseOptions) != 0) {
        result.error = QStringLiteral("Out of memory while reading the file.");
        return result;
    }
    // Fed a line at a time, so each row knows the line it starts on: a row
    // starts on the first line that is not blank after the previous row, and
    // goes on over the next lines while a quoted field is open.
    ParseState state;
    bool inRow = false;
    int line = 0;
    bool failed = false;
    for (qsizetype pos = 0; pos < bytes.size() && !failed;) {
        const qsizetype end = lineEnd(bytes, pos);
        const QByteArrayView text = bytes.sliced(pos, end - pos);
        pos = end;
        ++line;
        if (!inRow) state.startLine = line;
        state.rowEnded = false;
        if (csv_parse(&parser, text.data(), size_t(text.size()), onField, onRow, &state) == size_t(text.size())) {
            inRow = !state.rowEnded && (inRow || !blankLine(text));
            continue;
        }
        if (csv_error(&parser) != CSV_EPARSE) {
            failed = true;
            break;
        }
        // The row is kept as far as it was read; reading starts afresh on the
        // next line.
        state.records << CsvRecord{state.startLine, std::move(state.fields),
                                   QStringLiteral("a quote inside a field that does not start with one, "
                                                  "or text after a closing quote")};
        state.fields.clear();
        csv_free(&parser);
        if (csv_init(&parser, ParseOptions) != 0) failed = true;
        inRow = false;
    }
    if (failed) {
        csv_free(&parser);
        result.error = QStringLiteral("Out of memory while reading the file.");
        return result;
    }
    if (csv_fini(&parser, onField, onRow, &state) != 0) {
        state.records << CsvRecord{state.startLine, std::move(state.fields),
                                   QStringLiteral("a quoted field is never closed")};
    }
    csv_free(&parser);
    result.records = std::move(state.records);
    return result;
}

// ---- Files ------------------------------------------------------------------

std::optional<QByteArray> ReadCsvFile(const QString &path, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error) *error = why;
        return std::nullopt;
    };
    // A pipe or device is never opened: opening a pipe waits for a writer.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) return fail(QStringLiteral("%1 is not a file.").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return fail(file.errorString());
    if (file.size() > CsvFileLimit)
        return fail(QStringLiteral("%1 is too large for a CSV file (more than %2 MB).").arg(path).arg(CsvFileLimit >> 20));
    // One byte more than the limit: a file that grew meanwhile is refused.
    QByteArray bytes = file.read(CsvFileLimit + 1);
    if (bytes.size() > CsvFileLimit)
        return fail(QStringLiteral("%1 is too large for a CSV file (more than %2 MB).").arg(path).arg(CsvFileLimit >> 20));
    if (file.error() != QFileDevice::NoError) return fail(file.errorString());
    return bytes;
}

bool WriteCsvFile(const QString &path, QByteArrayView bytes, QString *error)
{
    const SaveResult saved = SaveFileWhole(path, bytes);
    if (!saved.ok && error) *error = saved.reason;
    return saved.ok;
}

// ---- Parameter sets and point tables ---------------------------------------

QByteArray ParametersCsv(const ParameterSet &set, int count)
{
    QByteArray out;
    appendRow(out, ParamHeader);
    const int rows = std::clamp(count, 0, ParamCount);
    for (int k = 0; k < rows; ++k) {
        const bool hex = ParamIsHex(k);
        appendRow(out, {twoDigits(k), ParamSpokenName(k),
                        hex ? markedHex(set.values[k]) : FieldText(set.values[k], false).trimmed(), ParamUnit(k),
                        rangeText(k), hex ? QStringLiteral("yes") : QStringLiteral("no")});
    }
    return out;
}

CsvImport<ParameterSet> ReadParametersCsv(QByteArrayView bytes, const ParameterSet &current, bool makerMode)
{
    FirstLines firstLines;
    const QStringList wanted{QStringLiteral("Number"), QStringLiteral("Value")};
    auto read = [&](const QStringList &fields, const QString &missing, ParameterSet &set, CsvLineReport &report) {
        if (fields.isEmpty()) {
            report.text = QStringLiteral("Missing column \"%1\".").arg(missing);
            return;
        }
        const int k = entryNumber(fields[0], ParamCount);
        if (k < 0) {
            report.text = fields[0].isEmpty()
                              ? QStringLiteral("No parameter number.")
                              : QStringLiteral("Unknown parameter number %1 (00-59).").arg(quoted(fields[0]));
            return;
        }
        const QString name = QStringLiteral("Parameter ") + twoDigits(k);
        const bool maker = k >= UserParamCount;
        if (maker && !makerMode) {
            report.text = name + QStringLiteral(" is the maker's and is read only in maker mode.");
            return;
        }
        if (const int first = firstLines.seen(k, report.line)) {
            report.text = name + QStringLiteral(" was given before, on line %1.").arg(first);
            return;
        }
        if (!missing.isEmpty()) {
            report.text = name + QStringLiteral(": missing column \"%1\".").arg(missing);
            return;
        }
        const QString &typed = fields[1];
        const Entry e = parameterEntry(k, typed, !maker);
        if (!e.refused.isEmpty()) {
            report.text = name + QStringLiteral(": ") + e.refused + u'.';
            return;
        }
        const bool hex = ParamIsHex(k);
        const qint32 was = set.values[k];
        set.values[k] = e.value;
        const QString now = FieldText(e.value, hex).trimmed();
        const QString before = was == e.value ? QStringLiteral(" (as before)")
                                              : QStringLiteral(" (was %1)").arg(FieldText(was, hex).trimmed());
        if (!e.changed) {
            report.kind = CsvLineReport::Kind::Taken;
            report.text = name + QStringLiteral(": ") + now + before + u'.';
            report.plain = name + QStringLiteral(": ") + now + u'.';
            return;
        }
        report.kind = CsvLineReport::Kind::Changed;
        const QString why = maker ? QStringLiteral("a whole 32-bit number")
                                  : QStringLiteral("by the entry check, range ") + ParamRange(k);
        report.text = name + QStringLiteral(": %1 changed to %2, %3%4.").arg(shortened(typed), now, why, before);
        report.plain = name + QStringLiteral(": %1 changed to %2, %3.").arg(shortened(typed), now, why);
    };
    return importRows(bytes, current, wanted, QStringLiteral("a parameter set"), read);
}

QByteArray PointsCsv(const PointTable &table)
{
    QByteArray out;
    appendRow(out, PointHeader);
    for (int p = 0; p < PointCount; ++p) {
        QStringList row{QString::number(p)};
        for (int c = 0; c < PointColumns; ++c) row << PointCellText(c, PointValue(table, p, c)).trimmed();
        appendRow(out, row);
    }
    return out;
}

CsvImport<PointTable> PastePointCells(const QString &text, int row, int column, const PointTable &current)
{
    CsvImport<PointTable> paste;
    paste.values = current;
    QStringList lines = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty()) lines.removeLast();  // the spreadsheet's last line end
    for (int i = 0; i < lines.size() && row + i < PointCount; ++i) {
        const QStringList cells = lines[i].split(u'\t');
        for (int j = 0; j < cells.size() && column + j < PointColumns; ++j) {
            const int p = row + i, c = column + j;
            const QString typed = cells[j].trimmed();
            qint32 &value = paste.values[PointColumns * p + c];
            const QString was = PointCellText(c, value).trimmed();
            CsvLineReport report;
            report.line = int(paste.lines.size()) + 1;
            const QString name = QStringLiteral("POINT%1 %2").arg(p).arg(PointHeader[1 + c]);
            const Entry e = pointEntry(c, typed);
            if (!e.refused.isEmpty()) {
                report.text = QStringLiteral("%1: %2; it keeps %3.").arg(name, e.refused, was);
            } else {
                value = e.value;
                const QString now = PointCellText(c, value).trimmed();
                const QString before = was == now ? QStringLiteral(" (as before)") : QStringLiteral(" (was %1)").arg(was);
                report.kind = e.changed ? CsvLineReport::Kind::Changed : CsvLineReport::Kind::Taken;
                report.text = e.changed ? QStringLiteral("%1: %2 changed to %3 by the entry check, range %4%5.")
                                              .arg(name, shortened(typed), now, LoadResString(PointRangeId + c), before)
                                        : QStringLiteral("%1: %2%3.").arg(name, now, before);
                report.plain = e.changed ? QStringLiteral("%1: %2 changed to %3 by the entry check, range %4.")
                                               .arg(name, shortened(typed), now, LoadResString(PointRangeId + c))
                                         : QStringLiteral("%1: %2.").arg(name, now);
            }
            if (report.plain.isEmpty()) report.plain = report.text;
            paste.lines << report;
        }
    }
    return paste;
}

CsvImport<PointTable> ReadPointsCsv(QByteArrayView bytes, const PointTable &current)
{
    FirstLines firstLines;
    auto read = [&](const QStringList &fields, const QString &missing, PointTable &table, CsvLineReport &report) {
        if (fields.isEmpty()) {
            report.text = QStringLiteral("Missing column \"%1\".").arg(missing);
            return;
        }
        const int p = entryNumber(fields[0], PointCount);
        if (p < 0) {
            report.text = fields[0].isEmpty() ? QStringLiteral("No point number.")
                                              : QStringLiteral("Unknown point number %1 (0-31).").arg(quoted(fields[0]));
            return;
        }
        const QString name = QStringLiteral("Point %1").arg(p);
        if (const int first = firstLines.seen(p, report.line)) {
            report.text = name + QStringLiteral(" was given before, on line %1.").arg(first);
            return;
        }
        if (!missing.isEmpty()) {
            report.text = name + QStringLiteral(": missing column \"%1\".").arg(missing);
            return;
        }
        // The point is taken only when all four values are numbers.
        std::array<Entry, PointColumns> entries;
        QStringList changes;
        for (int c = 0; c < PointColumns; ++c) {
            const QString &typed = fields[1 + c];
            entries[c] = pointEntry(c, typed);
            if (!entries[c].refused.isEmpty()) {
                report.text = name + QStringLiteral(": %1 %2.").arg(PointHeader[1 + c], entries[c].refused);
                return;
            }
            if (entries[c].changed)
                changes << QStringLiteral("%1 %2 changed to %3 by the entry check, range %4")
                               .arg(PointHeader[1 + c], shortened(typed), PointCellText(c, entries[c].value).trimmed(),
                                    LoadResString(PointRangeId + c));
        }
        const QString was = pointTexts(table, p);
        for (int c = 0; c < PointColumns; ++c) table[PointColumns * p + c] = entries[c].value;
        const QString now = pointTexts(table, p);
        const QString before = was == now ? QStringLiteral(" (as before)") : QStringLiteral(" (was %1)").arg(was);
        if (changes.isEmpty()) {
            report.kind = CsvLineReport::Kind::Taken;
            report.text = name + QStringLiteral(": ") + now + before + u'.';
            report.plain = name + QStringLiteral(": ") + now + u'.';
        } else {
            report.kind = CsvLineReport::Kind::Changed;
            report.text = name + QStringLiteral(": ") + changes.join(QStringLiteral("; ")) + before + u'.';
            report.plain = name + QStringLiteral(": ") + changes.join(QStringLiteral("; ")) + u'.';
        }
    };
    return importRows(bytes, current, PointHeader, QStringLiteral("a point table"), read);
}
