#pragma once
// What the user is asked or told for the link, without a nested event loop:
// the link announces what it waits for and waits; these boxes are shown
// application-modal, as the link's questions always were, but return at once,
// and their answer goes back to the link when the user gives it.
// - A lost reply: "It failed in the communication." (Retry, Cancel) answers
//   retry() or giveUp(). While it is open, the operation panel's function
//   keys still give its stops (stopKeys), which go out before anything else.
// - A port that cannot be opened: the message titled "CommPort", then the
//   port dialog; the link opens again once the dialog is left.
// Whoever else answers the link (a test, the command line), the box it
// answered closes.

#include "drive/link/drivelink.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QDialog;
class QKeyEvent;
#include <QMessageBox>
class QWidget;

class LinkPrompts : public QObject {
    Q_OBJECT
public:
    // stopKeys takes a key event while the question is open: true when it
    // was the panel's (its stop queued). A filter must answer at once
    // whether it took the key: a function, not a signal.
    LinkPrompts(DriveLink &link, QWidget *window, QDialog *portDialog, std::function<bool(QKeyEvent *)> stopKeys,
                QObject *parent = nullptr);

    // The question of a lost reply while it is open, else null.
    QMessageBox *question() const { return m_question; }

    // The message of a port that cannot be opened: "COMM" and the number,
    // then why, each line after a carriage return.
    static QString portRefusedText(OpenStatus status, int portNo);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void askLostReply();
    void closeQuestion();
    void tellPortRefused(OpenStatus status, int portNo);
    void closePortPrompts();

    DriveLink &m_link;
    QWidget *m_window;
    QPointer<QDialog> m_portDialog;
    std::function<bool(QKeyEvent *)> m_stopKeys;
    QPointer<QMessageBox> m_question;
    QPointer<QMessageBox> m_portMessage;
    bool m_portDialogOurs = false;  // the port dialog was opened for the link
};
