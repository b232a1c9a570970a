#include "monitorrules.h"

#include <QStringList>

#include "drive/numtext.h"

#include <QtCore/qnamespace.h>

using namespace Qt::StringLiterals;

// ---------------------------------------------------------------------------
// Operation panel

const std::array<QString, DiCount> &DiOnCaptions()
{
    static const std::array<QString, DiCount> captions{"SVON", "EMCON", "STRON", "ZSTRON", "HOLDON", "RESETON"};
    return captions;
}

const std::array<QString, DiCount> &DiOffCaptions()
{
    static const std::array<QString, DiCount> captions{"SVOFF",   "EMCOFF",  "STROFF",
                                                       "ZSTROFF", "HOLDOFF", "RESETOFF"};
    return captions;
}

const std::array<PanelCommand, DiCount> &DiOnCommands()
{
    static const std::array<PanelCommand, DiCount> commands{{
        {"SVON", u"ｻｰﾎﾞｵﾝ"_s},
        {"EMCON", u"非常停止ｵﾝ"_s},
        {"STRON", u"ｽﾀｰﾄｵﾝ"_s},
        {"ZSTRON", u"原点復帰ｵﾝ"_s},
        {"HOLDON", u"ﾎｰﾙﾄﾞｵﾝ"_s},
        {"RSTON", u"ﾘｾｯﾄｵﾝ"_s},
    }};
    return commands;
}

const std::array<PanelCommand, DiCount> &DiOffCommands()
{
    static const std::array<PanelCommand, DiCount> commands{{
        {"SVOFF", u"ｻｰﾎﾞｵﾌ"_s},
        {"EMCOFF", u"非常停止ｵﾌ"_s},
        {"STROFF", u"ｽﾀｰﾄｵﾌ"_s},
        {"ZSTROFF", u"原点復帰ｵﾌ"_s},
        {"HOLDOFF", u"ﾎｰﾙﾄﾞｵﾌ"_s},
        {"RSTOFF", u"ﾘｾｯﾄｵﾌ"_s},
    }};
    return commands;
}

const std::array<QString, 3> &JogCaptions()
{
    static const std::array<QString, 3> captions{"+JOG", "-JOG", "JOG STOP"};
    return captions;
}

const std::array<PanelCommand, 3> &JogCommands()
{
    static const std::array<PanelCommand, 3> commands{{
        {"PJOG", u"+ｼﾞｮｸﾞ"_s},
        {"NJOG", u"-ｼﾞｮｸﾞ"_s},
        {"JOGOFF", u"ｼﾞｮｸﾞｵﾌ"_s},
    }};
    return commands;
}

const PanelCommand &SpeedOnCommand()
{
    static const PanelCommand c{"HSON", u"ｼﾞｮｸﾞ高速ｵﾝ"_s};
    return c;
}

const PanelCommand &SpeedOffCommand()
{
    static const PanelCommand c{"HSOFF", u"ｼﾞｮｸﾞ高速ｵﾌ"_s};
    return c;
}

const PanelCommand &TeachCommand()
{
    static const PanelCommand c{"TDIN", u"ﾃｨｰﾁ"_s};
    return c;
}

const PanelCommand &CpuResetCommand()
{
    static const PanelCommand c{"RESET", u"CPUﾘｾｯﾄ"_s};
    return c;
}

QString PointJapanese() { return u"ﾎﾟｲﾝﾄ指定"_s; }
QString ZeroSetJapanese() { return u"原点ｾｯﾄ"_s; }

QString PointCommand(QStringView typed)
{
    const QString digits = QStringLiteral("0") + HexText(RoundToLong(ValText(typed)));
    return QStringLiteral("PNT;") + digits.right(2);
}

std::optional<QString> ZeroSetCommand(QStringView typed)
{
    const double value = ValText(typed);
    if (BeyondLong(value)) return std::nullopt;
    return QStringLiteral("ZSET;") + HexText(RoundToLong(value));
}

