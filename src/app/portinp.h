#pragma once
// The port dialog "Comm Port Select": the port number or offline mode, with
// the list of ports beside it so the user sees which number is which, and a
// field for a port on a serial device server (socket://HOST:PORT or
// rfc2217://HOST:PORT). A network port gets a number of its own (from 101)
// that the port file keeps as it keeps any other; the name behind the number
// and the last ones used are kept in the user's settings.

#include "drive/link/portmap.h"

#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class DriveLink;

class PortInp : public QDialog {
    Q_OBJECT
public:
    // listPorts is asked for the list each time the dialog opens (a source
    // answered at once: a function, not a signal).
    PortInp(DriveLink &link, std::function<QList<PortEntry>()> listPorts, QWidget *parent = nullptr);

    QLabel *Label1;
    QLabel *LblAccess;  // why the port typed cannot be opened by this user; empty when it can
    QLineEdit *TxtPortNo;
    QCheckBox *ChkOffLine;
    std::array<QPushButton *, 2> CmdOKCancel;
    QTreeWidget *LstPorts;
    QLabel *LblNetPort;
    QComboBox *CmbNetPort;  // the network port; the last ones used in its list

    // "OK" (0) or "Cancel" (1).
    void CmdOKCancel_Click(int index);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void activate();
    void showAccess();
    // The network field shows the name of the port number typed, if it is a
    // network port; a network port picked or typed puts its number in the
    // number field when it has one.
    void followNumber();
    void followNetPort();
    // The network field's port becomes the port number; false (the user has
    // been told why) when it cannot.
    bool takeNetPort();

    DriveLink &m_link;
    std::function<QList<PortEntry>()> m_listPorts;
    bool m_following = false;
};
