#pragma once
// The port dialog "Comm Port Select": the port number or offline mode, with
// the list of ports beside it so the user sees which number is which.

#include "drive/link/portmap.h"

#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class DriveLink;

class PortInp : public QDialog {
    Q_OBJECT
public:
    PortInp(DriveLink &link, std::function<QList<PortEntry>()> listPorts, QWidget *parent = nullptr);

    QLabel *Label1;
    QLabel *LblAccess;  // why the port typed cannot be opened by this user; empty when it can
    QLineEdit *TxtPortNo;
    QCheckBox *ChkOffLine;
    std::array<QPushButton *, 2> CmdOKCancel;
    QTreeWidget *LstPorts;

    // "OK" (0) or "Cancel" (1).
    void CmdOKCancel_Click(int index);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void activate();
    void showAccess();

    DriveLink &m_link;
    std::function<QList<PortEntry>()> m_listPorts;
};
