// The commands of the Tools menu on the main window over the in-memory port:
// the comparison rule, CSV out and back in through the menus, the compare
// window against a file, and a spreadsheet block pasted into the point table.

#include "ownhome.h"
#include "mainwindowrig.h"
#include "app/mditbl.h"
#include "app/titlebar.h"
#include "drive/link/memoryport.h"
#include "drive/compare.h"
#include "drive/params/paramfile.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "tools/comparewindow.h"
#include "tools/toolsmenu.h"
#include "drive/session.h"
#include "testservices.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

// The main window, not shown; its file chooser answers the dialogs with
// the files given, in turn.
struct Rig : MainWindowRig {
    QString reportShown;
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    // Runs something that may end in the import report, and reads it.
    template <typename Run>
    void runAndReadReport(Run run)
    {
        reportShown.clear();
        QTimer::singleShot(0, [this] {
            auto *box = QApplication::activeModalWidget();
            if (auto *lines = box ? box->findChild<QPlainTextEdit *>(QStringLiteral("ImportReportLines")) : nullptr)
                reportShown = lines->toPlainText();
            if (box) box->close();
        });
        run();
    }
    void runAndReadReport(void (ToolsMenu::*command)()) { runAndReadReport([this, command] { (app->tools->*command)(); }); }
};

}  // namespace

class TstTools : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseOwnHome(); }
    void compareRule_data();
    void compareRule();
    void csvOutAndBack();
    void compareWithAFile();
    void pasteABlock();
};

void TstTools::compareRule_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    ParamValues a{}, b{};
    b[5] = 3, b[38] = 0xFFF, b[45] = 9;
    const QList<CompareRow> user = CompareParameters(a, b, UserParamCount);
    const auto row = [](const CompareRow &r) { return QStringList{r.number, r.name, r.left, r.right, r.range}.join(u'|'); };
    QTest::newRow("user set") << CompareSummary(user, QStringLiteral("parameters")) << "2 of 40 parameters differ";
    QTest::newRow("hexadecimal as shown") << row(user[38]) << "38|Input Logic Setting(bit)|0|FFF|0/4095";
    QTest::newRow("maker set counted in") << CompareSummary(CompareParameters(a, b, ParamCount), QStringLiteral("parameters"))
                                          << "3 of 60 parameters differ";
    QTest::newRow("equal sides") << CompareSummary(CompareParameters(a, a, UserParamCount), QStringLiteral("parameters"))
                                 << "The two sides are the same: all 40 parameters";
    PointTable p{}, q{};
    q[4 * 7 + 2] = 300;
    const QList<CompareRow> points = ComparePoints(p, q);
    QTest::newRow("a point's speed") << row(points[4 * 7 + 2]) << "7|Speed|----|300|0/2500";
    QTest::newRow("points counted") << QString::number(DifferingRows(points)) + u'/' + QString::number(points.size()) << "1/128";
}

void TstTools::compareRule()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TstTools::csvOutAndBack()
{
    Rig r;
    Prm_Writ *w = r.app->prmWrit;
    w->TxtPrm[0]->setText(QStringLiteral(" 1234"));
    w->TxtPrm[38]->setText(QStringLiteral("ABC"));
    r.files.answers << r.path("set.csv");
    r.app->tools->exportParametersCsv();
    w->TxtPrm[0]->setText(QStringLiteral(" 7"));
    w->TxtPrm[38]->setText(QStringLiteral("0"));
    r.port.written.clear();
    r.files.answers << r.path("set.csv");
    r.runAndReadReport(&ToolsMenu::importParametersCsv);
    QCOMPARE(w->TxtPrm[0]->text(), QStringLiteral(" 1234"));
    QCOMPARE(w->TxtPrm[38]->text(), QStringLiteral("ABC"));
    // The fresh window's zeros below some ranges are held to them on the way in.
    QVERIFY(r.reportShown.contains(u"30 taken, 10 changed by the entry checks, 0 refused"));
    QVERIFY(r.reportShown.contains(u"Line 4, changed: Parameter 02: 0 changed to 10"));
    QVERIFY(r.port.written.isEmpty());  // nothing goes to the drive

    // A value out of its range is held to it and said so, with its line.
    QFile csv(r.path("edited.csv"));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("Number,Value\r\n00,5\r\n15,999\r\n77,1\r\n");
    csv.close();
    r.files.answers << csv.fileName();
    r.runAndReadReport(&ToolsMenu::importParametersCsv);
    QCOMPARE(w->TxtPrm[15]->text(), QStringLiteral(" 300"));
    QVERIFY(r.reportShown.contains(u"1 taken, 1 changed by the entry checks, 1 refused"));
    QVERIFY(r.reportShown.contains(u"Line 3, changed") && r.reportShown.contains(u"Line 4, refused"));

    // The point table goes out and comes back the same way.
    Tbl_Writ *t = r.app->tblWrit;
    t->TxtLocate[3]->setText(QStringLiteral("-500"));
    r.files.answers << r.path("points.csv");
    r.app->tools->exportPointsCsv();
    t->TxtLocate[3]->setText(QStringLiteral("0"));
    r.files.answers << r.path("points.csv");
    r.runAndReadReport(&ToolsMenu::importPointsCsv);
    QCOMPARE(t->TxtLocate[3]->text().trimmed(), QStringLiteral("-500"));
}

