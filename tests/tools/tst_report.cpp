// The commissioning report: the rows made from the drive's data, the PDF
// file read back with the PDF tools (pages, texts, blank margins), some of the
// pages printed, and writes that fail.

#include "drive/params/paramtext.h"
#include "tools/commissioningreport.h"

#include <QDir>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

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

QImage plot(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    return image;
}

const QList<QImage> Plots{plot(249, 149), plot(249, 149), plot(249, 50)};

// A PDF tool's output, or a null string when the tool is missing.
QString run(const QString &tool, const QStringList &args)
{
    if (QStandardPaths::findExecutable(tool).isEmpty()) return {};
    QProcess p;
    p.start(tool, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pageText(const QString &pdf, int page)
{
    const QString n = QString::number(page);
    return run(QStringLiteral("pdftotext"), {"-layout", "-f", n, "-l", n, pdf, "-"});
}

// The page objects of a PDF file; -1 when it is not one.
int pageObjects(const QString &pdf)
{
    QFile f(pdf);
    if (!f.open(QIODevice::ReadOnly) || f.peek(4) != "%PDF") return -1;
    return int(QString::fromLatin1(f.readAll()).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))));
}

bool has(const QString &text, const char *pattern) { return text.contains(QRegularExpression(QLatin1String(pattern))); }

}  // namespace

Q_DECLARE_METATYPE(ReportData)

class TstReport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rows_data();
    void rows();
    void pdf_data();
    void pdf();
    void pageRange_data();
    void pageRange();
    void failedWrite_data();
    void failedWrite();
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
        QCOMPARE(r, (ReportParamRow{k, r.name, FieldText(7000 + k, ParamIsHex(k)).trimmed(), ParamRange(k), ParamIsHex(k)}));
    }
    QCOMPARE(d.params[31].name, QStringLiteral("Standard speed"));  // its label ends in CR LF
    QCOMPARE(d.points.size(), PointCount);
    QCOMPARE(d.points[3], (ReportPointRow{"3", "0 (abs)", "500003", "----", "----"}));
}

void TstReport::pdf_data()
{
    QTest::addColumn<ReportData>("data");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("notShown");
    const QDateTime when(QDate(2024, 5, 14), QTime(9, 41, 7));
    ReportData empty;
    empty.when = when;
    QTest::newRow("nothing known") << empty
                                   << QStringList{"ORVEX commissioning report", "Motor model -", "No parameters.",
                                                  "No points.", "No waveform has been captured.", "2024-05-14 09:41:07"}
                                   << QStringList{};
    const ReportData user = MakeReportData("MTR-200", "3.05", sampleSet(), false, sampleTable(), Plots, false, when);
    QTest::newRow("user set, no capture")
        << user << QStringList{"MTR-200", "3.05", "Excessive Error Area", "7029", "1B7F (hex)", "500031",
                               "No waveform has been captured."}
        << QStringList{"7040", "7059", "Pulse / Rev. (x4)", "Status bit"};
    ReportData maker = MakeReportData("MTR-200", "3.05", sampleSet(), true, sampleTable(), Plots, true, when);
    maker.plots[1] = QImage();  // a plot without a picture is left out
    QTest::newRow("maker mode, capture")
        << maker << QStringList{"7059", "Communication Timer [ms]", "Speed", "Status bit", "captured (2 plots)"}
        << QStringList{"No waveform"};
    ReportData odd = user;  // what a caller might pass
    odd.model = QString(400, u'W');
    for (ReportParamRow &r : odd.params) r.name += QStringLiteral("\r\n");
    odd.params[5].name = QString(2000, u'N');
    odd.params[6].range = QStringLiteral("0/") + QString(120, u'9');
    odd.plots = {plot(300, 3000)};
    odd.hasCapture = true;
    QTest::newRow("line breaks, long texts, tall plot") << odd << QStringList{"Speed"} << QStringList{};
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
    const int pages = pageObjects(path);
    QVERIFY(pages >= (data.params.size() == ParamCount ? 3 : 1));
    if (data.params.isEmpty()) QCOMPARE(pages, 1);
    if (pageText(path, 1).isNull()) QSKIP("pdftotext (poppler-utils) is missing");

    QString all;
    for (int page = 1; page <= pages; ++page) {
        const QString text = pageText(path, page);
        all += text;
        const QString footer = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
        QVERIFY2(text.contains(footer), qPrintable(footer + u'\n' + text));
        QVERIFY2(!text.left(text.indexOf(QStringLiteral("ORVEX commissioning report  "))).simplified().isEmpty(),
                 qPrintable(text));  // more than the footer
        // A page with rows of a table carries the table's header row.
        if (has(text, "\\s70[0-5]\\d\\s")) QVERIFY2(has(text, "No\\.\\s+Name\\s+Value\\s+Range"), qPrintable(text));
        if (has(text, "\\s5000[0-3]\\d\\s")) QVERIFY2(text.contains(QStringLiteral("Acc/Dec [ms]")), qPrintable(text));
    }
    QVERIFY(!all.contains(u'\r'));
    all = all.simplified();
    for (const QString &s : shown) QVERIFY2(all.contains(s), qPrintable(s));
    for (const QString &s : notShown) QVERIFY2(!all.contains(s), qPrintable(s));
    if (!data.params.isEmpty()) QVERIFY(has(all, "Standard speed 7031 1/2500"));  // one row despite the CR LF

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
    const ReportData data = MakeReportData({}, {}, sampleSet(), true, sampleTable(), Plots, true);
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

QTEST_MAIN(TstReport)
#include "tst_report.moc"
