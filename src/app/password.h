#pragma once
// The password window "Input Pass-word": the right password switches maker
// mode on.

#include "common/childwindow.h"

class QLabel;
class QLineEdit;
class QPushButton;

class PassWord : public ChildWindow {
    Q_OBJECT
public:
    explicit PassWord(QWidget *parent = nullptr);

    // Tests the entry: the maker's password (drive/makerpassword.h) switches
    // maker mode on (makerModeChosen(true)); anything else says "Invalid
    // Password" and leaves it off (makerModeChosen(false)). Then the window
    // goes away.
    void HanteiPass();
    // Clears the entry and hides the window (its frame inside the main
    // window, where it has one).
    void WinPassExit();
    // Closing the window is its "Cancel".
    bool closeInstead() override;

    QLabel *Label1;
    QLineEdit *TxtPassWord;
    QPushButton *CmdOK;
    QPushButton *CmdCancel;

Q_SIGNALS:
    void makerModeChosen(bool on);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