void TstTools::compareWithAFile()
{
    Rig r;
    ParamValues saved{};
    saved[2] = 40;
    QFile pxt(r.path("drive.pxt"));
    QVERIFY(pxt.open(QIODevice::WriteOnly));
    pxt.write(EncodeParamFile(saved));
    pxt.close();
    r.app->prmWrit->TxtPrm[2]->setText(QStringLiteral(" 55"));
    CompareWindow w(CompareWindow::Kind::Parameters, *r.session, r.files, r.app.get());
    w.setSide(0, CompareWindow::Source::Window);
    w.setSide(1, CompareWindow::Source::File, pxt.fileName());
    w.compare();
    QCOMPARE(w.LblSummary->text(), QStringLiteral("1 of 40 parameters differ (left: This window, right: drive.pxt)"));
    QCOMPARE(w.tableText(), QStringLiteral("No.\tName\tThis window\tdrive.pxt\tRange\n02\tPosition Loop Gain\t55\t40\t10/9999"));
    w.CmdCopy->click();
    QCOMPARE(QApplication::clipboard()->text(), w.tableText());
    w.ChkShowAll->setChecked(true);
    QCOMPARE(w.tableText().count(u'\n'), 40);
    // A file that is no parameter file says so, and shows nothing.
    w.setSide(1, CompareWindow::Source::File, r.path("missing.pxt"));
    w.compare();
    QVERIFY(w.LblSummary->text().startsWith(r.path("missing.pxt")));
}

void TstTools::pasteABlock()
{
    Rig r;
    Tbl_Writ *t = r.app->tblWrit;
    // Two rows of three cells from point 30's travel on: the last column and
    // the row past point 31 are left out; each value is checked, and each
    // cell is reported.
    t->TxtSpd[31]->setText(QStringLiteral(" 120"));
    QString status;
    connect(t, &Tbl_Writ::transferReport, this, [&status](const QString &s) { status = s; });
    r.runAndReadReport([&] {
        const auto paste = t->pasteBlock(30, 1, QStringLiteral("100\t9999\t5\r\n-3000000\tx\t7\r\n1\t2\t3\r\n"));
        QCOMPARE(paste.lines.size(), 6);
    });
    QCOMPARE(t->TxtLocate[30]->text().trimmed(), QStringLiteral("100"));
    QCOMPARE(t->TxtSpd[30]->text().trimmed(), QStringLiteral("2500"));  // held to its range
    QCOMPARE(t->TxtLocate[31]->text().trimmed(), QStringLiteral("-2000000"));
    // Not a number: refused, and the cell keeps what it held.
    QCOMPARE(t->TxtSpd[31]->text().trimmed(), QStringLiteral("120"));
    QCOMPARE(status, QStringLiteral("Pasted 6 cells: 3 taken, 2 changed by the entry checks, 1 refused. "
                                    "Nothing was written to the drive."));
    const QStringList report = r.reportShown.split(u'\n');
    QCOMPARE(report.size(), 8);
    QCOMPARE(report[0], status);
    QCOMPARE(report[3], QStringLiteral("Cell 2, changed: POINT30 Speed: 9999 changed to 2500 by the entry check, range 0/2500 (was 1)."));
    QCOMPARE(report[6], QStringLiteral("Cell 5, refused: POINT31 Speed: \"x\" is not a number; it keeps 120."));
    // A paste with nothing to say shows no report.
    r.runAndReadReport([&] { t->pasteBlock(0, 1, QStringLiteral("5\t6\n")); });
    QVERIFY(r.reportShown.isEmpty());
    QVERIFY(status.startsWith(QStringLiteral("Pasted 2 cells: 2 taken")));
    QApplication::clipboard()->setText(QStringLiteral("0\t11\n1\t22\n"));
    t->TxtInc[0]->setFocus();
    QTest::keyClick(t->TxtInc[0], Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(t->TxtLocate[1]->text().trimmed(), QStringLiteral("22"));
    QCOMPARE(r.session->points.tableText().section(u'\n', 1, 1), QStringLiteral("1\t22\t") + t->TxtSpd[1]->text().trimmed() + u'\t' +
                                                      t->TxtKGJit[1]->text().trimmed());
}

QTEST_MAIN(TstTools)
#include "tst_tools.moc"
