// The waveform analysis window without a drive: captures joining and leaving
// the list, waveform files in and out (a wrong one refused, the motor type's
// torque scale taken), a first capture drawn at once, where it opens and
// where its cursors go, the view's zoom and cursor rules, a plot that follows
// its size, and the exports landing as files that read back whole.

#include "common/plotview.h"
#include "drive/wave/capturelist.h"
#include "drive/wave/wavefile.h"
#include "tools/waveanalysiswindow.h"
#include "drive/params/parametermodel.h"
#include "testservices.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>

namespace {

// A speed step at sample `at`, to 1000 units (750 rpm), with torque.
Capture StepCapture(int timeBase = 0, int at = 63)
{
    Capture c;
    c.timeBase = timeBase;
    c.trigPos = 15;
    for (int s = 0; s < CaptureSamples; ++s) {
        const bool after = s > at;
        c.speed[size_t(s)] = qint16(after ? 1000 - 1000 * std::exp(-(s - at) / 4.0) : 0);
        c.torque[size_t(s)] = qint16(after ? 900 * std::exp(-(s - at) / 4.0) : 0);
        c.status[size_t(s)] = after ? 1 : 0;
    }
    return c;
}

// Closes the next message box and keeps its text.
void CloseNextMessage(QString *text)
{
    QTimer::singleShot(0, [text] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                *text = box->text();
                box->accept();
                return;
            }
    });
}

QString Cell(const QTableView *t, int row, const QString &header)
{
    const QAbstractItemModel *m = t->model();
    for (int c = 0; c < m->columnCount(); ++c)
        if (m->headerData(c, Qt::Horizontal).toString() == header) return m->index(row, c).data().toString();
    return QStringLiteral("(no column %1)").arg(header);
}

QString Run(const QString &tool, const QStringList &args)
{
    if (QStandardPaths::findExecutable(tool).isEmpty()) return {};
    QProcess p;
    p.start(tool, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

}  // namespace

class TstWaveAnalysisWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listNamesAndLimit();
    void waveFiles_data();
    void waveFiles();
    void firstCaptureAtOnce_data();
    void firstCaptureAtOnce();
    void opensOnTheStep();
    void viewRules();
    void followsItsSize();
    void exports();
};

void TstWaveAnalysisWindow::listNamesAndLimit()
{
    CaptureList list;
    ParameterModel params;  // motor type 0: 900 units make 100 %
    TestFileChooser files;
    WaveAnalysisWindow w(list, params, files);
    const int first = list.add(StepCapture(), 900, QStringLiteral("Drive"));
    list.add(StepCapture(1), 900, QStringLiteral("Drive"), QStringLiteral("tuned"));
    QCOMPARE(w.LstCaptures->count(), 2);
    QCOMPARE(w.LstCaptures->item(0)->text(), QStringLiteral("Capture 1"));
    QCOMPARE(w.LstCaptures->item(1)->text(), QStringLiteral("tuned"));
    // Two captures shown: a measurement row for speed and torque of each.
    QCOMPARE(w.TblMeasure->model()->rowCount(), 4);

    // Renaming in the list reaches the capture; a blank name is refused.
    w.LstCaptures->item(0)->setText(QStringLiteral("  before  tuning "));
    QCOMPARE(list.find(first)->name, QStringLiteral("before tuning"));
    w.LstCaptures->item(0)->setText(QStringLiteral("   "));
    QCOMPARE(list.find(first)->name, QStringLiteral("before tuning"));
    QCOMPARE(w.LstCaptures->item(0)->text(), QStringLiteral("before tuning"));

    // Unticked, a capture leaves the plots and the tables but stays listed.
    w.LstCaptures->item(0)->setCheckState(Qt::Unchecked);
    QCOMPARE(list.shownCaptures().size(), 1);
    QCOMPARE(w.TblMeasure->model()->rowCount(), 2);
    QCOMPARE(w.TimePlot->lane(0).traces.size(), 1);

    // Removed, it is gone; the list keeps only the newest when full.
    w.LstCaptures->setCurrentRow(0);
    w.CmdRemove->click();
    QCOMPARE(list.items().size(), 1);
    for (int i = 0; i < CaptureList::MaxCaptures + 5; ++i) list.add(StepCapture(), 0, QStringLiteral("Drive"));
    QCOMPARE(list.items().size(), CaptureList::MaxCaptures);
    QCOMPARE(list.items().last().name, QStringLiteral("Capture %1").arg(CaptureList::MaxCaptures + 6));
}

