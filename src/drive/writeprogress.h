#pragma once
// How far a write of the parameters or the point table came before it
// stopped, and what that leaves on the drive: the blocks (or points) of the
// new values it runs, and whether they are kept in its memory. The write
// jobs keep it; the window and the command-line tool tell it in the same
// words.

#include <QString>

struct WriteProgress {
    enum class Flash {
        NotSent,       // the write stopped before "FLASH"
        Unanswered,    // "FLASH" went out and its answer never came: perhaps kept, perhaps not
        Refused,       // the drive answered "FLASH" with "ERR": not kept
        Acknowledged,  // the drive answered "FLASH": the values are kept
    };
    int acknowledged = 0;     // blocks (points) 0 .. acknowledged - 1 were written and answered
    int total = 0;            // blocks (points) the write covers
    bool unanswered = false;  // block (point) `acknowledged` went out and its answer never came:
                              // the drive may have taken it
    Flash flash = Flash::NotSent;

    // The drive may run new values that are not kept in its memory: some
    // block went out, and the write did not end with FLASH answered.
    bool halfWritten() const { return flash != Flash::Acknowledged && (acknowledged > 0 || unanswered); }

    // The write stopped while FLASH (flashing) or a block was its step: a
    // step still waiting to go out (sent false) never went out, and one the
    // drive refused was not taken (it keeps nothing of a refused block).
    void stopped(bool flashing, bool sent, bool refused)
    {
        sent = sent && !refused;
        if (flashing) {
            if (flash == Flash::Unanswered && !sent) flash = refused ? Flash::Refused : Flash::NotSent;
        } else if (!sent) {
            unanswered = false;
        }
    }
    // Block (point) `index` was answered.
    void blockAnswered(int index)
    {
        acknowledged = index + 1;
        unanswered = false;
    }
};

// What the drive holds after a write that stopped half-way, in one or two
// sentences: "The drive runs blocks 0-2 of the new values, not saved in its
// memory (no FLASH). The values before are in BACKUP." unit is "block" or
// "point"; backup the file kept before the write (none: no backup was kept).
// Empty when the write is not half-written.
QString HalfWrittenText(const WriteProgress &progress, const QString &unit, const QString &backup);

// The first count blocks (points): "block 0", "blocks 0-3", "points 0-31".
QString WriteSpan(const QString &unit, int count);
