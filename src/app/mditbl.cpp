#include "mditbl.h"

#include "common/childwindow.h"
#include "common/messagelines.h"
#include "app/password.h"
#include "app/portfile.h"
#include "app/portinp.h"
#include "common/useroptions.h"
#include "app/version.h"
#include "app/titlebar.h"
#include "app/livetags.h"
#include "tools/toolsmenu.h"
#include "drive/alarmlog.h"
#include "trend/trendwindow.h"
#include "monitor/alarm.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "monitor/mon2.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "drive/numtext.h"
#include "tools/capturelist.h"
#include "tools/waveanalysiswindow.h"
#include "wave/hmon.h"
#include "wave/wavegeometry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QEventLoop>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>
#include <QMessageBox>
#include <QTimer>
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
    transferStatus->setAccessibleName(QStringLiteral("Transfer status"));
    transferStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(transferStatus, 1);
    portInp = new PortInp(link, std::move(listPorts), this);
    connectLinkUi();
    link.setActiveTagSource([this] { return activeTag(); });
    link.setLiveTagSource([this] { return LiveTags(*mdiArea); });

    MDIForm_Load();
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
                                     [this] { showWaveAnalysis(); }},
                          this);
    if (tools->alarmLog) tools->alarmLog->askForNames = [this] { return options.nameAlarmsInLog; };
    TrendRecorder::addToMenu(mnuTools, mdiArea, link);

    wave.TrigPos = 15;
    arrangeWindows();
    mdiArea->setActiveSubWindow(frameOf(ioMon));
}

void MDItbl::arrangeWindows()
{
    // Three columns: operating the axis (panel over status and alarms), the
    // scope over the I/O, and the two editors.
    constexpr int gap = 4;
    auto size = [this](QWidget *child) { return frameOf(child)->size(); };
    auto place = [this](QWidget *child, int x, int y) { frameOf(child)->move(x, y); };

    const int belowPanel = size(commComm).height() + gap;
    place(commComm, 0, 0);
    place(mon2, 0, belowPanel);
    place(alarm, size(mon2).width() + gap, belowPanel);
    const int col2 = qMax(size(commComm).width(), size(mon2).width() + gap + size(alarm).width()) + gap;
    place(hMon, col2, 0);
    place(ioMon, col2, size(hMon).height() + gap);
    const int col3 = col2 + qMax(size(hMon).width(), size(ioMon).width()) + gap;
    place(prmWrit, col3, 0);
    place(tblWrit, col3, size(prmWrit).height() + gap);

    QRect all;
    for (QWidget *w : {static_cast<QWidget *>(commComm), static_cast<QWidget *>(mon2), static_cast<QWidget *>(alarm),
                       static_cast<QWidget *>(hMon), static_cast<QWidget *>(ioMon), static_cast<QWidget *>(prmWrit),
                       static_cast<QWidget *>(tblWrit)})
        all |= frameOf(w)->geometry();
    m_layoutSize = all.size();
    const QSize pw = size(passWord);
    frameOf(passWord)->move((all.width() - pw.width()) / 2, (all.height() - pw.height()) / 3);
}

QSize MDItbl::preferredSize() const
{
    // The arranged windows, plus the menu bar, the status strip and the frame.
    const int chrome =
        menuBar()->sizeHint().height() + titleBar->sizeHint().height() + statusBar()->sizeHint().height();
    return m_layoutSize + QSize(4, chrome + 4);
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

void MDItbl::showWaveAnalysis()
{
    if (!waveAnalysis) {
        waveAnalysis = new WaveAnalysisWindow(*captures);
        ChildFrame *frame = addChild(waveAnalysis, QSize(900, 640));
        // Placed over the other windows, within the main area.
        frame->move(QPoint(20, 20));
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
            SaveUserOptions(options);
        });
        return item;
    };
    mnuHoldToJog = option(QStringLiteral("Hold to Jog"), "mnuHoldToJog", &UserOptions::holdToJog);
    mnuBackUp = option(QStringLiteral("Back Up Before Writing"), "mnuBackUp", &UserOptions::backUpBeforeWriting);
    mnuVerify = option(QStringLiteral("Verify After Writing"), "mnuVerify", &UserOptions::verifyAfterWriting);
    option(QStringLiteral("Name Alarms in the Log"), "mnuNameAlarms", &UserOptions::nameAlarmsInLog);
    mnuKeepAllLive =
        option(QStringLiteral("Keep All Monitors Live"), "mnuKeepAllLive", &UserOptions::keepAllMonitorsLive);
    link.setKeepAllLive(options.keepAllMonitorsLive);
}

