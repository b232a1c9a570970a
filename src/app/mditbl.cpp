#include "mditbl.h"

#include "common/childwindow.h"
#include "app/password.h"
#include "app/portfile.h"
#include "app/portinp.h"
#include "common/useroptions.h"
#include "app/version.h"
#include "app/garbledcount.h"
#include "app/titlebar.h"
#include "app/linkprompts.h"
#include "app/livetags.h"
#include "tools/toolsmenu.h"
#include "drive/alarmlog.h"
#include "drive/backups.h"
#include "trend/trendwindow.h"
#include "monitor/alarm.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "monitor/mon2.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "drive/numtext.h"
#include "drive/stopjob.h"
#include "drive/wave/capturelist.h"
#include "tools/waveanalysiswindow.h"
#include "wave/hmon.h"
#include "wave/wavegeometry.h"

#include <QApplication>
#include <algorithm>
#include <utility>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QUrl>
#include <QShowEvent>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QVBoxLayout>

MDItbl::MDItbl(SerialIo &port, std::function<QList<PortEntry>()> listPorts, QWidget *parent)
    : QMainWindow(parent), link(portSettings, port)
{
    setObjectName(QStringLiteral("MDItbl"));
    setWindowTitle(QStringLiteral("ORVEX"));

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    mdiArea = new QMdiArea(central);
    mdiArea->setObjectName(QStringLiteral("mdiArea"));
    mdiArea->setBackground(QColor(128, 128, 128));
    setCentralWidget(central);

    buildMenus();
    transferStatus = new QLabel(this);
    transferStatus->setObjectName(QStringLiteral("transferStatus"));
    // Its text is its accessible name, announced as it changes.
    transferStatus->setAccessibleDescription(QStringLiteral("Transfer status"));
    transferStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(transferStatus, 1);
    statusBar()->addPermanentWidget(new GarbledCount(link, this));
    portInp = new PortInp(link, std::move(listPorts), this);
    link.setActiveTagSource([this] { return activeTag(); });
    link.setLiveTagSource([this] { return LiveTags(*mdiArea); });

    MDIForm_Load();
    for (QMdiSubWindow *sub : mdiArea->subWindowList()) m_placed << sub;
    connect(mdiArea, &QMdiArea::subWindowActivated, this, &MDItbl::placeNewWindow);
    // While the question of a lost reply is open, the panel's stop keys work.
    prompts = new LinkPrompts(link, this, portInp, [this](QKeyEvent *e) { return commComm->takeStopKey(e); }, this);
    column->insertWidget(0, titleBar);
    column->addWidget(mdiArea, 1);
    mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    resize(preferredSize());
}

MDItbl::~MDItbl()
{
    // Hidden while the link still lives: a key held on the panel is let go
    // (and its stop queued) before the windows go.
    hide();
}

