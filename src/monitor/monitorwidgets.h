#pragma once
// Small helpers that the operation panel and the monitors build their
// controls with: names in the "Name(index)" form, accessible names, the
// single-bordered display look, background colours and lamps.

#include <QColor>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

// "LblSS(15)": a control name with its index.
QString indexedName(const char *name, int index);

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text);
// A display field: a label with a single sunken border.
QLabel *makeFieldLabel(QWidget *parent, const QString &name, const QString &text);
// A button whose accessible name is its caption.
QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption);

// An opaque background of the given colour.
void setBackground(QWidget *widget, const QColor &color);
// Writes the text only when it differs from what the label shows.
void setTextIfChanged(QLabel *label, const QString &text);

// A lamp is a light red label: lit it is opaque, unlit it is transparent.
inline const QColor LampColor{255, 128, 128};
void setLampLit(QLabel *lamp, bool lit);
bool lampLit(const QLabel *lamp);