void TstWaveAnalysisWindow::waveFiles_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QString>("problem");  // of a file of the right length: its trigger edge set to 9
    QTest::newRow("a waveform file") << WaveFileBytes << true << "";
    QTest::newRow("one byte short") << WaveFileBytes - 1 << false << "";
    QTest::newRow("one byte long") << WaveFileBytes + 1 << false << "";
    QTest::newRow("empty") << 0 << false << "";
    QTest::newRow("trigger edge 9") << WaveFileBytes << false << "entry 385 (trigger edge) = 9 is outside its range 0/3";
}

void TstWaveAnalysisWindow::waveFiles()
{
    QFETCH(int, bytes);
    QFETCH(bool, taken);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    CaptureList list;
    ParameterModel params;
    params.setText(57, QStringLiteral("1"));  // 750 units make 100 %
    TestFileChooser files;
    WaveAnalysisWindow w(list, params, files);
    const int id = list.add(StepCapture(2), 900, QStringLiteral("Drive"));
    const QString saved = dir.filePath(QStringLiteral("saved.wvt"));
    QVERIFY(w.saveWaveFile(id, saved));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QCOMPARE(file.size(), qint64(WaveFileBytes));
    QVERIFY(file.resize(bytes));
    if (!problem.isEmpty()) QVERIFY(file.seek(2 * WaveFileEntry::Edge) && file.write(QByteArray("\x09\x00", 2)) == 2);
    file.close();

    QString message;
    if (!taken) CloseNextMessage(&message);
    params.setText(57, QStringLiteral("30"));  // the motor type set now: 661 units
    QCOMPARE(w.openWaveFile(saved), taken);
    QCOMPARE(list.items().size(), taken ? 2 : 1);
    if (!taken) {
        QCOMPARE(message, saved + QStringLiteral("\nInvalid File") + (problem.isEmpty() ? QString() : u'\n' + problem));
        return;
    }
    // The file's capture comes back whole, named by the file, its torque at
    // the scale of the motor type set now (as the Graphical Monitor draws it),
    // not at the scale of the capture listed before it.
    const ListedCapture &back = list.items().last();
    QCOMPARE(back.name, QStringLiteral("saved"));
    QCOMPARE(back.capture.speed, list.items().first().capture.speed);
    QCOMPARE(back.capture.torque, list.items().first().capture.torque);
    QCOMPARE(back.capture.status, list.items().first().capture.status);
    QCOMPARE(back.capture.timeBase, 2);
    QCOMPARE(back.motorTypeUnits, 661);
}

void TstWaveAnalysisWindow::firstCaptureAtOnce_data()
{
    QTest::addColumn<int>("timeBase");
    for (int b = 0; b < 4; ++b) QTest::addRow("%d ms a sample", int(WaveAnalysis::SamplePeriodMs(b))) << b;
}

// An empty window, shown: its first capture is drawn at once, at every time
// base (it once took tens of seconds, building a label for every tick of
// the empty plot's step over the capture's range).
void TstWaveAnalysisWindow::firstCaptureAtOnce()
{
    QFETCH(int, timeBase);
    CaptureList list;
    ParameterModel params;  // motor type 0: 900 units make 100 %
    TestFileChooser files;
    WaveAnalysisWindow w(list, params, files);
    w.resize(900, 640);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QElapsedTimer timer;
    timer.start();
    list.add(StepCapture(timeBase), 900, QStringLiteral("Drive"));
    w.repaint();
    QCoreApplication::processEvents();
    const qint64 ms = timer.elapsed();
    QVERIFY2(ms < 1000, qPrintable(QString::number(ms)));
    QCOMPARE(w.TimePlot->xMax() - w.TimePlot->xMin(), 127 * WaveAnalysis::SamplePeriodMs(timeBase));
}

