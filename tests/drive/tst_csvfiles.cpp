// Parameter sets and point tables as CSV files, without a window: what is
// written, what is read back, how each imported row fares, and files that are
// no CSV, damaged or huge.

#include "drive/csvfiles.h"
#include "drive/params/paramfile.h"
#include "namedpipe.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Each expected report is its line, its kind (T, C or R) and a part of its
// text: "3 C changed to 99999".
void compareReports(const QList<CsvLineReport> &lines, const QStringList &expected)
{
    QCOMPARE(lines.size(), expected.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString got = QStringLiteral("%1 %2 %3").arg(lines[i].line).arg(QString(QLatin1Char("TCR"[int(lines[i].kind)])), lines[i].text);
        if (got.section(u' ', 0, 1) != expected[i].section(u' ', 0, 1) || !got.contains(expected[i].section(u' ', 2)))
            QFAIL(qPrintable(QStringLiteral("got \"%1\", expected \"%2\"").arg(got, expected[i])));
    }
}

// "index=value ..." applied to the values.
template <std::size_t N>
std::array<qint32, N> applied(std::array<qint32, N> values, const QString &changes)
{
    for (const QString &c : changes.split(u' ', Qt::SkipEmptyParts)) values[c.section(u'=', 0, 0).toInt()] = c.section(u'=', 1).toInt();
    return values;
}

ParameterSet allParams(qint32 v) { ParameterSet s; s.values.fill(v); return s; }
PointTable allPoints(qint32 v) { PointTable t; t.fill(v); return t; }

std::pair<double, double> rangeOf(int k)
{
    const QString r = ParamRange(k);
    return {r.section(u'/', 0, 0).toDouble(), r.section(u'/', 1).toDouble()};
}

}  // namespace

class TstCsvFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void quoting_data();
    void quoting();
    void readCsv_data();
    void readCsv();
    void exportFormat();
    void parameterRoundTrip_data();
    void parameterRoundTrip();
    void pointRoundTrip();
    void import_data();
    void import();
    void refusedFiles_data();
    void refusedFiles();
    void anyFileKeepsRanges();
    void hugeFiles();
    void files();
};

