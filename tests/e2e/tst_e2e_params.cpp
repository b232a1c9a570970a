// The parameter window against the simulated drive: reading all sixty
// parameters, and writing edits that survive a power cycle. The parameter
// file is the window's own test.

#include "e2eharness.h"
#include "drive/params/paramtext.h"
#include "params/prm_writ.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

QStringList fieldTexts(Prm_Writ &w)
{
    QStringList texts;
    for (QLineEdit *f : w.TxtPrm) texts << f->text();
    return texts;
}

// What the fields show for the drive's working parameters.
QStringList driveTexts(E2eHarness &h)
{
    const sim::Parameters p = h.withModel([](sim::DriveModel &m) { return m.parameters(); });
    QStringList texts;
    for (int k = 0; k < ParamCount; ++k) texts << FieldText(p[k], ParamIsHex(k));
    return texts;
}

// Once the drive answers the poll, presses "Import Data" and waits for the
// read to complete.
bool importAll(E2eHarness &h)
{
    Prm_Writ &w = *h.window().prmWrit;
    h.mark();
    if (!h.waitUntil([&] { return h.replies().filter(QRegularExpression(QStringLiteral("^S;"))).size() >= 2; }, 6000))
        return false;
    h.mark();
    w.CmdRW[0]->click();
    return h.waitUntil([&] { return w.CmdRW[0]->isEnabled() && h.replies().filter(QStringLiteral("R;5;")).size() == 1; });
}

}  // namespace

class TstE2eParams : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void editsSurviveAPowerCycle();
    void garbledReplyReadAgain();
    void halfWrittenAndWrittenBack();
};

void TstE2eParams::editsSurviveAPowerCycle()
{
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    Prm_Writ &w = *h.window().prmWrit;
    QVERIFY(importAll(h));
    QCOMPARE(fieldTexts(w), driveTexts(h));

    h.window().SetMakerMode(true);  // all six blocks are written
    const QList<std::pair<int, QString>> edits{{0, " 12345"}, {2, " 12.5"}, {17, "-123456"}, {30, "20A"},
                                               {38, "FFF"},   {45, " 2048"}, {58, " 250"}};
    for (const auto &[k, text] : edits) w.TxtPrm[k]->setText(text);
    // Every poll is refused meanwhile: only a refusal of its own requests
    // would end the write.
    sim::FaultConfig refusePolls;
    refusePolls.refuseKeywords = {"S", "IO"};
    h.setFaults(refusePolls);
    h.mark();
    QVERIFY(h.waitUntil([&] {
        const auto t = h.transcript();
        return std::any_of(t.begin(), t.end(), [](const sim::TranscriptEntry &e) { return e.note == "refused"; });
    }));
    h.mark();
    w.CmdRW[1]->click();
    QVERIFY(h.waitForReply(QStringLiteral("FLASH")));
    QCOMPARE(h.requests().filter(QRegularExpression(QStringLiteral("^W;|^FLASH"))).size(), 7);
    h.clearFaults();

    h.drive().powerCycle();
    for (QLineEdit *f : w.TxtPrm) f->setText(QStringLiteral("0"));
    QVERIFY(importAll(h));
    const QStringList shown = fieldTexts(w);
    for (const auto &[k, text] : edits) QCOMPARE(shown[k], k == 2 ? QStringLiteral(" 12") : text);  // sent rounded half to even
    QCOMPARE(shown, driveTexts(h));
}

