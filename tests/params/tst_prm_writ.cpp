// The parameter window driven as a user drives it: fields, help, checks, keys,
// maker mode, the transfer through the in-memory port, and the file.

#include "drive/link/drivelink.h"
#include "linktestutil.h"
#include "namedpipe.h"
#include "params/helparea.h"
#include "common/changemark.h"
#include "drive/backups.h"
#include "drive/params/paramfile.h"
#include "params/prm_writ.h"
#include "drive/resources/strings.h"
#include "drive/makermode.h"
#include "drive/params/parametermodel.h"
#include "testservices.h"
#include "uitestutil.h"

#include <QSignalSpy>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The window on a link over the in-memory port, its port open and the opening
// "S" in flight; the file dialog answers from files' answers in a temporary
// folder.
struct Rig : LinkRig {
    QTemporaryDir dir;
    ParameterModel params;
    MakerMode maker;
    TestFileChooser files;
    Prm_Writ w{link, params, maker, files};
    QStringList told;

    Rig()
    {
        QObject::connect(&w, &Prm_Writ::transferRefused, &w, [this](const QString &text) { told << text; });
        link.OpenPort();
        port.written.clear();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }
    QLineEdit *field(int k) { return w.TxtPrm[k]; }
    void setMaker(bool on)
    {
        maker.set(on);
        w.SetMakerMode(on);
    }
    // Focus on field k as a click would give it: its tab first.
    void focus(int k)
    {
        w.SSTabPrm->setCurrentIndex(k / 10);
        field(k)->setFocus(Qt::MouseFocusReason);
        QVERIFY(field(k)->hasFocus());
    }
    int focusedField() const
    {
        for (int k = 0; k < ParamCount; ++k)
            if (w.TxtPrm[k]->hasFocus()) return k;
        return -1;
    }
    // Presses a transfer button and lets the opening "S" be answered, so that
    // the first request goes out.
    void start(int button)
    {
        w.CmdRW[button]->click();
        reply(port, "S;0");
    }
    // Answers every request of a transfer until polling resumes.
    void runTransfer(const std::function<QByteArray(const QString &)> &answer)
    {
        for (int guard = 0; guard < 20; ++guard) {
            const QString last = requests(port).constLast();
            if (last == u"S") return;
            reply(port, answer(last).constData());
        }
        QFAIL("the transfer did not end");
    }
    // A completed read, so that "Export Data" is enabled; answered with zeros.
    void importZeros()
    {
        start(0);
        runTransfer([](const QString &r) { return "R;" + r.section(u';', 1, 1).toLatin1() + ";0;0;0;0;0;0;0;0;0;0"; });
        port.written.clear();
    }
    QStringList sent() const { return requests(port); }
    QString file(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write a test file");
        return f.fileName();
    }
};

}  // namespace

class TstPrmWrit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controls();
    void typeAndLeave_data();
    void typeAndLeave();
    void importFillsEveryField();
    void readEachBlockTwice();
    void backupAndVerify_data();
    void backupAndVerify();
    void backupFailureWritesNothing();
    void exportWrites_data();
    void exportWrites();
    void abandonedTransfer_data();
    void abandonedTransfer();
    void halfWrittenExport_data();
    void halfWrittenExport();
    void garbledReplyNotTaken();
    void refusedWhileATransferRuns();
    void files();
};

void TstPrmWrit::controls()
{
    // Which tab holds a field and its tag are seen when it takes the focus
    // and when it is filled.
    Rig r;
    for (int k = 0; k < ParamCount; ++k) {
        QCOMPARE(r.field(k)->text(), QStringLiteral("0"));
        QCOMPARE(r.w.LblMaxMin[k]->text(), ParamName(k));
        QCOMPARE(r.field(k)->accessibleName(), ParamSpokenName(k));
        QCOMPARE(r.field(k)->isHidden() && r.w.LblMaxMin[k]->isHidden(), k >= 40);
    }
    QVERIFY(r.w.CmdRW[0]->isEnabled() && !r.w.CmdRW[1]->isEnabled());
}

