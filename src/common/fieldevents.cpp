#include "fieldevents.h"

#include "drive/params/entrychecks.h"

#include <QFocusEvent>
#include <QKeyEvent>

bool FocusMoves(const QFocusEvent *event) { return event->reason() != Qt::PopupFocusReason; }

int KeyCodeOf(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return KeyCode::Enter;
    case Qt::Key_Up:
        return KeyCode::Up;
    case Qt::Key_Down:
        return KeyCode::Down;
    default:
        return 0;
    }
}
