#pragma once
// Frames of the wire protocol: a request is StxChar, the command text and
// EotChar; a reply is StxChar, a keyword, fields each introduced by ";" and an
// end character. These routines know nothing of ports or windows.

#include "linkstate.h"

#include <QByteArrayView>

// The value of one hexadecimal reply field: nine characters or more give 0;
// five to eight are read as 32 bits (behind four leading zeros as 0..65535);
// four or fewer as a 16-bit two's complement number. Blanks, tabs and line
// feeds are skipped; reading stops at the first other non-hexadecimal character.
qint32 HexFieldToLong(QByteArrayView field);

// The next field of a framed text from the 1-based position parsePos on: the
// characters up to a ";" or a control character (not included). Clears
// moreFields when the end of the text or a control character is reached.
QByteArrayView NextField(QByteArrayView text, int &parsePos, quint8 &moreFields);

// Fills CmdName and ReplyField from RecvBuf. Fields beyond position 256 are
// dropped; positions the reply does not carry keep their older values.
// Returns how many fields the reply carried after its keyword.
int SplitReply(LinkState &s);

// Wraps the command text in StxChar and EotChar.
QByteArray FrameCmd(QByteArrayView text);

// The keyword of a framed request: the text between StxChar and the first
// ";" or control character ("R" for R;2, "JOGOFF" for JOGOFF).
QByteArrayView RequestKeyword(QByteArrayView framed);

// Requests that stop motion: the emergency stop, servo off, jog off and high
// speed off. Such a request is never dropped: a later request does not
// replace it in the slot, it goes out first.
bool IsStopRequest(QByteArrayView keyword);

// The requests of the parameter and point table transfers.
bool IsTransferRequest(QByteArrayView keyword);
