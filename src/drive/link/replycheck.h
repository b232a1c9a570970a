#pragma once
// Replies checked before they become values. The line carries no checksum:
// a character changed on the way would become a wrong number in a file, a
// backup, a comparison, or on the drive itself when a read feeds a write.
// What can be checked is checked before the reply is split: the keyword is
// the one asked for, the block or point number is the one asked for, the
// reply carries exactly the fields of its kind, and every field is one to
// eight hexadecimal digits (nine or more would read as 0). Any character
// outside printable ASCII fails it: the receive path hands a character the
// line marked as garbled (a parity or framing error) on as 0xFF, which no
// reply carries.
//
// Checked are the replies to:
//   R;b        "R" with 11 fields: b, then the block's ten values
//   TBLR;p     "TBLR" with 4 fields: the point's four values
//   W;b;...    "W" alone, or with b as its one field
//   TBLW;p;... "TBLW" alone, or with p as its one field
//   FLASH      "FLASH" alone
//   T;c;t;s with the run bit (bit 7 of c), which arms or uploads a capture:
//              "T" with one field that is no block number (nothing recorded
//              yet), or with 33: the block number 1..8, then sixteen pairs
//              of torque (status bit folded in) and speed, each of 16 bits
//   and, when a job asked (its values go to a file, the command line or a
//   broker, never to a window's poll): S (5 fields: status word, point,
//   motor type, ROM version, command state), ALM (9: the alarms present and
//   eight of the history), IO (1), MON;n (2: n and the value).
// Each may instead be answered "ERR" with its code as the one field.
// Every other reply (the windows' polls, the operation commands) is taken as
// it comes, as it always was.

#include <QByteArrayView>
#include <QString>

struct Request;

// Whether the reply to this request is checked.
bool RepliesChecked(const Request &request);

// Empty when the reply (its start character, its text and its end
// character, as collected) may be taken as the answer to the request, or
// when such replies are not checked; otherwise what is wrong with it, in
// words: "field 5 is not hexadecimal", "10 fields where R carries 11".
QString ReplyShapeProblem(const Request &request, QByteArrayView reply);
// The same for the framed request text, as if a job (byJob) or the poll had
// asked: what a watcher of the poll's replies takes for its own file.
QString ReplyShapeProblem(QByteArrayView request, bool byJob, QByteArrayView reply);
