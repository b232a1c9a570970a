// The waveform analysis window without a drive: captures joining and leaving
// the list, waveform files in and out (a wrong one refused), the view's zoom
// and cursor rules, and the exports landing as files.

#include "drive/wave/wavefile.h"
#include "tools/captureplot.h"
#include "tools/capturelist.h"
#include "tools/waveanalysiswindow.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>

namespace {

// A speed step at the trigger, to 1000 units (750 rpm), with torque.
Capture StepCapture(int timeBase = 0)
{
    Capture c;
    c.timeBase = timeBase;
    c.trigPos = 15;
    for (int s = 0; s < CaptureSamples; ++s) {
        const bool after = s >= 63;
        c.speed[static_cast<size_t>(s)] = static_cast<qint16>(after ? 1000 - 1000 * std::exp(-(s - 63) / 4.0) : 0);
        c.torque[static_cast<size_t>(s)] = static_cast<qint16>(after ? 900 * std::exp(-(s - 63) / 4.0) : 0);
        c.status[static_cast<size_t>(s)] = after ? 1 : 0;
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

}  // namespace

class TstWaveAnalysisWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listNamesAndLimit();
    void waveFiles_data();
    void waveFiles();
    void viewRules();
    void exports();
};

void TstWaveAnalysisWindow::listNamesAndLimit()
{
    CaptureList list;
    WaveAnalysisWindow w(list);
    const int first = list.add(StepCapture(), 900, QStringLiteral("Drive"));
    list.add(StepCapture(1), 900, QStringLiteral("Drive"), QStringLiteral("tuned"));
    QCOMPARE(w.LstCaptures->count(), 2);
    QCOMPARE(w.LstCaptures->item(0)->text(), QStringLiteral("Capture 1"));
    QCOMPARE(w.LstCaptures->item(1)->text(), QStringLiteral("tuned"));
    // Two captures shown: a measurement row for speed and torque of each.
    QCOMPARE(w.TblMeasure->rowCount(), 4);

    // Renaming in the list reaches the capture; a blank name is refused.
    w.LstCaptures->item(0)->setText(QStringLiteral("  before  tuning "));
    QCOMPARE(list.find(first)->name, QStringLiteral("before tuning"));
    w.LstCaptures->item(0)->setText(QStringLiteral("   "));
    QCOMPARE(list.find(first)->name, QStringLiteral("before tuning"));
    QCOMPARE(w.LstCaptures->item(0)->text(), QStringLiteral("before tuning"));

    // Unticked, a capture leaves the plots and the tables but stays listed.
    w.LstCaptures->item(0)->setCheckState(Qt::Unchecked);
    QCOMPARE(list.shownCaptures().size(), 1);
    QCOMPARE(w.TblMeasure->rowCount(), 2);
    QCOMPARE(w.TimePlot->pane(0)->chartItem()->series().size(), 1);

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
    QTest::newRow("a waveform file") << WaveFileBytes << true;
    QTest::newRow("one byte short") << WaveFileBytes - 1 << false;
    QTest::newRow("one byte long") << WaveFileBytes + 1 << false;
    QTest::newRow("empty") << 0 << false;
}

void TstWaveAnalysisWindow::waveFiles()
{
    QFETCH(int, bytes);
    QFETCH(bool, taken);
    QTemporaryDir dir;
    CaptureList list;
    WaveAnalysisWindow w(list);
    const int id = list.add(StepCapture(2), 900, QStringLiteral("Drive"));
    const QString saved = dir.filePath(QStringLiteral("saved.wvt"));
    QVERIFY(w.saveWaveFile(id, saved));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QCOMPARE(file.size(), qint64(WaveFileBytes));
    QVERIFY(file.resize(bytes));
    file.close();

    QString message;
    if (!taken) CloseNextMessage(&message);
    QCOMPARE(w.openWaveFile(saved), taken);
    QCOMPARE(list.items().size(), taken ? 2 : 1);
    if (!taken) {
        QCOMPARE(message, saved + QStringLiteral("\nInvalid File"));
        return;
    }
    // The file's capture comes back whole, named by the file.
    const ListedCapture &back = list.items().last();
    QCOMPARE(back.name, QStringLiteral("saved"));
    QCOMPARE(back.capture.speed, list.items().first().capture.speed);
    QCOMPARE(back.capture.torque, list.items().first().capture.torque);
    QCOMPARE(back.capture.status, list.items().first().capture.status);
    QCOMPARE(back.capture.timeBase, 2);
}

void TstWaveAnalysisWindow::viewRules()
{
    CaptureList list;
    WaveAnalysisWindow w(list);
    w.resize(900, 640);
    list.add(StepCapture(), 900, QStringLiteral("Drive"));
    PlotStack *p = w.TimePlot;
    // Time base 0: 4 ms a sample, the trigger at sample 63.
    QCOMPARE(p->xMin(), -63.0 * 4);
    QCOMPARE(p->xMax(), (127 - 63.0) * 4);

    // Cursors stand on samples, and the keyboard steps them one at a time.
    p->setCursor(0, 1.3);
    QCOMPARE(p->cursor(0), 0.0);
    QTest::keyClick(p, Qt::Key_Right);
    QCOMPARE(p->cursor(0), 4.0);
    QTest::keyClick(p, Qt::Key_2);
    QCOMPARE(p->activeCursor(), 1);
    p->setCursor(1, 1e9);
    QCOMPARE(p->cursor(1), (127 - 63.0) * 4);
    QTest::keyClick(p, Qt::Key_Right);
    QCOMPARE(p->cursor(1), (127 - 63.0) * 4);
    QVERIFY(w.LblCursors->text().contains(QStringLiteral("Δt = 252.00 ms")));

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
    QCOMPARE(w.TblMeasure->item(0, 2)->text(), QStringLiteral("0.0 rpm"));  // flat before the step
    p->setCursor(1, 200);
    QVERIFY(w.TblMeasure->item(0, 2)->text() != QStringLiteral("0.0 rpm"));
}

void TstWaveAnalysisWindow::exports()
{
    QTemporaryDir dir;
    CaptureList list;
    WaveAnalysisWindow w(list);
    w.resize(900, 640);

    // Nothing shown: nothing to export, and the user is told.
    QString message;
    CloseNextMessage(&message);
    QVERIFY(!w.exportCsv(dir.filePath(QStringLiteral("none.csv"))));
    QVERIFY(message.contains(QStringLiteral("No capture is shown")));

    list.add(StepCapture(), 900, QStringLiteral("Drive"));
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    QVERIFY(w.exportCsv(csv));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readLine().startsWith("\"Time [ms]\""));
    file.close();

    QVERIFY(w.exportPng(dir.filePath(QStringLiteral("plot.png"))));
    QVERIFY(!QImage(dir.filePath(QStringLiteral("plot.png"))).isNull());
    QVERIFY(w.exportPdf(dir.filePath(QStringLiteral("plot.pdf"))));
    QFile pdf(dir.filePath(QStringLiteral("plot.pdf")));
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5) == "%PDF-");

    // A folder that does not exist: refused with a message, no file.
    CloseNextMessage(&message);
    QVERIFY(!w.exportPng(dir.filePath(QStringLiteral("missing/plot.png"))));
    QVERIFY(message.contains(QStringLiteral("could not be written")));
}

QTEST_MAIN(TstWaveAnalysisWindow)
#include "tst_waveanalysiswindow.moc"
