// The port file and the port dialog, and the file dialog whose folder the
// port file follows.

#include "common/dlogfile.h"
#include "fulldisk.h"
#include "app/portfile.h"
#include "app/portinp.h"
#include "linktestutil.h"
#include "namedpipe.h"
#include "testservices.h"
#include "uitestutil.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/inotify.h>

namespace {

void writeFile(const QByteArray &bytes)
{
    QFile f(PortFilePath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile()
{
    QFile f(PortFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The names of the files of a folder opened while it lives.
class OpenedFiles {
public:
    explicit OpenedFiles(const QString &dir) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch(m_fd, QFile::encodeName(dir).constData(), IN_OPEN);
    }
    ~OpenedFiles() { ::close(m_fd); }
    QStringList names() const
    {
        QStringList out;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < n;) {
                const auto *e = reinterpret_cast<const inotify_event *>(buffer + at);
                if (e->len > 0 && !(e->mask & IN_ISDIR)) out << QString::fromLocal8Bit(e->name);
                at += ssize_t(sizeof(inotify_event) + e->len);
            }
        }
        return out;
    }

private:
    int m_fd;
};

}  // namespace

class TstPortFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void readPortFile_data();
    void readPortFile();
    void dialog_data();
    void dialog();
    void dialogOnFullDisk();
    void chosenFile_data();
    void chosenFile();
    void dialogOpensNoFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TstPortFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir::setCurrent(m_dir->path());
}

void TstPortFile::readPortFile_data()
{
    QTest::addColumn<QByteArray>("content");  // null: no file
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("offline");
    QTest::addColumn<bool>("ours");  // exactly as the program writes these settings
    QTest::newRow("port 3 online") << QByteArray(" 3 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n") << 3 << 0 << true;
    QTest::newRow("port 12 offline") << QByteArray(" 12 \r\n 1 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n") << 12 << 1 << true;
    QTest::newRow("blank lines and blanks") << QByteArray("\n  9   \n\n 1\n") << 9 << 1 << false;
    QTest::newRow("no file") << QByteArray() << 1 << 0 << false;
    QTest::newRow("junk") << QByteArray("abc") << 1 << 0 << false;
    QTest::newRow("no room in 16 bits") << QByteArray("99999\n1") << 1 << 0 << false;
}

void TstPortFile::readPortFile()
{
    QFETCH(QByteArray, content);
    QFETCH(int, port);
    QFETCH(int, offline);
    QFETCH(bool, ours);
    if (!content.isNull()) writeFile(content);
    PortSettings s;
    s.PortNo = 9;
    s.OfflineMode = 1;
    s.SavedPortNo = 9;
    ReadPortFile(s);
    QCOMPARE(int(s.PortNo), port);
    QCOMPARE(int(s.OfflineMode), offline);
    // The saved pair is port 1, online, whatever the file holds.
    QCOMPARE(int(s.SavedPortNo), 1);
    QCOMPARE(int(s.SavedOffline), 0);
    if (!ours) return;
    QFile::remove(PortFilePath());
    WritePortFile(s);
    QCOMPARE(readFile(), content);
}

struct DialogRig : LinkRig {
    PortInp dialog{link, [] { return QList<PortEntry>{{1, "/dev/ttyS0", "built in"}, {3, "/dev/pts/7", "command line"}}; }};
};