// The window opens large enough for its plots and its whole measurement
// table, measuring the whole capture, with its cursors on the step.
void TstWaveAnalysisWindow::opensOnTheStep()
{
    CaptureList list;
    // The step begins 20 samples before the trigger (as a jog start does,
    // when the trigger is the speed reaching a level).
    list.add(StepCapture(1, 43), 900, QStringLiteral("Drive"));
    ParameterModel params;  // motor type 0: 900 units make 100 %
    TestFileChooser files;
    WaveAnalysisWindow w(list, params, files);
    w.resize(w.sizeHint());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.CmbSpan->currentText(), QStringLiteral("Whole Capture"));
    const QHeaderView *header = w.TblMeasure->horizontalHeader();
    for (int c = 0; c < header->count(); ++c)
        QVERIFY2(header->sectionViewportPosition(c) + header->sectionSize(c) <= w.TblMeasure->viewport()->width(),
                 qPrintable(w.TblMeasure->model()->headerData(c, Qt::Horizontal).toString()));
    for (int lane = 0; lane < 3; ++lane) QVERIFY(w.TimePlot->laneRect(lane).height() >= 40);
    QCOMPARE(w.TblMeasure->rowHeight(0), w.TblMeasure->verticalHeader()->defaultSectionSize());

    // The figures are the step's, before it begins: 8 ms a sample, the
    // trigger at sample 63, the step leaving sample 43 (-160 ms).
    QCOMPARE(Cell(w.TblMeasure, 0, QStringLiteral("Before step")), QStringLiteral("0.0 rpm"));
    QCOMPARE(Cell(w.TblMeasure, 0, QStringLiteral("Step start")), QStringLiteral("-160.0 ms"));
    QVERIFY(Cell(w.TblMeasure, 0, QStringLiteral("Rise 10-90 %")).endsWith(QStringLiteral(" ms")));
    QCOMPARE(w.TimePlot->cursor(0), -160.0);
    const double settling = Cell(w.TblMeasure, 0, QStringLiteral("Settling")).section(u' ', 0, 0).toDouble();
    QVERIFY(settling > 0);
    QVERIFY2(std::abs(w.TimePlot->cursor(1) - (-160 + settling)) <= 4, qPrintable(QString::number(w.TimePlot->cursor(1))));

    // Without a step: the cursors at the ends.
    CaptureList flat;
    flat.add(Capture{}, 900, QStringLiteral("Drive"));
    WaveAnalysisWindow f(flat, params, files);
    QCOMPARE(f.TimePlot->cursor(0), f.TimePlot->xMin());
    QCOMPARE(f.TimePlot->cursor(1), f.TimePlot->xMax());
    QCOMPARE(Cell(f.TblMeasure, 0, QStringLiteral("Rise 10-90 %")), QStringLiteral("no step"));
}

