#include "commcomm.h"

#include "common/stalemark.h"
#include "drive/numtext.h"
#include "lampcell.h"
#include "drive/driveinfo.h"
#include "drive/link/drivelink.h"
#include "monitorwidgets.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QColor LineColor(0xC0, 0xFF, 0xC0);  // the SEND and RECV lines
constexpr int ButtonWidth = 86;

QLabel *makeLamp(QWidget *parent, const char *name, int index)
{
    QLabel *lamp = makeLabel(parent, indexedName(name, index), QString());
    QPalette pal = lamp->palette();
    pal.setColor(QPalette::Window, LampColor);
    lamp->setPalette(pal);
    return lamp;
}

QLabel *keyHint(QWidget *parent, const char *name, const QString &text)
{
    QLabel *l = makeLabel(parent, QLatin1String(name), text);
    l->setAlignment(Qt::AlignCenter);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, QColor(0x40, 0x40, 0x80));
    l->setPalette(pal);
    return l;
}

bool isEnterOrSpace(int key) { return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter; }

bool isFunctionKey(int key) { return key >= Qt::Key_F1 && key <= Qt::Key_F9; }

}  // namespace

CommComm::CommComm(DriveLink &link, const DriveInfo &drive, const Clock &clock, QWidget *parent)
    : ChildWindow(QStringLiteral("CommComm"), QStringLiteral("Command Communication"), QStringLiteral("4"), parent),
      m_link(link), m_clock(clock), m_lamps(InitialLamps())
{
    buildSendRecv();
    buildMonitor();
    buildDi();
    buildJogGroup();
    buildHidden();
    layOut();
    for (size_t k = 0; k < LblON.size(); ++k) setLampLit(LblON[k], m_lamps.on[k]);
    for (size_t k = 0; k < LblOFF.size(); ++k) setLampLit(LblOFF[k], m_lamps.off[k]);
    wireKeys();

    m_link.setDecoder(QStringLiteral("MON"), [this](const Reply &reply) { OnReplyMON(reply); });
    m_link.setDecoder(QStringLiteral("ERR"), [this](const Reply &reply) { OnReplyERR(reply); });
    m_link.setCatchAll([this](const Reply &reply) { OnReplyOther(reply); });
    m_link.setPollBuilder(tag(), [this] { MakeCmdMON(); });
    connect(&drive, &DriveInfo::pointChanged, this, &CommComm::showPoint);
    connect(&drive, &DriveInfo::commandStateChanged, this, [this](qint32 word) { showLamps(LampsFromState(word)); });
}

void CommComm::buildSendRecv()
{
    Label1 = makeLabel(this, QStringLiteral("Label1"), QStringLiteral("SEND :"));
    LblStr = makeFieldLabel(this, QStringLiteral("LblStr"), QString());
    Label2 = makeLabel(this, QStringLiteral("Label2"), QStringLiteral("RECV :"));
    LblRecv = makeFieldLabel(this, QStringLiteral("LblRecv"), QString());
    for (QLabel *line : {LblStr, LblRecv}) {
        setBackground(line, LineColor);
        line->setMinimumWidth(240);
        line->setTextInteractionFlags(Qt::TextSelectableByMouse);
        line->setFocusPolicy(Qt::NoFocus);
    }
}

