#pragma once
// The "Status Display" window.

#include "app/childwindow.h"

class DriveLink;

class Mon2 : public ChildWindow {
    Q_OBJECT
public:
    explicit Mon2(DriveLink &link, QWidget *parent = nullptr);

private:
    DriveLink &m_link;
};
