// The commissioning report: the rows made from the drive's data and a
// reference set, the PDF/A file checked with qpdf and read back with the PDF
// tools (the fields, the differences marked, the captures with their scales
// and figures, the alarm history and this drive's log, the signature line,
// "Page i of N", blank margins), some of the pages printed, writes that fail,
// and the Tools menu's way to it without a drive.

#include "mainwindowrig.h"
#include "ownhome.h"
#include "app/mditbl.h"
#include "app/titlebar.h"
#include "drive/csvfiles.h"
#include "drive/link/memoryport.h"
#include "drive/params/paramfile.h"
#include "drive/params/paramtext.h"
#include "tools/commissioningreport.h"
#include "tools/reportdialog.h"
#include "tools/toolsmenu.h"
#include "drive/session.h"
#include "reportanswer.h"
#include "testservices.h"

#include <QDir>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <cmath>

namespace {

// Parameter k holds 7000 + k and point p travels 500000 + p, so the rows can
// be found in the text of a page.
ParameterSet sampleSet()
{
    ParameterSet set;
    for (int k = 0; k < ParamCount; ++k) set.values[size_t(k)] = 7000 + k;
    return set;
}

PointTable sampleTable()
{
    PointTable t{};
    for (int p = 0; p < PointCount; ++p) t[size_t(PointColumns * p + 1)] = 500000 + p;
    return t;
}

// A jog start: the speed steps at the trigger, 8 ms a sample.
ListedCapture sampleCapture()
{
    ListedCapture c;
    c.id = 1;
    c.name = QStringLiteral("jog start");
    c.origin = QStringLiteral("Drive");
    c.motorTypeUnits = 900;
    c.capture.timeBase = 1;
    c.capture.taken = QDateTime(QDate(2024, 5, 14), QTime(9, 30), QTimeZone(7200));
    for (int s = 0; s < CaptureSamples; ++s) {
        const bool after = s > 63;
        c.capture.speed[size_t(s)] = qint16(after ? 160 - 160 * std::exp(-(s - 63) / 3.0) : 0);
        c.capture.torque[size_t(s)] = qint16(after ? 300 * std::exp(-(s - 63) / 3.0) : 0);
    }
    return c;
}

// A PDF tool's output (stdout and stderr), or a null string when it is missing.
QString run(const QString &tool, const QStringList &args, int *exitCode = nullptr)
{
    if (QStandardPaths::findExecutable(tool).isEmpty()) return {};
    QProcess p;
    p.start(tool, args);
    p.waitForFinished(30000);
    if (exitCode) *exitCode = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

QString pageText(const QString &pdf, int page)
{
    const QString n = QString::number(page);
    return run(QStringLiteral("pdftotext"), {"-layout", "-f", n, "-l", n, pdf, "-"}).normalized(QString::NormalizationForm_KC);
}

// The page objects of a PDF file; -1 when it is not one.
int pageObjects(const QString &pdf)
{
    QFile f(pdf);
    if (!f.open(QIODevice::ReadOnly) || f.peek(4) != "%PDF") return -1;
    return int(QString::fromLatin1(f.readAll()).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))));
}

bool has(const QString &text, const char *pattern) { return text.contains(QRegularExpression(QLatin1String(pattern))); }

const QDateTime When(QDate(2024, 5, 14), QTime(9, 41, 7), QTimeZone(7200));

}  // namespace

Q_DECLARE_METATYPE(ReportData)

class TstReport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseOwnHome(); }
    void rows_data();
    void rows();
    void reference();
    void pdf_data();
    void pdf();
    void pageRange_data();
    void pageRange();
    void failedWrite_data();
    void failedWrite();
    void fromTheMenu();
};

void TstReport::rows_data()
{
    QTest::addColumn<bool>("maker");
    QTest::addColumn<int>("count");
    QTest::newRow("user set") << false << 40;
    QTest::newRow("maker mode") << true << 60;
}