void CommComm::buildMonitor()
{
    Frame3 = new QGroupBox(QStringLiteral("Monitor[MON]"), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    CmbMON = new QComboBox(Frame3);
    CmbMON->setObjectName(QStringLiteral("CmbMON"));
    CmbMON->setAccessibleName(Frame3->title());
    for (const QString &item : MonitorItems()) CmbMON->addItem(item);
    CmbMON->setMaxVisibleItems(MonitorItemCount);
    CmbMON->setCurrentIndex(0);
    // The list's pop-up exists from now on, so the function keys reach the
    // panel while it is open too (see wireKeys).
    CmbMON->view();
    LblMON = makeFieldLabel(Frame3, QStringLiteral("LblMON"), QStringLiteral("0"));
    LblMON->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LblMON->setMinimumWidth(140);
    QFont big = LblMON->font();
    big.setBold(true);
    LblMON->setFont(big);
    // The value's unit (or form) for the item chosen, where the panel shows none.
    const auto describeValue = [this](int item) {
        const QString unit = MonitorItemIsWord(item) ? QStringLiteral("hexadecimal") : MonitorItemUnit(item);
        const QString text = unit.isEmpty() ? QString() : QStringLiteral("Unit: ") + unit;
        LblMON->setToolTip(text);
        LblMON->setAccessibleDescription(text);
    };
    describeValue(CmbMON->currentIndex());
    connect(CmbMON, &QComboBox::currentIndexChanged, this, describeValue);
    LblMONAsOf = makeLabel(Frame3, QStringLiteral("LblMONAsOf"), QString());
    monAge = new StaleMark(LblMONAsOf, QStringLiteral("Monitor value"), {LblMON}, m_clock, this);
}

void CommComm::buildDi()
{
    Frame1 = new QGroupBox(QStringLiteral("DI Command"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    const std::array<const char *, DiCount> hintNames{"Label3", "Label4", "Label5", "Label6", "Label7", "Label13"};
    std::array<QLabel *, DiCount> hints{};
    for (int k = 0; k < DiCount; ++k)
        hints[k] = keyHint(Frame1, hintNames[k], QStringLiteral("[F%1]").arg(k + 1));
    Label3 = hints[0];
    Label4 = hints[1];
    Label5 = hints[2];
    Label6 = hints[3];
    Label7 = hints[4];
    Label13 = hints[5];
    Label8 = keyHint(Frame1, "Label8", QStringLiteral("Shift"));

    auto *grid = new QGridLayout(Frame1);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    grid->addWidget(Label8, 2, 0);
    for (int k = 0; k < DiCount; ++k) {
        CmdON[k] = makeButton(Frame1, indexedName("CmdON", k), DiOnCaptions()[k]);
        CmdOFF[k] = makeButton(Frame1, indexedName("CmdOFF", k), DiOffCaptions()[k]);
        LblON[k] = makeLamp(Frame1, "LblON", k);
        LblOFF[k] = makeLamp(Frame1, "LblOFF", k);
        CmdON[k]->setMinimumWidth(ButtonWidth);
        CmdOFF[k]->setMinimumWidth(ButtonWidth);
        connect(CmdON[k], &QPushButton::clicked, this, [this, k] { send(DiOnCommands()[k]); });
        connect(CmdOFF[k], &QPushButton::clicked, this, [this, k] { send(DiOffCommands()[k]); });
        grid->addWidget(hints[k], 0, k + 1);
        grid->addWidget(new LampCell(LblON[k], CmdON[k], Frame1), 1, k + 1);
        grid->addWidget(new LampCell(LblOFF[k], CmdOFF[k], Frame1), 2, k + 1);
    }
    grid->setColumnStretch(DiCount + 1, 1);  // a wider window keeps the buttons together
}

void CommComm::buildJogGroup()
{
    Frame2 = new QGroupBox(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto *grid = new QGridLayout(Frame2);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);

    // Jog: three buttons on their lamps, one above the other, hints beside.
    const std::array<std::pair<const char *, int>, 3> jogLamps{{{"LblON", 7}, {"LblON", 8}, {"LblOFF", 7}}};
    for (int k = 0; k < 3; ++k) {
        CmdJOG[k] = makeButton(Frame2, indexedName("CmdJOG", k), JogCaptions()[k]);
        CmdJOG[k]->setMinimumWidth(ButtonWidth);
        QLabel *lamp = makeLamp(Frame2, jogLamps[k].first, jogLamps[k].second);
        (k < 2 ? LblON[7 + k] : LblOFF[7]) = lamp;
        connect(CmdJOG[k], &QPushButton::clicked, this, [this, k] {
            if (k == 2 || !m_holdToJog) send(JogCommands()[k]);  // a held jog acts on press and release
        });
        if (k < 2) {
            connect(CmdJOG[k], &QPushButton::pressed, this, [this, k] {
                if (m_holdToJog) jogDown(k, 0);
            });
            connect(CmdJOG[k], &QPushButton::released, this, [this, k] {
                if (m_jogHeld == k && m_jogKey == 0) releaseHeldJog();
            });
        }
        grid->addWidget(new LampCell(lamp, CmdJOG[k], Frame2), k, 0);
    }
    Label9 = keyHint(Frame2, "Label9", QStringLiteral("[F7]"));
    Label10 = keyHint(Frame2, "Label10", QStringLiteral("[F8]"));
    Label12 = keyHint(Frame2, "Label12", QStringLiteral("[F7/F8]"));
    Label14 = keyHint(Frame2, "Label14", QStringLiteral("Shift"));
    for (QLabel *l : {Label9, Label10, Label12}) l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label14->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(Label9, 0, 1, 1, 2);
    grid->addWidget(Label10, 1, 1, 1, 2);
    grid->addWidget(Label14, 2, 1);
    grid->addWidget(Label12, 2, 2);
    grid->setColumnMinimumWidth(3, 12);

    // High speed: the held "Speed" key with its "High" and "Low" indicators below.
    CmdON[6] = makeButton(Frame2, indexedName("CmdON", 6), QStringLiteral("Speed"));
    CmdON[6]->setMinimumWidth(ButtonWidth);
    Label11 = keyHint(Frame2, "Label11", QStringLiteral("[F9]"));
    Label11->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LblON[6] = makeFieldLabel(Frame2, indexedName("LblON", 6), QStringLiteral("High"));
    LblOFF[6] = makeFieldLabel(Frame2, indexedName("LblOFF", 6), QStringLiteral("Low"));
    auto *speedLamps = new QHBoxLayout;
    speedLamps->setSpacing(2);
    for (QLabel *l : {LblON[6], LblOFF[6]}) {
        l->setAlignment(Qt::AlignCenter);
        l->setAutoFillBackground(false);
        QPalette pal = l->palette();
        pal.setColor(QPalette::Window, LampColor);
        l->setPalette(pal);
        l->setMinimumWidth(44);
        speedLamps->addWidget(l);
    }
    auto *speedBox = new QVBoxLayout;
    speedBox->setContentsMargins(0, LampCell::Ring, 0, 0);  // level with "+JOG"
    speedBox->setSpacing(2);
    auto *speedRow = new QHBoxLayout;
    speedRow->addSpacing(LampCell::Ring);
    speedRow->addWidget(CmdON[6]);
    speedRow->addWidget(Label11);
    speedBox->addLayout(speedRow);
    auto *lampRow = new QHBoxLayout;
    lampRow->addSpacing(LampCell::Ring);
    lampRow->addLayout(speedLamps);
    lampRow->addStretch(1);
    speedBox->addLayout(lampRow);
    grid->addLayout(speedBox, 0, 4, 2, 1, Qt::AlignTop);
    grid->setColumnMinimumWidth(5, 12);
    connect(CmdON[6], &QPushButton::pressed, this, [this] { send(SpeedOnCommand()); });
    connect(CmdON[6], &QPushButton::released, this, [this] { send(SpeedOffCommand()); });
    connect(CmdON[6], &QPushButton::clicked, this, &CommComm::queueSendLine);

    // Point designation, teaching and CPU reset.
    CmdPNT = makeButton(Frame2, QStringLiteral("CmdPNT"), QStringLiteral("Point No."));
    TxtPNT = new QLineEdit(QStringLiteral("0"), Frame2);
    TxtPNT->setObjectName(QStringLiteral("TxtPNT"));
    TxtPNT->setAccessibleName(CmdPNT->text());
    TxtPNT->setMaxLength(2);
    TxtPNT->setAlignment(Qt::AlignRight);
    TxtPNT->setFixedWidth(TxtPNT->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 14);
    LblPnt = makeFieldLabel(Frame2, QStringLiteral("LblPnt"), QString());
    LblPnt->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LblPnt->setMinimumWidth(TxtPNT->width());
    CmdTDIN = makeButton(Frame2, QStringLiteral("CmdTDIN"), QStringLiteral("Teaching"));
    CmdRESET = makeButton(Frame2, QStringLiteral("CmdRESET"), QStringLiteral("CPU-Reset"));
    for (QPushButton *b : {CmdPNT, CmdTDIN, CmdRESET}) b->setMinimumWidth(ButtonWidth);
    connect(CmdPNT, &QPushButton::clicked, this, &CommComm::CmdPNT_Click);
    connect(CmdTDIN, &QPushButton::clicked, this, [this] { send(TeachCommand()); });
    connect(CmdRESET, &QPushButton::clicked, this, [this] { send(CpuResetCommand()); });
    auto *pointRow = new QHBoxLayout;
    pointRow->setSpacing(4);
    pointRow->addWidget(CmdPNT);
    pointRow->addWidget(TxtPNT);
    pointRow->addWidget(LblPnt);
    grid->addLayout(pointRow, 0, 6);
    grid->addWidget(CmdTDIN, 1, 6, Qt::AlignLeft);
    grid->addWidget(CmdRESET, 2, 6, Qt::AlignLeft);
    grid->setColumnStretch(7, 1);
}

void CommComm::buildHidden()
{
    Frame6 = new QGroupBox(QStringLiteral("Rewrite"), this);
    Frame6->setObjectName(QStringLiteral("Frame6"));
    Label15 = makeLabel(Frame6, QStringLiteral("Label15"), QStringLiteral("Mechanical Zero"));
    TxtZSET = new QLineEdit(QStringLiteral("0"), Frame6);
    TxtZSET->setObjectName(QStringLiteral("TxtZSET"));
    TxtZSET->setAccessibleName(Label15->text());
    TxtZSET->setMaxLength(8);
    CmdZSET = makeButton(Frame6, QStringLiteral("CmdZSET"), QStringLiteral("Rewrite"));
    connect(CmdZSET, &QPushButton::clicked, this, &CommComm::CmdZSET_Click);
    auto *row = new QHBoxLayout(Frame6);
    row->addWidget(Label15);
    row->addWidget(TxtZSET);
    row->addWidget(CmdZSET);
    Frame6->hide();

    LblJStr = makeLabel(this, QStringLiteral("LblJStr"), QString());
    LblJRecv = makeLabel(this, QStringLiteral("LblJRecv"), QString());
    LblJStr->hide();
    LblJRecv->hide();
}

void CommComm::layOut()
{
    auto *column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetMinimumSize);  // never squeezed below legibility
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(6);
    auto *lines = new QGridLayout;
    lines->setHorizontalSpacing(6);
    lines->setVerticalSpacing(3);
    lines->addWidget(Label1, 0, 0);
    lines->addWidget(LblStr, 0, 1);
    lines->addWidget(Label2, 1, 0);
    lines->addWidget(LblRecv, 1, 1);
    lines->setColumnStretch(1, 1);
    column->addLayout(lines);

    auto *monitor = new QHBoxLayout(Frame3);
    monitor->addWidget(CmbMON);
    monitor->addWidget(LblMON);
    monitor->addWidget(LblMONAsOf);
    monitor->addStretch(1);  // the value stays beside its item
    column->addWidget(Frame3);
    column->addWidget(Frame1);
    column->addWidget(Frame2);
    column->addWidget(Frame6);
    column->addStretch(1);
}

void CommComm::wireKeys()
{
    // Function keys are seen before the control that has the focus: every
    // control of the window passes its keys through the filter first.
    installEventFilter(this);
    for (QWidget *w : findChildren<QWidget *>()) w->installEventFilter(this);
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now == nullptr || (now != this && !isAncestorOf(now))) releaseHeld();
    });
}

