// The main window: its start-up, the windows it builds on the session, its
// menus, maker mode and the end of the program (the arrangement of the
// windows is in mditbllayout.cpp).

#include "mditbl.h"

#include "app/garbledcount.h"
#include "app/linkprompts.h"
#include "app/livetags.h"
#include "app/password.h"
#include "app/portfile.h"
#include "app/portinp.h"
#include "app/titlebar.h"
#include "app/version.h"
#include "common/childwindow.h"
#include "common/messagelines.h"
#include "drive/backups.h"
#include "drive/session.h"
#include "drive/stopjob.h"
#include "monitor/alarm.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "monitor/mon2.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "tools/toolsmenu.h"
#include "tools/waveanalysiswindow.h"
#include "trend/trendwindow.h"
#include "wave/hmon.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

MDItbl::MDItbl(Session &session, FileChooser &files, std::function<QList<PortEntry>()> listPorts, QWidget *parent)
    : QMainWindow(parent), m_session(session), m_files(files)
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
    DriveLink &link = m_session.link;
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
    // Hidden while every window is whole: a key held on the panel is let go
    // (and its stop queued). Then the windows' decoders and poll builders
    // leave the session's link, which outlives them.
    hide();
    m_session.link.dropRegistrations();
}

void MDItbl::MDIForm_Load()
{
    // The status strip loads first: the port settings are known before any
    // other window loads.
    titleBar = new TitleBar(m_session.link, m_session.drive, m_session.clock(), this);
    connect(titleBar, &TitleBar::captionChanged, this, &QWidget::setWindowTitle);
    ReadPortFile(m_session.portSettings);
    buildWindows();

    passWord = new PassWord;
    ChildFrame *pwFrame = addChild(passWord, QSize(260, 140));
    connect(passWord, &PassWord::makerModeChosen, this, &MDItbl::SetMakerMode);
    pwFrame->hide();

    tools = new ToolsMenu(mnuTools, m_session, m_files, this);
    connect(tools, &ToolsMenu::report, transferStatus, &QLabel::setText);
    connect(tools, &ToolsMenu::waveAnalysisRequested, this, &MDItbl::showWaveAnalysis);
    TrendRecorder::addToMenu(mnuTools, mdiArea, m_session.link, m_files, m_session.clock());
    mnuTools->addSeparator();
    QAction *backups = mnuTools->addAction(QStringLiteral("Open &Backup Folder"));
    backups->setObjectName(QStringLiteral("mnuBackupFolder"));
    backups->setStatusTip(QStringLiteral("The folder of the values kept before each write to the drive"));
    connect(backups, &QAction::triggered, this, [] {
        QDir().mkpath(BackupFolder());
        QDesktopServices::openUrl(QUrl::fromLocalFile(BackupFolder()));
    });

    m_session.wave.TrigPos = 15;
    m_startSizes = childSizes();
    arrangeWindows(areaForLayout());
    mdiArea->setActiveSubWindow(frameOf(ioMon));
}

