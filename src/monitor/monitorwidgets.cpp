#include "monitorwidgets.h"

#include <QLabel>
#include <QPushButton>

QString indexedName(const char *name, int index)
{
    return QLatin1String(name) + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QLabel *makeFieldLabel(QWidget *parent, const QString &name, const QString &text)
{
    QLabel *label = makeLabel(parent, name, text);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
    label->setMargin(2);
    return label;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(caption);
    button->setAutoDefault(false);
    return button;
}

void setBackground(QWidget *widget, const QColor &color)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, color);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

void setTextIfChanged(QLabel *label, const QString &text)
{
    if (label->text() != text) label->setText(text);
}

void setLampLit(QLabel *lamp, bool lit)
{
    if (lamp->autoFillBackground() == lit) return;
    lamp->setAutoFillBackground(lit);
    lamp->update();
}

bool lampLit(const QLabel *lamp) { return lamp->autoFillBackground(); }
