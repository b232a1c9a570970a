#pragma once
// How the entry fields of the parameter and point table editors read their
// keys and focus changes.

class QFocusEvent;
class QKeyEvent;

// Whether a focus event takes the focus into or out of a field for good. A
// context menu opening on the field, and closing again, leaves the field where
// it was: its check does not run.
bool FocusMoves(const QFocusEvent *event);

// The key code of a key press for the key rule: Enter, Up, Down or 0 for any
// other key.
int KeyCodeOf(const QKeyEvent *event);