CommComm::~CommComm()
{
    // The window's controls are destroyed after this window's own members,
    // and handing their focus on would reach the watch above.
    disconnect(m_focusWatch);
}

bool CommComm::event(QEvent *event)
{
    // The frame around the window may hold the focus itself (after a click
    // on its title): its keys count as the window's.
    if (event->type() == QEvent::ParentChange && parentWidget()) parentWidget()->installEventFilter(this);
    return ChildWindow::event(event);
}

void CommComm::hideEvent(QHideEvent *event)
{
    releaseHeld();  // minimised: nothing stays held without its key
    ChildWindow::hideEvent(event);
}

bool CommComm::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (isFunctionKey(key->key())) {
            if (type == QEvent::ShortcutOverride) {
                key->accept();  // the panel takes the key, not a shortcut
                return true;
            }
            return functionKey(key);
        }
        if (type != QEvent::ShortcutOverride && (speedKey(watched, key) || heldJogKey(watched, key))) return true;
    }
    return ChildWindow::eventFilter(watched, event);
}

bool CommComm::functionKey(QKeyEvent *event)
{
    const bool press = event->type() == QEvent::KeyPress;
    const bool modified = (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) != 0;
    const PanelKey target = FunctionKeyTarget(event->key(), modified);
    using T = PanelKey::Target;
    if (target.target == T::Speed) {
        if (press) {
            m_speedKey = event->key();
            speedDown();  // each key repeat queues "HSON" again
        } else if (!event->isAutoRepeat() && m_speedKey == event->key()) {
            releaseHeldSpeed();
        }
        return true;
    }
    if (target.target == T::Jog && target.index < 2 && m_holdToJog) {
        if (press && !event->isAutoRepeat()) jogDown(target.index, event->key());
        else if (!press && !event->isAutoRepeat() && m_jogKey == event->key()) releaseHeldJog();
        return true;
    }
    if (!press) return true;
    switch (target.target) {
    case T::On: CmdON[target.index]->click(); break;
    case T::Off: CmdOFF[target.index]->click(); break;
    case T::Jog: CmdJOG[target.index]->click(); break;
    default: break;
    }
    return true;
}