void TstPrmWrit::typeAndLeave_data()
{
    // maker: 0 off, 1 on, 2 ticked while the maker fields are not shown. Each
    // field is checked with its own range and tag when it is left; the checks
    // themselves are tested without the window. The field reached shows its
    // own help alone; the maker set has none.
    QTest::addColumn<int>("maker");
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("shown");
    QTest::newRow("02 below minimum, Enter") << 0 << 2 << "5" << int(Qt::Key_Return) << 3 << " 10";
    QTest::newRow("19 rounds within, keypad Enter") << 0 << 19 << "2500.4" << int(Qt::Key_Enter) << 20 << " 2500.4";
    QTest::newRow("30 lower case, Up") << 0 << 30 << "20a" << int(Qt::Key_Up) << 29 << "20A";
    QTest::newRow("Up on 0 wraps to 39") << 0 << 0 << "7" << int(Qt::Key_Up) << 39 << " 7";
    QTest::newRow("maker Enter on 59 wraps to 0") << 1 << 59 << "x" << int(Qt::Key_Return) << 0 << "x";
    QTest::newRow("45 maker keeps") << 1 << 45 << "12zz!" << int(Qt::Key_Down) << 46 << "12zz!";
    // The focus cannot go to a hidden field 40: field 0 on the first tab takes it.
    QTest::newRow("ticked, fields hidden") << 2 << 39 << "3" << int(Qt::Key_Down) << 0 << "3";
}

void TstPrmWrit::typeAndLeave()
{
    QFETCH(int, maker);
    QFETCH(int, from);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(int, to);
    QFETCH(QString, shown);
    Rig r;
    r.setMaker(maker == 1);
    r.maker.set(maker != 0);
    r.focus(from);
    r.field(from)->clear();
    QTest::keyClicks(r.field(from), typed);
    QCOMPARE(r.field(from)->text(), typed);  // never changed while typing
    QTest::keyClick(r.field(from), Qt::Key(key));
    QCOMPARE(r.focusedField(), to);
    QCOMPARE(r.w.SSTabPrm->currentIndex(), to / 10);
    QCOMPARE(r.field(from)->text(), shown);
    QCOMPARE(r.w.PictureSetu->printed(), to < 40 ? QStringList{LoadResString(500 + to)} : QStringList());
}

void TstPrmWrit::importFillsEveryField()
{
    Rig r;
    r.w.CmdRW[0]->click();
    QVERIFY(!r.w.CmdRW[0]->isEnabled());
    QVERIFY(!r.w.CmdRW[1]->isEnabled());  // keeps its state
    QVERIFY(r.sent().isEmpty());          // waits for the reply in flight
    reply(r.port, "S;0");
    r.runTransfer([&](const QString &request) {
        if (request == u"R;0") return QByteArray("R;0;3E8;FFFF;0000FFFF;FFFFFFFF;7FFFFFFF;A;B;C;D;E");
        const int b = request.mid(2).toInt();
        // Block b carries the values b*100 + i.
        QByteArray text = "R;" + QByteArray::number(b);
        for (int i = 0; i < 10; ++i) text += ';' + QByteArray::number(b * 100 + i, 16).toUpper();
        return text;
    });
    const QList<std::pair<int, const char *>> shown{
        {0, " 1000"}, {1, "-1"},   // four digits are 16 bits
        {2, " 65535"}, {3, "-1"}, {4, " 2147483647"}, {9, " 14"}, {15, " 105"}, {29, " 209"},
        {30, "12C"}, {39, "135"},  // hexadecimal fields
        {31, " 301"}, {45, " 405"}, {59, " 509"}};  // hidden, filled all the same
    for (const auto &[k, text] : shown) QCOMPARE(r.field(k)->text(), QString::fromLatin1(text));
    QVERIFY(r.w.CmdRW[0]->isEnabled() && r.w.CmdRW[1]->isEnabled());
    QCOMPARE(r.link.state().ReadDoneFlags & ReadDone::Parameters, ReadDone::Parameters);
    QCOMPARE(r.link.state().XferIndex, quint8(0));
    QVERIFY(r.link.transferOwner().isEmpty());
}

