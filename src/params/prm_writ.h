#pragma once
// The "Setting Parameters" window.

#include "app/childwindow.h"

class DriveLink;

class Prm_Writ : public ChildWindow {
    Q_OBJECT
public:
    explicit Prm_Writ(DriveLink &link, QWidget *parent = nullptr);

private:
    DriveLink &m_link;
};