bool CommComm::speedKey(QObject *watched, QKeyEvent *event)
{
    const int key = event->key();
    if (!isEnterOrSpace(key)) return false;
    if (event->type() == QEvent::KeyPress) {
        if (watched != CmdON[6]) return false;
        m_speedKey = key;
        speedDown();
        return true;
    }
    // The release counts wherever the focus went meanwhile inside the window.
    if (m_speedKey != key) return watched == CmdON[6];
    if (event->isAutoRepeat()) return true;
    releaseHeldSpeed();
    queueSendLine();  // the click that a completed press makes
    return true;
}

bool CommComm::heldJogKey(QObject *watched, QKeyEvent *event)
{
    const int key = event->key();
    if (!m_holdToJog || !isEnterOrSpace(key)) return false;
    if (event->type() == QEvent::KeyPress) {
        const int index = watched == CmdJOG[0] ? 0 : watched == CmdJOG[1] ? 1 : -1;
        if (index < 0) return false;
        if (!event->isAutoRepeat()) jogDown(index, key);
        return true;
    }
    if (m_jogKey != key) return watched == CmdJOG[0] || watched == CmdJOG[1];
    if (!event->isAutoRepeat()) releaseHeldJog();
    return true;
}

void CommComm::setHoldToJog(bool on)
{
    if (!on) releaseHeldJog();
    m_holdToJog = on;
}