// "Read Each Block Twice": a block is taken once two replies in a row agree;
// a digit bent into another digit (block 2's first reply) passes the checks
// of a single reply but not the comparison, and the block is read again.
void TstPrmWrit::readEachBlockTwice()
{
    Rig r;
    UserOptions options;
    options.readEachBlockTwice = true;
    r.w.setOptions(&options);
    r.w.CmdRW[0]->click();
    reply(r.port, "S;0");
    int asked = 0;
    r.runTransfer([&](const QString &request) {
        const int b = request.mid(2).toInt();
        const bool bent = b == 2 && asked++ == 0 && request == u"R;2";
        return "R;" + QByteArray::number(b) + ";" + QByteArray::number(bent ? 17 : b * 100 + 7, 16) + ";0;0;0;0;0;0;0;0;0";
    });
    QCOMPARE(r.sent(), (QStringList{"R;0", "R;0", "R;1", "R;1", "R;2", "R;2", "R;2", "R;3", "R;3", "R;4", "R;4", "R;5",
                                    "R;5", "S"}));
    QCOMPARE(r.field(20)->text(), QStringLiteral(" 207"));
    QCOMPARE(r.link.state().ReadDoneFlags & ReadDone::Parameters, ReadDone::Parameters);
}

// With the options on, an export first keeps the values last read as a
// backup file, then writes as always and reads the blocks back; a field the
// drive did not take stays marked. With them off, the sequence is the plain
// one and nothing is kept.
void TstPrmWrit::backupAndVerify_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("driveHas");  // what the read-back shows for parameter 00
    QTest::addColumn<QString>("report");
    QTest::newRow("verified") << true << "3E8" << "Written and verified: 40 parameters";
    QTest::newRow("the drive differs") << true << "7"
                                       << "Written, but 1 of 40 parameters differ on the drive: 00 (sent 1000, drive has 7)";
    QTest::newRow("options off") << false << "" << "Written: 40 parameters";
}

void TstPrmWrit::backupAndVerify()
{
    QFETCH(bool, on);
    QFETCH(QString, driveHas);
    QFETCH(QString, report);
    Rig r;
    qputenv("XDG_DATA_HOME", r.dir.filePath(QStringLiteral("data")).toLocal8Bit());
    const UserOptions options{false, on, on};
    r.w.setOptions(&options);
    QString told;
    connect(&r.w, &Prm_Writ::transferReport, [&](const QString &text) { told = text; });
    r.start(0);
    r.runTransfer([](const QString &request) { return "R;" + request.section(u';', 1, 1).toLatin1() + ";0;5;0;0;0;0;0;0;0;0"; });
    QVERIFY(!IsMarkedChanged(r.field(0)));
    r.field(0)->setText(QStringLiteral(" 1000"));
    QVERIFY(IsMarkedChanged(r.field(0)) && r.field(0)->toolTip().contains(u"was 0"));
    r.port.written.clear();
    r.start(1);
    r.runTransfer([&](const QString &request) {
        if (request == u"R;0") return "R;0;" + driveHas.toLatin1() + ";5;0;0;0;0;0;0;0;0";
        if (request.startsWith(u"R;")) return "R;" + request.section(u';', 1, 1).toLatin1() + ";0;5;0;0;0;0;0;0;0;0";
        return request.section(u';', 0, 0).toLatin1();
    });
    QStringList heads;
    for (const QString &request : r.sent()) heads << request.section(u';', 0, 1);
    QStringList expected{"W;0", "W;1", "W;2", "W;3", "FLASH"};
    if (on) expected += QStringList{"R;0", "R;1", "R;2", "R;3"};
    QCOMPARE(heads, expected + QStringList{"S"});
    QCOMPARE(told, report);
    QCOMPARE(IsMarkedChanged(r.field(0)), driveHas == u"7");
    QVERIFY(!IsMarkedChanged(r.field(1)));
    // The backup holds what was read before the write.
    const QStringList backups = QDir(BackupFolder()).entryList({QStringLiteral("*_parameters.pxt")}, QDir::Files);
    QCOMPARE(backups.size(), on ? 1 : 0);
    if (on) {
        QFile backup(QDir(BackupFolder()).filePath(backups[0]));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        const std::optional<ParamValues> kept = DecodeParamFile(backup.readAll());
        QVERIFY(kept && (*kept)[0] == 0 && (*kept)[1] == 5);
    }
    qunsetenv("XDG_DATA_HOME");
}