void MDItbl::buildWindows()
{
    // Child windows in their start-up order; arrangeWindows() places them.
    Session &s = m_session;
    DriveLink &link = s.link;
    tblWrit = new Tbl_Writ(link, s.points, m_files);
    tblWrit->setOptions(&s.options());
    connect(tblWrit, &Tbl_Writ::transferReport, transferStatus, &QLabel::setText);
    connect(tblWrit, &Tbl_Writ::backupKept, this, &MDItbl::tellBackup);
    addChild(tblWrit, Tbl_Writ::loadSize());
    hMon = new HMon(link, s.wave, s.parameters, m_files);
    addChild(hMon);
    // Each capture keeps the torque scale of the motor type set when it came.
    connect(hMon, &HMon::captureTaken, &s.captures, [&s](const Capture &c) {
        s.captures.add(c, s.parameters.motorTypeUnits(), QStringLiteral("Drive"));
    });
    connect(hMon, &HMon::waveFileOpened, &s.captures, [&s](const Capture &c, const QString &path) {
        const QFileInfo info(path);
        s.captures.add(c, s.parameters.motorTypeUnits(), QDir::toNativeSeparators(info.absoluteFilePath()),
                       info.completeBaseName());
    });
    connect(hMon, &HMon::analysisRequested, this, &MDItbl::showWaveAnalysis);
    commComm = new CommComm(link, s.drive, s.clock());
    commComm->setHoldToJog(s.options().holdToJog);
    connect(&s, &Session::optionsChanged, commComm,
            [this](const UserOptions &options) { commComm->setHoldToJog(options.holdToJog); });
    addChild(commComm);
    mon2 = new Mon2(link, s.drive, s.clock());
    addChild(mon2);
    alarm = new Alarm(link, s.clock());
    connect(alarm, &Alarm::presentAlarms, titleBar, &TitleBar::setPresentAlarms);
    addChild(alarm);
    prmWrit = new Prm_Writ(link, s.parameters, s.maker, m_files);
    prmWrit->setOptions(&s.options());
    connect(prmWrit, &Prm_Writ::transferReport, transferStatus, &QLabel::setText);
    connect(prmWrit, &Prm_Writ::backupKept, this, &MDItbl::tellBackup);
    connect(prmWrit, &Prm_Writ::transferRefused, this, [this](const QString &text) {
        OpenMessage(prmWrit, QMessageBox::Information, prmWrit->windowTitle(), text,
                    QStringLiteral("TransferBusyMessage"));
    });
    addChild(prmWrit);
    ioMon = new IOMon(link, s.clock());
    addChild(ioMon);
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
        waveAnalysis = new WaveAnalysisWindow(m_session.captures, m_session.parameters, m_files);
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

    buildOptionsMenu();
}

void MDItbl::buildOptionsMenu()
{
    mnuOptions = menuBar()->addMenu(QStringLiteral("Options(&O)"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    // The session keeps them and applies them; an item only shows one.
    const auto option = [this](const QString &caption, const char *name, bool UserOptions::*flag) {
        QAction *item = mnuOptions->addAction(caption);
        item->setObjectName(QLatin1String(name));
        item->setCheckable(true);
        item->setChecked(m_session.options().*flag);
        connect(item, &QAction::toggled, this, [this, flag](bool on) { m_session.setOption(flag, on); });
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
    // The line has no checksum: a digit bent into another digit passes every
    // check of a single reply, but not a second reply that must agree.
    mnuReadTwice = option(QStringLiteral("Read Each Block &Twice"), "mnuReadTwice", &UserOptions::readEachBlockTwice);
    mnuReadTwice->setStatusTip(QStringLiteral(
        "Reads of parameters and the point table take a block only when two replies agree: "
        "for a noisy line, at twice the time"));
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
        const bool wasOn = makerMode();
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

bool MDItbl::makerMode() const { return m_session.maker.isOn(); }

void MDItbl::SetMakerMode(bool on)
{
    const bool was = makerMode();
    ChildFrame *frame = frameOf(mon2);
    if (on && !was) m_sizeBeforeMaker = frame->size();
    m_session.maker.set(on);
    mnuSystem1[1]->setChecked(on);
    prmWrit->SetMakerMode(on);
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
    const DriveInfo &drive = m_session.drive;
    auto *stops = new StopJob(m_session.link, drive.jogShown(), drive.highSpeedShown(), this);
    connect(stops, &DriveJob::finished, this, [this, stops] {
        stops->deleteLater();
        setEnabled(true);
        if (m_keepLayout) saveLayout();
        Q_EMIT programEnded();
    });
    stops->start();
    // Nothing else is queued meanwhile (a key held on the panel is let go
    // as the focus leaves it: its stop joins the job's).
    if (stops->running()) setEnabled(false);
}
