#pragma once
// The "I/O Monitor" window.

#include "app/childwindow.h"

class DriveLink;

class IOMon : public ChildWindow {
    Q_OBJECT
public:
    explicit IOMon(DriveLink &link, QWidget *parent = nullptr);

private:
    DriveLink &m_link;
};