void MDItbl::MDIForm_Load()
{
    // The status strip loads first: the port settings are known before any
    // other window loads.
    titleBar = new TitleBar(link, this);
    titleBar->setCaption = [this](const QString &text) { setWindowTitle(text); };
    titleBar->caption = [this] { return windowTitle(); };
    ReadPortFile(portSettings);

    // Child windows in their start-up order; arrangeWindows() places them.
    tblWrit = new Tbl_Writ(link, pointData);
    tblWrit->setOptions(&options);
    connect(tblWrit, &Tbl_Writ::transferReport, transferStatus, &QLabel::setText);
    connect(tblWrit, &Tbl_Writ::backupKept, this, &MDItbl::tellBackup);
    addChild(tblWrit, Tbl_Writ::loadSize());
    // The torque plot reads parameter 57 each time it is drawn; the waveform
    // window draws its plots before the parameter window exists.
    hMon = new HMon(link, wave, [this] {
        return prmWrit ? prmWrit->TxtPrm[57]->text() : QStringLiteral("0");
    });
    addChild(hMon);
    captures = new CaptureList(this);
    connect(hMon, &HMon::captureTaken, captures,
            [this](const Capture &c) { captures->add(c, motorTypeUnits(), QStringLiteral("Drive")); });
    connect(hMon, &HMon::waveFileOpened, captures, [this](const Capture &c, const QString &path) {
        const QFileInfo info(path);
        captures->add(c, motorTypeUnits(), QDir::toNativeSeparators(info.absoluteFilePath()), info.completeBaseName());
    });
    connect(hMon, &HMon::analysisRequested, this, &MDItbl::showWaveAnalysis);
    commComm = new CommComm(link);
    commComm->setHoldToJog(options.holdToJog);
    addChild(commComm);
    mon2 = new Mon2(link, titleBar->LblMSEL, titleBar->LblROMV, *commComm);
    addChild(mon2);
    alarm = new Alarm(link);
    connect(alarm, &Alarm::presentAlarms, titleBar, &TitleBar::setPresentAlarms);
    addChild(alarm);
    prmWrit = new Prm_Writ(link, [this] { return makerMode(); });
    prmWrit->setOptions(&options);
    connect(prmWrit, &Prm_Writ::transferReport, transferStatus, &QLabel::setText);
    connect(prmWrit, &Prm_Writ::backupKept, this, &MDItbl::tellBackup);
    addChild(prmWrit);
    ioMon = new IOMon(link);
    addChild(ioMon);

    passWord = new PassWord;
    ChildFrame *pwFrame = addChild(passWord, QSize(260, 140));
    pwFrame->onCloseRequest = [this] { passWord->WinPassExit(); };
    passWord->hideWindow = [pwFrame] { pwFrame->hide(); };
    passWord->setMakerMode = [this](bool on) { SetMakerMode(on); };
    pwFrame->hide();

    tools = new ToolsMenu(mnuTools, {this, &link, prmWrit, tblWrit, hMon, &wave, titleBar->LblMSEL, titleBar->LblROMV,
                                     [this] { return makerMode(); },
                                     [this](const QString &text) { transferStatus->setText(text); },
                                     [this] { showWaveAnalysis(); }, captures},
                          this);
    if (tools->alarmLog) tools->alarmLog->askForNames = [this] { return options.nameAlarmsInLog; };
    TrendRecorder::addToMenu(mnuTools, mdiArea, link);
    mnuTools->addSeparator();
    QAction *backups = mnuTools->addAction(QStringLiteral("Open &Backup Folder"));
    backups->setObjectName(QStringLiteral("mnuBackupFolder"));
    backups->setStatusTip(QStringLiteral("The folder of the values kept before each write to the drive"));
    connect(backups, &QAction::triggered, this, [] {
        QDir().mkpath(BackupFolder());
        QDesktopServices::openUrl(QUrl::fromLocalFile(BackupFolder()));
    });

    wave.TrigPos = 15;
    m_startSizes = childSizes();
    arrangeWindows(areaForLayout());
    mdiArea->setActiveSubWindow(frameOf(ioMon));
}

std::array<ChildFrame *, WindowLayout::SlotCount> MDItbl::layoutFrames() const
{
    return {frameOf(commComm), frameOf(mon2), frameOf(alarm), frameOf(hMon),
            frameOf(ioMon),    frameOf(prmWrit), frameOf(tblWrit)};
}

WindowLayout::Sizes MDItbl::childSizes() const
{
    WindowLayout::Sizes sizes;
    const auto frames = layoutFrames();
    for (int i = 0; i < WindowLayout::SlotCount; ++i) sizes[i] = frames[i]->size();
    return sizes;
}

QSize MDItbl::chromeSize() const
{
    // The menu bar, the status strip above the windows and the status bar.
    const int chrome =
        menuBar()->sizeHint().height() + titleBar->sizeHint().height() + statusBar()->sizeHint().height();
    return QSize(4, chrome + 4);
}

QSize MDItbl::areaForLayout() const
{
    // Inside the area's frame, with no room kept for scroll bars: they go
    // once the windows fit.
    if (isVisible()) return mdiArea->contentsRect().size();
    // Before the first show: the screen less the menus, the strips and a
    // window frame with its title bar.
    const QScreen *s = screen();
    if (!s) return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return s->availableGeometry().size() - chromeSize() - QSize(8, 40);
}

void MDItbl::placeAll(const WindowLayout::Arrangement &a)
{
    // Placed from the area's origin, wherever it was scrolled to.
    mdiArea->horizontalScrollBar()->setValue(0);
    mdiArea->verticalScrollBar()->setValue(0);
    const auto frames = layoutFrames();
    for (int i = 0; i < WindowLayout::SlotCount; ++i) {
        if (frames[i]->isMinimized() || frames[i]->isMaximized()) frames[i]->showNormal();
        frames[i]->move(a.positions[i]);
    }
    if (a.kind == WindowLayout::Kind::Cascade) {
        // The last placed comes to the front.
        for (WindowLayout::Slot s : {WindowLayout::Params, WindowLayout::Points, WindowLayout::Scope,
                                     WindowLayout::Panel, WindowLayout::Status, WindowLayout::Alarm, WindowLayout::IO})
            frames[s]->raise();
    }
}