void CommComm::jogDown(int index, int key)
{
    if (m_jogHeld >= 0 && m_jogHeld != index) CmdJOG[m_jogHeld]->setDown(false);
    m_jogHeld = index;
    m_jogKey = key;
    CmdJOG[index]->setDown(true);
    send(JogCommands()[index]);
}

void CommComm::releaseHeldJog()
{
    if (m_jogHeld < 0) return;
    CmdJOG[m_jogHeld]->setDown(false);
    m_jogHeld = -1;
    m_jogKey = 0;
    send(JogCommands()[2]);
}

void CommComm::releaseHeld()
{
    if (m_speedKey != 0) releaseHeldSpeed();
    releaseHeldJog();
}

bool CommComm::takeStopKey(QKeyEvent *event)
{
    if (!isFunctionKey(event->key())) return false;
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride) {
        event->accept();  // the key comes as a key, not as a shortcut
        return true;
    }
    using T = PanelKey::Target;
    const bool modified = (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) != 0;
    const PanelKey target = FunctionKeyTarget(event->key(), modified);
    if (type == QEvent::KeyRelease) {
        if (event->isAutoRepeat()) return true;
        if (target.target == T::Speed && m_speedKey == event->key()) releaseHeldSpeed();
        else if (m_jogHeld >= 0 && m_jogKey == event->key()) releaseHeldJog();
        return true;
    }
    if (type != QEvent::KeyPress) return true;
    const auto i = static_cast<size_t>(target.index);
    QPushButton *button = target.target == T::On ? CmdON[i] : target.target == T::Off ? CmdOFF[i]
                        : target.target == T::Jog ? CmdJOG[i] : nullptr;
    const QString sent = target.target == T::On ? DiOnCommands()[i].text : target.target == T::Off ? DiOffCommands()[i].text
                       : target.target == T::Jog ? JogCommands()[i].text : QString();
    if (button && IsStopRequest(sent.toLatin1())) button->click();
    return true;
}

