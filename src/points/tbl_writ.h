#pragma once
// The "Point Table" window.

#include "app/childwindow.h"

class DriveLink;

class Tbl_Writ : public ChildWindow {
    Q_OBJECT
public:
    explicit Tbl_Writ(DriveLink &link, QWidget *parent = nullptr);

private:
    DriveLink &m_link;
};