void TstPrmWrit::backupFailureWritesNothing()
{
    Rig r;
    qputenv("XDG_DATA_HOME", r.file(QStringLiteral("not-a-folder"), "x").toLocal8Bit());
    const UserOptions options;
    r.w.setOptions(&options);
    r.importZeros();
    ModalAnswerer answer;
    r.w.CmdRW[1]->click();
    QCOMPARE(answer.seen.size(), 1);
    QVERIFY(answer.seen[0].text.contains(u"not-a-folder"));
    reply(r.port, "S;0");
    QCOMPARE(r.sent(), QStringList{"S"});  // no write began
    QVERIFY(r.w.CmdRW[1]->isEnabled());
    qunsetenv("XDG_DATA_HOME");
}

void TstPrmWrit::exportWrites_data()
{
    QTest::addColumn<bool>("maker");
    QTest::addColumn<QString>("switchWhenSent");  // maker mode switched once this block has gone out
    QTest::addColumn<QStringList>("keywords");
    const QStringList four{"W;0", "W;1", "W;2", "W;3"};
    QTest::newRow("user set") << false << "" << four + QStringList{"FLASH"};
    QTest::newRow("on before the fourth reply goes on to block 5") << false << "W;2" << four + QStringList{"W;4", "W;5", "FLASH"};
    // Off once block 4 has gone out: the write ends rather than running past
    // the last block.
    QTest::newRow("off past block 3 ends") << true << "W;4" << four + QStringList{"W;4", "FLASH"};
}

void TstPrmWrit::exportWrites()
{
    QFETCH(bool, maker);
    QFETCH(QString, switchWhenSent);
    QFETCH(QStringList, keywords);
    Rig r;
    r.setMaker(maker);
    r.importZeros();
    r.field(0)->setText(QStringLiteral(" 1000"));
    r.field(12)->setText(QStringLiteral(" 12.5"));
    r.field(30)->setText(QStringLiteral("20a"));
    r.field(50)->setText(QStringLiteral(" 7"));
    r.w.CmdRW[1]->click();
    QVERIFY(!r.w.CmdRW[1]->isEnabled());
    QVERIFY(r.w.CmdRW[0]->isEnabled());  // keeps its state
    reply(r.port, "S;0");
    bool enabledBeforeFlashReply = false;
    r.runTransfer([&](const QString &request) {
        const QString head = request.section(u';', 0, 1);
        if (head == u"W;0") {
            // Each block takes the fields as they are when it is built.
            r.field(5)->setText(QStringLiteral(" 99"));  // block 0 has gone: not sent again
            r.field(15)->setText(QStringLiteral(" 78"));
        }
        if (head == switchWhenSent) r.setMaker(!maker);
        if (request == u"FLASH") enabledBeforeFlashReply = r.w.CmdRW[1]->isEnabled();
        return request.section(u';', 0, 0).toLatin1();
    });
    QStringList sent = r.sent();
    QCOMPARE(sent.takeLast(), QStringLiteral("S"));  // polling resumes
    QStringList heads;  // the requests cut after their block number: "W;3", "FLASH"
    for (const QString &request : sent) heads << request.section(u';', 0, 1);
    QCOMPARE(heads, keywords);
    QCOMPARE(sent[1], QStringLiteral("W;1;0;0;C;0;0;4E;0;0;0;0"));
    QCOMPARE(sent[3], QStringLiteral("W;3;20a;0;0;0;0;0;0;0;0;0"));  // hexadecimal as shown
    if (keywords.contains(u"W;5")) QCOMPARE(sent[5], QStringLiteral("W;5;7;0;0;0;0;0;0;0;0;0"));
    QVERIFY(enabledBeforeFlashReply);
    QVERIFY(r.w.CmdRW[1]->isEnabled());
    QCOMPARE(r.link.state().XferIndex, quint8(0));
    QVERIFY(r.link.transferOwner().isEmpty());
}

