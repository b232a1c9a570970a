#pragma once
// The "Setting Parameters" window.

#include "app/childwindow.h"

#include <array>

class QLineEdit;
class DriveLink;

inline constexpr int ParamCount = 60;

class Prm_Writ : public ChildWindow {
    Q_OBJECT
public:
    explicit Prm_Writ(DriveLink &link, QWidget *parent = nullptr);

    // The value of parameter k lives only in the text of its field.
    std::array<QLineEdit *, ParamCount> TxtPrm{};

private:
    DriveLink &m_link;
};
