// Files written whole or not at all, on a disk with room and on a full one.

#include "drive/savefile.h"
#include "fulldisk.h"

#include <QFile>
#include <QTest>

class TstSaveFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fullDiskKeepsTheOldFile_data();
    void fullDiskKeepsTheOldFile();
    void writesWhole();
    void fillThatFailsSaysWhy();
};

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

}  // namespace

void TstSaveFile::fullDiskKeepsTheOldFile_data()
{
    QTest::addColumn<QByteArray>("old");  // "<none>": no file there before
    QTest::addColumn<int>("size");
    QTest::newRow("a good parameter file stays") << QByteArray(240, 'p') << 240;
    QTest::newRow("a short file stays") << QByteArray("ab") << 240;
    QTest::newRow("no file is left behind") << QByteArray("<none>") << 512;
    QTest::newRow("a large file stays") << QByteArray(8000, 'w') << 100000;
}

void TstSaveFile::fullDiskKeepsTheOldFile()
{
    QFETCH(QByteArray, old);
    QFETCH(int, size);
    FullDisk disk;
    const QString path = disk.path(QStringLiteral("kept.bin"));
    if (old != "<none>") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
    }
    disk.fill();
    const SaveResult whole = SaveFileWhole(path, QByteArray(size, 'n'));
    const SaveResult with = SaveFileWith(path, [size](QIODevice &d, QString *) {
        return d.write(QByteArray(size, 'm')) == size;
    });
    disk.empty();
    QVERIFY2(!whole.ok && !with.ok, qPrintable(disk.how()));
    QCOMPARE(whole.path, path);
    QVERIFY2(!whole.reason.isEmpty() && whole.reason != u"not written", qPrintable(whole.reason));
    QCOMPARE(contents(path), old);
    // Nothing of the attempt stays beside it.
    QCOMPARE(QDir(disk.path(QString())).entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden),
             old == "<none>" ? QStringList() : QStringList{QStringLiteral("kept.bin")});
}

void TstSaveFile::writesWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.ptt"));
    QVERIFY(SaveFileWhole(path, QByteArray(512, 'a')).ok);
    QVERIFY(SaveFileWhole(path, QByteArray(3, 'b')).ok);  // a shorter file replaces it whole
    QCOMPARE(contents(path), QByteArray(3, 'b'));
    const SaveResult nowhere = SaveFileWhole(dir.filePath(QStringLiteral("missing/f.ptt")), "x");
    QVERIFY(!nowhere.ok);
    QVERIFY(nowhere.error().contains(QStringLiteral("missing/f.ptt")));
}

void TstSaveFile::fillThatFailsSaysWhy()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.pdf"));
    QVERIFY(SaveFileWhole(path, "old").ok);
    const SaveResult r = SaveFileWith(path, [](QIODevice &d, QString *why) {
        d.write("half");
        *why = QStringLiteral("the page could not be drawn");
        return false;
    });
    QVERIFY(!r.ok);
    QCOMPARE(r.error(), path + QStringLiteral(": the page could not be drawn"));
    QCOMPARE(contents(path), QByteArray("old"));
}

QTEST_GUILESS_MAIN(TstSaveFile)
#include "tst_savefile.moc"