void TstReport::rows()
{
    QFETCH(bool, maker);
    QFETCH(int, count);
    const ReportData d = MakeReportData({}, {}, sampleSet(), maker, sampleTable());
    QCOMPARE(d.params.size(), count);
    for (int k = 0; k < count; ++k) {
        const ReportParamRow &r = d.params[k];
        QVERIFY2(!r.name.contains(u'\r') && !r.name.contains(u'\n') && !r.name.contains(u':'), qPrintable(r.name));
        const QString value = FieldText(7000 + k, ParamIsHex(k)).trimmed();
        QCOMPARE(r.value, ParamIsHex(k) ? QStringLiteral("0x") + value : value);
        QCOMPARE(r.range, ParamRange(k));
    }
    QCOMPARE(d.params[31].name, QStringLiteral("Standard speed"));  // its label ends in CR LF
    QCOMPARE(d.params[15].unit, QStringLiteral("%"));
    QCOMPARE(d.params[32].unit, QStringLiteral("ms"));
    QCOMPARE(d.points.size(), PointCount);
    QCOMPARE(d.points[3], (ReportPointRow{"3", "0 (abs)", "500003", "----", "----"}));
}

// A reference set beside the parameters, read from a parameter file or a
// CSV: the parameters that differ are marked, and nothing else.
void TstReport::reference()
{
    QTemporaryDir dir;
    // Values within their ranges (a CSV is read through the entry checks).
    ParameterSet drive;
    for (int k = 0; k < UserParamCount; ++k) drive.values[size_t(k)] = ParamRange(k).section(u'/', 0, 0).toInt();
    ParamValues ref = drive.values;
    ref[2] = 120;     // decimal
    ref[30] = 0x155;  // hexadecimal
    const QString pxt = dir.filePath(QStringLiteral("ref.pxt"));
    QFile f(pxt);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(EncodeParamFile(ref));
    f.close();
    const QString csv = dir.filePath(QStringLiteral("ref.csv"));
    ParameterSet refSet;
    refSet.values = ref;
    QVERIFY(WriteCsvFile(csv, ParametersCsv(refSet, ParamCount)));
    for (const QString &path : {pxt, csv}) {
        QString error;
        const std::optional<ParamValues> read = ReadReferenceParameters(path, &error);
        QVERIFY2(read, qPrintable(error));
        ReportData d = MakeReportData({}, {}, drive, false, sampleTable());
        SetReportReference(d, *read, path);
        QList<int> differ;
        for (const ReportParamRow &r : d.params)
            if (r.differs) differ << r.number;
        QCOMPARE(differ, (QList<int>{2, 30}));
        QCOMPARE(d.params[30].reference, QStringLiteral("0x155"));
        QCOMPARE(d.params[2].reference, QStringLiteral("120"));
    }
    QString error;
    QVERIFY(!ReadReferenceParameters(dir.filePath(QStringLiteral("ref.pdf")), &error));
    QVERIFY(error.contains(QStringLiteral("cannot be the reference")));
}