void TstPrmWrit::abandonedTransfer_data()
{
    QTest::addColumn<bool>("readBefore");
    QTest::addColumn<int>("button");
    // The link ends a transfer alike on an "ERR" reply and on the time-out's
    // Cancel; its own tests show both.
    QTest::newRow("ERR during export") << true << 1;
    QTest::newRow("ERR during the first import") << false << 0;
}

void TstPrmWrit::abandonedTransfer()
{
    QFETCH(bool, readBefore);
    QFETCH(int, button);
    Rig r;
    if (readBefore) r.importZeros();
    r.start(button);
    reply(r.port, button == 0 ? "R;0;1;2;3;4;5;6;7;8;9;A" : "W");
    reply(r.port, button == 0 ? "R;1;1;2;3;4;5;6;7;8;9;A" : "W");
    QCOMPARE(r.sent().constLast().section(u';', 0, 1), button == 0 ? QStringLiteral("R;2") : QStringLiteral("W;2"));
    reply(r.port, "ERR;3");
    QCOMPARE(r.sent().constLast(), QStringLiteral("S"));
    QCOMPARE(r.link.state().XferIndex, quint8(0));
    QVERIFY(r.link.transferOwner().isEmpty());
    QVERIFY(r.w.CmdRW[0]->isEnabled());
    QCOMPARE(r.w.CmdRW[1]->isEnabled(), readBefore);
    QCOMPARE(r.field(10)->text(), button == 0 ? QStringLiteral(" 1") : QStringLiteral(" 0"));  // what arrived stays
    // A late answer to the abandoned request neither fills nor goes on.
    r.port.written.clear();
    reply(r.port, button == 0 ? "R;2;64;64;64;64;64;64;64;64;64;64" : "W");
    QCOMPARE(r.field(20)->text(), readBefore ? QStringLiteral(" 0") : QStringLiteral("0"));
    QVERIFY(r.sent().filter(QRegularExpression(QStringLiteral("^[RW];"))).isEmpty());
}

// An export refused at block 3 leaves blocks 0-2 of the new values on the
// drive, not saved: the status line says so; with backups on a message says
// it too and offers to write the backup back, which (after a Yes) goes out
// through the same write with the values read before, then FLASH.
void TstPrmWrit::halfWrittenExport_data()
{
    QTest::addColumn<bool>("backups");
    QTest::addColumn<QMessageBox::StandardButton>("confirm");
    QTest::newRow("written back") << true << QMessageBox::Yes;
    QTest::newRow("not confirmed") << true << QMessageBox::No;
    QTest::newRow("backups off") << false << QMessageBox::NoButton;
}

