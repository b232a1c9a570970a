#include "linkprompts.h"

#include "common/messagelines.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QWidget>

LinkPrompts::LinkPrompts(DriveLink &link, QWidget *window, QDialog *portDialog,
                         std::function<bool(QKeyEvent *)> stopKeys, QObject *parent)
    : QObject(parent), m_link(link), m_window(window), m_portDialog(portDialog), m_stopKeys(std::move(stopKeys))
{
    connect(&m_link, &DriveLink::replyLost, this, &LinkPrompts::askLostReply);
    connect(&m_link, &DriveLink::decisionTaken, this, &LinkPrompts::closeQuestion);
    connect(&m_link, &DriveLink::portRefused, this, &LinkPrompts::tellPortRefused);
    connect(&m_link, &DriveLink::openingResumed, this, &LinkPrompts::closePortPrompts);
    // However the port dialog is left, a link waiting for the user's choice
    // opens again.
    if (m_portDialog) connect(m_portDialog, &QDialog::finished, &m_link, &DriveLink::resumeOpening);
}

void LinkPrompts::askLostReply()
{
    closeQuestion();
    auto *box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Error"),
                                QStringLiteral("It failed in the communication."),
                                QMessageBox::Retry | QMessageBox::Cancel, m_window);
    box->setObjectName(QStringLiteral("LinkTimeoutQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Application-modal as before, but shown rather than run: open() would
    // make it modal to the main window alone and leave the tool windows
    // usable while the link waits.
    box->setWindowModality(Qt::ApplicationModal);
    connect(box, &QMessageBox::finished, this, [this, box](int result) {
        if (m_question == box) m_question = nullptr;
        if (!m_link.awaitingDecision()) return;  // decided elsewhere meanwhile
        if (result == QMessageBox::Retry) m_link.retry();
        else m_link.giveUp();
    });
    m_question = box;
    qApp->installEventFilter(this);
    box->show();
}

void LinkPrompts::closeQuestion()
{
    QMessageBox *box = m_question;
    m_question = nullptr;
    qApp->removeEventFilter(this);
    if (box && box->isVisible()) box->done(QMessageBox::Cancel);
}

bool LinkPrompts::eventFilter(QObject *watched, QEvent *event)
{
    // While the question is open its box holds the keys: the panel's function
    // keys are taken for the panel's stops.
    const QEvent::Type type = event->type();
    if (m_question && m_stopKeys &&
        (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride)) {
        auto *w = qobject_cast<QWidget *>(watched);
        if (w && (w == m_question || m_question->isAncestorOf(w)) && m_stopKeys(static_cast<QKeyEvent *>(event)))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

QString LinkPrompts::portRefusedText(OpenStatus status, int portNo)
{
    QStringList lines{QStringLiteral("COMM%1").arg(portNo)};
    if (status == OpenStatus::InUse) {
        lines << QStringLiteral("このポートは既に使用されています。")
              << QStringLiteral("他のアプリケーションでポートを閉じてから")
              << QStringLiteral("設定し直して下さい。");
    } else {
        lines << QStringLiteral("ポート番号が不正です");
    }
    return lines.join(QLatin1Char('\r'));
}

void LinkPrompts::tellPortRefused(OpenStatus status, int portNo)
{
    closePortPrompts();
    QMessageBox *box = OpenMessage(m_window, QMessageBox::Warning, QStringLiteral("CommPort"),
                                   portRefusedText(status, portNo), QStringLiteral("PortErrorMessage"));
    m_portMessage = box;
    connect(box, &QMessageBox::finished, this, [this, box] {
        if (m_portMessage == box) m_portMessage = nullptr;
        if (!m_link.awaitingPortChoice()) return;
        if (!m_portDialog) {
            m_link.resumeOpening();
            return;
        }
        // The port dialog, from the last settings that worked; leaving it
        // lets the link open again.
        m_portDialogOurs = true;
        m_portDialog->setWindowModality(Qt::ApplicationModal);
        m_portDialog->show();
    });
}

void LinkPrompts::closePortPrompts()
{
    if (QMessageBox *box = m_portMessage) {
        m_portMessage = nullptr;
        if (box->isVisible()) box->done(QMessageBox::Ok);
    }
    if (m_portDialogOurs && m_portDialog && m_portDialog->isVisible()) {
        m_portDialogOurs = false;
        m_portDialog->reject();
    }
    m_portDialogOurs = false;
}
