#include "titlebar.h"

#include "common/shape.h"
#include "drive/driveinfo.h"
#include "drive/link/drivelink.h"
#include "drive/monitor/monitorrules.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLocale>
#include <QRegularExpression>

namespace {

const QString OnlineCaption = QStringLiteral("ORVEX");
const QString OfflineCaption = QStringLiteral("ORVEX (Offline Mode)");

QLabel *makeLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QFrame *separator(QWidget *parent)
{
    auto *f = new QFrame(parent);
    f->setFrameShape(QFrame::VLine);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

}  // namespace

TitleBar::TitleBar(DriveLink &link, const DriveInfo &drive, const Clock &clock, QWidget *parent)
    : QWidget(parent), m_link(link), m_clock(clock)
{
    setObjectName(QStringLiteral("TitleBar"));
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    static_cast<QFrame *>(Picture1)->setFrameShape(QFrame::StyledPanel);
    outer->addWidget(Picture1);
    auto *row = new QHBoxLayout(Picture1);
    row->setContentsMargins(8, 3, 8, 3);
    row->setSpacing(6);

    const QString modelTip = QStringLiteral("ﾓｰﾀの型式");
    const QString romTip = QStringLiteral("ｻｰﾎﾞのROMﾊﾞｰｼﾞｮﾝ");

    LblMSEL = makeLabel(QStringLiteral("LblMSEL"), QStringLiteral("RM - -"), Picture1);
    LblMSEL->setToolTip(modelTip);
    LblMSEL->setMinimumWidth(64);
    QFont bold = LblMSEL->font();
    bold.setBold(true);
    LblMSEL->setFont(bold);
    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("ROMVer."), Picture1);
    Label1->setToolTip(romTip);
    LblROMV = makeLabel(QStringLiteral("LblROMV"), QStringLiteral("-.--"), Picture1);
    LblROMV->setToolTip(romTip);
    LblROMV->setMinimumWidth(36);

    LblSVON = makeLabel(QStringLiteral("LblSVON"), QStringLiteral("SVON"), Picture1);
    LblSVON->setAlignment(Qt::AlignCenter);
    LblSVON->setAutoFillBackground(true);
    LblSVON->setMinimumWidth(48);
    LblSVON->setFont(bold);

    Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("RUN"), Picture1);
    ShpGreen = new Shape(Shape::Kind::Circle, Picture1);
    ShpGreen->setObjectName(QStringLiteral("ShpGreen"));
    ShpGreen->setFixedSize(16, 16);
    Label3 = makeLabel(QStringLiteral("Label3"), QStringLiteral("ALM"), Picture1);
    ShpRed = new Shape(Shape::Kind::Circle, Picture1);
    ShpRed->setObjectName(QStringLiteral("ShpRed"));
    ShpRed->setFixedSize(16, 16);
    LblAlarmName = makeLabel(QStringLiteral("LblAlarmName"), QString(), Picture1);
    // Texts that change are the labels' accessible names (the label announces
    // each change); the role is their description.
    LblAlarmName->setAccessibleDescription(QStringLiteral("Alarms present"));

    LblDateTime = makeLabel(QStringLiteral("LblDateTime"), QString(), Picture1);
    LblPort = makeLabel(QStringLiteral("LblPort"), QString(), Picture1);
    LblPort->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LblPort->setMinimumWidth(40);
    LblPort->setAccessibleDescription(QStringLiteral("Port"));
    LblNoReply = makeLabel(QStringLiteral("LblNoReply"), QString(), Picture1);
    LblNoReply->setAccessibleDescription(QStringLiteral("Drive answer"));
    QFont boldRed = LblNoReply->font();
    boldRed.setBold(true);
    LblNoReply->setFont(boldRed);
    QPalette red = LblNoReply->palette();
    red.setColor(QPalette::WindowText, QColor(192, 0, 0));
    LblNoReply->setPalette(red);

    row->addWidget(LblMSEL);
    row->addWidget(separator(Picture1));
    row->addWidget(Label1);
    row->addWidget(LblROMV);
    row->addWidget(separator(Picture1));
    row->addWidget(LblSVON);
    row->addSpacing(6);
    row->addWidget(Label2);
    row->addWidget(ShpGreen);
    row->addSpacing(6);
    row->addWidget(Label3);
    row->addWidget(ShpRed);
    row->addWidget(LblAlarmName);
    row->addWidget(separator(Picture1));
    row->addWidget(LblPort);
    row->addWidget(LblNoReply, 1);
    row->addWidget(LblDateTime);

    // The locale's time with seconds, without the time zone.
    m_timeFormat = QLocale::system().timeFormat(QLocale::LongFormat);
    m_timeFormat.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b\\s*")));
    m_timeFormat = m_timeFormat.trimmed();

    connect(&m_link, &DriveLink::portStatusChanged, LblPort, &QLabel::setText);
    connect(&drive, &DriveInfo::motorModelChanged, LblMSEL, [this](const QString &name) {
        if (LblMSEL->text() != name) LblMSEL->setText(name);
    });
    connect(&drive, &DriveInfo::romVersionChanged, LblROMV, [this, &drive] {
        const QString text = drive.romVersionText();
        if (LblROMV->text() != text) LblROMV->setText(text);
    });
    // The link's tick steps the blink phase; the lamps follow at once, before
    // the rest of its tick (so offline darkens them one tick later).
    connect(&m_link, &DriveLink::blinkStepped, this, &TitleBar::paintLamps);
    paintLamps();
    TimerDateTime.setInterval(100);
    connect(&TimerDateTime, &QTimer::timeout, this, &TitleBar::TimerDateTime_Timer);
    TimerDateTime.start();
}