void TstPortFile::dialog_data()
{
    QTest::addColumn<QByteArray>("startFile");  // read at start; empty: none
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("tick");             // "Offline Mode"
    QTest::addColumn<QString>("action");        // ok, enter, enter on tick, cancel, close
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("offline");
    QTest::addColumn<QByteArray>("file");       // its first two lines; empty: none written
    QTest::addColumn<int>("messages");
    QTest::newRow("3.9 selects 3, Enter is OK") << QByteArray() << "3.9" << false << "enter" << 3 << 0 << QByteArray(" 3 \r\n 0 \r\n") << 0;
    QTest::newRow("rounded down") << QByteArray() << "-2.5" << false << "ok" << -3 << 0 << QByteArray("-3 \r\n 0 \r\n") << 0;
    QTest::newRow("Enter on the tick is OK") << QByteArray() << "8" << false << "enter on tick" << 8 << 0
                                             << QByteArray(" 8 \r\n 0 \r\n") << 0;
    // Offline closes the port at once, and is saved as the pair to go back to.
    QTest::newRow("offline") << QByteArray() << "2" << true << "ok" << 2 << 1 << QByteArray(" 2 \r\n 1 \r\n") << 0;
    // The settings have no room for it: the dialog says so and stays.
    QTest::newRow("no room") << QByteArray() << "40000" << false << "ok" << 1 << 0 << QByteArray() << 1;
    QTest::newRow("close box changes nothing") << QByteArray() << "9" << false << "close" << 1 << 0 << QByteArray() << 0;
    // Started with port 4, offline: the saved pair stays port 1, online, so
    // Cancel switches to port 1, online, and writes that.
    QTest::newRow("cancel after port 4 offline") << QByteArray(" 4 \r\n 1 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n") << "7" << false
                                                  << "cancel" << 1 << 0 << QByteArray(" 1 \r\n 0 \r\n") << 0;
}

void TstPortFile::dialog()
{
    QFETCH(QByteArray, startFile);
    QFETCH(QString, typed);
    QFETCH(bool, tick);
    QFETCH(QString, action);
    QFETCH(int, port);
    QFETCH(int, offline);
    QFETCH(QByteArray, file);
    QFETCH(int, messages);
    if (!startFile.isEmpty()) writeFile(startFile);
    DialogRig r;
    ReadPortFile(r.settings);
    QFile::remove(PortFilePath());
    r.port.open(1);
    r.dialog.show();  // filled from the settings
    QCOMPARE(r.dialog.TxtPortNo->text(), QString::number(r.settings.PortNo));
    QCOMPARE(r.dialog.ChkOffLine->isChecked(), r.settings.OfflineMode != 0);
    r.dialog.TxtPortNo->setText(typed);
    r.dialog.ChkOffLine->setChecked(tick);
    ModalAnswerer answer;
    if (action == u"ok") r.dialog.CmdOKCancel[0]->click();
    else if (action == u"cancel") r.dialog.CmdOKCancel[1]->click();
    else if (action == u"enter") QTest::keyClick(r.dialog.TxtPortNo, Qt::Key_Return);
    else if (action == u"enter on tick") QTest::keyClick(r.dialog.ChkOffLine, Qt::Key_Enter);
    else r.dialog.close();
    QCOMPARE(answer.seen.size(), messages);
    QCOMPARE(int(r.settings.PortNo), port);
    QCOMPARE(int(r.settings.OfflineMode), offline);
    QCOMPARE(int(r.settings.SavedPortNo), offline ? port : 1);
    QCOMPARE(int(r.settings.SavedOffline), offline);
    QCOMPARE(r.dialog.isVisible(), messages > 0);
    // OK and Cancel close the port; the next tick opens the one chosen.
    QCOMPARE(r.port.isOpen(), file.isEmpty());
    if (file.isEmpty()) QVERIFY(!QFile::exists(PortFilePath()));
    else QVERIFY2(readFile().startsWith(file), readFile().constData());
}

void TstPortFile::dialogOnFullDisk()
{
    FullDisk disk;
    QDir::setCurrent(disk.path(QString()));
    const QByteArray old(" 4 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n");
    writeFile(old);
    disk.fill();
    DialogRig r;
    ReadPortFile(r.settings);
    r.dialog.show();
    r.dialog.TxtPortNo->setText(QStringLiteral("6"));
    ModalAnswerer answer;
    r.dialog.CmdOKCancel[0]->click();
    disk.empty();
    QDir::setCurrent(m_dir->path());
    // The choice holds for this run, the old file stays, and the user hears why.
    QCOMPARE(int(r.settings.PortNo), 6);
    QVERIFY(!r.dialog.isVisible());
    QCOMPARE(answer.seen.size(), 1);
    QVERIFY2(answer.seen.first().text.contains(QStringLiteral("cp.dat")), qPrintable(answer.seen.first().text));
    QFile f(disk.path(QStringLiteral("cp.dat")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), old);
}