const std::array<QString, MonitorItemCount> &MonitorItems()
{
    static const std::array<QString, MonitorItemCount> items{
        "00:Current Position",  "01:Specified Position", "02:Position Deviation", "03:Remaining Distance",
        "04:Current Speed",     "05:Command Speed",      "06:Torque Command",     "07:",
        "08:",                  "09:Peak Load Ratio",    "0A:Point Table",        "0B:",
        "0C:DEC_Cpulse Distance", "0D:",                 "0E:Comm.Cmnd.Status",   "0F:",
        "10:Servo Status",
    };
    return items;
}

QString MonitorItemUnit(int item)
{
    static const std::array<const char *, MonitorItemCount> units{
        "pulse", "pulse", "pulse", "pulse",  // 00-03 positions and distances
        "rpm",   "rpm",   "%",     "",       // 04 speed, 05 command speed, 06 torque, 07
        "",      "%",     "",      "",       // 08, 09 peak load, 0A point, 0B
        "pulse", "",      "",      "",       // 0C distance, 0D, 0E word, 0F
        "",                                  // 10 word
    };
    return item >= 0 && item < MonitorItemCount ? QLatin1String(units[static_cast<size_t>(item)]) : QString();
}

bool MonitorItemIsWord(int item) { return item == 14 || item == 16; }

QString MonitorCommand(int index) { return QStringLiteral("MON;") + HexText(index < 0 ? 0 : index); }

QString MonitorValueText(qint32 item, qint32 value)
{
    return MonitorItemIsWord(item) ? HexText(value) : PlainText(value);
}

QString ErrorText(qint32 code)
{
    static const std::array<QString, 8> messages{
        "Invalid command",
        "Failed in ZSET",
        "Outside the range.",
        "Reconfirm the value prm.no.30",
        "Current pos.is outside the range.",
        "Failed in CPU reset.",
        "In the alarm state.",
        "In the EMC state.",
    };
    const QString &message = code >= 1 && code <= 8 ? messages[static_cast<size_t>(code - 1)]
                                                    : QStringLiteral("Communication error.");
    return QStringLiteral("Err\uFF1A") + message;
}

PanelKey FunctionKeyTarget(int qtKey, bool modified)
{
    using T = PanelKey::Target;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F6)
        return {modified ? T::Off : T::On, qtKey - Qt::Key_F1};
    if (qtKey == Qt::Key_F7) return {T::Jog, modified ? 2 : 0};
    if (qtKey == Qt::Key_F8) return {T::Jog, modified ? 2 : 1};
    if (qtKey == Qt::Key_F9) return {T::Speed, 0};
    return {};
}

PanelLamps LampsFromState(qint32 word)
{
    // Bit of field 4 behind each ON/OFF pair, in the order of the buttons;
    // the seventh pair is the "High"/"Low" indicator.
    static constexpr std::array<int, 7> pairBits{0, 8, 4, 5, 6, 3, 7};
    const auto bits = static_cast<quint32>(word);
    auto set = [bits](int bit) { return (bits >> bit & 1u) != 0; };
    PanelLamps lamps;
    for (size_t k = 0; k < pairBits.size(); ++k) {
        lamps.on[k] = set(pairBits[k]);
        lamps.off[k] = !lamps.on[k];
    }
    lamps.on[7] = set(1);
    lamps.on[8] = !set(1) && set(2);
    lamps.off[7] = !set(1) && !set(2);
    return lamps;
}

PanelLamps InitialLamps() { return LampsFromState(0); }

// ---------------------------------------------------------------------------
// Status monitor

const std::array<StatusRow, StatusRowCount> &StatusRows()
{
    static const std::array<StatusRow, StatusRowCount> rows{{
        {"Emergency", 15, 27},
        {"Run", 14, 15},
        {"Base Block", 13, 6},
        {"INP", 8, 8},
        {"Trq.Lmt.", 11, 19},
        {"Spd.Lmt.", 10, 22},
        {"Exes.Devi.", 9, 16},
        {"Origin", 7, 11},
        {"SVON", 6, 31},
        {"Disable-Fwd", 5, 24},
        {"Disable Rvc", 4, 30},
        {"Point", 3, 3},
        {"ALARM", 0, 23},
        {"Brake", 12, 0},
    }};
    return rows;
}

const QString *FlagChange(const QString &current, const QString &restText, const QString &otherText, bool rest)
{
    const bool resting = current == restText;
    if (resting && !rest) return &otherText;
    if (!resting && rest) return &restText;
    return nullptr;
}

