#pragma once
// Rules of the operation panel and the three monitors, without widgets: the
// command texts the panel queues, the function keys, the reading of the
// status, value, alarm and I/O replies, and the texts they show.

#include <QString>
#include <QStringView>
#include <array>
#include <optional>

// ---------------------------------------------------------------------------
// Operation panel

// A command of the panel: the text sent to the drive and the Japanese name
// written into the hidden label beside the SEND line.
struct PanelCommand {
    QString text;
    QString japanese;
};

inline constexpr int DiCount = 6;  // servo, emergency stop, start, origin, hold, reset

// Captions of the ON and OFF buttons; the reset pair reads "RESETON" and
// "RESETOFF" but sends "RSTON" and "RSTOFF".
const std::array<QString, DiCount> &DiOnCaptions();
const std::array<QString, DiCount> &DiOffCaptions();
const std::array<PanelCommand, DiCount> &DiOnCommands();
const std::array<PanelCommand, DiCount> &DiOffCommands();
// "+JOG", "-JOG", "JOG STOP" and what they send.
const std::array<QString, 3> &JogCaptions();
const std::array<PanelCommand, 3> &JogCommands();
const PanelCommand &SpeedOnCommand();   // the "Speed" button goes down
const PanelCommand &SpeedOffCommand();  // the "Speed" button comes up
const PanelCommand &TeachCommand();
const PanelCommand &CpuResetCommand();
QString PointJapanese();
QString ZeroSetJapanese();

// The point designation: the typed text read leniently, rounded half to even,
// written in hexadecimal with a "0" in front, of which the last two characters
// follow "PNT;" ("12" gives PNT;0C, "-1" PNT;FF, junk PNT;00, 300 PNT;2C).
QString PointCommand(QStringView typed);

// The zero set: "ZSET;" and the typed value in hexadecimal (1000 gives
// ZSET;3E8, -1 ZSET;FFFFFFFF). A value that does not fit in 32 bits is not
// sent at all: nothing is returned, rather than a clamped or wrapped zero.
std::optional<QString> ZeroSetCommand(QStringView typed);

// The monitor items of the drop-down list, "00:Current Position" to "10:Servo Status".
inline constexpr int MonitorItemCount = 17;
const std::array<QString, MonitorItemCount> &MonitorItems();
// The unit of an item's values: positions and distances in pulses, speeds in
// rpm, torque and load in per cent; empty for the point number, the items
// without a name and the two status words.
QString MonitorItemUnit(int item);
// The two status words (items 14 and 16), shown in hexadecimal.
bool MonitorItemIsWord(int item);
// "MON;" and the item index in hexadecimal (MON;A, MON;10).
QString MonitorCommand(int index);
// The value of a monitor reply: hexadecimal for items 14 and 16 (the
// communication and servo status words), plain decimal for every other item.
// The item number of the reply decides, not the current selection.
QString MonitorValueText(qint32 item, qint32 value);

// "Err：" (full-width colon) and the message of a drive error code;
// "Communication error." for a code outside the table.
QString ErrorText(qint32 code);

// What a function key does on the panel. F1-F6 press the ON buttons, or the
// OFF buttons with Shift, Ctrl or Alt held; F7 and F8 jog, or stop the jog
// when modified; F9 is the held "Speed" key whatever the modifiers.
struct PanelKey {
    enum class Target { None, On, Off, Jog, Speed };
    Target target = Target::None;
    int index = 0;
    bool operator==(const PanelKey &) const = default;
};
PanelKey FunctionKeyTarget(int qtKey, bool modified);

// Which lamps of the panel are lit, from field 4 of the status reply. Each
// pair has exactly one lit lamp; of the three jog lamps "+JOG" wins over
// "-JOG", and "JOG STOP" is lit when neither runs.
struct PanelLamps {
    std::array<bool, 9> on{};   // around the ON buttons, "High", "+JOG", "-JOG"
    std::array<bool, 8> off{};  // around the OFF buttons, "Low", "JOG STOP"
    bool operator==(const PanelLamps &) const = default;
};
PanelLamps LampsFromState(qint32 word);
// The lamps before the first status reply: every OFF side lit.
PanelLamps InitialLamps();

// ---------------------------------------------------------------------------
// Status monitor

// A row of the status window: the name, the index of its value label and
// the bit of the status word it follows.
struct StatusRow {
    QString name;
    int index;
    int bit;
};
inline constexpr int StatusRowCount = 14;
inline constexpr int StatusIndexCount = 16;  // LblSS indexes 0 to 15; 1 and 2 unused
// Left column top to bottom, then the right column.
const std::array<StatusRow, StatusRowCount> &StatusRows();

// Write-on-change of a two-state label. A label reading exactly restText is
// changed to otherText when it should no longer rest; a label reading
// anything else is put back to restText when it should rest. Returns the text
// to write, or nullptr when the label is to be left alone.
const QString *FlagChange(const QString &current, const QString &restText, const QString &otherText, bool rest);

const QString &StatusOffText();  // ": OFF"
const QString &StatusOnText();   // ": ON"

// The motor model of a code of the status reply; a null text for a code that
// is not in the table (the strip then keeps what it shows).
QString MotorModelText(qint32 code);

// The ROM version: the value divided by 100 with at least one integer digit
// and exactly two decimals (291 gives 2.91, 5 gives 0.05, -5 gives -0.05).
QString RomVersionText(qint32 hundredths, const QString &decimalPoint = QStringLiteral("."));

// A dump address: the typed text padded on the left with the leading
// characters of "FFFF0000" to eight characters ("" FFFF0000, "12" FFFF0012).
QString DumpAddress(QStringView typed);
// "VV;" address 1 ";" address 2 ";".
QString ValueCommand(QStringView typed1, QStringView typed2);

// ---------------------------------------------------------------------------
// Alarm display

inline constexpr int AlarmCount = 13;  // cells 11 and 12 are never shown
inline constexpr int HistoryCount = 8;
const std::array<QString, AlarmCount> &AlarmCaptions();

// What a history line shows for its field: empty for 0, the caption of the
// lowest of bits 0 to 12 that is set, and the line unchanged when only bits
// above 12 are set.
inline constexpr int HistoryEmpty = -1;
inline constexpr int HistoryKeep = -2;
int AlarmHistoryIndex(qint32 field);

// The names of the alarms whose bits are set, lowest first, joined by ", "
// ("Over Load(01), Encoder Error(02)"); bits above 12 have no name.
QString PresentAlarmNames(quint32 bits);

// ---------------------------------------------------------------------------
// I/O monitor

// A signal row: its name and its bit in the I/O reply word.
struct IoSignal {
    QString name;
    int bit;
};
inline constexpr int InputCount = 13;   // LblIN 0-11 shown, 12 ("DEC") kept hidden
inline constexpr int OutputCount = 6;   // LblOUT 0-2 shown, 3-5 kept hidden
inline constexpr int VisibleInputs = 12;
inline constexpr int VisibleOutputs = 3;
const std::array<IoSignal, InputCount> &InputSignals();
const std::array<IoSignal, OutputCount> &OutputSignals();
const QString &IoOpenText();   // ": OPEN", a set bit
const QString &IoCloseText();  // ": CLOSE", a clear bit
