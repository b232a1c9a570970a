// The compare, waveform analysis, trend and alarm log windows without a
// mouse, on a 1024x768 main window over the in-memory port: each opens on a
// control, Tab visits every control once in reading order and Shift+Tab the
// other way, never out of sight; their dialogs close on Escape and take
// Enter; and the keys that act where the focus is.

#include "ownhome.h"
#include "mainwindowrig.h"
#include "app/mditbl.h"
#include "app/titlebar.h"
#include "common/plotview.h"
#include "drive/link/memoryport.h"
#include "drive/session.h"
#include "testservices.h"
#include "tools/comparewindow.h"
#include "tools/reportdialog.h"
#include "tools/waveanalysiswindow.h"
#include "trend/trendwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

// A control as the tables name it: its object name, or a button's words.
QString Focused()
{
    const QWidget *w = QApplication::focusWidget();
    if (auto *b = qobject_cast<const QAbstractButton *>(w); b && b->objectName().isEmpty()) return b->text().remove(u'&');
    return w ? w->objectName() : QStringLiteral("(none)");
}

// A window shown made the active one (the offscreen platform leaves a
// dialog of a child window inactive); false when the focus stays outside.
bool Activate(QWidget *window)
{
    QApplication::setActiveWindow(window);
    return QTest::qWaitFor([window] { return window->isAncestorOf(QApplication::focusWidget()); }, 2000);
}

// Runs f on the modal dialog about to run, once it has the focus; the dialog
// is closed after it, whatever f did.
void InModal(const std::function<void(QDialog *)> &f)
{
    QTimer::singleShot(0, [f] {
        QPointer<QDialog> d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (d && Activate(d)) f(d);
        if (d && d->isVisible()) d->reject();
    });
}

Capture Step()
{
    Capture c;
    for (int s = 0; s < CaptureSamples; ++s) c.speed[size_t(s)] = qint16(s > 60 ? 1000 : 0);
    return c;
}

struct Rig : MainWindowRig {
    explicit Rig(bool empty = false) : MainWindowRig(SessionSetup{nullptr, QString()})
    {
        app->resize(1024, 768);
        app->show();
        if (empty) return;
        session->captures.add(Step(), 900, QStringLiteral("Drive"));
        session->captures.add(Step(), 900, QStringLiteral("Drive"));
        session->alarmLog.alarmsRead(1u << 3);
        session->alarmLog.alarmsRead(0);
    }
    void trigger(const QString &action) { app->findChild<QAction *>(action)->trigger(); }
    // Opens a window as its menu item does; the window once it has the focus.
    template <typename W = QWidget>
    W *open(const QString &which)
    {
        trigger(QStringLiteral("mnu") + which);
        auto *w = app->findChild<W *>(which);
        return w && Activate(w->window()) ? w : nullptr;
    }
};

}  // namespace

class TstKeyboard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseOwnHome(); }
    void tabOrder_data();
    void tabOrder();
    void dialogs_data();
    void dialogs();
    void keys_data();
    void keys();
};

