// Faults found by the fuzz targets and the fault soak, each with the input
// that showed it.

#include "app/mditbl.h"
#include "app/numtext.h"
#include "link/memoryport.h"
#include "link/titlebar.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "wave/hmon.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <limits>

class TstRegress : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void displayFormOfExtremes_data();
    void displayFormOfExtremes();
    void failedSaveIsTold_data();
    void failedSaveIsTold();
};

void TstRegress::displayFormOfExtremes_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double max = std::numeric_limits<double>::max();
    // An infinity used to end the program (no exponent to read in "inf").
    QTest::newRow("plus infinity") << inf << " 1.79769313486232E+308";
    QTest::newRow("minus infinity") << -inf << "-1.79769313486232E+308";
    QTest::newRow("largest") << max << " 1.79769313486232E+308";
    QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min() << " 4.94065645841247E-324";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << " 0";
}

void TstRegress::displayFormOfExtremes()
{
    QFETCH(double, value);
    QFETCH(QString, shown);
    QCOMPARE(StrText(value), shown);
    // What is shown reads back as a finite number.
    QVERIFY(std::isfinite(ValText(shown)));
}

void TstRegress::failedSaveIsTold_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<QString>("name");
    QTest::newRow("parameters") << 0 << "in/missing/folder.pxt";
    QTest::newRow("point table") << 1 << "in/missing/folder.ptt";
    // The waveform window used to say nothing, as if the file had been kept.
    QTest::newRow("waveform") << 2 << "in/missing/folder.wvt";
    QTest::newRow("waveform onto a folder") << 2 << "";
}

void TstRegress::failedSaveIsTold()
{
    QFETCH(int, window);
    QFETCH(QString, name);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    MemoryPort port;
    MDItbl app(port);
    app.titleBar->TimerDateTime.stop();
    const QString path = dir.filePath(name);
    DlogFile *dialogs[] = {&app.prmWrit->DlogFile, &app.tblWrit->dlogFile, &app.hMon->DlogFile};
    QPushButton *save[] = {app.prmWrit->CmdFile[1], app.tblWrit->CmdFile[1], app.hMon->CmdFile[1]};
    dialogs[window]->chooser = [path](bool) { return std::optional<QString>(path); };

    QStringList told;
    QTimer reader;
    connect(&reader, &QTimer::timeout, this, [&told] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); box && box->isVisible()) {
            told << box->objectName();
            box->done(QMessageBox::Ok);
        }
    });
    reader.start(5);
    save[window]->click();
    QCOMPARE(told, QStringList{QStringLiteral("SaveFailedMessage")});
}

QTEST_MAIN(TstRegress)
#include "tst_regress.moc"
