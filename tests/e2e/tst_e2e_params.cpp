// The parameter window against the simulated drive: reading all sixty
// parameters, writing edits that survive a power cycle, and a parameter file
// that brings a set back.

#include "e2eharness.h"
#include "params/paramfile.h"
#include "params/paramtext.h"
#include "params/prm_writ.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

Prm_Writ &window(E2eHarness &h) { return *h.window().prmWrit; }

QStringList fieldTexts(E2eHarness &h)
{
    QStringList texts;
    for (QLineEdit *f : window(h).TxtPrm) texts << f->text();
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

// Presses "Import Data" and waits for the read to complete.
bool importAll(E2eHarness &h)
{
    Prm_Writ &w = window(h);
    h.mark();
    w.CmdRW[0]->click();
    return h.waitUntil([&] { return w.CmdRW[0]->isEnabled() && h.replies().filter(QStringLiteral("R;5;")).size() == 1; });
}

// Waits until the drive answers the poll again.
bool pollsAgain(E2eHarness &h)
{
    h.mark();
    return h.waitUntil([&] { return h.replies().filter(QRegularExpression(QStringLiteral("^S;"))).size() >= 2; }, 6000);
}

}  // namespace

class TstE2eParams : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void importFillsEveryField();
    void editsSurviveAPowerCycle();
    void fileBringsTheSetBack();
    void refusedBlockEndsTheWrite();
};

void TstE2eParams::importFillsEveryField()
{
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    QVERIFY(pollsAgain(h));
    QVERIFY(!window(h).CmdRW[1]->isEnabled());
    QVERIFY(importAll(h));
    QCOMPARE(h.requests().filter(QRegularExpression(QStringLiteral("^R;"))),
             (QStringList{"R;0", "R;1", "R;2", "R;3", "R;4", "R;5"}));
    const QStringList shown = fieldTexts(h);
    QCOMPARE(shown, driveTexts(h));
    QCOMPARE(shown[30], QStringLiteral("155"));  // hexadecimal, as the drive's input selection
    QVERIFY(window(h).CmdRW[1]->isEnabled());
    QVERIFY(pollsAgain(h));
}

void TstE2eParams::editsSurviveAPowerCycle()
{
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    QVERIFY(pollsAgain(h));
    QVERIFY(importAll(h));
    h.window().SetMakerMode(true);  // all six blocks are written
    Prm_Writ &w = window(h);
    const QList<QPair<int, QString>> edits{{0, " 12345"}, {2, " 12.5"}, {17, "-123456"}, {30, "20A"},
                                           {38, "FFF"},   {45, " 2048"}, {58, " 250"}};
    for (const auto &[k, text] : edits) w.TxtPrm[k]->setText(text);
    h.mark();
    w.CmdRW[1]->click();
    QVERIFY(h.waitForReply(QStringLiteral("FLASH")));
    QCOMPARE(h.requests().filter(QRegularExpression(QStringLiteral("^(W;.|FLASH)"))).size(), 7);
    QVERIFY(w.CmdRW[1]->isEnabled());

    h.drive().powerCycle();
    QVERIFY(pollsAgain(h));
    for (QLineEdit *f : w.TxtPrm) f->setText(QStringLiteral("0"));
    QVERIFY(importAll(h));
    const QStringList shown = fieldTexts(h);
    QCOMPARE(shown[0], QStringLiteral(" 12345"));
    QCOMPARE(shown[2], QStringLiteral(" 12"));  // sent rounded half to even
    QCOMPARE(shown[17], QStringLiteral("-123456"));
    QCOMPARE(shown[30], QStringLiteral("20A"));
    QCOMPARE(shown[38], QStringLiteral("FFF"));
    QCOMPARE(shown[45], QStringLiteral(" 2048"));
    QCOMPARE(shown[58], QStringLiteral(" 250"));
    QCOMPARE(shown, driveTexts(h));
}

void TstE2eParams::fileBringsTheSetBack()
{
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    QVERIFY(pollsAgain(h));
    QVERIFY(importAll(h));
    Prm_Writ &w = window(h);
    const QString path = QDir(h.workDir()).filePath(QStringLiteral("drive.pxt"));
    w.DlogFile.chooser = [&](bool) { return std::optional<QString>(path); };
    w.CmdFile[1]->click();
    const QStringList saved = fieldTexts(h);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::optional<ParamValues> values = DecodeParamFile(file.readAll());
    QVERIFY(values);
    const sim::Parameters drive = h.withModel([](sim::DriveModel &m) { return m.parameters(); });
    for (int k = 0; k < ParamCount; ++k) QCOMPARE((*values)[k], drive[k]);

    for (int k = 0; k < ParamCount; ++k) w.TxtPrm[k]->setText(QStringLiteral("7"));
    w.CmdFile[0]->click();
    QCOMPARE(fieldTexts(h), saved);
}

void TstE2eParams::refusedBlockEndsTheWrite()
{
    // A loaded value out of its range (no check on loading) makes the drive
    // refuse block 3; the write ends there and can be started again.
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    QVERIFY(pollsAgain(h));
    QVERIFY(importAll(h));
    Prm_Writ &w = window(h);
    w.TxtPrm[5]->setText(QStringLiteral(" 7"));
    w.TxtPrm[30]->setText(QStringLiteral("FFF"));  // beyond 3FF
    h.mark();
    w.CmdRW[1]->click();
    QVERIFY(h.waitForRequest(QStringLiteral("W;3;FFF;")));
    QVERIFY(h.waitUntil([&] { return w.CmdRW[1]->isEnabled(); }));
    QVERIFY(pollsAgain(h));
    QVERIFY(!h.requests(false).contains(QStringLiteral("FLASH")));
    QCOMPARE(h.link().state().XferIndex, quint8(0));
    QCOMPARE(h.withModel([](sim::DriveModel &m) { return m.parameters()[5]; }), 7);
    QVERIFY(h.link().transferOwner().isEmpty());
}

QTEST_MAIN(TstE2eParams)
#include "tst_e2e_params.moc"
