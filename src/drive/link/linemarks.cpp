#include "linemarks.h"

#include <QtGlobal>
#include <cstring>

#ifdef Q_OS_UNIX
#include <termios.h>

bool SetLineErrorMarks(int fd, bool on)
{
    termios before{};
    if (::tcgetattr(fd, &before) != 0) return false;
    termios tio = before;
    if (on) {
        // Errors checked and marked, not ignored; a break is marked as a
        // garbled character too (neither ignored nor a signal), and nothing
        // is stripped to seven bits.
        tio.c_iflag |= INPCK | PARMRK;
        tio.c_iflag &= ~(IGNPAR | IGNBRK | BRKINT | ISTRIP);
    } else {
        tio.c_iflag &= ~(INPCK | PARMRK);
        tio.c_iflag |= IGNPAR;
    }
    termios now{};
    if (::tcsetattr(fd, TCSANOW, &tio) == 0 && ::tcgetattr(fd, &now) == 0 && now.c_iflag == tio.c_iflag) return true;
    ::tcsetattr(fd, TCSANOW, &before);
    return false;
}

#else

bool SetLineErrorMarks(int, bool) { return false; }

#endif

void LineMarkDecoder::decode(QByteArray &bytes)
{
    if (m_state == State::Plain && std::memchr(bytes.constData(), 0xFF, static_cast<size_t>(bytes.size())) == nullptr)
        return;
    char *out = bytes.data();
    qsizetype n = 0;
    for (const char c : std::as_const(bytes)) {
        const auto u = static_cast<unsigned char>(c);
        switch (m_state) {
        case State::Plain:
            if (u == 0xFF) m_state = State::Escape;
            else out[n++] = c;
            break;
        case State::Escape:
            if (u == 0x00) {
                m_state = State::Marked;
                break;
            }
            // 0xFF 0xFF is one 0xFF received; anything else after a lone
            // 0xFF cannot come from the driver and is taken as it stands.
            out[n++] = '\xFF';
            m_state = State::Plain;
            if (u != 0xFF) out[n++] = c;
            break;
        case State::Marked:
            // Whatever the garbled character was (an end character
            // included), it stands as a mark.
            out[n++] = '\xFF';
            ++m_marked;
            m_state = State::Plain;
            break;
        }
    }
    bytes.truncate(n);
}
