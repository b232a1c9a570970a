#pragma once
// The "Status Display" window: fourteen servo status flags, the numeric
// values, and for the maker a two-address memory dump and three raw values.
// It owns the status reply decoder, which also tells the session what the
// drive said of itself (motor model, ROM version, current point, the state of
// its commands); the status strip and the operation panel show that.

#include "common/childwindow.h"
#include "drive/clock.h"

#include <QList>
#include <array>

struct Reply;
class DriveInfo;
class DriveLink;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class StaleMark;

class Mon2 : public ChildWindow {
    Q_OBJECT
public:
    // The status reply also writes the motor model, the ROM version, the
    // point and the command state into drive. The clock tells how old the
    // values are. All three outlive the window.
    Mon2(DriveLink &link, DriveInfo &drive, const Clock &clock = Clock::system(), QWidget *parent = nullptr);

    // The poll request while this window is active: "VV;" and two addresses.
    void MakeCmdVV();
    // Reply decoders: "S" (status) and "VV" (values and dump).
    void OnReplyS(const Reply &reply);
    void OnReplyVV(const Reply &reply);
    // Shows or hides the maker-only controls, all together.
    void setMakerControlsVisible(bool on);

    QGroupBox *FrmDosaJ;
    std::array<QLabel *, 16> LblDosa{};  // indexed like LblSS; 1 and 2 unused
    std::array<QLabel *, 16> LblSS{};
    QGroupBox *Frame1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label12;  // row names
    QLabel *Label13, *Label14, *Label15, *Label16, *Label17, *Label18;      // units
    std::array<QLabel *, 10> LblDt{};
    QPushButton *CmdTRST;
    QLabel *Label7, *Label8;  // "FFFF", the fixed upper half of each dump address
    std::array<QLineEdit *, 2> TxtAdr{};
    std::array<QLabel *, 4> LblDmp1{};
    std::array<QLabel *, 4> LblDmp2{};
    QLabel *Label9, *Label10, *Label11;  // "U-phase", "V-phase", "thmst"
    // How old the status rows (refreshed by the status reply) and the values
    // (by the value reply) are: each group greys and says so on its own.
    QLabel *LblStatusAsOf;
    QLabel *LblValuesAsOf;
    StaleMark *statusAge;
    StaleMark *valuesAge;

private:
    void buildStatus();
    void buildValues();
    void CmdTRST_Click();

    DriveLink &m_link;
    DriveInfo &m_drive;
    QList<QWidget *> m_statusRows;   // greyed while old
    QList<QWidget *> m_valueLabels;

    // What the value labels show, so that an unchanged field costs nothing.
    static constexpr int ValueFields = 20;
    std::array<qint32, ValueFields> m_shown{};
    bool m_valuesKnown = false;
};