void MDItbl::arrangeWindows(QSize area, bool mayOverlap)
{
    m_arrangement = WindowLayout::Arrange(childSizes(), area, mayOverlap);
    placeAll(m_arrangement);
    m_layoutSize = m_arrangement.extent;
    const QSize pw = frameOf(passWord)->size();
    const QSize shown = m_layoutSize.boundedTo(area);
    frameOf(passWord)->move(qMax(0, (shown.width() - pw.width()) / 2), qMax(0, (shown.height() - pw.height()) / 3));
}

void MDItbl::restoreMaximized()
{
    // A maximised window would hide the arrangement and lend its size to it.
    for (QMdiSubWindow *sub : mdiArea->subWindowList())
        if (sub->isMaximized()) sub->showNormal();
}

void MDItbl::tileWindows()
{
    restoreMaximized();
    arrangeWindows(areaForLayout(), false);
}

void MDItbl::cascadeWindows()
{
    restoreMaximized();
    m_arrangement = WindowLayout::ArrangeAs(WindowLayout::Kind::Cascade, childSizes());
    m_arrangement.fits = m_arrangement.extent.width() <= areaForLayout().width() &&
                         m_arrangement.extent.height() <= areaForLayout().height();
    placeAll(m_arrangement);
}

void MDItbl::arrangeAsAtStart()
{
    restoreMaximized();
    const auto frames = layoutFrames();
    for (int i = 0; i < WindowLayout::SlotCount; ++i) {
        if (frames[i]->isMinimized() || frames[i]->isMaximized()) frames[i]->showNormal();
        QSize size = m_startSizes[i];
        // The status display keeps the room for the maker's rows while they show.
        if (i == WindowLayout::Status && makerMode()) size = size.expandedTo(frames[i]->sizeHint());
        frames[i]->resize(size);
    }
    arrangeWindows(areaForLayout());
}

void MDItbl::showSubWindow(QMdiSubWindow *sub)
{
    if (sub->isMinimized()) sub->showNormal();
    mdiArea->setActiveSubWindow(sub);
    // How far to scroll along one axis so that [lo, hi) shows in [0, view).
    const auto shift = [](int lo, int hi, int view) {
        if (lo < 0) return lo;
        if (hi > view) return qMin(hi - view, lo);
        return 0;
    };
    const QRect g = sub->geometry();
    const QSize view = mdiArea->viewport()->size();
    QScrollBar *h = mdiArea->horizontalScrollBar();
    QScrollBar *v = mdiArea->verticalScrollBar();
    h->setValue(h->value() + shift(g.left(), g.left() + g.width(), view.width()));
    v->setValue(v->value() + shift(g.top(), g.top() + g.height(), view.height()));
}

QSize MDItbl::preferredSize() const
{
    return m_layoutSize + chromeSize();
}

namespace {

const QString MainKey = QStringLiteral("layout/main");
const QString MaximizedKey = QStringLiteral("layout/maximized");

QList<QRect> screenRects()
{
    QList<QRect> rects;
    for (const QScreen *s : QGuiApplication::screens()) rects << s->availableGeometry();
    return rects;
}

}  // namespace

bool MDItbl::restoreLayout()
{
    m_keepLayout = true;
    QSettings s = UserSettings();
    bool any = false;
    for (ChildFrame *f : layoutFrames()) {
        const QRect r = s.value(QStringLiteral("layout/") + f->objectName()).toRect();
        if (r.isEmpty()) continue;
        f->setGeometry(r);
        any = m_restoredPlaces = true;
    }
    if (any) {
        QRect all;
        for (ChildFrame *f : layoutFrames()) all |= f->geometry();
        m_layoutSize = QSize(all.right() + 1, all.bottom() + 1);
    }
    const QRect main = s.value(MainKey).toRect();
    // Judged with the title bar above the window's own area.
    if (main.isEmpty() || !WindowLayout::UsableOnScreens(main.adjusted(0, -WindowLayout::GripHeight, 0, 0),
                                                         screenRects()))
        return false;
    // On the screen it opens on, whole; too large for it (kept on a larger
    // screen), it is maximised there and gets the screen's room when restored.
    const QScreen *on = QGuiApplication::screenAt(main.topLeft() + QPoint(WindowLayout::GripWidth / 2, 0));
    if (!on) on = QGuiApplication::primaryScreen();
    const QRect available = on ? on->availableGeometry() : main;
    const std::optional<QRect> fitted = WindowLayout::FitOnScreen(main, available);
    setGeometry(fitted.value_or(available.adjusted(0, WindowLayout::GripHeight, 0, 0)));
    m_restoredMaximized = !fitted || s.value(MaximizedKey).toBool();
    return true;
}

