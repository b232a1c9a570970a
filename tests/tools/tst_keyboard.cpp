// The compare, waveform analysis, trend and alarm log windows without a
// mouse, on the main window over the in-memory port: each opens with the
// focus on a control, Tab visits every control once in reading order (Shift
// and Tab the other way), the dialogs they open close on Escape and take
// Enter, and the keys that act where the focus is.

#include "ownhome.h"
#include "app/mditbl.h"
#include "app/titlebar.h"
#include "common/plotview.h"
#include "drive/link/memoryport.h"
#include "drive/session.h"
#include "testservices.h"
#include "tools/alarmlogwindow.h"
#include "tools/comparewindow.h"
#include "tools/reportdialog.h"
#include "tools/toolsmenu.h"
#include "tools/waveanalysiswindow.h"
#include "trend/trendwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

namespace {

QString Items(const QString &name, int from, int to)
{
    QStringList out;
    for (int i = from; i <= to; ++i) out << QStringLiteral("%1(%2)").arg(name).arg(i);
    return out.join(u' ');
}

// A control as the tables below name it: its object name, or a button's
// words.
QString NameOf(const QWidget *w)
{
    if (!w) return QStringLiteral("(none)");
    if (!w->objectName().isEmpty()) return w->objectName();
    if (auto *b = qobject_cast<const QAbstractButton *>(w)) return QString(b->text()).remove(u'&');
    return QString::fromLatin1(w->metaObject()->className());
}

QString Focused() { return NameOf(QApplication::focusWidget()); }

// The controls the focus goes through, pressing Tab (or Shift and Tab)
// `steps` times from where it is.
QStringList Walk(int steps, bool back = false)
{
    QStringList seen{Focused()};
    for (int i = 0; i < steps; ++i) {
        QWidget *at = QApplication::focusWidget();
        if (!at) break;
        QTest::keyClick(at, Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
        seen << Focused();
    }
    return seen;
}

// Makes a window shown the active one (the offscreen platform leaves a
// dialog of a child window inactive); false when its focus stays outside.
bool Activate(QWidget *window)
{
    QApplication::setActiveWindow(window);
    return QTest::qWaitFor([window] { return window->isAncestorOf(QApplication::focusWidget()); }, 2000);
}

// Runs f on the modal dialog about to run, once it has the focus; the
// dialog is closed after it, whatever f did.
void InModal(const std::function<void(QDialog *)> &f)
{
    QTimer::singleShot(0, [f] {
        QPointer<QDialog> d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (d && Activate(d)) f(d);
        if (d && d->isVisible()) d->reject();
    });
}

// A speed step, so that the analysis has figures to show.
Capture Step()
{
    Capture c;
    for (int s = 0; s < CaptureSamples; ++s) c.speed[size_t(s)] = qint16(s > 60 ? 1000 : 0);
    return c;
}

struct Rig {
    QTemporaryDir dir;
    MemoryPort port;
    TestFileChooser files;
    std::unique_ptr<Session> session;
    std::unique_ptr<MDItbl> app;
    Rig()
    {
        QDir::setCurrent(dir.path());
        session = std::make_unique<Session>(port, SessionSetup{nullptr, QString()});
        app = std::make_unique<MDItbl>(*session, files);
        app->titleBar->TimerDateTime.stop();
        app->show();
        QApplication::setActiveWindow(app.get());
    }
    void trigger(const QString &action)
    {
        auto *a = app->findChild<QAction *>(action);
        QVERIFY2(a, qPrintable(action));
        a->trigger();
    }
    // Opens a window as its menu item does and waits until it has the focus;
    // the window, or nothing.
    QWidget *open(const QString &which)
    {
        const QHash<QString, QString> actions{{QStringLiteral("CompareParameters"), QStringLiteral("mnuCompareParameters")},
                                              {QStringLiteral("ComparePoints"), QStringLiteral("mnuComparePoints")},
                                              {QStringLiteral("AlarmLog"), QStringLiteral("mnuAlarmLog")},
                                              {QStringLiteral("WaveAnalysis"), QStringLiteral("mnuWaveAnalysis")},
                                              {QStringLiteral("TrendRecorder"), QStringLiteral("mnuTrendRecorder")}};
        trigger(actions.value(which));
        auto *w = app->findChild<QWidget *>(which);
        if (!w || !Activate(w->window())) return nullptr;
        return w;
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
    void keysWhereTheFocusIs_data();
    void keysWhereTheFocusIs();
    void focusedPlotIsFramed_data();
    void focusedPlotIsFramed();
};

void TstKeyboard::tabOrder_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("order");  // from the control the window opens on
    const QString compare = QStringLiteral("CmbSide(0) CmbSide(1) CmdCompare ChkShowAll TblRows CmdCopy CmdSave CmdClose");
    // Tables with rows: a table that kept Tab for its cells would hold the focus.
    QTest::newRow("compare parameters") << "CompareParameters" << "rows" << compare;
    QTest::newRow("compare point tables") << "ComparePoints" << "rows" << compare;
    QTest::newRow("alarm log") << "AlarmLog" << "rows" << "TblLog TxtRemedy CmdExport CmdClose CmbAlarm";
    const QString tools = QStringLiteral("CmbView CmdFit CmbSpan CmbBand CmbWindow CmdHelp CmdCsv CmdPng CmdPdf CmdPrint");
    QTest::newRow("waveform analysis") << "WaveAnalysis" << "rows"
                                       << "LstCaptures CmdRename CmdRemove CmdOpen CmdSave TimePlot TblMeasure TblCursor " + tools;
    QTest::newRow("waveform analysis, spectrum") << "WaveAnalysis" << "spectrum"
                                                 << "LstCaptures CmdRename CmdRemove CmdOpen CmdSave SpectrumPlot TblMeasure "
                                                    "TblCursor " + tools;
    // Nothing to rename, remove or save: those buttons are passed over.
    QTest::newRow("waveform analysis, empty") << "WaveAnalysis" << "empty"
                                              << "LstCaptures CmdOpen TimePlot TblMeasure TblCursor " + tools;
    QTest::newRow("trend recorder") << "TrendRecorder" << ""
                                    << Items(QStringLiteral("CmbItem"), 0, 3) + u' ' + Items(QStringLiteral("ChkStatus"), 0, 13) +
                                           " CmdChooseFile CmdStart CmbSpan CmdPause TrendPlot ReadOutArea";
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
    QStringList forward, backward;
    const auto walk = [&] {
        forward = Walk(int(expected.size()));
        backward = Walk(int(expected.size()), true);
    };
    Rig r;
    if (state != QStringLiteral("empty")) {
        r.session->captures.add(Step(), 900, QStringLiteral("Drive"));
        r.session->captures.add(Step(), 900, QStringLiteral("Drive"));
    }
    r.session->alarmLog.alarmsRead(1u << 3);
    r.session->alarmLog.alarmsRead(0);
    if (window == u"ReportDialog" || window == u"ImageSize") {
        // Modal: walked from within.
        auto *analysis = window == u"ImageSize" ? qobject_cast<WaveAnalysisWindow *>(r.open(QStringLiteral("WaveAnalysis"))) : nullptr;
        InModal([&](QDialog *dialog) {
            QCOMPARE(dialog->objectName(), window);
            walk();
        });
        if (analysis) {
            analysis->CmdPng->click();
        } else {
            ReportDialog dialog(r.app.get(), r.files);
            dialog.exec();
        }
    } else {
        QWidget *w = r.open(window);
        QVERIFY(w);
        if (auto *compare = qobject_cast<CompareWindow *>(w)) {
            compare->setSide(1, CompareWindow::Source::Window);
            compare->ChkShowAll->setChecked(true);
            compare->compare();
            QVERIFY(compare->TblRows->rowCount() > 0);
        }
        if (auto *analysis = qobject_cast<WaveAnalysisWindow *>(w); analysis && state == u"spectrum")
            analysis->CmbView->setCurrentIndex(1);
        walk();
    }
    QCOMPARE(forward.join(u' '), (expected + expected.mid(0, 1)).join(u' '));
    QStringList back = expected.mid(1);
    std::reverse(back.begin(), back.end());
    QCOMPARE(backward.join(u' '), (expected.mid(0, 1) + back + expected.mid(0, 1)).join(u' '));
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
    r.session->captures.add(Step(), 900, QStringLiteral("Drive"));
    r.session->alarmLog.alarmsRead(1u << 3);
    QString result;
    // Presses the key where the focus is in the dialog shown, and says what became of it.
    const auto press = [&](QDialog *d) {
        QVERIFY(d && Activate(d));
        QPointer<QDialog> alive(d);
        int done = -1;
        connect(d, &QDialog::finished, d, [&done](int code) { done = code; });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        if (!alive || !alive->isVisible()) result = done == QDialog::Accepted ? QStringLiteral("accepted") : QStringLiteral("closed");
        else result = QStringLiteral("open");
    };
    if (dialog == u"ImageSize" || dialog == u"ReportDialog") {
        auto *analysis = dialog == u"ImageSize" ? qobject_cast<WaveAnalysisWindow *>(r.open(QStringLiteral("WaveAnalysis"))) : nullptr;
        InModal([&](QDialog *d) {
            QCOMPARE(d->objectName(), dialog);
            // The key in the first field, as typed there.
            QCOMPARE(Focused(), analysis ? QStringLiteral("TxtWidth") : QStringLiteral("TxtMachine"));
            press(d);
        });
        // The file is asked for once the dialog is accepted (and cancelled).
        if (analysis) analysis->CmdPng->click();
        else r.trigger(QStringLiteral("mnuReportPdf"));
        QCOMPARE(r.files.asked.size(), result == u"accepted" ? 1 : 0);
    } else if (dialog == u"WaveAnalysisHelp") {
        auto *w = qobject_cast<WaveAnalysisWindow *>(r.open(QStringLiteral("WaveAnalysis")));
        QVERIFY(w);
        QTest::keyClick(w->CmdHelp, Qt::Key_Space);
        press(w->findChild<QMessageBox *>(dialog));
    } else if (dialog == u"TrendRecorderMessage") {
        auto *w = qobject_cast<TrendRecorder *>(r.open(QStringLiteral("TrendRecorder")));
        QVERIFY(w);
        w->setFile(r.dir.filePath(QStringLiteral("no such folder/trend.csv")), false);
        QVERIFY(!w->startRecording());
        press(w->findChild<QMessageBox *>(dialog));
    } else {
        auto *w = qobject_cast<QDialog *>(r.open(dialog));
        QVERIFY(w);
        QCOMPARE(Focused(), dialog == u"AlarmLog" ? QStringLiteral("TblLog") : QStringLiteral("CmbSide(0)"));
        auto *compare = qobject_cast<CompareWindow *>(w);
        if (compare) compare->setSide(1, CompareWindow::Source::Window);
        press(w);
        if (compare && compare->LblSummary->text().startsWith(QStringLiteral("The two sides are the same")))
            result = QStringLiteral("compared");
        QVERIFY(r.files.asked.isEmpty());
    }
    QCOMPARE(result, outcome);
}

void TstKeyboard::keysWhereTheFocusIs_data()
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
    QTest::newRow("analysis: remove by its mnemonic") << "WaveAnalysis" << "TimePlot Alt+M Alt+M" << "captures" << "1/1 0/0";
    // The main window's menus keep their letters while the window has the focus.
    QTest::newRow("analysis: Alt+F is the File menu") << "WaveAnalysis" << "CmdFit Alt+F Escape Alt+O" << "menu"
                                                      << "mnuFile none mnuOptions";
    QTest::newRow("analysis: Space ticks a capture") << "WaveAnalysis" << "LstCaptures Space Space" << "captures" << "2/1 2/2";
    QTest::newRow("compare: mnemonics") << "CompareParameters" << "CmdClose Alt+R Alt+A Alt+L" << "focus"
                                        << "CmbSide(1) ChkShowAll CmbSide(0)";
    QTest::newRow("alarm log: mnemonics") << "AlarmLog" << "CmdClose Alt+A Alt+R" << "focus" << "CmbAlarm TxtRemedy";
}

void TstKeyboard::keysWhereTheFocusIs()
{
    QFETCH(QString, window);
    QFETCH(QString, keys);
    QFETCH(QString, probe);
    QFETCH(QString, expected);
    Rig r;
    r.files.alwaysSave = r.dir.filePath(QStringLiteral("trend.csv"));
    r.session->captures.add(Step(), 900, QStringLiteral("Drive"));
    r.session->captures.add(Step(), 900, QStringLiteral("Drive"));
    r.session->alarmLog.alarmsRead(1u << 3);
    QWidget *w = r.open(window);
    QVERIFY(w);
    QStringList steps = keys.split(u' ');
    auto *start = w->findChild<QWidget *>(steps.takeFirst());
    QVERIFY(start);
    start->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), start);
    auto *plot = qobject_cast<PlotView *>(start);
    std::optional<double> cursor;
    const auto read = [&]() -> QString {
        if (probe == u"focus") return Focused();
        if (probe == u"menu") {
            QWidget *popup = QApplication::activePopupWidget();
            return popup ? popup->objectName() : QStringLiteral("none");
        }
        if (probe == u"captures") {
            const QList<ListedCapture> &items = r.session->captures.items();
            return QStringLiteral("%1/%2").arg(items.size()).arg(r.session->captures.shownCaptures().size());
        }
        // The cursor, against where it was.
        const std::optional<double> before = cursor;
        cursor = plot->cursorShown(0) ? std::optional<double>(plot->cursor(0)) : std::nullopt;
        if (!cursor) return QStringLiteral("hidden");
        if (!before) return QStringLiteral("shown");
        return *cursor < *before ? QStringLiteral("left") : *cursor > *before ? QStringLiteral("right") : QStringLiteral("same");
    };
    if (probe == u"cursor") {
        QVERIFY(plot);
        read();
    }
    QStringList seen;
    for (const QString &step : steps) {
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

void TstKeyboard::focusedPlotIsFramed_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("plot");
    QTest::newRow("analysis") << "WaveAnalysis" << "TimePlot";
    QTest::newRow("trend") << "TrendRecorder" << "TrendPlot";
}

// The keys act on the plot with the focus: it shows it has the focus.
void TstKeyboard::focusedPlotIsFramed()
{
    QFETCH(QString, window);
    QFETCH(QString, plot);
    Rig r;
    r.session->captures.add(Step(), 900, QStringLiteral("Drive"));
    QWidget *w = r.open(window);
    QVERIFY(w);
    auto *p = w->findChild<PlotView *>(plot);
    QVERIFY(p);
    p->setFocus(Qt::TabFocusReason);
    QVERIFY(p->hasFocus());
    const QImage focused = p->grab().toImage();
    w->findChild<QComboBox *>()->setFocus(Qt::TabFocusReason);
    QVERIFY(!p->hasFocus());
    QVERIFY(p->grab().toImage() != focused);
}

QTEST_MAIN(TstKeyboard)
#include "tst_keyboard.moc"