void TstPrmWrit::halfWrittenExport()
{
    QFETCH(bool, backups);
    QFETCH(QMessageBox::StandardButton, confirm);
    Rig r;
    qputenv("XDG_DATA_HOME", r.dir.filePath(QStringLiteral("data")).toLocal8Bit());
    const auto cleanup = qScopeGuard([] { qunsetenv("XDG_DATA_HOME"); });
    const UserOptions options{false, backups, false};
    r.w.setOptions(&options);
    QString told;
    connect(&r.w, &Prm_Writ::transferReport, [&](const QString &text) { told = text; });
    r.start(0);
    r.runTransfer([](const QString &request) { return "R;" + request.section(u';', 1, 1).toLatin1() + ";0;5;0;0;0;0;0;0;0;0"; });
    r.field(0)->setText(QStringLiteral(" 1000"));
    r.start(1);
    for (const char *answer : {"W;0", "W;1", "W;2"}) reply(r.port, answer);
    QCOMPARE(r.sent().constLast().section(u';', 0, 1), QStringLiteral("W;3"));
    r.port.written.clear();
    reply(r.port, "ERR;3");
    const QStringList kept = QDir(BackupFolder()).entryList({QStringLiteral("*_parameters.pxt")}, QDir::Files);
    QCOMPARE(kept.size(), backups ? 1 : 0);
    const QString backup = backups ? QDir::toNativeSeparators(QDir(BackupFolder()).filePath(kept[0])) : QString();
    const QString holds = QStringLiteral("The drive runs blocks 0-2 of the new values, not saved in its memory (no FLASH). ") +
                          (backups ? QStringLiteral("The values before are in ") + backup + u'.'
                                   : QStringLiteral("No backup of the values before was kept."));
    QCOMPARE(told, QStringLiteral("Writing parameters: refused: ERR;3. ") + holds);
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!backups) {
        QVERIFY(!box);
        return;
    }
    QVERIFY(box && box->objectName() == u"HalfWrittenMessage");
    QCOMPARE(box->text(), QStringLiteral("Writing parameters: refused: ERR;3\n\n") + holds);
    auto *back = box->findChild<QPushButton *>(QStringLiteral("CmdWriteBackupBack"));
    QVERIFY(back && back->isVisible());
    back->click();
    QTRY_VERIFY(QApplication::activeModalWidget() && QApplication::activeModalWidget()->objectName() == u"WriteBackConfirm");
    auto *sure = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    QVERIFY(sure->text().contains(backup) && sure->text().contains(u"blocks 0-3"));
    sure->button(confirm)->click();
    reply(r.port, "S;0");
    if (confirm == QMessageBox::No) {
        QVERIFY(r.sent().filter(QRegularExpression(QStringLiteral("^W;"))).isEmpty());
        return;
    }
    // The values read before: parameter 00 was 0, not the 1000 typed.
    QCOMPARE(r.sent().constLast(), QStringLiteral("W;0;0;5;0;0;0;0;0;0;0;0"));
    r.runTransfer([](const QString &request) { return request.section(u';', 0, 0).toLatin1(); });
    QStringList heads;
    for (const QString &request : r.sent()) heads << request.section(u';', 0, 1);
    QCOMPARE(heads, (QStringList{"S", "W;0", "W;1", "W;2", "W;3", "FLASH", "S"}));
    QCOMPARE(told, QStringLiteral("The backup ") + backup + QStringLiteral(" was written back: 40 parameters, saved in the drive's memory"));
    QVERIFY(r.w.CmdRW[0]->isEnabled() && r.w.CmdRW[1]->isEnabled());
}

// A reply to the import that fails its check (another block's) fills no
// field: the link asks about it as about a lost reply, and Retry reads the
// block again.
void TstPrmWrit::garbledReplyNotTaken()
{
    Rig r;
    int asked = 0;
    connect(&r.link, &DriveLink::replyLost, [&] { ++asked; });
    r.start(0);
    reply(r.port, "R;0;1;2;3;4;5;6;7;8;9;A");
    reply(r.port, "R;2;64;64;64;64;64;64;64;64;64;64");  // to R;1
    QCOMPARE(asked, 1);
    QCOMPARE(r.link.garbledReplies(), 1);
    QCOMPARE(r.field(10)->text(), QStringLiteral("0"));
    QCOMPARE(r.field(20)->text(), QStringLiteral("0"));
    r.link.retry();
    QCOMPARE(r.sent(), (QStringList{"R;0", "R;1", "R;1"}));
    r.runTransfer([](const QString &request) { return "R;" + request.section(u';', 1, 1).toLatin1() + ";7;0;0;0;0;0;0;0;0;0"; });
    QCOMPARE(r.field(10)->text(), QStringLiteral(" 7"));
    QCOMPARE(r.field(20)->text(), QStringLiteral(" 7"));
}