const QString &StatusOffText()
{
    static const QString t = QStringLiteral(": OFF");
    return t;
}

const QString &StatusOnText()
{
    static const QString t = QStringLiteral(": ON");
    return t;
}

QString MotorModelText(qint32 code)
{
    switch (code) {
    case 0: return QStringLiteral("RM2210");
    case 1: return QStringLiteral("RM2220");
    case 2: return QStringLiteral("RM2230");
    case 3: return QStringLiteral("RM2270");
    case 4: return QStringLiteral("RM2290");
    case 20: return QStringLiteral("RM2310");
    case 21: return QStringLiteral("RM2320");
    case 22: return QStringLiteral("RM2330");
    default: return {};
    }
}

QString RomVersionText(qint32 hundredths, const QString &decimalPoint)
{
    const qint64 v = hundredths;  // the magnitude of the lowest value needs 64 bits
    const qint64 magnitude = v < 0 ? -v : v;
    const qint64 fraction = magnitude % 100;
    return (v < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 100) + decimalPoint +
           (fraction < 10 ? QStringLiteral("0") : QString()) + QString::number(fraction);
}

QString DumpAddress(QStringView typed)
{
    static const QString pad = QStringLiteral("FFFF0000");
    const qsizetype keep = qMax<qsizetype>(0, pad.size() - typed.size());
    return pad.left(keep) + typed.toString();
}

QString ValueCommand(QStringView typed1, QStringView typed2)
{
    return QStringLiteral("VV;") + DumpAddress(typed1) + QLatin1Char(';') + DumpAddress(typed2) + QLatin1Char(';');
}

// ---------------------------------------------------------------------------
// Alarm display

const std::array<QString, AlarmCount> &AlarmCaptions()
{
    static const std::array<QString, AlarmCount> captions{
        "ROM Error(00)",
        "Over Load(01)",
        "Encoder Error(02)",
        "Regeneration Alarm(03)",
        "Operatiing Temp. Alarm(04)",
        "System Alarm(05)",
        "Over Current Alarm(06)",
        "Excessive Deviation(07)",
        "Runaway Error(08)",
        "IGBT Error(09)",
        "OT Error(10)",
        u"通信異常（11）"_s,
        u"加減速領域不足（10）"_s,
    };
    return captions;
}

int AlarmHistoryIndex(qint32 field)
{
    if (field == 0) return HistoryEmpty;
    const auto bits = static_cast<quint32>(field);
    for (int k = 0; k < AlarmCount; ++k)
        if (bits >> k & 1u) return k;
    return HistoryKeep;
}

// ---------------------------------------------------------------------------
// I/O monitor

const std::array<IoSignal, InputCount> &InputSignals()
{
    static const std::array<IoSignal, InputCount> inputs{{
        {"SVON/EMC", 16},
        {"+JOG", 17},
        {"-JOG", 18},
        {"RST", 19},
        {"STR", 20},
        {"ZSTR", 21},
        {"HOLD", 22},
        {"P0_IN", 23},
        {"P1_IN", 24},
        {"P2_IN", 25},
        {"P3_IN", 26},
        {"P4_IN", 27},
        {"DEC", 28},
    }};
    return inputs;
}

const std::array<IoSignal, OutputCount> &OutputSignals()
{
    static const std::array<IoSignal, OutputCount> outputs{{
        {"RDY", 0},
        {"INP", 1},
        {"ALM", 2},
        {"P0_OUT", 3},
        {"P1_OUT", 4},
        {"P2_OUT", 5},
    }};
    return outputs;
}

const QString &IoOpenText()
{
    static const QString t = QStringLiteral(": OPEN");
    return t;
}

const QString &IoCloseText()
{
    static const QString t = QStringLiteral(": CLOSE");
    return t;
}

QString PresentAlarmNames(quint32 bits)
{
    QStringList names;
    for (int i = 0; i < AlarmCount; ++i)
        if ((bits >> i & 1u) != 0) names << AlarmCaptions()[static_cast<size_t>(i)];
    return names.join(QStringLiteral(", "));
}
