#pragma once
// Which child windows keep their values live when all monitors are kept live.

#include <QStringList>

class QMdiArea;

// The tags of the child windows on show, in the order they were made: those
// neither minimised nor hidden, and the active one whatever its state (its
// request goes out as ever). Windows without a tag are left out.
QStringList LiveTags(const QMdiArea &area);
