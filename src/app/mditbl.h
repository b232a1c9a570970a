#pragma once
// The main window: the status strip on top, the seven child windows inside,
// and the menus File, Window and System. It owns the shared state and tells
// the link which window is active.

#include "common/useroptions.h"
#include "drive/link/drivelink.h"
#include "drive/link/portmap.h"
#include "drive/link/portsettings.h"
#include "app/windowlayout.h"
#include "drive/points/pointdata.h"
#include "drive/wave/wavestate.h"

#include <QApplication>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>

class QAction;
class ToolsMenu;
class QLabel;
class QMdiArea;
class QMenu;
class QMdiSubWindow;
class ChildFrame;
class ChildWindow;
class TitleBar;
class Tbl_Writ;
class HMon;
class CommComm;
class Mon2;
class Alarm;
class Prm_Writ;
class IOMon;
class PortInp;
class PassWord;
class Version;
class CaptureList;
class LinkPrompts;
class WaveAnalysisWindow;

class MDItbl : public QMainWindow {
    Q_OBJECT
public:
    // listPorts gives the port dialog its list; the port is the link's.
    MDItbl(SerialIo &port, std::function<QList<PortEntry>()> listPorts = {}, QWidget *parent = nullptr);
    ~MDItbl() override;

    // Shared state, handed to the windows that need it.
    PortSettings portSettings;
    PointData pointData{};
    WaveState wave;
    DriveLink link;

    QMdiArea *mdiArea;
    TitleBar *titleBar = nullptr;
    Tbl_Writ *tblWrit = nullptr;
    HMon *hMon = nullptr;
    CommComm *commComm = nullptr;
    Mon2 *mon2 = nullptr;
    Alarm *alarm = nullptr;
    Prm_Writ *prmWrit = nullptr;
    IOMon *ioMon = nullptr;
    PassWord *passWord = nullptr;
    PortInp *portInp = nullptr;

    QMenu *mnuFile;
    QAction *mnuFile1;
    QMenu *mnuWindow;
    QMenu *mnuSystem;
    std::array<QAction *, 3> mnuSystem1{};
    // Beyond the drive's own menus: tools, and options kept between runs.
    QMenu *mnuTools;
    QMenu *mnuOptions;
    QAction *mnuHoldToJog;
    QAction *mnuBackUp;
    QAction *mnuVerify;
    QAction *mnuKeepAllLive;
    QAction *mnuRepliesWhole = nullptr;
    UserOptions options;
    ToolsMenu *tools = nullptr;
    // Every capture of this session, and the window that analyses them (made
    // when first asked for).
    CaptureList *captures = nullptr;
    WaveAnalysisWindow *waveAnalysis = nullptr;
    void showWaveAnalysis();
    // Says on the status line where the values before a write were kept.
    void tellBackup(const QString &path);
    // The torque units that make 100 % for the motor type in the parameter window.
    int motorTypeUnits() const;
    // The shared status line: how the last transfer went, or how far it is.
    QLabel *transferStatus = nullptr;

    // The frame of a child window inside the main area.
    ChildFrame *frameOf(QWidget *child) const;
    // The tag of the active child window, empty when it has none.
    QString activeTag() const;
    // Maker mode is on exactly while "PassWord(&P)" is ticked.
    bool makerMode() const;
    void SetMakerMode(bool on);

    // The size at which every child window shows whole as arranged at start.
    QSize preferredSize() const;
    // The arrangement last made by arrangeWindows(), and whether it fitted.
    const WindowLayout::Arrangement &arrangement() const { return m_arrangement; }

    // "Window(&W)": the windows side by side at their sizes, three columns or
    // two as the area allows; each a title bar below the last; the start-up
    // sizes in the start-up arrangement for the area there is now.
    QAction *mnuTile = nullptr;
    QAction *mnuCascade = nullptr;
    QAction *mnuArrangeAtStart = nullptr;
    void tileWindows();
    void cascadeWindows();
    void arrangeAsAtStart();
    // Makes a child window the active one and scrolls the window area until
    // it shows (its top-left corner first where it is larger than the area).
    void showSubWindow(QMdiSubWindow *sub);

    // The places of the windows between runs: restoreLayout() takes back what
    // saveLayout() kept, leaving out a main window place that is on no screen
    // now; from then on the program keeps its layout when it ends.
    bool restoreLayout();
    void saveLayout() const;
    // Moves every child window whose title bar lies outside the window area
    // back in as far as it takes (a place kept on a larger screen).
    void bringWindowsIntoArea();
    bool restoredMaximized() const { return m_restoredMaximized; }

    void mnuSystem1_Click(int index);
    void showAbout();

    // Quit and closing the main window end here. A stop job (StopJob) writes
    // every stop that waits, and "JOGOFF" (and "HSOFF") while the axis may
    // still be jogging (this program started a jog or high speed and did not
    // stop it, or the last status shows one); the program ends as soon as
    // their replies are in, or given up after the link's time-out without the
    // question. Offline or with the port closed it ends at once.
    void endProgram();
    // Ends the event loop; tests replace it.
    std::function<void()> exitProgram = [] { QApplication::exit(0); };
    // The question of a lost reply and the port messages.
    LinkPrompts *prompts = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void MDIForm_Load();
    ChildFrame *addChild(ChildWindow *child, QSize size = QSize());
    // Arranges the seven child windows at their present sizes for the area.
    void arrangeWindows(QSize area, bool mayOverlap = true);
    void placeAll(const WindowLayout::Arrangement &a);
    WindowLayout::Sizes childSizes() const;
    std::array<ChildFrame *, WindowLayout::SlotCount> layoutFrames() const;
    // Room for the window area: the present one once shown, else what the
    // screen leaves beside the menus and strips.
    QSize areaForLayout() const;
    QSize chromeSize() const;
    void buildMenus();
    void fillWindowMenu();

    QSize m_layoutSize;
    WindowLayout::Arrangement m_arrangement;
    WindowLayout::Sizes m_startSizes{};
    bool m_keepLayout = false;
    bool m_restoredMaximized = false;
    bool m_restoredPlaces = false;  // child windows went where an earlier run left them
    // The windows the area has shown; one shown the first time is put inside it.
    QList<QPointer<QMdiSubWindow>> m_placed;
    void placeNewWindow(QMdiSubWindow *sub);
    void fitIntoView(QMdiSubWindow *sub);
    void restoreMaximized();
    QSize m_sizeBeforeMaker;  // the status display's size before the maker's rows showed
    bool m_ending = false;
};
