#pragma once
// The "I/O Monitor" window: the drive's input and output signals, each
// ": OPEN" (bit set) or ": CLOSE" (bit clear).

#include "common/childwindow.h"
#include "drive/clock.h"
#include "drive/monitor/monitorrules.h"

#include <array>

struct Reply;
class DriveLink;
class QGroupBox;
class QLabel;
class StaleMark;

class IOMon : public ChildWindow {
    Q_OBJECT
public:
    // The clock tells how old the values are; it outlives the window.
    explicit IOMon(DriveLink &link, const Clock &clock = Clock::system(), QWidget *parent = nullptr);

    // Reply decoder: "IO", field 0 the I/O word.
    void OnReplyIO(const Reply &reply);

    // Name labels: the inputs 0-12, the outputs 13-18, then "TDIN" and "×××".
    static constexpr int NameCount = InputCount + OutputCount + 2;

    QGroupBox *Frame2;
    QLabel *Label9;
    QLabel *Label10;
    std::array<QLabel *, NameCount> LblIO{};
    std::array<QLabel *, InputCount> LblIN{};
    std::array<QLabel *, OutputCount> LblOUT{};
    QLabel *LblIOAsOf;  // how old the states are, at the foot of the output column
    StaleMark *ioAge;   // greys the states when they are old

private:
    DriveLink &m_link;
};
