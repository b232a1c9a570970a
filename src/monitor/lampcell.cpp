#include "lampcell.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

LampCell::LampCell(QLabel *lamp, QPushButton *button, QWidget *parent) : QWidget(parent), m_lamp(lamp)
{
    lamp->setParent(this);
    button->setParent(this);
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(Ring, Ring, Ring, Ring);
    box->addWidget(button);
    lamp->lower();
}

void LampCell::resizeEvent(QResizeEvent *event)
{
    m_lamp->setGeometry(rect());
    QWidget::resizeEvent(event);
}
