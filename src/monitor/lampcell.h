#pragma once
// A button standing on its lamp: the lamp is a slightly larger rectangle
// behind the button, so a lit lamp shows as a coloured ring around it.

#include <QWidget>

class QLabel;
class QPushButton;

class LampCell : public QWidget {
    Q_OBJECT
public:
    // Takes both widgets as children; the lamp keeps the colour it was given.
    LampCell(QLabel *lamp, QPushButton *button, QWidget *parent = nullptr);

    static constexpr int Ring = 4;  // pixels of lamp around the button

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QLabel *m_lamp;
};