void CommComm::speedDown()
{
    CmdON[6]->setDown(true);
    send(SpeedOnCommand());
}

void CommComm::speedUp()
{
    CmdON[6]->setDown(false);
    send(SpeedOffCommand());
}

void CommComm::releaseHeldSpeed()
{
    m_speedKey = 0;
    speedUp();
}

void CommComm::send(const QString &text, const QString &japanese)
{
    LblStr->setText(text);
    LblJStr->setText(japanese);
    queueSendLine();
}

void CommComm::queueSendLine()
{
    LblJRecv->clear();
    m_link.setCommandText(LblStr->text());
}

void CommComm::CmdPNT_Click() { send(PointCommand(TxtPNT->text()), PointJapanese()); }

void CommComm::CmdZSET_Click()
{
    const std::optional<QString> command = ZeroSetCommand(TxtZSET->text());
    if (!command) {
        // A zero beyond 32 bits cannot be sent; nothing is queued.
        LblRecv->setText(ErrorText(3));
        return;
    }
    send(*command, ZeroSetJapanese());
}

void CommComm::MakeCmdMON()
{
    m_link.setCommandText(MonitorCommand(CmbMON->currentIndex()), QStringLiteral("MON"));
}

void CommComm::OnReplyMON(const Reply &reply)
{
    monAge->refreshed();
    const qint32 item = reply.field[0];
    const qint32 value = reply.field[1];
    if (m_monKnown && item == m_monItem && value == m_monValue) return;
    m_monKnown = true;
    m_monItem = item;
    m_monValue = value;
    setTextIfChanged(LblMON, MonitorValueText(item, value));
}

void CommComm::OnReplyERR(const Reply &reply) { setTextIfChanged(LblRecv, ErrorText(reply.field[0])); }

void CommComm::OnReplyOther(const Reply &reply) { setTextIfChanged(LblRecv, reply.keyword); }

void CommComm::showLamps(const PanelLamps &lamps)
{
    if (lamps == m_lamps) return;
    m_lamps = lamps;
    for (size_t k = 0; k < LblON.size(); ++k) setLampLit(LblON[k], lamps.on[k]);
    for (size_t k = 0; k < LblOFF.size(); ++k) setLampLit(LblOFF[k], lamps.off[k]);
}

void CommComm::showPoint(qint32 point)
{
    if (m_pointKnown && point == m_point) return;
    m_pointKnown = true;
    m_point = point;
    setTextIfChanged(LblPnt, PlainText(point));
}
