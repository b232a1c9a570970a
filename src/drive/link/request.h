#pragma once
// A request as the link keeps it, from the moment a builder leaves it until
// its reply has ended or it is given up, and a reply as decoders and jobs
// receive it. Both are plain values.

#include "frames.h"
#include "linkstate.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QPointer>
#include <QString>
#include <array>

class LinkClient;

struct Request {
    enum class Kind : quint8 {
        Poll,      // the poll's request: "S", "ALM", "IO", or the one of a window's tag
        Command,   // a button's, a decoder's or a job's request
        Stop,      // JOGOFF, HSOFF, SVOFF, EMCON: never replaced, goes out first
        Transfer,  // a step of the parameter or point table transfer: R, W, TBLR, TBLW, FLASH
    };

    QByteArray framed;           // StxChar, the command text, EotChar
    QPointer<LinkClient> owner;  // whose the reply is; none: its keyword's decoder's
    bool owned = false;          // it was a client's when queued (the client may be gone since)
    Kind kind = Kind::Command;
    bool background = false;     // a poll request for a window other than the active one
    int retries = 0;             // how often it was written again after its reply was lost

    QByteArrayView keyword() const { return RequestKeyword(framed); }
    bool isStop() const { return kind == Kind::Stop; }
};

// The kind of a request with this keyword: a stop or a transfer step by its
// keyword; otherwise a poll request when the poll built it, else a command.
Request::Kind RequestKindOf(QByteArrayView keyword, bool builtByPoll);

// A reply once split: what its decoder or its job receives.
struct Reply {
    QString keyword;  // CmdName: "" for a reply without one
    // ReplyField: the positions the reply did not carry keep what earlier
    // replies left there.
    std::array<qint32, ReplyFieldCount> field{};
    int carried = 0;  // the fields it carried after its keyword (those past 257 are dropped)
    QByteArray raw;   // RecvBuf: from its StxChar to its end character
    Request request;  // the request it answers (the last one written)
};
