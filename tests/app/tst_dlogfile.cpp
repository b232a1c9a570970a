#include "app/dlogfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TstDlogFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void qtFilter_data();
    void qtFilter();
    void chosenFile_data();
    void chosenFile();
    void cancelEndsSilently();
};

void TstDlogFile::qtFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qt");
    QTest::newRow("points") << "Tavix-DRIVE point table files(*.ptt)|*.ptt" << "Tavix-DRIVE point table files(*.ptt)";
    QTest::newRow("pattern not in text") << "Waves|*.wvt" << "Waves (*.wvt)";
    QTest::newRow("no bar") << "All (*)" << "All (*)";
}

void TstDlogFile::qtFilter()
{
    QFETCH(QString, filter);
    QFETCH(QString, qt);
    QCOMPARE(DlogFile::qtFilter(filter), qt);
}

void TstDlogFile::chosenFile_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("withExtensionExists");
    QTest::addColumn<QString>("result");
    QTest::newRow("save bare name") << true << "sub/table" << false << "sub/table.ptt";
    QTest::newRow("save with extension") << true << "sub/table.ptt" << false << "sub/table.ptt";
    QTest::newRow("save other extension kept") << true << "sub/table.bak" << false << "sub/table.bak";
    QTest::newRow("open bare finds extension") << false << "sub/table" << true << "sub/table.ptt";
    QTest::newRow("open bare name missing") << false << "sub/table" << false << "sub/table";
}

void TstDlogFile::chosenFile()
{
    QFETCH(bool, save);
    QFETCH(QString, typed);
    QFETCH(bool, withExtensionExists);
    QFETCH(QString, result);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    if (withExtensionExists) {
        QFile f(dir.filePath(QStringLiteral("sub/table.ptt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QDir::setCurrent(dir.path());
    DlogFile dialog(nullptr, QStringLiteral("Tavix-DRIVE point table files(*.ptt)|*.ptt"), QStringLiteral("ptt"));
    QCOMPARE(dialog.initDir(), QDir::currentPath());
    bool askedSave = !save;
    dialog.chooser = [&](bool s) {
        askedSave = s;
        return std::optional<QString>(typed);
    };
    const std::optional<QString> chosen = save ? dialog.ShowSave() : dialog.ShowOpen();
    QCOMPARE(askedSave, save);
    QVERIFY(chosen);
    const QString full = QDir(dir.path()).absoluteFilePath(result);
    QCOMPARE(*chosen, full);
    QCOMPARE(dialog.FileName(), full);
    // As with the system's dialog, the file's folder becomes the current directory.
    QCOMPARE(QDir::currentPath(), QDir(dir.path()).absoluteFilePath(QStringLiteral("sub")));
}

void TstDlogFile::cancelEndsSilently()
{
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    DlogFile dialog(nullptr, QStringLiteral("Waves|*.wvt"), QStringLiteral("wvt"));
    dialog.chooser = [](bool) { return std::optional<QString>(); };
    QVERIFY(!dialog.ShowOpen());
    QVERIFY(!dialog.ShowSave());
    QVERIFY(dialog.FileName().isEmpty());
    QCOMPARE(QDir::currentPath(), QDir(dir.path()).absolutePath());
}

QTEST_MAIN(TstDlogFile)
#include "tst_dlogfile.moc"