void TstCsvFiles::quoting_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("plain") << "abc" << QByteArray(R"("abc")");
    QTest::newRow("comma") << "a,b" << QByteArray(R"("a,b")");
    QTest::newRow("quotes") << R"(say "hi")" << QByteArray(R"("say ""hi""")");
    QTest::newRow("line break") << "a\r\nb" << QByteArray("\"a\r\nb\"");
    QTest::newRow("all of them") << "\",\n\"" << QByteArray("\"\"\",\n\"\"\"");
    QTest::newRow("blanks kept") << "  x  " << QByteArray(R"("  x  ")");
    QTest::newRow("empty") << "" << QByteArray(R"("")");
    QTest::newRow("not ASCII") << QString::fromUtf8("\u03BCm \u65E5\u672C") << QByteArray("\"\u03BCm \u65E5\u672C\"");
}

void TstCsvFiles::quoting()
{
    QFETCH(QString, field);
    QFETCH(QByteArray, written);
    const QList<QStringList> rows{{field, QStringLiteral("next")}, {QStringLiteral("second row")}};
    const QByteArray bytes = CsvText(rows);
    QCOMPARE(bytes, written + ",\"next\"\r\n\"second row\"\r\n");
    const CsvRead read = ReadCsv(bytes);
    QVERIFY(read.ok());
    QCOMPARE(read.rows(), rows);
    QCOMPARE(read.records[1].line, 2 + field.count(u'\n'));
}

void TstCsvFiles::readCsv_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("records");  // "line:field|field", or "line!" and a part of the problem
    QTest::newRow("line ends, blank lines, quoted line breaks") << QByteArray("a,b\r\n\nc\rd\n  \n\"x\ny\",z\n\"\r\n\"\ne")
                                                               << QStringList{"1:a|b", "3:c", "4:d", "6:x\ny|z", "8:\r\n", "10:e"};
    QTest::newRow("blanks outside quotes") << QByteArray(" a , \" b \" \n") << QStringList{"1:a| b "};
    QTest::newRow("quote inside a field") << QByteArray("a\"b,c\nd\n") << QStringList{"1!quote inside", "2:d"};
    QTest::newRow("text after a closing quote") << QByteArray("x\n\"a\n\"b,c\nd\n") << QStringList{"1:x", "2!after a closing quote", "4:d"};
    QTest::newRow("quote never closed") << QByteArray("a\n\"b,c\nd\n") << QStringList{"1:a", "2!never closed"};
}

void TstCsvFiles::readCsv()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, records);
    const CsvRead read = ReadCsv(bytes);
    QVERIFY(read.ok());
    QCOMPARE(read.records.size(), records.size());
    for (qsizetype i = 0; i < records.size(); ++i) {
        const CsvRecord &r = read.records[i];
        if (records[i].contains(u'!'))
            QVERIFY2(r.line == records[i].section(u'!', 0, 0).toInt() && r.problem.contains(records[i].section(u'!', 1)), qPrintable(r.problem));
        else
            QCOMPARE(QStringLiteral("%1:%2").arg(r.line).arg(r.fields.join(u'|')), records[i]);
    }
}

void TstCsvFiles::exportFormat()
{
    ParameterSet set = allParams(0);
    set.values[0] = 1000;
    set.values[30] = 1023;
    set.values[45] = -5;
    const QList<QByteArray> lines = ParametersCsv(set, ParamCount).split('\n');
    QCOMPARE(lines.size(), 62);  // header, 60 rows, nothing behind the last CR LF
    // No padding; a hexadecimal value marked, its range in hexadecimal too;
    // the unit where it is known.
    QCOMPARE(lines[0], "\"Number\",\"Name\",\"Value\",\"Unit\",\"Range\",\"Hexadecimal\"\r");
    QCOMPARE(lines[1], "\"00\",\"00:Excessive Error Area\",\"1000\",\"\",\"0/99999\",\"no\"\r");
    QCOMPARE(lines[16], "\"15\",\"15:Forward Torque Limiter\",\"0\",\"%\",\"0/300\",\"no\"\r");
    QCOMPARE(lines[31], "\"30\",\"30:Input Method Selection\",\"0x3FF\",\"\",\"0x0/0x3FF\",\"yes\"\r");
    QCOMPARE(lines[46], "\"45\",\"45:sin Table Scale\",\"-5\",\"\",\"\",\"no\"\r");
    QCOMPARE(ParametersCsv(set, 99).count('\n'), 61);
    QCOMPARE(ParametersCsv(set, -1).count('\n'), 1);

    PointTable table = allPoints(0);
    table[4 * 31 + 1] = -500;
    const QList<QByteArray> points = PointsCsv(table).split('\n');
    QCOMPARE(points.size(), 34);
    QCOMPARE(points[0], "\"Point\",\"Abs/Inc\",\"Travel\",\"Speed\",\"Acc/Dec\"\r");
    QCOMPARE(points[32], "\"31\",\"0\",\"-500\",\"----\",\"----\"\r");
}

void TstCsvFiles::parameterRoundTrip_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("maker");
    QTest::newRow("user set") << UserParamCount << false;
    QTest::newRow("user set in maker mode") << UserParamCount << true;
    QTest::newRow("all 60 in maker mode") << ParamCount << true;
}

void TstCsvFiles::parameterRoundTrip()
{
    QFETCH(int, count);
    QFETCH(bool, maker);
    // Each limit of each range (negative ones and hexadecimal ones among them);
    // the maker's values without a range, down to the smallest 32-bit number.
    ParameterSet set;
    for (int k = 0; k < UserParamCount; ++k) set.values[k] = qint32(k % 2 ? rangeOf(k).first : rangeOf(k).second);
    for (int k = UserParamCount; k < ParamCount; ++k) set.values[k] = k % 2 ? -1234567 * (k - 39) : 987654 * k;
    set.values[59] = std::numeric_limits<qint32>::min();
    const ParameterSet current = allParams(7);
    const CsvImport<ParameterSet> r = ReadParametersCsv(ParametersCsv(set, count), current, maker);
    QVERIFY(r.ok());
    ParameterSet expected = current;
    std::copy_n(set.values.cbegin(), count, expected.values.begin());
    QCOMPARE(r.values, expected);
    QCOMPARE(r.count(CsvLineReport::Kind::Taken), count);
    QCOMPARE(r.lines.size(), count);
    QCOMPARE(r.lines.last().line, count + 1);
}

void TstCsvFiles::pointRoundTrip()
{
    PointTable table;
    for (int p = 0; p < PointCount; ++p) {
        const qint32 row[PointColumns] = {p % 2, p % 3 ? -2000000 + 1000 * p : 2000000, p % 4 ? 25 * p : 0, p % 5 ? 9999 - p : 0};
        std::copy_n(row, PointColumns, table.begin() + PointColumns * p);
    }
    const CsvImport<PointTable> r = ReadPointsCsv(PointsCsv(table), allPoints(1));
    QVERIFY(r.ok());
    QCOMPARE(r.values, table);
    QCOMPARE(r.count(CsvLineReport::Kind::Taken), PointCount);
}

void TstCsvFiles::import_data()
{
    QTest::addColumn<bool>("points");
    QTest::addColumn<bool>("maker");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<QString>("changes");
    const QByteArray h = "Number,Value\n";
    QTest::newRow("decimal") << false << false << h + "02,50\n00,100000\n17,-3000000\n03,12.7\n05,1E2\n06,1"
                             << QStringList{"2 T Parameter 02: 50 (was 1).", "3 C 100000 changed to 99999, by the entry check, range 0/99999",
                                            "4 C changed to -2000000", "5 C 12.7 changed to 13", "6 T 05: 100", "7 T 06: 1 (as before)."}
                             << "2=50 0=99999 17=-2000000 3=13 5=100";
    QTest::newRow("hexadecimal") << false << false << h + "30,3ff\n39,ff\n36,000000000001" << QStringList{"2 T 30: 3FF", "3 C ff changed to 7", "4 T"} << "30=1023 39=7 36=1";
    QTest::newRow("hexadecimal, marked") << false << false << h + "30,0x155\n39,0X7\n38,0x" << QStringList{"2 T 30: 155", "3 T", "4 R not a hexadecimal number"} << "30=341 39=7";
    QTest::newRow("not numbers") << false << false << h + "02,abc\n03,12abc\n04,\n05,1 000\n06,\"1,5\"\n30,12G\n35,123456789\n30,1"
                                 << QStringList{"2 R \"abc\" is not a number", "3 R not a number", "4 R \"\" is not a number", "5 R not a number",
                                                "6 R not a number", "7 R not a hexadecimal number", "8 R not a hexadecimal number",
                                                "9 R Parameter 30 was given before, on line 7"} << "";
    QTest::newRow("unknown numbers") << false << true << h + "60,1\n-1,1\nx,1\n2.0,1\n,1\n"
                                     << QStringList{"2 R Unknown parameter number \"60\"", "3 R Unknown", "4 R Unknown", "5 R Unknown", "6 R No parameter number."} << "";
    QTest::newRow("maker's outside maker mode") << false << false << h + "45,5\n" << QStringList{"2 R Parameter 45 is the maker's"} << "";
    QTest::newRow("maker's without a check") << false << true << h + "45,99999999\n40,12.7\n41,abc\n00,100000"
                                             << QStringList{"2 T", "3 C 12.7 changed to 13, a whole 32-bit number", "4 R not a number", "5 C range 0/99999"}
                                             << "45=99999999 40=13 0=99999";
    QTest::newRow("duplicate") << false << false << h + "02,50\n2,60\n" << QStringList{"2 T", "3 R Parameter 02 was given before, on line 2."} << "2=50";
    QTest::newRow("missing column") << false << false << h + "02\n04,7\n" << QStringList{"2 R Parameter 02: missing column \"Value\".", "3 T"} << "4=7";
    QTest::newRow("malformed row") << false << false << h + "02,5\"0\n04,7\n" << QStringList{"2 R Malformed CSV", "3 T"} << "4=7";
    QTest::newRow("columns in any order") << false << false << QByteArray("Comment, VALUE ,number\nhello,50,02\n") << QStringList{"2 T"} << "2=50";
    QTest::newRow("name with quotes, comma, line break") << false << false << QByteArray("Number,Name,Value\n02,\"a, \"\"b\"\"\r\nc\",50\n04,x,7\n")
                                                         << QStringList{"2 T", "4 T"} << "2=50 4=7";
    QTest::newRow("blank lines and rows") << false << false << QByteArray("Number,Value\r\n\r\n02,50\r\n   \r\n,,\r\n04,7") << QStringList{"3 T", "6 T"} << "2=50 4=7";
    QTest::newRow("byte order mark, CR") << false << false << QByteArray("\xEF\xBB\xBF\"Number\",Value\r02,\" 50\"\r") << QStringList{"2 T"} << "2=50";

    const QByteArray p = "Point,Abs/Inc,Travel,Speed,Acc/Dec\n";
    QTest::newRow("points taken") << true << false << p + "5,1,-500,100,----\n4,0,0,0,0"
                                  << QStringList{"2 T Point 5: 1, -500, 100, ---- (was 1, 1, 1, 1).", "3 T Point 4: 0, 0, ----, ----"}
                                  << "20=1 21=-500 22=100 23=0 16=0 17=0 18=0 19=0";
    QTest::newRow("point held") << true << false << p + "6,5,3000000,0.4,10000"
                                << QStringList{"2 C Abs/Inc 5 changed to 1 by the entry check, range 0/1; Travel 3000000 changed to 2000000 "
                                               "by the entry check, range -2000000/2000000; Speed 0.4 changed to ----"}
                                << "24=1 25=2000000 26=0 27=9999";
    QTest::newRow("point refused as a whole") << true << false << p + "7,0,----,5,5" << QStringList{"2 R Point 7: Travel \"----\" is not a number."} << "";
    QTest::newRow("point numbers") << true << false << p + "32,0,0,0,0\n3,0,0,0,0\n3,1,1,1,1\n4,0,0\n"
                                   << QStringList{"2 R Unknown point number \"32\"", "3 T", "4 R Point 3 was given before, on line 3", "5 R Point 4: missing column \"Speed\""}
                                   << "12=0 13=0 14=0 15=0";
    QTest::newRow("point columns in any order") << true << false << QByteArray("acc/dec,point,travel,speed,abs/inc\n9,1,7,8,0\n") << QStringList{"2 T"} << "4=0 5=7 6=8 7=9";
}

void TstCsvFiles::import()
{
    QFETCH(bool, points);
    QFETCH(bool, maker);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, reports);
    QFETCH(QString, changes);
    if (points) {
        const CsvImport<PointTable> r = ReadPointsCsv(file, allPoints(1));
        QVERIFY2(r.ok(), qPrintable(r.error));
        compareReports(r.lines, reports);
        if (QTest::currentTestFailed()) return;
        QCOMPARE(r.values, applied(allPoints(1), changes));
    } else {
        const CsvImport<ParameterSet> r = ReadParametersCsv(file, allParams(1), maker);
        QVERIFY2(r.ok(), qPrintable(r.error));
        compareReports(r.lines, reports);
        if (QTest::currentTestFailed()) return;
        QCOMPARE(r.values.values, applied(allParams(1).values, changes));
    }
}

void TstCsvFiles::refusedFiles_data()
{
    QTest::addColumn<bool>("points");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");
    QByteArray junk;
    QRandomGenerator random(7);
    while (junk.size() < 1024 * 1024) junk += "ab\",\r\n 1"[random.bounded(8)];
    QTest::newRow("empty") << false << QByteArray() << "The file is empty.";
    QTest::newRow("binary parameter file") << false << EncodeParamFile(allParams(1).values) << "NUL";
    QTest::newRow("UTF-16") << false << QByteArray("\xFF\xFEN\0u\0m\0", 8) << "UTF-16";
    QTest::newRow("point table as parameters") << false << PointsCsv(allPoints(1)) << "no column \"Number\", \"Value\"";
    QTest::newRow("parameter set as points") << true << ParametersCsv(allParams(1), 40) << "no column \"Point\", \"Abs/Inc\"";
    QTest::newRow("header only") << false << QByteArray("Number,Value\r\n") << "only its header row";
    QTest::newRow("header malformed") << false << QByteArray("Num\"ber,Value\n02,5\n") << "first row (line 1) is not valid CSV";
    QTest::newRow("column twice") << true << QByteArray("Point,Abs/Inc,Travel,Speed,Acc/Dec,point\n1,0,0,0,0\n") << "\"Point\" twice";
    QTest::newRow("quote never closed") << false << QByteArray("\"Number,Value\n02,5\n") << "never closed";
    QTest::newRow("1 MB of junk") << false << junk << "not a parameter set in CSV";
}

void TstCsvFiles::refusedFiles()
{
    QFETCH(bool, points);
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    if (points) {
        const CsvImport<PointTable> r = ReadPointsCsv(file, allPoints(3));
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
        QVERIFY(r.lines.isEmpty() && r.values == allPoints(3));
    } else {
        const CsvImport<ParameterSet> r = ReadParametersCsv(file, allParams(3), true);
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
        QVERIFY(r.lines.isEmpty() && r.values == allParams(3));
    }
}

void TstCsvFiles::anyFileKeepsRanges()
{
    // Rows thrown together from numbers, junk, quotes, separators and line
    // breaks: whatever is taken lies in its range, the maker's parameters stay
    // out of reach, and every report names a line of the file in order.
    const QList<QByteArray> pieces{"00", "17", "30", "39", "45", "59", "60", "-99999999", "99999999", "12.5", "FFFFFFFF",
                                   "&H7FFF", "1E9", "----", "\"", "\"\"", ",", ",", "\n", "\r\n", "\r", " ", "x", ""};
    QRandomGenerator random(42);
    ParameterSet current;
    for (int k = 0; k < UserParamCount; ++k) current.values[k] = qint32(rangeOf(k).first);
    for (int round = 0; round < 300; ++round) {
        QByteArray file = "Number,Value\r\n";
        for (int i = random.bounded(1, 60); i > 0; --i) file += pieces[random.bounded(int(pieces.size()))];
        const CsvImport<ParameterSet> r = ReadParametersCsv(file, current, false);
        if (!r.ok()) {  // nothing but blanks below the header
            QVERIFY2(r.error.contains(u"only its header row") && r.values == current, file.constData());
            continue;
        }
        for (int k = 0; k < UserParamCount; ++k)
            QVERIFY2(r.values.values[k] >= rangeOf(k).first && r.values.values[k] <= rangeOf(k).second, file.constData());
        QVERIFY(std::equal(r.values.values.cbegin() + UserParamCount, r.values.values.cend(), current.values.cbegin() + UserParamCount));
        int last = 1;
        for (const CsvLineReport &l : r.lines) {
            QVERIFY2(l.line > last && l.line <= file.count('\n') + file.count('\r') + 1, file.constData());
            last = l.line;
        }
    }
}

void TstCsvFiles::hugeFiles()
{
    // 1 MB of one row over and over: the first taken, every other refused on its own line.
    const int rows = 150000;
    const CsvImport<ParameterSet> many = ReadParametersCsv("Number,Value\r\n" + QByteArray("02,50\r\n").repeated(rows), allParams(1), false);
    QCOMPARE(many.values.values[2], 50);
    QCOMPARE(many.count(CsvLineReport::Kind::Refused), rows - 1);
    QCOMPARE(many.lines.last().line, rows + 1);

    // A name of 1 MB is no trouble; a value of a million digits is held to its
    // range and shown cut short.
    const QByteArray name = QByteArray(1024 * 1024, 'n');
    const QByteArray digits = QByteArray(1024 * 1024, '9');
    const CsvImport<ParameterSet> longLines = ReadParametersCsv("Number,Name,Value\n02,\"" + name + "\",50\n03,x," + digits + "\n", allParams(1), false);
    compareReports(longLines.lines, {"2 T", "3 C changed to 9999"});
    QVERIFY(longLines.lines[1].text.size() < 200);
    QCOMPARE(longLines.values.values[3], 9999);
}

void TstCsvFiles::files()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("set.csv"));
    QString error;
    QVERIFY(!ReadCsvFile(path, &error) && !error.isEmpty());
    const QByteArray bytes = ParametersCsv(allParams(5), ParamCount);
    QVERIFY(WriteCsvFile(path, bytes, &error));
    QCOMPARE(ReadCsvFile(path, &error).value_or(QByteArray()), bytes);

    const NamedPipe pipe(dir.filePath(QStringLiteral("pipe.csv")));  // refused unopened
    QVERIFY(!ReadCsvFile(dir.filePath(QStringLiteral("pipe.csv")), &error));
    QVERIFY(pipe.made() && !pipe.opened());

    QFile big(path);
    QVERIFY(big.resize(CsvFileLimit + 1));
    QVERIFY(!ReadCsvFile(path, &error) && error.contains(u"too large"));
}

QTEST_GUILESS_MAIN(TstCsvFiles)
#include "tst_csvfiles.moc"