void TstKeyboard::tabOrder_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("order");  // from the control the window opens on
    QStringList trend;
    for (int i = 0; i < 4; ++i) trend << QStringLiteral("CmbItem(%1)").arg(i);
    for (int i = 0; i < 14; ++i) trend << QStringLiteral("ChkStatus(%1)").arg(i);
    const QString compare = QStringLiteral("CmbSide(0) CmbSide(1) CmdCompare ChkShowAll TblRows CmdCopy CmdSave CmdClose");
    const QString tools = QStringLiteral("CmbView CmdFit CmbSpan CmbBand CmbWindow CmdHelp CmdCsv CmdPng CmdPdf CmdPrint");
    // Tables with rows: a table that kept Tab for its cells would hold the focus.
    QTest::newRow("compare parameters") << "CompareParameters" << "" << compare;
    QTest::newRow("compare point tables") << "ComparePoints" << "" << compare;
    QTest::newRow("alarm log") << "AlarmLog" << "" << "TblLog TxtRemedy CmdExport CmdClose CmbAlarm";
    // An empty table or list shows no focus: the window opens beside it.
    QTest::newRow("alarm log, empty") << "AlarmLog" << "empty" << "CmbAlarm TblLog TxtRemedy CmdExport CmdClose";
    QTest::newRow("analysis") << "WaveAnalysis" << ""
                              << "LstCaptures CmdRename CmdRemove CmdOpen CmdSave TimePlot TblMeasure TblCursor " + tools;
    QTest::newRow("analysis, spectrum") << "WaveAnalysis" << "spectrum"
                                        << "LstCaptures CmdRename CmdRemove CmdOpen CmdSave SpectrumPlot TblMeasure TblCursor " + tools;
    QTest::newRow("analysis, empty") << "WaveAnalysis" << "empty"
                                     << "CmdOpen TimePlot TblMeasure TblCursor " + tools + " LstCaptures";
    QTest::newRow("trend recorder") << "TrendRecorder" << ""
                                    << trend.join(u' ') + " CmdChooseFile CmdStart CmbSpan CmdPause TrendPlot ReadOutArea";
    QTest::newRow("commissioning report") << "ReportDialog" << ""
                                          << "TxtMachine TxtAxis TxtCustomer TxtSite TxtEngineer TxtNotes CmbReference OK Cancel";
    QTest::newRow("PNG image size") << "ImageSize" << "" << "TxtWidth TxtHeight OK Cancel";
}

void TstKeyboard::tabOrder()
{
    QFETCH(QString, window);
    QFETCH(QString, state);
    QFETCH(QString, order);
    const QStringList expected = order.split(u' ');
    QStringList forward, backward, outOfSight;
    const auto walk = [&] {
        for (int back = 0; back < 2; ++back) {
            QStringList &seen = back ? backward : forward;
            seen << Focused();
            for (qsizetype i = 0; i < expected.size(); ++i) {
                QWidget *at = QApplication::focusWidget();
                QTest::keyClick(at, Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
                seen << Focused();
                // In a child window, the focus never goes beyond the main area's edge.
                QWidget *area = qobject_cast<MDItbl *>(at->window()) ? at->window()->findChild<QMdiArea *>()->viewport() : nullptr;
                if (area && !area->rect().contains(QRect(at->mapTo(area, QPoint(0, 0)), at->size()))) outOfSight << Focused();
            }
        }
    };
    Rig r(state == u"empty");
    if (window == u"ReportDialog" || window == u"ImageSize") {
        auto *analysis = window == u"ImageSize" ? r.open<WaveAnalysisWindow>(QStringLiteral("WaveAnalysis")) : nullptr;
        InModal([&](QDialog *d) {
            QCOMPARE(d->objectName(), window);
            walk();
        });
        if (analysis) analysis->CmdPng->click();
        else ReportDialog(r.app.get(), r.files).exec();
    } else {
        QWidget *w = r.open(window);
        QVERIFY(w);
        if (auto *compare = qobject_cast<CompareWindow *>(w)) {
            compare->setSide(1, CompareWindow::Source::Window);
            compare->ChkShowAll->setChecked(true);
            compare->compare();
            QVERIFY(compare->TblRows->rowCount() > 0);
        }
        if (state == u"spectrum") qobject_cast<WaveAnalysisWindow *>(w)->CmbView->setCurrentIndex(1);
        walk();
    }
    QCOMPARE(forward, expected + expected.mid(0, 1));
    QStringList back = expected.mid(1);
    std::reverse(back.begin(), back.end());
    QCOMPARE(backward, expected.mid(0, 1) + back + expected.mid(0, 1));
    QCOMPARE(outOfSight, QStringList());
}

void TstKeyboard::dialogs_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("compare: Escape") << "CompareParameters" << int(Qt::Key_Escape) << "closed";
    QTest::newRow("compare: Enter compares") << "CompareParameters" << int(Qt::Key_Return) << "compared";
    QTest::newRow("alarm log: Escape") << "AlarmLog" << int(Qt::Key_Escape) << "closed";
    QTest::newRow("alarm log: Enter closes, asks for no file") << "AlarmLog" << int(Qt::Key_Return) << "closed";
    QTest::newRow("analysis help: Escape") << "WaveAnalysisHelp" << int(Qt::Key_Escape) << "closed";
    QTest::newRow("PNG size: Escape") << "ImageSize" << int(Qt::Key_Escape) << "closed";
    QTest::newRow("PNG size: Enter") << "ImageSize" << int(Qt::Key_Enter) << "accepted";
    QTest::newRow("report: Escape") << "ReportDialog" << int(Qt::Key_Escape) << "closed";
    QTest::newRow("report: Enter") << "ReportDialog" << int(Qt::Key_Return) << "accepted";
    QTest::newRow("trend message: Escape") << "TrendRecorderMessage" << int(Qt::Key_Escape) << "closed";
}

