#pragma once
// Characters the line garbled, as the terminal driver marks them. With
// INPCK and PARMRK, a character that arrives with a parity or framing error
// (or a break) reaches the program as the three bytes 0xFF 0x00 c, and a
// 0xFF that arrived whole comes doubled. LineMarkDecoder turns a marked
// character into one 0xFF, and a doubled 0xFF back into one: no reply that
// is checked may carry 0xFF, so a reply with a marked character is taken as
// garbled, and a drive that sent 0xFF sent no valid reply either. Without
// the marks the driver drops such a character (Qt asks it to ignore them),
// and a reply one character short passes for a shorter one.

#include <QByteArray>

// Has the device open on fd mark garbled characters (on) or let the driver
// drop them as before (off). False when the device cannot be set so (it
// then stays as it was) or on a system without terminal settings.
bool SetLineErrorMarks(int fd, bool on);

class LineMarkDecoder {
public:
    // Decodes the bytes of one delivery in place. A mark cut off at the end
    // of one delivery is finished by the next.
    void decode(QByteArray &bytes);
    // Characters marked as garbled so far.
    int marked() const { return m_marked; }
    // A new opening: a mark left half is forgotten.
    void reset() { m_state = State::Plain; }

private:
    enum class State { Plain, Escape, Marked };
    State m_state = State::Plain;
    int m_marked = 0;
};
