#pragma once
// A write to the drive that stopped half-way (refused, the reply given up,
// the port lost, FLASH refused): the window says what the drive now holds
// and offers to write back the backup kept before the write. Shown without
// waiting, as the link's own questions are: the link and its jobs never wait
// inside a call. "Write Backup Back" asks first; only a Yes calls writeBack.

#include "drive/writeprogress.h"

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

// what: how the write ended ("Writing parameters: refused: ERR;3"); holds:
// HalfWrittenText; backup: the file kept before the write (no button
// without one); covers: what writing it back writes ("blocks 0-3").
QMessageBox *OpenHalfWrittenMessage(QWidget *parent, const QString &what, const QString &holds, const QString &backup,
                                    const QString &covers, std::function<void()> writeBack);
