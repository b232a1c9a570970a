#include "mditbl.h"

#include "app/childwindow.h"
#include "app/password.h"
#include "app/portfile.h"
#include "app/portinp.h"
#include "app/version.h"
#include "link/titlebar.h"
#include "monitor/alarm.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "monitor/mon2.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "wave/hmon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
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
    portInp = new PortInp(link, std::move(listPorts), this);
    connectLinkUi();
    link.setActiveTagSource([this] { return activeTag(); });

    MDIForm_Load();
    column->insertWidget(0, titleBar);
    column->addWidget(mdiArea, 1);
    resize(1280, 860);
}

MDItbl::~MDItbl() = default;

void MDItbl::MDIForm_Load()
{
    // The status strip loads first: the port settings are known before any
    // other window loads.
    titleBar = new TitleBar(link, this);
    titleBar->setCaption = [this](const QString &text) { setWindowTitle(text); };
    titleBar->caption = [this] { return windowTitle(); };
    ReadPortFile(portSettings);

    // Child windows in their start-up order, each placed where it reads well.
    tblWrit = new Tbl_Writ(link, pointData);
    addChild(tblWrit, QRect(QPoint(0, 0), Tbl_Writ::loadSize()));
    // The torque plot reads parameter 57 each time it is drawn; the waveform
    // window draws its plots before the parameter window exists.
    hMon = new HMon(link, wave, [this] {
        return prmWrit ? prmWrit->TxtPrm[57]->text() : QStringLiteral("0");
    });
    addChild(hMon, QRect(430, 0, 420, 360));
    commComm = new CommComm(link);
    addChild(commComm, QRect(860, 0, 400, 360));
    mon2 = new Mon2(link, *titleBar, *commComm);
    addChild(mon2, QRect(0, 370, 420, 300));
    alarm = new Alarm(link);
    addChild(alarm, QRect(430, 370, 300, 300));
    prmWrit = new Prm_Writ(link, [this] { return makerMode(); });
    addChild(prmWrit, QRect(740, 370, 420, 300));
    ioMon = new IOMon(link);
    addChild(ioMon, QRect(1170, 370, 260, 300));

    passWord = new PassWord;
    ChildFrame *pwFrame = addChild(passWord, QRect(480, 200, 260, 140));
    pwFrame->onCloseRequest = [this] { passWord->WinPassExit(); };
    passWord->hideWindow = [pwFrame] { pwFrame->hide(); };
    passWord->setMakerMode = [this](bool on) { SetMakerMode(on); };
    pwFrame->hide();

    wave.TrigPos = 15;
    mdiArea->setActiveSubWindow(frameOf(ioMon));
}

ChildFrame *MDItbl::addChild(ChildWindow *child, const QRect &geometry)
{
    auto *frame = new ChildFrame;
    frame->setWidget(child);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->setObjectName(child->objectName() + QStringLiteral("Frame"));
    frame->setWindowTitle(child->windowTitle());
    mdiArea->addSubWindow(frame);
    frame->setGeometry(geometry);
    frame->show();
    return frame;
}

ChildFrame *MDItbl::frameOf(QWidget *child) const
{
    for (QWidget *w = child; w; w = w->parentWidget())
        if (auto *f = qobject_cast<ChildFrame *>(w)) return f;
    return nullptr;
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
    connect(mnuFile1, &QAction::triggered, this, [] { QApplication::exit(0); });

    mnuWindow = menuBar()->addMenu(QStringLiteral("Window(&W)"));
    mnuWindow->setObjectName(QStringLiteral("mnuWindow"));
    connect(mnuWindow, &QMenu::aboutToShow, this, &MDItbl::fillWindowMenu);

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
                  << QStringLiteral("他のアプリケーションでポートを閉じてから") << QStringLiteral("設定し直して下さい。");
        } else {
            lines << QStringLiteral("ポート番号が不正です");
        }
        QMessageBox box(QMessageBox::Warning, QStringLiteral("CommPort"), lines.join(QLatin1Char('\r')),
                        QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("PortErrorMessage"));
        box.exec();
    };
    link.showPortDialog = [this] { portInp->exec(); };
}

void MDItbl::closeEvent(QCloseEvent *event)
{
    // Ends the program at once: no question, nothing saved, nothing sent.
    event->accept();
    QApplication::exit(0);
}
