#pragma once
// The "Command Communication" window.

#include "app/childwindow.h"

class DriveLink;

class CommComm : public ChildWindow {
    Q_OBJECT
public:
    explicit CommComm(DriveLink &link, QWidget *parent = nullptr);

private:
    DriveLink &m_link;
};