// A line that garbles the reply to "R;0" (every character of it changed):
// the reply is not taken, the user is asked as for a lost reply, Retry reads
// the block again, and the import shows exactly what the drive holds; the
// status bar counts the garbled reply.
void TstE2eParams::garbledReplyReadAgain()
{
    E2eHarness h;
    QVERIFY2(h.ok() && h.waitForReply(QStringLiteral("S;")), qPrintable(h.error()));
    h.retryLostReply = [] { return true; };
    Prm_Writ &w = *h.window().prmWrit;
    auto *count = h.window().findChild<QLabel *>(QStringLiteral("garbledCount"));
    QVERIFY(count && count->isHidden());
    // Garbled until the first reply that is checked comes; the polls' replies
    // before it are taken as they come.
    QObject::connect(&h.link(), &DriveLink::replyGarbled, &h.link(), [&h] { h.clearFaults(); });
    sim::FaultConfig garble;
    garble.garbleRate = 1;
    h.setFaults(garble);
    h.mark();
    w.CmdRW[0]->click();
    QVERIFY(h.waitUntil([&] { return w.CmdRW[0]->isEnabled(); }));
    QCOMPARE(h.requests().filter(QRegularExpression(QStringLiteral("^R;"))),
             (QStringList{"R;0", "R;0", "R;1", "R;2", "R;3", "R;4", "R;5"}));
    QCOMPARE(fieldTexts(w), driveTexts(h));
    QCOMPARE(h.link().garbledReplies(), 1);
    QVERIFY(count->isVisible());
    QCOMPARE(count->text(), QStringLiteral("1 garbled reply not taken"));
    QVERIFY(count->toolTip().contains(u"the reply to R;0"));
}

// The drive refuses block 3 of an export (a value it does not take): it runs
// blocks 0-2 of the new values without having saved them. The status line
// and a message say so; "Write Backup Back", confirmed, puts the values read
// before back on the drive and into its memory.
void TstE2eParams::halfWrittenAndWrittenBack()
{
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    MDItbl &main = h.window();
    Prm_Writ &w = *main.prmWrit;
    QVERIFY(importAll(h));
    const sim::Parameters before = h.withModel([](sim::DriveModel &m) { return m.parameters(); });
    w.TxtPrm[0]->setText(QStringLiteral(" 12345"));
    w.TxtPrm[31]->setText(QStringLiteral(" 9999"));  // beyond 2500: the drive refuses the block
    h.activate(&w);
    h.mark();
    w.CmdRW[1]->click();
    QVERIFY(h.waitUntil([&] {
        auto *box = QApplication::activeModalWidget();
        return box && box->objectName() == u"HalfWrittenMessage";
    }));
    QCOMPARE(h.requests().filter(QRegularExpression(QStringLiteral("^W;"))).size(), 4);
    QVERIFY(h.requests().filter(QStringLiteral("FLASH")).isEmpty());
    QVERIFY2(main.transferStatus->text().contains(u"The drive runs blocks 0-2 of the new values, not saved in its memory (no FLASH). "
                                                  u"The values before are in "),
             qPrintable(main.transferStatus->text()));
    QCOMPARE(h.withModel([](sim::DriveModel &m) { return m.parameters()[0]; }), 12345);
    if (!qEnvironmentVariableIsEmpty("ORVEX_SCREENSHOT_DIR")) {
        h.idle(300);
        main.screen()->grabWindow(0).save(qEnvironmentVariable("ORVEX_SCREENSHOT_DIR") + QStringLiteral("/half-written.png"));
    }
    QApplication::activeModalWidget()->findChild<QPushButton *>(QStringLiteral("CmdWriteBackupBack"))->click();
    QVERIFY(h.waitUntil([&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        return box && box->objectName() == u"WriteBackConfirm";
    }));
    h.mark();
    qobject_cast<QMessageBox *>(QApplication::activeModalWidget())->button(QMessageBox::Yes)->click();
    QVERIFY(h.waitForReply(QStringLiteral("FLASH")));
    QVERIFY(h.waitUntil([&] { return main.transferStatus->text().contains(u"was written back: 40 parameters"); }));
    QCOMPARE(h.withModel([](sim::DriveModel &m) { return m.parameters(); }), before);
    // Kept in its memory: a power cycle starts with them.
    h.drive().powerCycle();
    QCOMPARE(h.withModel([](sim::DriveModel &m) { return m.parameters(); }), before);
}

QTEST_MAIN(TstE2eParams)
#include "tst_e2e_params.moc"