void TstWaveAnalysisWindow::viewRules()
{
    CaptureList list;
    ParameterModel params;  // motor type 0: 900 units make 100 %
    TestFileChooser files;
    WaveAnalysisWindow w(list, params, files);
    w.resize(900, 640);
    list.add(StepCapture(), 900, QStringLiteral("Drive"));
    PlotView *p = w.TimePlot;
    // Time base 0: 4 ms a sample, the trigger at sample 63.
    QCOMPARE(p->xMin(), -63.0 * 4);
    QCOMPARE(p->xMax(), (127 - 63.0) * 4);
    // The speed scale has room above the trace and a figure at both ends.
    const auto [lo, hi] = p->yRange(0);
    QVERIFY(hi > 750 * (1 - std::exp(-64 / 4.0)) && lo < 0);
    QCOMPARE(std::fmod(hi, 100.0), 0.0);

    // Cursors stand on samples, and the keyboard steps them one at a time.
    p->setCursor(0, 1.3);
    QCOMPARE(p->cursor(0), 0.0);
    QTest::keyClick(p, Qt::Key_1);
    QTest::keyClick(p, Qt::Key_Right);
    QCOMPARE(p->cursor(0), 4.0);
    QTest::keyClick(p, Qt::Key_2);
    QCOMPARE(p->activeCursor(), 1);
    p->setCursor(1, 1e9);
    QCOMPARE(p->cursor(1), (127 - 63.0) * 4);
    QTest::keyClick(p, Qt::Key_Right);
    QCOMPARE(p->cursor(1), (127 - 63.0) * 4);
    QVERIFY2(w.LblCursors->text().contains(QStringLiteral("Δt = 252.0 ms")), qPrintable(w.LblCursors->text()));

    // Zoom never goes below a hundredth of the data nor pans to nowhere;
    // Home fits again.
    const double span = p->xMax() - p->xMin();
    for (int i = 0; i < 20; ++i) QTest::keyClick(p, Qt::Key_Plus);
    QVERIFY(p->xMax() - p->xMin() >= span / 100 - 1e-9);
    p->setXRange(std::nan(""), 3);
    QVERIFY(std::isfinite(p->xMin()));
    p->zoomX(1e6, 0);
    QVERIFY(p->xMax() - p->xMin() <= span * 10);
    QTest::keyClick(p, Qt::Key_Home);
    QCOMPARE(p->xMax() - p->xMin(), span);

    // Measuring between the cursors follows them.
    w.CmbSpan->setCurrentIndex(0);
    p->setCursor(0, -100);
    p->setCursor(1, -20);
    QCOMPARE(Cell(w.TblMeasure, 0, QStringLiteral("Maximum")), QStringLiteral("0.0 rpm"));  // flat before the step
    p->setCursor(1, 200);
    QVERIFY(Cell(w.TblMeasure, 0, QStringLiteral("Maximum")) != QStringLiteral("0.0 rpm"));
    // A span that starts inside the step says so.
    p->setCursor(0, 8);
    QCOMPARE(Cell(w.TblMeasure, 0, QStringLiteral("Note")), QStringLiteral("the span starts inside the step"));
}

// The plot and its white ground fill the widget at every size, the legend
// stands above the lanes (never over a cursor's name) and the PNG of a size
// has that size.
void TstWaveAnalysisWindow::followsItsSize()
{
    CaptureList list;
    list.add(StepCapture(), 900, QStringLiteral("Drive"));
    ParameterModel params;  // motor type 0: 900 units make 100 %
    TestFileChooser files;
    WaveAnalysisWindow w(list, params, files);
    for (const QSize size : {QSize(700, 500), QSize(1800, 1000), QSize(800, 560)}) {
        w.resize(size);
        w.show();
        QCoreApplication::processEvents();
        const QImage shot = w.TimePlot->grab().toImage();
        QCOMPARE(shot.size(), w.TimePlot->size() * shot.devicePixelRatio());
        // The corners and the right edge are the plot's white ground.
        for (const QPoint at : {QPoint(1, 1), QPoint(shot.width() - 2, 1), QPoint(shot.width() - 2, shot.height() - 2),
                                QPoint(shot.width() - 2, shot.height() / 2)})
            QCOMPARE(shot.pixelColor(at), QColor(Qt::white));
        const QRect legend = w.TimePlot->legendArea();
        QVERIFY(!legend.isEmpty());
        QVERIFY(legend.bottom() < w.TimePlot->plotArea().top());
        QVERIFY(w.TimePlot->plotArea().right() > w.TimePlot->width() * 0.85);
    }
}

