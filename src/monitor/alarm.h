#pragma once
// The "Alarm Display" window.

#include "app/childwindow.h"

class DriveLink;

class Alarm : public ChildWindow {
    Q_OBJECT
public:
    explicit Alarm(DriveLink &link, QWidget *parent = nullptr);

private:
    DriveLink &m_link;
};
