#include "replyends.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <algorithm>
#include <iterator>
#include <termios.h>
#include <unistd.h>

bool SetReplyDelivery(int fd, bool atEnds, char end, char otherEnd)
{
    termios before{};
    if (::tcgetattr(fd, &before) != 0) return false;
    termios tio = before;
    if (atEnds) {
        // Canonical input ends a run at VEOL, and with IEXTEN at VEOL2 too,
        // each kept in what is read. Its editing characters, the end-of-file
        // character (by default the code 4 of a reply's end, which would be
        // swallowed) and the signal and echo settings are all switched off,
        // so that only the two end characters and the line feed mean anything.
        tio.c_lflag |= ICANON | IEXTEN;
        tio.c_lflag &= ~(ISIG | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOKE | ECHOPRT | TOSTOP);
        tio.c_iflag &= ~(IXON | IXOFF | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IMAXBEL | IUTF8);
        for (const int special : {VEOF, VERASE, VKILL, VWERASE, VLNEXT, VREPRINT, VDISCARD, VINTR, VQUIT, VSUSP, VSTART, VSTOP})
            tio.c_cc[special] = _POSIX_VDISABLE;
        tio.c_cc[VEOL] = static_cast<cc_t>(end);
        tio.c_cc[VEOL2] = static_cast<cc_t>(otherEnd);
    } else {
        tio.c_lflag &= ~(ICANON | IEXTEN);
    }
    // tcsetattr succeeds when any of the changes was made: the setting counts
    // only when all of it holds, and a device that took part of it is set back.
    termios now{};
    if (::tcsetattr(fd, TCSANOW, &tio) == 0 && ::tcgetattr(fd, &now) == 0 && now.c_lflag == tio.c_lflag &&
        now.c_iflag == tio.c_iflag && std::equal(std::begin(now.c_cc), std::end(now.c_cc), std::begin(tio.c_cc)))
        return true;
    ::tcsetattr(fd, TCSANOW, &before);
    return false;
}

#else

bool SetReplyDelivery(int, bool, char, char) { return false; }

#endif