void TstWaveAnalysisWindow::exports()
{
    QTemporaryDir dir;
    CaptureList list;
    ParameterModel params;  // motor type 0: 900 units make 100 %
    TestFileChooser files;
    WaveAnalysisWindow w(list, params, files);
    w.resize(900, 640);

    // Nothing shown: nothing to export, and the user is told.
    QString message;
    CloseNextMessage(&message);
    QVERIFY(!w.exportCsv(dir.filePath(QStringLiteral("none.csv"))));
    QVERIFY(message.contains(QStringLiteral("No capture is shown")));

    list.add(StepCapture(), 900, QStringLiteral("Drive"), QStringLiteral("jog start"));
    list.add(StepCapture(1), 750, QStringLiteral("Drive"), QStringLiteral("second try"));
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    QVERIFY(w.exportCsv(csv));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readLine().startsWith("\"Time [ms]\""));
    file.close();

    // PNG: the size asked for (1600 x 1000 unless another is picked), with
    // the definitions in its description.
    const QString png = dir.filePath(QStringLiteral("plot.png"));
    QVERIFY(w.exportPng(png));
    QImageReader reader(png);
    QCOMPARE(reader.size(), QSize(1600, 1000));
    QVERIFY(reader.text(QStringLiteral("Description")).contains(QStringLiteral("counted from the step's start")));
    QVERIFY(w.exportPng(png, QSize(800, 500)));
    QCOMPARE(QImage(png).size(), QSize(800, 500));

    // PDF: A4 across, every column of both tables whole on one line.
    // ORVEX_KEEP_EXPORTS=folder keeps it there to look at.
    const QString keep = qEnvironmentVariable("ORVEX_KEEP_EXPORTS");
    const QString pdf = (keep.isEmpty() ? dir.path() : keep) + QStringLiteral("/plot.pdf");
    QVERIFY(w.exportPdf(pdf));
    QFile head(pdf);
    QVERIFY(head.open(QIODevice::ReadOnly));
    QVERIFY(head.read(5) == "%PDF-");
    const QString info = Run(QStringLiteral("pdfinfo"), {pdf});
    if (info.isEmpty()) QSKIP("the poppler tools are missing");
    QVERIFY2(info.contains(QStringLiteral("842 x 595 pts (A4)")), qPrintable(info));  // A4, landscape
    // Ligatures ("ﬀ") read back as the letters they join.
    const QString text = Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
                             .normalized(QString::NormalizationForm_KC);
    const QStringList lines = text.split(u'\n');
    const auto lineWith = [&lines](const QString &s) {
        for (const QString &l : lines)
            if (l.contains(s)) return l;
        return QString();
    };
    QString header = lineWith(QStringLiteral("Peak-to-peak"));
    for (const QString &h : MeasurementTable::headers()) QVERIFY2(header.contains(h), qPrintable(h + u'\n' + text));
    for (int r = 0; r < w.TblMeasure->model()->rowCount(); ++r) {
        const QString trace = w.TblMeasure->model()->index(r, 0).data().toString();
        const QString row = lineWith(trace + QStringLiteral(" "));
        for (int c = 1; c < MeasurementTable::ColumnCount; ++c) {
            const QString cell = w.TblMeasure->model()->index(r, c).data().toString();
            QVERIFY2(row.contains(cell), qPrintable(trace + QStringLiteral(": ") + cell + u'\n' + row));
        }
    }
    QVERIFY(text.contains(QStringLiteral("At t1")) && text.contains(QStringLiteral("Difference")));
    QVERIFY(text.simplified().contains(QStringLiteral("counted from the step's start")));
    QVERIFY(text.contains(QStringLiteral("Page 1 of ")));

    // A folder that does not exist: refused with a message, no file.
    CloseNextMessage(&message);
    QVERIFY(!w.exportPng(dir.filePath(QStringLiteral("missing/plot.png"))));
    QVERIFY(message.contains(QStringLiteral("could not be written")));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("missing/plot.png"))));
}

QTEST_MAIN(TstWaveAnalysisWindow)
#include "tst_waveanalysiswindow.moc"