void TstReport::pdf_data()
{
    QTest::addColumn<ReportData>("data");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("notShown");
    ReportData empty;
    empty.when = When;
    QTest::newRow("nothing known") << empty
                                   << QStringList{"ORVEX commissioning report", "Motor model -", "No parameters.",
                                                  "No points.", "No waveform has been captured.",
                                                  "2024-05-14T09:41:07.000+02:00", "Signatures", "Machine -"}
                                   << QStringList{};

    ReportData record = MakeReportData("MTR-200", "3.05", sampleSet(), false, sampleTable(), When);
    record.fields = {"Press 4", "Z axis", "ACME Tools", "Hall 2", "J. Doe", "First run after the gearbox change.\nLoad 12 kg."};
    record.port = "COM1 /dev/ttyUSB0";
    ParamValues ref = sampleSet().values;
    ref[2] = 120;
    SetReportReference(record, ref, "backup-2024-05-13.pxt");
    record.captures = {sampleCapture()};
    record.alarmHistory = std::array<qint32, 8>{2, 0x40, 0, 0x2000, 0, 0, 0, 0};
    record.historyNote = "Read from the drive at 2024-05-14T09:41:06.500+02:00.";
    const QList<AlarmLogEntry> log{{When.addDays(-1), {"Over Load(01)"}, {}, {}, "COM1 /dev/ttyUSB0"},
                                   {When.addDays(-1).addSecs(5), {"ROM Error(00)"}, {}, {}, "COM2 /dev/ttyUSB1"}};
    record.alarmLog = ReportAlarmLog(log, record.port);
    QTest::newRow("a record") << record
                              << QStringList{"Press 4", "Z axis", "ACME Tools", "Hall 2", "J. Doe", "Load 12 kg.",
                                             "MTR-200", "3.05", "COM1 /dev/ttyUSB0", "backup-2024-05-13.pxt (1 parameter differs)",
                                             "7029", "0x1B7E", "Time base 0.1 s/div (8 ms a sample",
                                             "Trigger: Speed, Forward Up, position 15", "Rise 10-90 %", "Settling",
                                             "counted from the step's start", "Over Current Alarm(06)",
                                             "bits without an alarm cell (0x2000)", "Read from the drive at",
                                             "Alarm log of this drive", "Name and signature", "Date"}
                              << QStringList{"ROM Error(00)", "No waveform"};

    ReportData maker = MakeReportData("MTR-200", "3.05", sampleSet(), true, sampleTable(), When);
    maker.historyNote = "Not read: no drive is connected (offline).";
    QTest::newRow("maker mode, offline") << maker << QStringList{"7059", "Communication Timer [ms]", "Not read: no drive"}
                                         << QStringList{"Entry"};
    ReportData odd = record;  // what a caller might pass
    odd.model = QString(400, u'W');
    for (ReportParamRow &r : odd.params) r.name += QStringLiteral("\r\n");
    odd.params[5].name = QString(2000, u'N');
    odd.params[6].range = QStringLiteral("0/") + QString(120, u'9');
    odd.fields.notes = QString(3000, u'x');
    QTest::newRow("line breaks, long texts") << odd << QStringList{"Captures"} << QStringList{};
}

void TstReport::pdf()
{
    QFETCH(ReportData, data);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, notShown);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    QString error;
    QVERIFY2(WriteReportPdf(path, data, &error), qPrintable(error));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"report.pdf"});
    // ORVEX_KEEP_EXPORTS=folder keeps a copy to look at.
    if (const QString keep = qEnvironmentVariable("ORVEX_KEEP_EXPORTS"); !keep.isEmpty())
        QFile::copy(path, keep + QStringLiteral("/report-%1.pdf").arg(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-').remove(u',')));
    const int pages = pageObjects(path);
    QVERIFY(pages >= (data.params.size() == ParamCount ? 3 : 1));
    // PDF/A-1b, and sound as qpdf reads it.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("pdfaid:part"));
    int exitCode = -1;
    const QString check = run(QStringLiteral("qpdf"), {QStringLiteral("--check"), path}, &exitCode);
    if (!check.isNull()) QVERIFY2(exitCode == 0 && check.contains(QStringLiteral("No syntax or stream encoding errors")), qPrintable(check));
    if (pageText(path, 1).isNull()) QSKIP("pdftotext (poppler-utils) is missing");

    QString all;
    for (int page = 1; page <= pages; ++page) {
        const QString text = pageText(path, page);
        all += text;
        const QString footer = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
        QVERIFY2(text.contains(footer), qPrintable(footer + u'\n' + text));
        // A page with rows of a table carries the table's header row.
        if (has(text, "\\s70[0-5]\\d\\s")) QVERIFY2(has(text, "No\\.\\s+Name\\s+Value\\s+Unit\\s+Range"), qPrintable(text));
        if (has(text, "\\s5000[0-3]\\d\\s")) QVERIFY2(text.contains(QStringLiteral("Acc/Dec [ms]")), qPrintable(text));
    }
    QVERIFY(!all.contains(u'\r'));
    // The parameter that differs from the reference is marked on its row.
    if (!data.reference.isEmpty()) QVERIFY2(has(all, "Position Loop Gain\\s+7002\\s+.*120\\s+differs"), qPrintable(all));
    all = all.simplified();
    for (const QString &s : shown) QVERIFY2(all.contains(s), qPrintable(s + u'\n' + all));
    for (const QString &s : notShown) QVERIFY2(!all.contains(s), qPrintable(s));

    // Nothing runs into the margins (15 mm; 12 mm checked) on any page.
    run(QStringLiteral("pdftoppm"), {"-png", "-gray", "-r", "50", path, dir.filePath(QStringLiteral("page"))});
    const QStringList pngs = QDir(dir.path()).entryList({QStringLiteral("page*.png")}, QDir::Files, QDir::Name);
    if (pngs.isEmpty()) return;
    QCOMPARE(pngs.size(), pages);
    const int band = qRound(12 / 25.4 * 50);
    for (const QString &png : pngs) {
        const QImage image(dir.filePath(png));
        const QRect inner = image.rect().adjusted(band, band, -band, -band);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (!inner.contains(x, y) && qGray(image.pixel(x, y)) < 250)
                    QFAIL(qPrintable(QStringLiteral("%1: ink in the margin at %2,%3").arg(png).arg(x).arg(y)));
    }
}

void TstReport::pageRange_data()
{
    QTest::addColumn<QString>("ranges");
    QTest::newRow("page 2") << "2";
    QTest::newRow("pages 1 and 3") << "1,3";
    QTest::newRow("pages 2 to the end") << "2-99";
}

void TstReport::pageRange()
{
    QFETCH(QString, ranges);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("part.pdf"));
    ReportData data = MakeReportData({}, {}, sampleSet(), true, sampleTable());
    data.captures = {sampleCapture()};
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    const int pages = ReportPageCount(writer, data);
    QVERIFY(pages >= 3);
    const QPageRanges chosen = QPageRanges::fromString(ranges);
    QVERIFY(RenderReport(writer, data, chosen));
    QList<int> printed;
    for (int page = 1; page <= pages; ++page)
        if (chosen.contains(page)) printed << page;
    QCOMPARE(pageObjects(path), printed.size());
    for (int i = 0; i < printed.size(); ++i) {
        const QString text = pageText(path, i + 1);
        if (text.isNull()) QSKIP("pdftotext (poppler-utils) is missing");
        QVERIFY2(text.contains(QStringLiteral("Page %1 of %2").arg(printed[i]).arg(pages)), qPrintable(text));
    }
}

