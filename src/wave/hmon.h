#pragma once
// The "Graphical Monitor" window.

#include "app/childwindow.h"

class DriveLink;

class HMon : public ChildWindow {
    Q_OBJECT
public:
    explicit HMon(DriveLink &link, QWidget *parent = nullptr);

private:
    DriveLink &m_link;
};
