#pragma once
// The About box: the program's name and version.

#include <QDialog>

class QLabel;
class QPushButton;

class Version : public QDialog {
    Q_OBJECT
public:
    explicit Version(QWidget *parent = nullptr);

    QWidget *Picture1;
    QLabel *Image1;
    QLabel *Label8;
    QLabel *Label7;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *LblVer;
    QPushButton *Command1;
};

// 121 / 100 with two decimals and the system's decimal separator, then "E".
QString VersionText();