void TstReport::failedWrite_data()
{
    QTest::addColumn<QString>("where");  // relative to a fresh folder, or absolute
    QTest::newRow("missing folder") << "nowhere/report.pdf";
    QTest::newRow("under /proc") << "/proc/orvex-report.pdf";
    QTest::newRow("a folder") << "folder";
}

void TstReport::failedWrite()
{
    QFETCH(QString, where);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const QString path = QDir::isAbsolutePath(where) ? where : dir.filePath(where);
    const ReportData data = MakeReportData({}, {}, sampleSet(), false, sampleTable());
    QString error;
    QVERIFY(!WriteReportPdf(path, data, &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)) && error.size() > path.size() + 30, qPrintable(error));
    QVERIFY(!QFileInfo(path).isFile());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"folder"});
    QVERIFY(QDir(dir.filePath(QStringLiteral("folder"))).isEmpty());
    QVERIFY(!WriteReportPdf(QString(), data, nullptr));  // no message wanted, no crash
}

// Tools -> Commissioning Report (PDF)... with no drive: the dialog's fields
// head the report (and are remembered), the history says why it is missing.
void TstReport::fromTheMenu()
{
    MainWindowRig rig;
    MDItbl &app = *rig.app;
    const QTemporaryDir &dir = rig.dir;
    TestFileChooser &files = rig.files;
    const QString path = dir.filePath(QStringLiteral("menu.pdf"));
    files.answers << path;
    ReportChoices choices;
    choices.fields.machine = QStringLiteral("Line 3 feeder");
    choices.fields.engineer = QStringLiteral("K. Tanaka");
    ReportDialog::remember(choices.fields);
    answerNextReportDialog(choices);
    app.tools->writeReportPdf();
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(ReportDialog::remembered(), choices.fields);
    const QString text = pageText(path, 1).simplified();
    if (text.isNull()) QSKIP("pdftotext (poppler-utils) is missing");
    QVERIFY2(text.contains(QStringLiteral("Line 3 feeder")) && text.contains(QStringLiteral("K. Tanaka")), qPrintable(text));
    QString all;
    for (int p = 1; p <= pageObjects(path); ++p) all += pageText(path, p);
    QVERIFY2(all.simplified().contains(QStringLiteral("Not read: no drive is connected")), qPrintable(all));
}

QTEST_MAIN(TstReport)
#include "tst_report.moc"