void MDItbl::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Once the area has its size: places kept on a larger screen come back in.
    if (m_restoredPlaces && !event->spontaneous())
        QTimer::singleShot(0, this, [this] {
            if (std::exchange(m_restoredPlaces, false)) bringWindowsIntoArea();
        });
}

void MDItbl::placeNewWindow(QMdiSubWindow *sub)
{
    if (!sub || m_placed.contains(sub)) return;
    m_placed << sub;
    fitIntoView(sub);
}

void MDItbl::fitIntoView(QMdiSubWindow *sub)
{
    // A window made later (the tools' windows) opens whole inside the part of
    // the area in view where it fits, else from its top-left corner.
    const QSize view = mdiArea->viewport()->size();
    if (!sub->isMaximized()) {
        const QSize size = sub->size().boundedTo(view).expandedTo(sub->minimumSizeHint());
        if (size != sub->size()) sub->resize(size);
        const QRect g = sub->geometry();
        const QPoint at(std::clamp(g.x(), 0, std::max(0, view.width() - g.width())),
                        std::clamp(g.y(), 0, std::max(0, view.height() - g.height())));
        if (at != g.topLeft()) sub->move(at);
    }
}

void MDItbl::bringWindowsIntoArea()
{
    const QSize area = mdiArea->viewport()->size();
    for (QMdiSubWindow *sub : mdiArea->subWindowList()) {
        if (sub->isHidden() || sub->isMinimized() || sub->isMaximized()) continue;
        const QPoint at = WindowLayout::TitleBarInside(sub->geometry(), area);
        if (at != sub->pos()) sub->move(at);
    }
}

void MDItbl::saveLayout() const
{
    QSettings s = UserSettings();
    // Kept as placed from the area's origin, whatever the scrolling.
    const QPoint scrolled(mdiArea->horizontalScrollBar()->value(), mdiArea->verticalScrollBar()->value());
    const auto frames = layoutFrames();
    for (int i = 0; i < WindowLayout::SlotCount; ++i) {
        ChildFrame *f = frames[i];
        QRect r = (f->isMinimized() || f->isMaximized()) ? QRect() : f->geometry().translated(scrolled);
        // The maker's rows are not shown at the next start.
        if (i == WindowLayout::Status && makerMode() && r.isValid()) r.setSize(m_startSizes[i]);
        if (r.isValid()) s.setValue(QStringLiteral("layout/") + f->objectName(), r);
    }
    s.setValue(MainKey, normalGeometry().isValid() ? normalGeometry() : geometry());
    s.setValue(MaximizedKey, isMaximized());
}

ChildFrame *MDItbl::addChild(ChildWindow *child, QSize size)
{
    auto *frame = new ChildFrame;
    frame->setWidget(child);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->setObjectName(child->objectName() + QStringLiteral("Frame"));
    frame->setWindowTitle(child->windowTitle());
    mdiArea->addSubWindow(frame);
    frame->show();
    frame->resize(size.isValid() ? size : frame->sizeHint());
    return frame;
}

ChildFrame *MDItbl::frameOf(QWidget *child) const
{
    for (QWidget *w = child; w; w = w->parentWidget())
        if (auto *f = qobject_cast<ChildFrame *>(w)) return f;
    return nullptr;
}

int MDItbl::motorTypeUnits() const
{
    return WaveGeometry::MotorTypeUnits(ValText(prmWrit ? prmWrit->TxtPrm[57]->text() : QStringLiteral("0")));
}

void MDItbl::tellBackup(const QString &path)
{
    // Until the transfer's own words replace it; the tooltip keeps it.
    const QString where = QDir::toNativeSeparators(path);
    transferStatus->setText(QStringLiteral("The values before the write are kept in ") + where);
    transferStatus->setToolTip(QStringLiteral("The last backup: ") + where);
}

