#pragma once
// The "Command Communication" window, the operation panel: the drive's DI
// commands with their lamps, jog and the held high-speed key, point
// designation, teaching, CPU reset, one monitor value, and the SEND and RECV
// lines. It owns the monitor, error and catch-all reply decoders; the lamps
// and the current point follow what the status reply told of the drive.

#include "common/childwindow.h"
#include "drive/clock.h"
#include "drive/monitor/monitorrules.h"

#include <array>

struct Reply;
class DriveInfo;
class DriveLink;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class StaleMark;

class CommComm : public ChildWindow {
    Q_OBJECT
public:
    // The lamps and the point follow drive; the clock tells how old the
    // monitor value is. All three outlive the window.
    CommComm(DriveLink &link, const DriveInfo &drive, const Clock &clock = Clock::system(), QWidget *parent = nullptr);
    ~CommComm() override;

    // The poll request while this window is active: "MON;" and the item.
    void MakeCmdMON();
    // Reply decoders: "MON", "ERR", and every keyword without a decoder.
    void OnReplyMON(const Reply &reply);
    void OnReplyERR(const Reply &reply);
    void OnReplyOther(const Reply &reply);

    // What the status reply told: the lamps and the current point.
    void showLamps(const PanelLamps &lamps);
    void showPoint(qint32 point);

    // Hold to jog: "+JOG" and "-JOG" (and F7, F8) jog while held, like the
    // "Speed" key, and stop the jog when released, when the focus leaves the
    // window and when it is minimised. Off, they jog on a click.
    void setHoldToJog(bool on);
    bool holdToJog() const { return m_holdToJog; }

    // A key of another window that holds the focus for a while (the question
    // of a lost reply): a function key that gives a stop here gives it
    // there too (Shift+F1 "SVOFF", F2 "EMCON", Shift+F7 or Shift+F8
    // "JOGOFF", F9 let go "HSOFF", the key of a held jog let go "JOGOFF"),
    // queued and shown on the SEND line. True for every function key: the
    // others do nothing there.
    bool takeStopKey(QKeyEvent *event);

    QLabel *Label1;
    QLabel *LblStr;
    QLabel *Label2;
    QLabel *LblRecv;
    QGroupBox *Frame3;
    QComboBox *CmbMON;
    QLabel *LblMON;
    QLabel *LblMONAsOf;     // how old the monitor value is, beside it
    StaleMark *monAge;      // greys the monitor value when it is old
    QGroupBox *Frame1;
    std::array<QPushButton *, 7> CmdON{};   // 0-5 DI commands, 6 "Speed"
    std::array<QPushButton *, 6> CmdOFF{};
    std::array<QLabel *, 9> LblON{};        // 0-5 DI, 6 "High", 7 "+JOG", 8 "-JOG"
    std::array<QLabel *, 8> LblOFF{};       // 0-5 DI, 6 "Low", 7 "JOG STOP"
    QLabel *Label3, *Label4, *Label5, *Label6, *Label7, *Label13;  // [F1]-[F6]
    QLabel *Label8;                                                // "Shift"
    QGroupBox *Frame2;
    std::array<QPushButton *, 3> CmdJOG{};
    QLabel *Label9, *Label10, *Label11, *Label12, *Label14;
    QPushButton *CmdPNT;
    QLineEdit *TxtPNT;
    QLabel *LblPnt;
    QPushButton *CmdTDIN;
    QPushButton *CmdRESET;
    QGroupBox *Frame6;  // the zero set, never shown
    QLabel *Label15;
    QLineEdit *TxtZSET;
    QPushButton *CmdZSET;
    QLabel *LblJStr;  // never shown
    QLabel *LblJRecv;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildSendRecv();
    void buildMonitor();
    void buildDi();
    void buildJogGroup();
    void buildHidden();
    void layOut();
    void wireKeys();

    // Writes a command into the SEND line (and its Japanese name), then queues.
    void send(const QString &text, const QString &japanese);
    void send(const PanelCommand &command) { send(command.text, command.japanese); }
    // Queues the SEND line: the slot gets its text, replacing what waited.
    void queueSendLine();

    void CmdPNT_Click();
    void CmdZSET_Click();
    // The held "Speed" key goes down or comes up.
    void speedDown();
    void speedUp();
    // A key that holds "Speed" is released when the focus leaves the window.
    void releaseHeldSpeed();
    // A jog held in hold-to-jog mode starts, or stops with "JOGOFF".
    void jogDown(int index, int key);
    void releaseHeldJog();
    // Everything held is let go: the focus left the window or it was hidden.
    void releaseHeld();
    bool functionKey(QKeyEvent *event);
    bool speedKey(QObject *watched, QKeyEvent *event);
    bool heldJogKey(QObject *watched, QKeyEvent *event);

    DriveLink &m_link;
    const Clock &m_clock;
    PanelLamps m_lamps;
    bool m_monKnown = false;
    qint32 m_monItem = 0;
    qint32 m_monValue = 0;
    bool m_pointKnown = false;
    qint32 m_point = 0;
    int m_speedKey = 0;  // the key holding "Speed" down (F9, Enter or Space); 0 when none
    bool m_holdToJog = false;
    int m_jogHeld = -1;  // the jog held down in hold-to-jog mode (0 "+JOG", 1 "-JOG"); -1 when none
    int m_jogKey = 0;    // the key holding it (F7, F8, Enter or Space); 0 for the mouse
    QMetaObject::Connection m_focusWatch;
};