void TitleBar::TimerDateTime_Timer()
{
    const QLocale locale = QLocale::system();
    const QDateTime now = m_clock.now();
    const QString text = locale.toString(now.date(), QLocale::ShortFormat) + QStringLiteral("  ") +
                         locale.toString(now.time(), m_timeFormat);
    if (LblDateTime->text() != text) LblDateTime->setText(text);

    const QString &wanted = m_link.settings().OfflineMode != 0 ? OfflineCaption : OnlineCaption;
    if (m_caption != wanted) {
        m_caption = wanted;
        Q_EMIT captionChanged(wanted);
    }
    m_link.tick();  // the blink phase and the lamps, then the link's part
    const LinkState &s = m_link.state();
    const QString answer = m_link.noReply() ? QStringLiteral("No reply") : QString();
    if (LblNoReply->text() != answer) LblNoReply->setText(answer);
    QString alarms;
    if ((s.StatusWord & (1u << 23)) != 0) {
        alarms = m_alarms ? PresentAlarmNames(*m_alarms) : QString();
        if (alarms.isEmpty()) alarms = QStringLiteral("Alarm");
    }
    if (LblAlarmName->text() != alarms) LblAlarmName->setText(alarms);
}

void TitleBar::setPresentAlarms(quint32 bits) { m_alarms = bits; }

void TitleBar::paintLamps()
{
    const LinkState &s = m_link.state();
    const bool running = s.StatusWord & (1u << 15);
    const bool alarm = s.StatusWord & (1u << 23);
    const bool servoOn = s.StatusWord & (1u << 31);

    if (running) ShpGreen->setColors(QColor(192, 255, 192), QColor(0, 255, 0));
    else ShpGreen->setColors(Qt::black, Qt::black);

    if (alarm && (s.BlinkPhase == 3 || s.BlinkPhase == 4)) ShpRed->setColors(QColor(255, 192, 192), QColor(255, 0, 0));
    else ShpRed->setColors(Qt::black, Qt::black);

    QPalette pal = LblSVON->palette();
    const QColor back = servoOn ? QColor(255, 0, 0) : QColor(Qt::black);
    const QColor fore = servoOn ? QColor(Qt::black) : QColor(Qt::white);
    if (pal.color(QPalette::Window) != back || pal.color(QPalette::WindowText) != fore) {
        pal.setColor(QPalette::Window, back);
        pal.setColor(QPalette::WindowText, fore);
        LblSVON->setPalette(pal);
    }
}
