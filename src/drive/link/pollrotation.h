#pragma once
// The window half of the poll when all monitors are kept live: instead of the
// active window's request alone, the requests of the windows on show go out
// in turn.

#include <QString>
#include <QStringList>

// The tag whose request goes out next: the first of live after last, in the
// order of live and wrapping round; the first of live when last is not among
// them (nothing went out yet, or its window went away); empty when live is
// empty. A tag listed twice counts once, where it first appears.
QString NextPollTag(const QStringList &live, const QString &last);