void TstKeyboard::dialogs()
{
    QFETCH(QString, dialog);
    QFETCH(int, key);
    QFETCH(QString, outcome);
    Rig r;
    QString result;
    // The key where the focus is in the dialog, and what became of it.
    const auto press = [&](QDialog *d) {
        QVERIFY(d && Activate(d));
        QPointer<QDialog> alive(d);
        int done = -1;
        connect(d, &QDialog::finished, d, [&done](int code) { done = code; });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        result = alive && alive->isVisible() ? QStringLiteral("open")
                 : done == QDialog::Accepted ? QStringLiteral("accepted")
                                             : QStringLiteral("closed");
    };
    if (dialog == u"ImageSize" || dialog == u"ReportDialog") {
        auto *analysis = dialog == u"ImageSize" ? r.open<WaveAnalysisWindow>(QStringLiteral("WaveAnalysis")) : nullptr;
        InModal([&](QDialog *d) {
            QCOMPARE(d->objectName(), dialog);
            press(d);
        });
        if (analysis) analysis->CmdPng->click();
        else r.trigger(QStringLiteral("mnuReportPdf"));
        // Accepted, the dialog asks for the file next.
        QCOMPARE(r.files.asked.size(), result == u"accepted" ? 1 : 0);
    } else if (dialog == u"WaveAnalysisHelp") {
        auto *w = r.open<WaveAnalysisWindow>(QStringLiteral("WaveAnalysis"));
        QTest::keyClick(w->CmdHelp, Qt::Key_Space);
        press(w->findChild<QMessageBox *>(dialog));
    } else if (dialog == u"TrendRecorderMessage") {
        auto *w = r.open<TrendRecorder>(QStringLiteral("TrendRecorder"));
        w->setFile(r.dir.filePath(QStringLiteral("no such folder/trend.csv")), false);
        QVERIFY(!w->startRecording());
        press(w->findChild<QMessageBox *>(dialog));
    } else {
        auto *w = r.open<QDialog>(dialog);
        QVERIFY(w);
        auto *compare = qobject_cast<CompareWindow *>(w);
        if (compare) compare->setSide(1, CompareWindow::Source::Window);
        press(w);
        if (compare && compare->LblSummary->text().startsWith(QStringLiteral("The two sides are the same")))
            result = QStringLiteral("compared");
        QCOMPARE(r.files.asked.size(), 0);
    }
    QCOMPARE(result, outcome);
}

