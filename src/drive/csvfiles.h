#pragma once
// Parameter sets and point tables as CSV files, and any table of texts as CSV.
//
// Written as RFC 4180 says: UTF-8 without a byte order mark, every field in
// double quotes (a quote inside doubled), fields separated by commas, every
// row ending in CR LF, a header row first. Read with the same rules, strictly:
// LF, CR LF or CR end a row, a UTF-8 byte order mark is skipped, blanks around
// a field outside quotes are dropped, and a field may hold commas, quotes and
// line breaks only inside quotes.
//
// Parameter file, one row a parameter:
//   "Number","Name","Value","Unit","Range","Hexadecimal"
//   "00","00:Excessive Error Area","1000","","0/99999","no"
//   "30","30:Input Method Selection","0x155","","0x0/0x3FF","yes"
// the number in two digits, the name as a screen reader announces it
// (ParamSpokenName), the value without padding (a hexadecimal one marked
// "0x"), its unit where it is known, the range in the value's base ("min/max",
// empty for the maker's parameters 40-59) and whether the value is
// hexadecimal ("yes"/"no"). A hexadecimal value is read with or without its
// "0x".
//
// Point table file, one row a point:
//   "Point","Abs/Inc","Travel","Speed","Acc/Dec"
//   "0","0","10000","----","500"
// the point 0..31, then the four values as the point table shows them
// (PointCellText) without padding.
//
// Reading a parameter set or a point table starts from the values the caller
// has and changes only those the file names. Columns are found by their header
// (case and surrounding blanks do not matter, the order is free, other columns
// are ignored); the parameter file needs "Number" and "Value", the point file
// all five. Each data row names its entry by number and each value goes
// through the entry check of its window, as if typed there:
// - parameters 00-39: CheckRangeDec or CheckRangeHex with the parameter's
//   range;
// - parameters 40-59 (maker mode only): no check, kept as typed;
// - points: CheckPointEntry for each of the four columns; a row is taken or
//   refused as a whole.
// A value must be a number as a whole: decimal with an optional sign,
// fraction and exponent ("12", "-3.5", "1E3", "&H1F"), hexadecimal digits for
// a hexadecimal parameter ("3FF" or "0x3FF"), or "----" for a point's speed or acc/dec
// time. Anything else ("12abc", "1 000", "") is refused rather than read as
// the field would read it. Nothing is sent to the drive.

#include "drive/drivedata.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// ---- Any table ------------------------------------------------------------

// The table as CSV text: each row a line ending in CR LF, every field quoted.
// Rows may have different numbers of fields; an empty row is written as an
// empty line (which a reader skips).
QByteArray CsvText(const QList<QStringList> &rows);

// One row read from a CSV text.
struct CsvRecord {
    int line = 0;         // 1-based line of the text on which the row starts
    QStringList fields;   // decoded from UTF-8
    QString problem;      // empty, or why the row is not valid CSV (its fields
                          // are then those read before the fault)
};

struct CsvRead {
    // Empty when the bytes were read as CSV; else why they are no CSV text at
    // all (binary data, UTF-16), and there are no records.
    QString error;
    // Every row in order, empty lines left out; a malformed row is kept with
    // its problem and the reading goes on at the next line.
    QList<CsvRecord> records;

    bool ok() const { return error.isEmpty(); }
    // The fields of every record, malformed ones included.
    QList<QStringList> rows() const;
};

// Reads a CSV text (as written by CsvText, a spreadsheet or a text editor).
CsvRead ReadCsv(QByteArrayView bytes);

// ---- Files ------------------------------------------------------------------

// The largest CSV file read: far above any parameter set or point table.
inline constexpr qint64 CsvFileLimit = 16 * 1024 * 1024;

// The whole content of a CSV file; nothing, and the reason in error, for a
// file that cannot be read, is not a plain file (a pipe or device is never
// opened) or is larger than CsvFileLimit.
std::optional<QByteArray> ReadCsvFile(const QString &path, QString *error = nullptr);

// Writes the bytes as a whole new file: an old file is replaced only once the
// new one is complete. On failure the reason is left in error.
bool WriteCsvFile(const QString &path, QByteArrayView bytes, QString *error = nullptr);

// ---- Parameter sets and point tables ---------------------------------------

// What happened to one data row of an imported file.
struct CsvLineReport {
    enum class Kind {
        Taken,    // taken as written
        Changed,  // taken as the entry check left it (text says from what to what)
        Refused,  // not taken (text says why); the value stays as it was
    };
    int line = 0;  // 1-based line of the file on which the row starts
    Kind kind = Kind::Refused;
    QString text;  // one sentence for the user, naming the entry
    // The same sentence without what the entry held before ("(was 7)"), for
    // a reader who read the file over no values of a drive or a window.
    QString plain;
};

template <typename Values>
struct CsvImport {
    // Empty when the file was read; else why it was refused as a whole (not
    // CSV, no header row with the needed columns, no data rows), and values
    // are the current ones with no line reports.
    QString error;
    // The current values with every taken or changed row applied.
    Values values{};
    // One report for every data row in file order; rows whose fields are all
    // empty are left out.
    QList<CsvLineReport> lines;

    bool ok() const { return error.isEmpty(); }
    int count(CsvLineReport::Kind kind) const
    {
        int n = 0;
        for (const CsvLineReport &l : lines) n += l.kind == kind;
        return n;
    }
};

// Parameters 00 .. count - 1 (40 for the user's set, 60 with the maker's; held
// to 0..60) as a parameter CSV file.
QByteArray ParametersCsv(const ParameterSet &set, int count);

// Reads a parameter CSV file over the current set. Outside maker mode a row
// naming 40-59 is refused. The result keeps current's writeBlocks.
CsvImport<ParameterSet> ReadParametersCsv(QByteArrayView bytes, const ParameterSet &current, bool makerMode);

// The 32 points as a point table CSV file.
QByteArray PointsCsv(const PointTable &table);

// Reads a point table CSV file over the current table.
CsvImport<PointTable> ReadPointsCsv(QByteArrayView bytes, const PointTable &current);

// Cells pasted into the point table from row and column on (tab-separated,
// a line a row; cells beyond the table left out), each through the same
// check as an imported one: the table with every taken or changed cell
// applied, and a report a cell, in order ("line" is the cell's place among
// those pasted, from 1). A refused cell keeps what it held.
CsvImport<PointTable> PastePointCells(const QString &text, int row, int column, const PointTable &current);