void MDItbl::fillWindowMenu()
{
    mnuWindow->clear();
    int n = 0;
    for (QMdiSubWindow *sub : mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (sub->isHidden()) continue;
        ++n;
        const QString text = (n < 10 ? QStringLiteral("&%1 ").arg(n) : QString()) + sub->windowTitle();
        QAction *a = mnuWindow->addAction(text);
        a->setCheckable(true);
        a->setChecked(sub == mdiArea->currentSubWindow());
        connect(a, &QAction::triggered, this, [this, sub] {
            if (sub->isMinimized()) sub->showNormal();
            mdiArea->setActiveSubWindow(sub);
        });
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
    mnuSystem1[1]->setChecked(on);
    if (prmWrit) prmWrit->SetMakerMode(on);
    mon2->setMakerControlsVisible(on);
}

void MDItbl::connectLinkUi()
{
    link.askRetry = [this] {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"),
                        QStringLiteral("It failed in the communication."), QMessageBox::Retry | QMessageBox::Cancel,
                        this);
        box.setObjectName(QStringLiteral("LinkTimeoutQuestion"));
        return box.exec() == QMessageBox::Retry;
    };
    link.showPortError = [this](OpenStatus status, int portNo) {
        QStringList lines{QStringLiteral("COMM%1").arg(portNo)};
        if (status == OpenStatus::InUse) {
            lines << QStringLiteral("このポートは既に使用されています。")
                  << QStringLiteral("他のアプリケーションでポートを閉じてから")
                  << QStringLiteral("設定し直して下さい。");
        } else {
            lines << QStringLiteral("ポート番号が不正です");
        }
        ShowMessage(this, QMessageBox::Warning, QStringLiteral("CommPort"), lines.join(QLatin1Char('\r')),
                    QStringLiteral("PortErrorMessage"));
    };
    link.showPortDialog = [this] { portInp->exec(); };
}

void MDItbl::closeEvent(QCloseEvent *event)
{
    // No question and nothing saved; only a jog left running is stopped.
    event->accept();
    endProgram();
}

void MDItbl::endProgram()
{
    if (m_ending) return;  // a second close while the stops are answered
    m_ending = true;
    stopMotion();
    if (exitProgram) exitProgram();
}

bool MDItbl::stopMotion()
{
    if (portSettings.OfflineMode != 0 || !link.portOpen()) return false;
    const bool highSpeed = link.highSpeedOn() || commComm->highSpeedShown();
    if (!link.jogStarted() && !commComm->jogShown() && !highSpeed) return false;

    // A stop is never replaced in the slot, so both go out, "JOGOFF" first.
    link.setCommand("JOGOFF");
    if (highSpeed) link.setCommand("HSOFF");
    link.setQuietTimeouts(true);
    setEnabled(false);  // nothing else is queued meanwhile
    QEventLoop wait;
    QTimer check;
    // A lost reply is given up by the link's time-out, which then sends the
    // next stop; the bound only guards against a link that stopped turning.
    QElapsedTimer since;
    since.start();
    connect(&check, &QTimer::timeout, &wait, [&] {
        if (!link.stopOutstanding() || !link.portOpen() || since.elapsed() > 6000) wait.quit();
    });
    connect(&link, &DriveLink::replyDecoded, &wait, [&] {
        if (!link.stopOutstanding()) wait.quit();
    });
    check.start(20);
    wait.exec();
    link.setQuietTimeouts(false);
    setEnabled(true);
    return true;
}
