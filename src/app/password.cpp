#include "password.h"

#include "drive/makerpassword.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>

PassWord::PassWord(QWidget *parent)
    : ChildWindow(QStringLiteral("PassWord"), QStringLiteral("Input Pass-word"), QString(), parent)
{
    Label1 = new QLabel(QStringLiteral("Input Pass-word"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    TxtPassWord = new QLineEdit(this);
    TxtPassWord->setObjectName(QStringLiteral("TxtPassWord"));
    TxtPassWord->setEchoMode(QLineEdit::Password);
    // "*" for every character typed, shown at once, whatever the style: the
    // styles' own mask is a dot, and some show the last character a moment.
    TxtPassWord->setStyleSheet(
        QStringLiteral("QLineEdit { lineedit-password-character: 42; lineedit-password-mask-delay: 0; }"));
    TxtPassWord->setAccessibleName(Label1->text());
    Label1->setBuddy(TxtPassWord);
    CmdOK = new QPushButton(QStringLiteral("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    connect(CmdOK, &QPushButton::clicked, this, &PassWord::HanteiPass);
    connect(CmdCancel, &QPushButton::clicked, this, &PassWord::WinPassExit);
    TxtPassWord->installEventFilter(this);

    auto *grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0, 1, 2);
    grid->addWidget(TxtPassWord, 1, 0, 1, 2);
    grid->addWidget(CmdOK, 2, 0);
    grid->addWidget(CmdCancel, 2, 1);
    setFocusProxy(TxtPassWord);
}

bool PassWord::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == TxtPassWord && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            HanteiPass();
            return true;
        }
    }
    return ChildWindow::eventFilter(watched, event);
}

void PassWord::HanteiPass()
{
    const bool on = IsMakerPassword(TxtPassWord->text());
    if (!on) QMessageBox::critical(this, QStringLiteral("Error"), QStringLiteral("Invalid Password"));
    Q_EMIT makerModeChosen(on);
    WinPassExit();
}

void PassWord::WinPassExit()
{
    TxtPassWord->clear();
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget())) frame->hide();
    else hide();
}

bool PassWord::closeInstead()
{
    WinPassExit();
    return true;
}