void TstKeyboard::keys_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("keys");      // the control the focus starts on, then the keys pressed in turn
    QTest::addColumn<QString>("probe");     // what is read after each key
    QTest::addColumn<QString>("expected");  // what it reads, a word a key
    // A recording started and stopped from the keyboard keeps the focus on
    // its buttons, not on what follows them.
    QTest::newRow("trend: start, then stop") << "TrendRecorder" << "CmdStart Space Space" << "focus" << "CmdStop CmdStart";
    QTest::newRow("trend: mnemonics") << "TrendRecorder" << "TrendPlot Alt+3 Alt+B Alt+N" << "focus"
                                      << "CmbItem(2) ChkStatus(0) CmbSpan";
    QTest::newRow("trend: the chart's cursor") << "TrendRecorder" << "TrendPlot Left Left Right" << "cursor"
                                               << "shown left right";
    QTest::newRow("trend: the read-out shows its focus") << "TrendRecorder" << "ReadOutArea Tab" << "framed" << "no";
    QTest::newRow("analysis: the plot shows its focus") << "WaveAnalysis" << "TimePlot Tab" << "framed" << "no";
    QTest::newRow("analysis: remove by its mnemonic") << "WaveAnalysis" << "TimePlot Alt+M Alt+M" << "captures" << "1/1 0/0";
    QTest::newRow("analysis: Space ticks a capture") << "WaveAnalysis" << "LstCaptures Space Space" << "captures" << "2/1 2/2";
    // The main window's menus keep their letters while the window has the focus.
    QTest::newRow("analysis: Alt+F is the File menu") << "WaveAnalysis" << "CmdFit Alt+F Escape Alt+O" << "menu"
                                                      << "mnuFile none mnuOptions";
    QTest::newRow("compare: mnemonics") << "CompareParameters" << "CmdClose Alt+R Alt+A Alt+L" << "focus"
                                        << "CmbSide(1) ChkShowAll CmbSide(0)";
    QTest::newRow("alarm log: mnemonics") << "AlarmLog" << "CmdClose Alt+A Alt+R" << "focus" << "CmbAlarm TxtRemedy";
}

void TstKeyboard::keys()
{
    QFETCH(QString, window);
    QFETCH(QString, keys);
    QFETCH(QString, probe);
    QFETCH(QString, expected);
    Rig r;
    r.files.alwaysSave = r.dir.filePath(QStringLiteral("trend.csv"));
    QWidget *w = r.open(window);
    QVERIFY(w);
    QStringList steps = keys.split(u' ');
    auto *start = w->findChild<QWidget *>(steps.takeFirst());
    start->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), start);
    auto *plot = qobject_cast<PlotView *>(start);
    const QImage focused = start->grab().toImage();
    std::optional<double> cursor = plot && plot->cursorShown(0) ? std::optional(plot->cursor(0)) : std::nullopt;
    const auto read = [&]() -> QString {
        if (probe == u"focus") return Focused();
        if (probe == u"framed") return start->grab().toImage() == focused ? QStringLiteral("yes") : QStringLiteral("no");
        if (probe == u"menu") {
            QWidget *popup = QApplication::activePopupWidget();
            return popup ? popup->objectName() : QStringLiteral("none");
        }
        if (probe == u"captures")
            return QStringLiteral("%1/%2").arg(r.session->captures.items().size()).arg(r.session->captures.shownCaptures().size());
        // The cursor, against where it was.
        const std::optional<double> before = std::exchange(cursor, plot->cursor(0));
        return !before ? QStringLiteral("shown") : *cursor < *before ? QStringLiteral("left") : QStringLiteral("right");
    };
    QStringList seen;
    for (const QString &step : std::as_const(steps)) {
        const QKeyCombination k = QKeySequence(step)[0];
        // An open menu takes the keys.
        QWidget *to = QApplication::activePopupWidget() ? QApplication::activePopupWidget() : QApplication::focusWidget();
        QTest::keyClick(to, k.key(), k.keyboardModifiers());
        // A button's mnemonic clicks it a moment later.
        if (k.keyboardModifiers() & Qt::AltModifier) QTest::qWait(150);
        seen << read();
    }
    QCOMPARE(seen.join(u' '), expected);
}

QTEST_MAIN(TstKeyboard)
#include "tst_keyboard.moc"
