#pragma once
// The password window "Input Pass-word": the right password switches maker
// mode on.

#include "common/childwindow.h"

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

class PassWord : public ChildWindow {
    Q_OBJECT
public:
    explicit PassWord(QWidget *parent = nullptr);

    // Tests the entry: the maker's password (drive/makerpassword.h) switches
    // maker mode on; anything else says "Invalid Password" and leaves it
    // off. Then the window goes away.
    void HanteiPass();
    // Clears the entry and hides the window.
    void WinPassExit();

    // Switches maker mode (the main window's SetMakerMode).
    std::function<void(bool)> setMakerMode;
    // Hides the window (its frame inside the main window).
    std::function<void()> hideWindow;

    QLabel *Label1;
    QLineEdit *TxtPassWord;
    QPushButton *CmdOK;
    QPushButton *CmdCancel;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
