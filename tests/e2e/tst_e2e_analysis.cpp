// The waveform analysis against the simulated drive: a capture of a jog start
// joins the list, and its speed shows the step the drive's loops make of it —
// with loose gains, a rise time, an overshoot and a settling time of
// plausible size.
// With ORVEX_SCREENSHOT_DIR set, the window is saved there as analysis.png.

#include "e2eharness.h"

#include "common/plotview.h"
#include "drive/wave/capturelist.h"
#include "tools/waveanalysiswindow.h"
#include "wave/hmon.h"
#include "wave/picturebox.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>

class TstE2eAnalysis : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void jogStartStep();
};

void TstE2eAnalysis::jogStartStep()
{
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    QVERIFY(h.waitForReply(QStringLiteral("S;")));
    HMon *w = h.window().hMon;
    // Triggered by the speed growing forward, 0.1 s a division.
    w->CmbTrig->setCurrentIndex(0);
    h.window().wave.DialPos[2] = 1;
    h.activate(w);
    // A stiff position loop over a soft speed loop (gains 02 = 120, 03 = 100):
    // the speed overshoots its set value when the jog starts.
    h.withModel([](sim::DriveModel &m) {
        m.handle("W;0;7530;14;78;64;28;0;0;0;32;0");
        return m.handle("SVON");
    });
    QTest::mouseClick(w->CmdRun, Qt::LeftButton);
    h.mark();
    QVERIFY(h.waitForRequest(QStringLiteral("T;A0;F;0")));
    h.idle(600);  // the samples before the trigger
    h.withModel([](sim::DriveModel &m) { return m.handle("PJOG"); });
    QVERIFY(h.waitUntil([&] { return w->PictYomitorichu->isHidden(); }, 10000));

    // The upload is listed with its time base, before the window is opened.
    CaptureList &list = *h.window().captures;
    QCOMPARE(list.items().size(), 1);
    QCOMPARE(list.items().first().capture.timeBase, 1);
    QCOMPARE(list.items().first().origin, QStringLiteral("Drive"));

    // A double-click on a plot of the waveform monitor opens the analysis;
    // later the Tools menu brings the same window back.
    QTest::mouseDClick(w->Picture1[0], Qt::LeftButton);
    WaveAnalysisWindow *a = h.window().waveAnalysis;
    QVERIFY(a);
    QVERIFY(a->isVisible());
    h.activate(w);
    h.window().mnuTools->findChild<QAction *>(QStringLiteral("mnuWaveAnalysis"))->trigger();
    QCOMPARE(h.window().waveAnalysis, a);
    QCOMPARE(h.window().activeTag(), a->tag());
    QCOMPARE(a->CmbSpan->currentText(), QStringLiteral("Whole Capture"));  // by default
    const QAbstractItemModel *t = a->TblMeasure->model();
    QCOMPARE(t->rowCount(), 2);
    const auto cell = [t](const QString &header) {
        for (int c = 0; c < t->columnCount(); ++c)
            if (t->headerData(c, Qt::Horizontal).toString() == header) return t->index(0, c).data().toString();
        return QString();
    };
    const auto number = [](const QString &text) {
        bool ok = false;
        const double v = text.section(QLatin1Char(' '), 0, 0).toDouble(&ok);
        return ok ? v : -1.0;
    };
    const QString report = TableText(*t);
    if (const QByteArray dir = qgetenv("ORVEX_SCREENSHOT_DIR"); !dir.isEmpty()) {
        h.window().resize(1400, 900);
        h.idle(200);
        h.window().grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/analysis.png"));
        a->CmbView->setCurrentIndex(1);
        h.idle(200);
        h.window().grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/spectrum.png"));
        a->CmbView->setCurrentIndex(0);
        qInfo().noquote() << report << a->TimePlot->xMin() << a->TimePlot->xMax();
    }
    // The jog runs at its set speed after the step; the figures are there.
    QVERIFY2(number(cell(QStringLiteral("After step"))) > 100, qPrintable(report));
    const double rise = number(cell(QStringLiteral("Rise 10-90 %")));
    QVERIFY2(rise > 0 && rise < 800, qPrintable(report));
    const double overshoot = number(cell(QStringLiteral("Overshoot")));
    QVERIFY2(overshoot > 2 && overshoot < 100, qPrintable(report));
    const double settling = number(cell(QStringLiteral("Settling")));
    QVERIFY2(settling > rise && settling < 1000, qPrintable(report));

    // Fit, zoom and the cursors' read-out.
    a->TimePlot->fit();
    const double span = a->TimePlot->xMax() - a->TimePlot->xMin();
    QTest::keyClick(a->TimePlot, Qt::Key_Plus);
    QVERIFY(a->TimePlot->xMax() - a->TimePlot->xMin() < span * 0.6);
    QTest::keyClick(a->TimePlot, Qt::Key_Home);
    QCOMPARE(a->TimePlot->xMax() - a->TimePlot->xMin(), span);
    QVERIFY(a->LblCursors->text().startsWith(QStringLiteral("t1 = ")));
    QCOMPARE(a->TblCursor->model()->rowCount(), 3);

}

QTEST_MAIN(TstE2eAnalysis)
#include "tst_e2e_analysis.moc"
