#pragma once
// The state of the drive link, one record that every window may read.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

inline constexpr char StxChar = '\x02';  // first character of every request; a reply starts at it
inline constexpr char EotChar = '\x04';  // last character of every request; ends a reply
inline constexpr char EtxChar = '\x03';  // also ends a reply (never sent by the program)

// A reply carries at most 257 fields after its keyword.
inline constexpr int ReplyFieldCount = 257;

struct LinkState {
    QByteArray PendingCmd;  // the framed request waiting to be sent (one slot)
    QByteArray LastCmd;     // the framed request most recently written
    QByteArray RecvBuf;     // the reply being collected, from its StxChar on
    QString CmdName;        // set by a builder; replaced by each reply's keyword
    std::array<qint32, ReplyFieldCount> ReplyField{};  // not cleared between replies
    int ParsePos = 0;       // 1-based position of the next field in the text being split
    quint8 AwaitReply = 0;
    quint8 InReply = 0;
    quint8 MoreFields = 0;
    quint8 TimeoutTicks = 0;
    quint32 StatusWord = 0;  // bit 15 running, bit 23 alarm, bit 31 servo on
    quint8 PollToggle = 0;
    quint8 BlinkPhase = 0;
    quint8 XferIndex = 0;      // block or point of the running transfer
    quint8 ReadDoneFlags = 0;  // 1 = point table read, 2 = parameters read; never cleared
};

namespace ReadDone {
inline constexpr quint8 PointTable = 1;
inline constexpr quint8 Parameters = 2;
}
