#pragma once
// Helpers for driving the link through the in-memory port.

#include "drive/link/drivelink.h"
#include "drive/link/frames.h"
#include "drive/link/memoryport.h"

#include <QByteArray>

// A link over the in-memory port, the base of the tests' rigs.
struct LinkRig {
    PortSettings settings;
    MemoryPort port;
    DriveLink link{settings, port};
};

// A request or reply text with its start and end characters.
inline QByteArray F(const char *text) { return FrameCmd(QByteArrayView(text)); }

// Delivers a framed reply one character at a time, as a slow line would.
inline void replyByChar(MemoryPort &port, const char *text)
{
    for (char c : F(text)) port.inject(QByteArray(1, c));
}

inline void reply(MemoryPort &port, const char *text) { port.inject(F(text)); }

// The framed requests written, without their start and end characters.
inline QStringList requests(const MemoryPort &port)
{
    QStringList out;
    for (const QByteArray &w : port.written) out << QString::fromLatin1(w.mid(1, w.size() - 2));
    return out;
}
