#pragma once
// A short cause-and-remedy text for each alarm of the alarm display, from
// general servo practice: what usually brings the alarm up and what to check
// before the alarm is reset. The alarm cells show it as their tooltip, the
// alarm log beside each entry.

#include "monitorrules.h"

#include <QString>
#include <QStringList>

// The text of the alarm cell's index (0..AlarmCount-1); empty for any other.
QString AlarmRemedy(int index);

// The text of an alarm named as its cell names it ("Over Load(01)"); empty
// for a name that is not an alarm cell's caption.
QString AlarmRemedyForName(const QString &name);