void MDItbl::showWaveAnalysis()
{
    if (!waveAnalysis) {
        waveAnalysis = new WaveAnalysisWindow(*captures, [this] { return motorTypeUnits(); });
        // Big enough for its plots and its whole table, or the whole main
        // area when that is smaller; placed over the other windows.
        const QSize area = mdiArea->viewport()->size();
        ChildFrame *frame = addChild(waveAnalysis, {});
        const QSize wanted = frame->sizeHint();
        if (wanted.width() + 20 <= area.width() && wanted.height() + 20 <= area.height()) {
            frame->resize(wanted);
            frame->move(QPoint(20, 20));
        } else {
            frame->setGeometry(QRect(QPoint(0, 0), area));
        }
    }
    ChildFrame *frame = frameOf(waveAnalysis);
    if (frame->isMinimized() || frame->isHidden()) frame->showNormal();
    mdiArea->setActiveSubWindow(frame);
}

QString MDItbl::activeTag() const
{
    // The current sub-window stays current while another program has the focus.
    QMdiSubWindow *sub = mdiArea->currentSubWindow();
    auto *child = sub ? qobject_cast<ChildWindow *>(sub->widget()) : nullptr;
    return child ? child->tag() : QString();
}

void MDItbl::buildMenus()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("File(&F)"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFile1 = mnuFile->addAction(QStringLiteral("Quit(&Q)"));
    mnuFile1->setObjectName(QStringLiteral("mnuFile1"));
    connect(mnuFile1, &QAction::triggered, this, &MDItbl::endProgram);

    mnuWindow = menuBar()->addMenu(QStringLiteral("Window(&W)"));
    mnuWindow->setObjectName(QStringLiteral("mnuWindow"));
    connect(mnuWindow, &QMenu::aboutToShow, this, &MDItbl::fillWindowMenu);
    const auto arranging = [this](const QString &caption, const char *name, void (MDItbl::*slot)()) {
        auto *item = new QAction(caption, this);
        item->setObjectName(QLatin1String(name));
        connect(item, &QAction::triggered, this, slot);
        return item;
    };
    mnuTile = arranging(QStringLiteral("&Tile"), "mnuTile", &MDItbl::tileWindows);
    mnuCascade = arranging(QStringLiteral("&Cascade"), "mnuCascade", &MDItbl::cascadeWindows);
    mnuArrangeAtStart =
        arranging(QStringLiteral("&Arrange as at Start"), "mnuArrangeAtStart", &MDItbl::arrangeAsAtStart);
    fillWindowMenu();

    mnuTools = menuBar()->addMenu(QStringLiteral("Tools(&T)"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));

    mnuSystem = menuBar()->addMenu(QStringLiteral("System(&S)"));
    mnuSystem->setObjectName(QStringLiteral("mnuSystem"));
    const QString captions[3] = {QStringLiteral("Commport Select"), QStringLiteral("PassWord(&P)"),
                                 QStringLiteral("About(&A)")};
    for (int i = 0; i < 3; ++i) {
        mnuSystem1[i] = mnuSystem->addAction(captions[i]);
        mnuSystem1[i]->setObjectName(QStringLiteral("mnuSystem1(%1)").arg(i));
        connect(mnuSystem1[i], &QAction::triggered, this, [this, i] { mnuSystem1_Click(i); });
    }
    mnuSystem1[1]->setCheckable(true);

    mnuOptions = menuBar()->addMenu(QStringLiteral("Options(&O)"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    options = LoadUserOptions();
    const auto option = [this](const QString &caption, const char *name, bool UserOptions::*flag) {
        QAction *item = mnuOptions->addAction(caption);
        item->setObjectName(QLatin1String(name));
        item->setCheckable(true);
        item->setChecked(options.*flag);
        connect(item, &QAction::toggled, this, [this, flag](bool on) {
            options.*flag = on;
            if (commComm) commComm->setHoldToJog(options.holdToJog);
            link.setKeepAllLive(options.keepAllMonitorsLive);
            link.port().setRepliesWhole(options.takeRepliesWhole);
            SaveUserOptions(options);
        });
        return item;
    };
    mnuHoldToJog = option(QStringLiteral("Hold to &Jog"), "mnuHoldToJog", &UserOptions::holdToJog);
    mnuBackUp = option(QStringLiteral("&Back Up Before Writing"), "mnuBackUp", &UserOptions::backUpBeforeWriting);
    mnuVerify = option(QStringLiteral("&Verify After Writing"), "mnuVerify", &UserOptions::verifyAfterWriting);
    option(QStringLiteral("&Name Alarms in the Log"), "mnuNameAlarms", &UserOptions::nameAlarmsInLog);
    mnuKeepAllLive =
        option(QStringLiteral("Keep All &Monitors Live"), "mnuKeepAllLive", &UserOptions::keepAllMonitorsLive);
    mnuRepliesWhole = option(QStringLiteral("Take &Replies Whole (Less CPU)"), "mnuRepliesWhole",
                             &UserOptions::takeRepliesWhole);
    mnuRepliesWhole->setStatusTip(QStringLiteral(
        "The serial port hands each reply over at its end: a third of the CPU while polling, "
        "and each reply seen up to about 0.2 ms later"));
    link.setKeepAllLive(options.keepAllMonitorsLive);
    link.port().setRepliesWhole(options.takeRepliesWhole);
}

void MDItbl::fillWindowMenu()
{
    // The arranging items belong to the main window and outlive the clearing.
    mnuWindow->clear();
    mnuWindow->addActions({mnuTile, mnuCascade, mnuArrangeAtStart});
    mnuWindow->addSeparator();
    int n = 0;
    for (QMdiSubWindow *sub : mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (sub->isHidden()) continue;
        ++n;
        const QString text = (n < 10 ? QStringLiteral("&%1 ").arg(n) : QString()) + sub->windowTitle();
        QAction *a = mnuWindow->addAction(text);
        a->setCheckable(true);
        a->setChecked(sub == mdiArea->currentSubWindow());
        connect(a, &QAction::triggered, this, [this, sub] { showSubWindow(sub); });
    }
}

void MDItbl::mnuSystem1_Click(int index)
{
    switch (index) {
    case 0:
        portInp->exec();
        break;
    case 1: {
        // Qt has toggled the tick already; the tick only follows maker mode.
        const bool wasOn = !mnuSystem1[1]->isChecked();
        mnuSystem1[1]->setChecked(wasOn);
        if (wasOn) {
            SetMakerMode(false);
        } else {
            ChildFrame *frame = frameOf(passWord);
            frame->show();
            frame->showNormal();
            mdiArea->setActiveSubWindow(frame);
            passWord->TxtPassWord->setFocus();
        }
        break;
    }
    case 2:
        showAbout();
        break;
    default:
        break;
    }
}

void MDItbl::showAbout()
{
    Version about(this);
    about.exec();
}

bool MDItbl::makerMode() const { return mnuSystem1[1]->isChecked(); }

void MDItbl::SetMakerMode(bool on)
{
    const bool was = makerMode();
    ChildFrame *frame = frameOf(mon2);
    if (on && !was) m_sizeBeforeMaker = frame->size();
    mnuSystem1[1]->setChecked(on);
    if (prmWrit) prmWrit->SetMakerMode(on);
    // The status display grows in place for the maker's rows and goes back to
    // its size before them; no other window moves (a switch that changes
    // nothing, as a wrong password, changes nothing on screen). Where it no
    // longer fits, the area scrolls.
    mon2->setMakerControlsVisible(on);
    if (!on && was && !frame->isMinimized() && !frame->isMaximized() && m_sizeBeforeMaker.isValid())
        frame->resize(m_sizeBeforeMaker);
    if (on && !was) frame->raise();
}

void MDItbl::closeEvent(QCloseEvent *event)
{
    // No question and nothing saved; the stops go out first, and the program
    // ends once they are answered (the window stays until then).
    event->ignore();
    endProgram();
}

void MDItbl::endProgram()
{
    if (m_ending) return;  // a second close while the stops are answered
    m_ending = true;
    auto *stops = new StopJob(link, commComm->jogShown(), commComm->highSpeedShown(), this);
    connect(stops, &DriveJob::finished, this, [this, stops] {
        stops->deleteLater();
        setEnabled(true);
        if (m_keepLayout) saveLayout();
        if (exitProgram) exitProgram();
    });
    stops->start();
    // Nothing else is queued meanwhile (a key held on the panel is let go
    // as the focus leaves it: its stop joins the job's).
    if (stops->running()) setEnabled(false);
}
