#include "portinp.h"

#include "drive/numtext.h"
#include "app/portfile.h"
#include "drive/link/drivelink.h"
#include "drive/link/portaccess.h"
#include "drive/link/netportname.h"
#include "drive/link/portio.h"
#include "app/netportsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <cmath>

PortInp::PortInp(DriveLink &link, std::function<QList<PortEntry>()> listPorts, QWidget *parent)
    : QDialog(parent), m_link(link), m_listPorts(std::move(listPorts))
{
    setObjectName(QStringLiteral("PortInp"));
    setWindowTitle(QStringLiteral("Comm Port Select"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("Input Comm Port No."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    TxtPortNo = new QLineEdit(this);
    TxtPortNo->setObjectName(QStringLiteral("TxtPortNo"));
    TxtPortNo->setAccessibleName(Label1->text());
    TxtPortNo->setMaximumWidth(90);
    Label1->setBuddy(TxtPortNo);
    ChkOffLine = new QCheckBox(QStringLiteral("Offline Mode"), this);
    ChkOffLine->setObjectName(QStringLiteral("ChkOffLine"));
    CmdOKCancel[0] = new QPushButton(QStringLiteral("OK"), this);
    CmdOKCancel[1] = new QPushButton(QStringLiteral("Cancel"), this);
    for (int i = 0; i < 2; ++i) {
        CmdOKCancel[i]->setObjectName(QStringLiteral("CmdOKCancel(%1)").arg(i));
        CmdOKCancel[i]->setAutoDefault(false);
        connect(CmdOKCancel[i], &QPushButton::clicked, this, [this, i] { CmdOKCancel_Click(i); });
    }
    LstPorts = new QTreeWidget(this);
    LstPorts->setObjectName(QStringLiteral("LstPorts"));
    LstPorts->setAccessibleName(QStringLiteral("Serial ports"));
    LstPorts->setHeaderLabels({QStringLiteral("No."), QStringLiteral("Device"), QStringLiteral("Description")});
    LstPorts->setRootIsDecorated(false);
    LstPorts->setMinimumHeight(110);
    LstPorts->header()->setStretchLastSection(true);
    connect(LstPorts, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { TxtPortNo->setText(item->text(0)); });
    connect(LstPorts, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        TxtPortNo->setText(item->text(0));
        CmdOKCancel_Click(0);
    });

    // Says why the chosen port cannot be opened by this user, when it cannot.
    LblAccess = new QLabel(this);
    LblAccess->setObjectName(QStringLiteral("LblAccess"));
    LblAccess->setAccessibleDescription(QStringLiteral("Port access"));
    LblAccess->setWordWrap(true);
    LblAccess->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LblAccess->setMinimumHeight(3 * LblAccess->fontMetrics().lineSpacing());
    LblAccess->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(TxtPortNo, &QLineEdit::textChanged, this, &PortInp::showAccess);

    LblNetPort = new QLabel(QStringLiteral("Network port:"), this);
    LblNetPort->setObjectName(QStringLiteral("LblNetPort"));
    CmbNetPort = new QComboBox(this);
    CmbNetPort->setObjectName(QStringLiteral("CmbNetPort"));
    CmbNetPort->setEditable(true);
    CmbNetPort->setInsertPolicy(QComboBox::NoInsert);
    CmbNetPort->setAccessibleName(QStringLiteral("Network port"));
    CmbNetPort->lineEdit()->setPlaceholderText(QStringLiteral("rfc2217://HOST:PORT or socket://HOST:PORT"));
    CmbNetPort->setToolTip(QStringLiteral("A port on a serial device server: rfc2217://HOST:PORT sets the line up "
                                          "through the server, socket://HOST:PORT passes the bytes as they are."));
    LblNetPort->setBuddy(CmbNetPort);
    if (!qobject_cast<PortIo *>(&m_link.port())) CmbNetPort->setEnabled(false);
    connect(TxtPortNo, &QLineEdit::textChanged, this, &PortInp::followNumber);
    connect(CmbNetPort->lineEdit(), &QLineEdit::textEdited, this, &PortInp::followNetPort);
    connect(CmbNetPort, &QComboBox::activated, this, &PortInp::followNetPort);

    auto *listCaption = new QLabel(QStringLiteral("Serial ports on this computer:"), this);
    listCaption->setBuddy(LstPorts);
    auto *grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(TxtPortNo, 0, 1, Qt::AlignLeft);
    grid->addWidget(ChkOffLine, 1, 0, 1, 2);
    grid->addWidget(listCaption, 2, 0, 1, 2);
    grid->addWidget(LstPorts, 3, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdOKCancel[0]);
    buttons->addWidget(CmdOKCancel[1]);
    auto *netRow = new QHBoxLayout;
    netRow->addWidget(LblNetPort);
    netRow->addWidget(CmbNetPort, 1);
    grid->addLayout(netRow, 4, 0, 1, 2);
    grid->addWidget(LblAccess, 5, 0, 1, 2);
    grid->addLayout(buttons, 6, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);

    TxtPortNo->installEventFilter(this);
    ChkOffLine->installEventFilter(this);
    CmbNetPort->lineEdit()->installEventFilter(this);
    setFixedSize(sizeHint().expandedTo(QSize(440, 280)));
}

void PortInp::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    activate();
}

void PortInp::activate()
{
    const PortSettings &s = m_link.settings();
    TxtPortNo->setText(QString::number(s.PortNo));
    ChkOffLine->setChecked(s.OfflineMode == 1);
    LstPorts->clear();
    if (m_listPorts) {
        for (const PortEntry &e : m_listPorts()) {
            const QString description = IsNetPortName(e.device) ? QStringLiteral("network port") : e.description;
            auto *item = new QTreeWidgetItem(LstPorts, {QString::number(e.number), e.device, description});
            if (e.number == s.PortNo) LstPorts->setCurrentItem(item);
        }
    }
    if (LstPorts->topLevelItemCount() == 0)
        new QTreeWidgetItem(LstPorts, {QString(), QStringLiteral("(no serial ports found)"), QString()});
    for (int c = 0; c < 2; ++c) LstPorts->resizeColumnToContents(c);
    CmbNetPort->clear();
    for (const RememberedNetPort &p : RememberedNetworkPorts()) CmbNetPort->addItem(p.name);
    followNumber();
    showAccess();
    TxtPortNo->setFocus();
    TxtPortNo->selectAll();
}

void PortInp::showAccess()
{
    // The device of the number typed, as the list names it.
    QString text;
    for (int i = 0; i < LstPorts->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = LstPorts->topLevelItem(i);
        if (!item->text(0).isEmpty() && item->text(0) == TxtPortNo->text().trimmed()) {
            text = PortAccessProblem(item->text(1));
            break;
        }
    }
    LblAccess->setText(text);
}

bool PortInp::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            CmdOKCancel_Click(0);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void PortInp::followNumber()
{
    if (m_following) return;
    m_following = true;
    // The port behind the number, as the port itself knows it (or the list).
    QString device;
    bool ok = false;
    const int number = TxtPortNo->text().trimmed().toInt(&ok);
    if (auto *io = qobject_cast<PortIo *>(&m_link.port()); io && ok) {
        device = io->portMap().deviceFor(number);
    } else {
        for (int i = 0; ok && i < LstPorts->topLevelItemCount(); ++i)
            if (LstPorts->topLevelItem(i)->text(0) == QString::number(number)) device = LstPorts->topLevelItem(i)->text(1);
    }
    CmbNetPort->setEditText(IsNetPortName(device) ? device : QString());
    m_following = false;
}

void PortInp::followNetPort()
{
    if (m_following) return;
    m_following = true;
    const std::optional<NetPortAddress> wanted = ParseNetPortName(CmbNetPort->currentText());
    auto *io = qobject_cast<PortIo *>(&m_link.port());
    const QList<PortEntry> ports = io ? io->portMap().list() : QList<PortEntry>();
    for (const PortEntry &e : ports) {
        if (!wanted || ParseNetPortName(e.device) != wanted) continue;
        TxtPortNo->setText(QString::number(e.number));
        for (int i = 0; i < LstPorts->topLevelItemCount(); ++i)
            if (LstPorts->topLevelItem(i)->text(0) == QString::number(e.number)) LstPorts->setCurrentItem(LstPorts->topLevelItem(i));
    }
    m_following = false;
}

bool PortInp::takeNetPort()
{
    const QString text = CmbNetPort->currentText().trimmed();
    auto *io = qobject_cast<PortIo *>(&m_link.port());
    QString why;
    const int number = io ? io->networkPortNumber(text, &why) : 0;
    if (number <= 0) {
        QMessageBox::warning(this, windowTitle(), why.isEmpty() ? QStringLiteral("Network ports cannot be used here.") : why);
        CmbNetPort->setFocus();
        CmbNetPort->lineEdit()->selectAll();
        return false;
    }
    const QString name = ParseNetPortName(text)->text();
    m_following = true;
    TxtPortNo->setText(QString::number(number));
    CmbNetPort->setEditText(name);
    m_following = false;
    RememberNetworkPort(number, name);
    return true;
}

void PortInp::CmdOKCancel_Click(int index)
{
    PortSettings &s = m_link.settings();
    if (index == 0 && !CmbNetPort->currentText().trimmed().isEmpty() && !takeNetPort()) return;
    if (index == 0) {
        const double n = std::floor(ValText(TxtPortNo->text()));
        if (n < -32768 || n > 32767) {
            QMessageBox::warning(this, windowTitle(),
                                 QStringLiteral("The port number must lie between -32768 and 32767."));
            TxtPortNo->setFocus();
            TxtPortNo->selectAll();
            return;
        }
        s.PortNo = static_cast<qint16>(n);
        s.OfflineMode = ChkOffLine->isChecked() ? 1 : 0;
    } else {
        s.RestorePortSettings();
    }
    const SaveResult saved = WritePortFile(s);
    if (!saved.ok)
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("The port file could not be written, so these settings hold only until "
                                            "the program ends.\n%1")
                                 .arg(saved.error()));
    m_link.closePort();
    if (s.OfflineMode == 1) s.SavePortSettings();
    done(index == 0 ? QDialog::Accepted : QDialog::Rejected);
}
