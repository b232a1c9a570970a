#pragma once
// A write to the drive that stopped half-way (refused, the reply given up,
// the port lost, FLASH refused): the window says what the drive now holds
// and offers to write back the backup kept before the write. Shown without
// waiting, as the link's own questions are: the link and its jobs never wait
// inside a call. "Write Backup Back" asks first; only a Yes calls writeBack.

#include "drive/writeprogress.h"

#include <QString>
#include <functional>

class DriveJob;
class QMessageBox;
class QWidget;

// what: how the write ended ("Writing parameters: refused: ERR;3"); holds:
// HalfWrittenText; backup: the file kept before the write (no button
// without one); covers: what writing it back writes ("blocks 0-3").
QMessageBox *OpenHalfWrittenMessage(QWidget *parent, const QString &what, const QString &holds, const QString &backup,
                                    const QString &covers, std::function<void()> writeBack);

// Writing the backup at path back: job, a write set up with its values and
// owned by window, is started; its steps and its end go to report ("Writing
// the backup back: step k of n", then done, the text given). An end other
// than done goes to stopped, with how it ended. When another transfer runs,
// the job is deleted, failed is told why, and the result is false.
bool StartWriteBack(QWidget *window, DriveJob *job, const QString &path, const QString &done,
                    const std::function<void(const QString &)> &report, std::function<void(const QString &what)> stopped);
// A write-back that cannot begin: on the status line (report) and in a
// message that does not wait.
void TellWriteBackFailed(QWidget *window, const QString &why, const std::function<void(const QString &)> &report);