void TstPortFile::chosenFile_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("typed");  // null: the user cancels
    QTest::addColumn<bool>("withExtensionExists");
    QTest::addColumn<QString>("result");
    QTest::newRow("save bare name") << true << "sub/table" << false << "sub/table.ptt";
    QTest::newRow("save other extension kept") << true << "sub/table.bak" << false << "sub/table.bak";
    QTest::newRow("open bare finds extension") << false << "sub/table" << true << "sub/table.ptt";
    QTest::newRow("open bare name missing") << false << "sub/table" << false << "sub/table";
    QTest::newRow("open cancelled") << false << QString() << true << QString();
}

void TstPortFile::chosenFile()
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
    const QString filter = QStringLiteral("Tavix-DRIVE point table files(*.ptt)|*.ptt");
    QCOMPARE(DlogFile::qtFilter(filter), QStringLiteral("Tavix-DRIVE point table files(*.ptt)"));
    QCOMPARE(DlogFile::qtFilter(QStringLiteral("Waves|*.wvt")), QStringLiteral("Waves (*.wvt)"));  // pattern not in the text
    TestFileChooser files;
    DlogFile dialog(nullptr, files, filter, QStringLiteral("ptt"));
    QCOMPARE(dialog.initDir(), QDir::currentPath());
    files.answers << (typed.isNull() ? std::nullopt : std::optional<QString>(typed));
    const std::optional<QString> chosen = save ? dialog.ShowSave() : dialog.ShowOpen();
    QCOMPARE(files.asked.size(), 1);
    QCOMPARE(files.asked[0].save, save);
    // A cancel ends the operation silently: no name, the directory unchanged.
    const QString full = result.isNull() ? QString() : QDir(dir.path()).absoluteFilePath(result);
    QCOMPARE(chosen.value_or(QString()), full);
    QCOMPARE(chosen.has_value(), !result.isNull());
    QCOMPARE(dialog.FileName(), full);
    // The file's folder becomes the current directory once the file has been
    // read or written, not when it is chosen.
    QCOMPARE(QDir::currentPath(), QDir(dir.path()).absolutePath());
    dialog.commit();
    QCOMPARE(QDir::currentPath(), QDir(dir.path()).absoluteFilePath(result.isNull() ? QString() : QStringLiteral("sub")));
}

void TstPortFile::dialogOpensNoFile()
{
    // A folder like /proc: names that do not tell what the files hold, and a
    // pipe nobody writes to.
    QTemporaryDir dir;
    NamedPipe pipe(dir.filePath(QStringLiteral("pipe.ptt")));
    QVERIFY(pipe.made());
    for (const char *name : {"table.ptt", "status"}) {
        QFile f(dir.filePath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("#!/bin/sh\n") > 0);
    }
    const OpenedFiles opened(dir.path());
    DialogFileChooser files;
    DlogFile dialog(nullptr, files, QStringLiteral("Tavix-DRIVE point table files(*.ptt)|*.ptt"), QStringLiteral("ptt"));
    dialog.setInitDir(dir.path());

    // The program goes on while the folder is listed; Escape closes the dialog.
    QElapsedTimer clock;
    clock.start();
    int ticks = 0;
    bool listed = false;
    QTimer user;
    connect(&user, &QTimer::timeout, this, [&] {
        ++ticks;
        auto *shown = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!shown) return;
        const auto *model = shown->findChild<QFileSystemModel *>();
        listed = model && model->rowCount(model->index(dir.path())) > 0;
        if ((listed && ticks > 10) || clock.elapsed() > 5000) QTest::keyClick(shown, Qt::Key_Escape);
    });
    user.start(10);
    QVERIFY(!dialog.ShowOpen());
    QVERIFY(listed);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    const QStringList names = opened.names();
    QVERIFY2(names.isEmpty(), qPrintable(names.join(u' ')));
    QVERIFY(!pipe.opened());
    QCOMPARE(QDir::currentPath(), m_dir->path());  // a cancel moves nothing
}

QTEST_MAIN(TstPortFile)
#include "tst_portfile.moc"
