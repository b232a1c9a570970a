#pragma once
// The main window: the status strip on top, the seven child windows inside,
// and the menus File, Window, Tools, System and Options. It holds no state of
// the program: the session (built before it in main() and in every test rig)
// owns the link, the models, the captures, the alarm log and the options,
// and outlives it. The main window builds the windows as views of the
// session, hands each what it needs, tells the link which window is active,
// and shows what its windows and menus report.

#include "app/windowlayout.h"
#include "drive/link/portmap.h"

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
class FileChooser;
class Session;
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
class LinkPrompts;
class WaveAnalysisWindow;

class MDItbl : public QMainWindow {
    Q_OBJECT
public:
    // session and files outlive the window. listPorts gives the port dialog
    // its list each time the dialog opens (a source the dialog asks, with
    // nothing to tell back: kept a function).
    MDItbl(Session &session, FileChooser &files, std::function<QList<PortEntry>()> listPorts = {},
           QWidget *parent = nullptr);
    ~MDItbl() override;

    // The windows and menus, for the shell's start-up and for the tests that
    // drive them as a user does. Made once, with the window; never replaced.
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
    // The question of a lost reply and the port messages.
    LinkPrompts *prompts = nullptr;
    // "Tools(&T)"'s commands; the window that analyses the captures (made
    // when first asked for).
    ToolsMenu *tools = nullptr;
    WaveAnalysisWindow *waveAnalysis = nullptr;
    // The shared status line: how the last transfer went, or how far it is.
    QLabel *transferStatus = nullptr;

    QAction *mnuFile1;  // "Quit(&Q)"
    QMenu *mnuWindow;
    QAction *mnuTile = nullptr;
    QAction *mnuCascade = nullptr;
    QAction *mnuArrangeAtStart = nullptr;
    QMenu *mnuTools;
    QMenu *mnuSystem;
    std::array<QAction *, 3> mnuSystem1{};
    QMenu *mnuOptions;
    QAction *mnuHoldToJog;
    QAction *mnuKeepAllLive;
    QAction *mnuReadTwice = nullptr;
    QAction *mnuRepliesWhole = nullptr;

    // The frame of a child window inside the main area.
    ChildFrame *frameOf(QWidget *child) const;
    // The tag of the active child window, empty when it has none.
    QString activeTag() const;
    // Maker mode is on exactly while "PassWord(&P)" is ticked.
    bool makerMode() const;
    void SetMakerMode(bool on);

    // The size at which every child window shows whole as arranged at start.
    QSize preferredSize() const;
    // The arrangement last made, and whether it fitted.
    const WindowLayout::Arrangement &arrangement() const { return m_arrangement; }

    // The places of the windows between runs: restoreLayout() takes back what
    // an earlier run kept, leaving out a main window place that is on no
    // screen now; from then on the program keeps its layout when it ends.
    bool restoreLayout();
    bool restoredMaximized() const { return m_restoredMaximized; }

Q_SIGNALS:
    // Quit and closing the main window end here: the stops are answered (or
    // given up) and the layout is kept; main() ends the event loop.
    void programEnded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void MDIForm_Load();
    void buildWindows();
    ChildFrame *addChild(ChildWindow *child, QSize size = QSize());
    void buildMenus();
    void buildOptionsMenu();
    void fillWindowMenu();
    void mnuSystem1_Click(int index);
    void showAbout();

    // Quit and closing the main window end here. A stop job (StopJob) writes
    // every stop that waits, and "JOGOFF" (and "HSOFF") while the axis may
    // still be jogging (this program started a jog or high speed and did not
    // stop it, or the last status shows one); the program ends as soon as
    // their replies are in, or given up after the link's time-out without the
    // question. Offline or with the port closed it ends at once.
    void endProgram();

    // Says on the status line where the values before a write were kept.
    void tellBackup(const QString &path);
    void showWaveAnalysis();

    // "Window(&W)": the windows side by side at their sizes, three columns or
    // two as the area allows; each a title bar below the last; the start-up
    // sizes in the start-up arrangement for the area there is now.
    void tileWindows();
    void cascadeWindows();
    void arrangeAsAtStart();
    // Makes a child window the active one and scrolls the window area until
    // it shows (its top-left corner first where it is larger than the area).
    void showSubWindow(QMdiSubWindow *sub);
    // Arranges the seven child windows at their present sizes for the area.
    void arrangeWindows(QSize area, bool mayOverlap = true);
    void placeAll(const WindowLayout::Arrangement &a);
    WindowLayout::Sizes childSizes() const;
    std::array<ChildFrame *, WindowLayout::SlotCount> layoutFrames() const;
    // Room for the window area: the present one once shown, else what the
    // screen leaves beside the menus and strips.
    QSize areaForLayout() const;
    QSize chromeSize() const;
    void saveLayout() const;
    // Moves every child window whose title bar lies outside the window area
    // back in as far as it takes (a place kept on a larger screen).
    void bringWindowsIntoArea();
    // The windows the area has shown; one shown the first time is put inside it.
    void placeNewWindow(QMdiSubWindow *sub);
    void fitIntoView(QMdiSubWindow *sub);
    void restoreMaximized();

    Session &m_session;
    FileChooser &m_files;
    QMenu *mnuFile;
    QAction *mnuBackUp;
    QAction *mnuVerify;

    QSize m_layoutSize;
    WindowLayout::Arrangement m_arrangement;
    WindowLayout::Sizes m_startSizes{};
    bool m_keepLayout = false;
    bool m_restoredMaximized = false;
    bool m_restoredPlaces = false;  // child windows went where an earlier run left them
    QList<QPointer<QMdiSubWindow>> m_placed;
    QSize m_sizeBeforeMaker;  // the status display's size before the maker's rows showed
    bool m_ending = false;
};
