#include "mon2.h"

#include "common/stalemark.h"
#include "drive/numtext.h"
#include "drive/driveinfo.h"
#include "drive/link/drivelink.h"
#include "drive/monitor/monitorrules.h"
#include "monitorwidgets.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QColor AddressColor(0xC0, 0xFF, 0xC0);  // the fixed "FFFF" halves
const QColor DumpColor(0xFF, 0xC0, 0xC0);
const QColor RawColor(0xFF, 0xFF, 0xC0);       // U-phase, V-phase, thmst

// How a field of the value reply is written.
enum class Format { Unused, Hex, Decimal, Plain };

constexpr Format fieldFormat(int field)
{
    if (field < 8) return Format::Hex;  // the dump words
    if (field < 14) return Format::Decimal;
    if (field < 16) return Format::Unused;
    if (field < 19) return Format::Hex;
    return Format::Plain;
}

QString formatField(int field, qint32 value)
{
    switch (fieldFormat(field)) {
    case Format::Hex: return HexText(value);
    case Format::Decimal: return StrText(value);
    case Format::Plain: return PlainText(value);
    case Format::Unused: break;
    }
    return {};
}

}  // namespace

Mon2::Mon2(DriveLink &link, DriveInfo &drive, const Clock &clock, QWidget *parent)
    : ChildWindow(QStringLiteral("Mon2"), QStringLiteral("Status Display"), QStringLiteral("2"), parent),
      m_link(link), m_drive(drive)
{
    buildStatus();
    buildValues();
    statusAge = new StaleMark(LblStatusAsOf, QStringLiteral("Status of servo"), m_statusRows, clock, this);
    valuesAge = new StaleMark(LblValuesAsOf, QStringLiteral("Numeric values"), m_valueLabels, clock, this);
    auto *column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetMinimumSize);  // never squeezed below legibility
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(6);
    column->addWidget(FrmDosaJ);
    column->addWidget(Frame1);
    column->addStretch(1);
    setMakerControlsVisible(false);

    m_link.setDecoder(QStringLiteral("S"), [this](const Reply &reply) { OnReplyS(reply); });
    m_link.setDecoder(QStringLiteral("VV"), [this](const Reply &reply) { OnReplyVV(reply); });
    m_link.setPollBuilder(tag(), [this] { MakeCmdVV(); });
}

void Mon2::buildStatus()
{
    FrmDosaJ = new QGroupBox(QStringLiteral("Status of Servo"), this);
    FrmDosaJ->setObjectName(QStringLiteral("FrmDosaJ"));
    auto *grid = new QGridLayout(FrmDosaJ);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);
    constexpr int RowsPerColumn = StatusRowCount / 2;
    for (int r = 0; r < StatusRowCount; ++r) {
        const StatusRow &row = StatusRows()[r];
        QLabel *name = makeLabel(FrmDosaJ, indexedName("LblDosa", row.index), row.name);
        QLabel *value = makeLabel(FrmDosaJ, indexedName("LblSS", row.index), StatusOffText());
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral(": OFF")) + 8);
        LblDosa[row.index] = name;
        LblSS[row.index] = value;
        const int column = r < RowsPerColumn ? 0 : 3;
        grid->addWidget(name, r % RowsPerColumn, column);
        grid->addWidget(value, r % RowsPerColumn, column + 1);
    }
    grid->setColumnMinimumWidth(2, 20);
    grid->setColumnStretch(5, 1);
    // In the free room right of the last row.
    LblStatusAsOf = makeLabel(FrmDosaJ, QStringLiteral("LblStatusAsOf"), QString());
    grid->addWidget(LblStatusAsOf, RowsPerColumn - 1, 5, Qt::AlignRight);
    for (QLabel *l : LblSS)
        if (l) m_statusRows << l;
}