void TstPrmWrit::refusedWhileATransferRuns()
{
    Rig r;
    r.importZeros();
    // "Export Data" pressed during a read would take the read's replies for
    // the wrong block; it is refused and the read goes on untouched.
    r.start(0);
    reply(r.port, "R;0;1;1;1;1;1;1;1;1;1;1");
    QVERIFY(r.w.CmdRW[1]->isEnabled());
    r.w.CmdRW[1]->click();
    QCOMPARE(r.told.size(), 1);
    r.runTransfer([](const QString &request) {
        const QByteArray b = request.mid(2).toLatin1();
        return "R;" + b + ";" + b + ";2;2;2;2;2;2;2;2;2";
    });
    QCOMPARE(r.sent(), (QStringList{"R;0", "R;1", "R;2", "R;3", "R;4", "R;5", "S"}));
    QCOMPARE(r.field(10)->text(), QStringLiteral(" 1"));
    QCOMPARE(r.field(50)->text(), QStringLiteral(" 5"));
}

void TstPrmWrit::files()
{
    Rig r;
    ModalAnswerer answer;
    const QString path = r.file(QStringLiteral("set.pxt"), QByteArray(512, '\x55'));  // replaced whole
    r.field(2)->setText(QStringLiteral(" 5"));    // below its minimum of 10
    r.field(12)->setText(QStringLiteral(" 12.5"));
    r.field(38)->setText(QStringLiteral("10"));   // hexadecimal: 16
    r.field(59)->setText(QStringLiteral("-1"));   // hidden maker field
    r.files.answers << path;
    r.w.CmdFile[1]->click();
    QVERIFY(r.w.CmdFile[1]->hasFocus());
    ParamValues expected{};
    expected[2] = 5;
    expected[12] = 12;
    expected[38] = 16;
    expected[59] = -1;
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), EncodeParamFile(expected));

    // A pipe (never opened) and a file one byte too long: each told, and the
    // dialog comes again. The opened file shows hexadecimal or decimal forms,
    // unchecked until the field is left.
    const QString pipePath = r.dir.filePath(QStringLiteral("pipe.pxt"));
    const NamedPipe pipe(pipePath);
    const QString bad = r.file(QStringLiteral("bad.pxt"), QByteArray(241, '\x01'));
    for (QLineEdit *field : r.w.TxtPrm) field->setText(QStringLiteral("9"));
    r.files.answers << pipePath << bad << path;
    QSignalSpy status(&r.w, &Prm_Writ::transferReport);
    r.w.CmdFile[0]->click();
    // The value a write would change is named on the status line.
    QCOMPARE(status.size(), 1);
    QVERIFY2(status[0][0].toString().contains(u": 10 values are outside their ranges and would be written as the entry "
                                              u"checks change them: parameter 02 = 5 is outside its range 10/9999; "),
             qPrintable(status[0][0].toString()));
    QVERIFY(pipe.made() && !pipe.opened());
    QCOMPARE(answer.told(),
             (QStringList{"critical error: " + pipePath + "\nInvalid File", "critical error: " + bad + "\nInvalid File"}));
    const QStringList shown{r.field(0)->text(), r.field(2)->text(), r.field(12)->text(), r.field(38)->text(),
                            r.field(59)->text()};
    QCOMPARE(shown, (QStringList{" 0", " 5", " 12", "10", "-1"}));
    QApplication::setActiveWindow(&r.w);  // back from the message box
    r.focus(2);
    r.focus(3);
    QCOMPARE(r.field(2)->text(), QStringLiteral(" 10"));

    // A path whose folder is a file cannot be written: the reason is told and
    // nothing is left behind.
    const QString blocker = r.file(QStringLiteral("plain"), "keep");
    r.files.answers << blocker + QStringLiteral("/set.pxt");
    r.w.CmdFile[1]->click();
    QCOMPARE(answer.told().size(), 3);
    QVERIFY(answer.told()[2].startsWith("critical error: " + blocker + "/set.pxt\nThe file could not be written: "));
    QCOMPARE(QDir(r.dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"bad.pxt", "plain", "set.pxt"}));
}

QTEST_MAIN(TstPrmWrit)
#include "tst_prm_writ.moc"