void Mon2::buildValues()
{
    Frame1 = new QGroupBox(QStringLiteral("Numeric Value Monitor"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *grid = new QGridLayout(Frame1);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);

    for (int i = 0; i < 10; ++i) {
        LblDt[i] = makeLabel(Frame1, indexedName("LblDt", i), QStringLiteral("0"));
        LblDt[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        LblDt[i]->setMinimumWidth(LblDt[i]->fontMetrics().horizontalAdvance(QStringLiteral("-2147483648")) + 8);
    }
    for (int i = 6; i <= 8; ++i) {
        LblDt[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        LblDt[i]->setMargin(1);
        setBackground(LblDt[i], RawColor);
    }

    const std::array<std::pair<const char *, QString>, 7> names{{
        {"Label1", QStringLiteral("Crnt.Spd.")},
        {"Label2", QStringLiteral("Torque")},
        {"Label3", QStringLiteral("Peak Torque")},
        {"Label4", QStringLiteral("Crnt.Pos.")},
        {"Label5", QStringLiteral("Pos.Cmnd.")},
        {"Label6", QStringLiteral("Pos.Deviat")},
        {"Label12", QStringLiteral("Crnt.Pnt.No.")},
    }};
    const std::array<std::pair<const char *, QString>, 6> units{{
        {"Label13", QStringLiteral("[rpm]")},
        {"Label14", QStringLiteral("[%]")},
        {"Label15", QStringLiteral("[%]")},
        {"Label16", QStringLiteral("[pulse]")},
        {"Label17", QStringLiteral("[pulse]")},
        {"Label18", QStringLiteral("[pulse]")},
    }};
    std::array<QLabel *, 7> nameLabels{};
    std::array<QLabel *, 6> unitLabels{};
    for (int r = 0; r < 7; ++r) {
        nameLabels[r] = makeLabel(Frame1, QLatin1String(names[r].first), names[r].second);
        grid->addWidget(nameLabels[r], r, 0);
        grid->addWidget(LblDt[r < 6 ? r : 9], r, 1);
        if (r < 6) {
            unitLabels[r] = makeLabel(Frame1, QLatin1String(units[r].first), units[r].second);
            grid->addWidget(unitLabels[r], r, 2);
        }
    }
    Label1 = nameLabels[0];
    Label2 = nameLabels[1];
    Label3 = nameLabels[2];
    Label4 = nameLabels[3];
    Label5 = nameLabels[4];
    Label6 = nameLabels[5];
    Label12 = nameLabels[6];
    Label13 = unitLabels[0];
    Label14 = unitLabels[1];
    Label15 = unitLabels[2];
    Label16 = unitLabels[3];
    Label17 = unitLabels[4];
    Label18 = unitLabels[5];

    CmdTRST = makeButton(Frame1, QStringLiteral("CmdTRST"), QStringLiteral("Peak Torque Reset"));
    CmdTRST->setToolTip(QStringLiteral("ﾄﾙｸﾋﾟｰｸをﾘｾｯﾄ"));
    connect(CmdTRST, &QPushButton::clicked, this, &Mon2::CmdTRST_Click);
    grid->addWidget(CmdTRST, 1, 3, 3, 1, Qt::AlignVCenter);  // beside "Peak Torque"
    grid->setColumnStretch(4, 1);

    // Maker only: the three raw values, then the dump row.
    Label9 = makeLabel(Frame1, QStringLiteral("Label9"), QStringLiteral("U-phase"));
    Label10 = makeLabel(Frame1, QStringLiteral("Label10"), QStringLiteral("V-phase"));
    Label11 = makeLabel(Frame1, QStringLiteral("Label11"), QStringLiteral("thmst"));
    const std::array<QLabel *, 3> rawNames{Label9, Label10, Label11};
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(rawNames[i], 7 + i, 0);
        grid->addWidget(LblDt[6 + i], 7 + i, 1);
    }

    auto *dump = new QHBoxLayout;
    dump->setSpacing(3);
    Label7 = makeLabel(Frame1, QStringLiteral("Label7"), QStringLiteral("FFFF"));
    Label8 = makeLabel(Frame1, QStringLiteral("Label8"), QStringLiteral("FFFF"));
    for (int a = 0; a < 2; ++a) {
        QLabel *upper = a == 0 ? Label7 : Label8;
        upper->setAlignment(Qt::AlignCenter);
        upper->setMargin(2);
        setBackground(upper, AddressColor);
        TxtAdr[a] = new QLineEdit(QStringLiteral("0000"), Frame1);
        TxtAdr[a]->setObjectName(indexedName("TxtAdr", a));
        TxtAdr[a]->setAccessibleName(QStringLiteral("Dump address %1").arg(a + 1));
        TxtAdr[a]->setMaxLength(4);
        TxtAdr[a]->setFixedWidth(TxtAdr[a]->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")) + 8);
        std::array<QLabel *, 4> &words = a == 0 ? LblDmp1 : LblDmp2;
        if (a == 1) dump->addSpacing(10);
        dump->addWidget(upper);
        dump->addWidget(TxtAdr[a]);
        for (int i = 0; i < 4; ++i) {
            words[i] = makeLabel(Frame1, indexedName(a == 0 ? "LblDmp1" : "LblDmp2", i), QStringLiteral("00"));
            words[i]->setAlignment(Qt::AlignCenter);
            words[i]->setMinimumWidth(words[i]->fontMetrics().horizontalAdvance(QStringLiteral("FFFF")) + 6);
            setBackground(words[i], DumpColor);
            dump->addWidget(words[i]);
        }
    }
    dump->addStretch(1);
    grid->addLayout(dump, 10, 0, 1, 5);

    // Under "Peak Torque Reset", beside the last value row.
    LblValuesAsOf = makeLabel(Frame1, QStringLiteral("LblValuesAsOf"), QString());
    grid->addWidget(LblValuesAsOf, 6, 3);
    m_valueLabels = QList<QWidget *>(LblDt.cbegin(), LblDt.cend());
    for (QLabel *l : LblDmp1) m_valueLabels << l;
    for (QLabel *l : LblDmp2) m_valueLabels << l;
}

void Mon2::setMakerControlsVisible(bool on)
{
    for (QWidget *w : {static_cast<QWidget *>(Label7), static_cast<QWidget *>(Label8),
                       static_cast<QWidget *>(TxtAdr[0]), static_cast<QWidget *>(TxtAdr[1])})
        w->setVisible(on);
    for (int i = 0; i < 4; ++i) {
        LblDmp1[i]->setVisible(on);
        LblDmp2[i]->setVisible(on);
    }
    for (QLabel *l : {Label9, Label10, Label11, LblDt[6], LblDt[7], LblDt[8]}) l->setVisible(on);

    // The window grows to show the maker's rows; it keeps its size otherwise.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget())) {
        const QSize need = frame->sizeHint();
        if (on && (frame->width() < need.width() || frame->height() < need.height()))
            frame->resize(frame->size().expandedTo(need));
    }
}

void Mon2::MakeCmdVV()
{
    m_link.setCommandText(ValueCommand(TxtAdr[0]->text(), TxtAdr[1]->text()), QStringLiteral("VV"));
}

void Mon2::CmdTRST_Click() { m_link.setCommand("TRST"); }

void Mon2::OnReplyS(const Reply &reply)
{
    statusAge->refreshed();
    const auto &f = reply.field;
    const auto word = static_cast<quint32>(f[0]);  // the link's StatusWord
    const QString &off = StatusOffText();
    const QString &on = StatusOnText();
    for (const StatusRow &row : StatusRows()) {
        const bool set = (word >> row.bit & 1u) != 0;
        QLabel *label = LblSS[row.index];
        if (const QString *text = FlagChange(label->text(), off, on, !set))
            label->setText(*text);
    }
    // In this order the panel's point, the strip's motor model and ROM
    // version, then the panel's lamps follow.
    m_drive.setPoint(f[1]);
    const QString model = MotorModelText(f[2]);
    if (!model.isNull()) m_drive.setMotorModel(model);
    m_drive.setRomVersion(f[3]);
    m_drive.setCommandState(f[4]);
}

void Mon2::OnReplyVV(const Reply &reply)
{
    valuesAge->refreshed();
    const auto &f = reply.field;
    for (int field = 0; field < ValueFields; ++field) {
        QLabel *label = nullptr;
        if (field < 4) label = LblDmp1[field];
        else if (field < 8) label = LblDmp2[field - 4];
        else if (field < 14) label = LblDt[field - 8];
        else if (field >= 16) label = LblDt[field - 10];
        if (!label) continue;
        if (m_valuesKnown && f[field] == m_shown[field]) continue;
        m_shown[field] = f[field];
        setTextIfChanged(label, formatField(field, f[field]));
    }
    m_valuesKnown = true;
}
