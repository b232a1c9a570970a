#pragma once
// Reading and writing the drive's parameters: "R;0".."R;5" read the six
// blocks of ten; "W" writes the blocks one by one, then "FLASH" keeps them.

#include "drive/confirmedread.h"
#include "drive/drivedata.h"
#include "drive/drivejob.h"
#include "drive/params/paramtext.h"
#include "drive/writeprogress.h"

#include <array>
#include <functional>
#include <optional>

// The name under which the parameter transfer holds the link.
inline constexpr char ParametersTransfer[] = "Prm_Writ";

class ReadParametersJob : public DriveJob {
    Q_OBJECT
public:
    explicit ReadParametersJob(DriveLink &link, QObject *parent = nullptr);
    // Reads blocks 0 to blocks - 1 only (all six by default).
    void setBlocks(int blocks) { m_blocks = blocks; }
    // A read for another purpose than the parameter window's own (a
    // comparison) does not count as the window's read.
    bool countsAsRead = true;
    // Confirmed: every block is read again until two replies in a row carry
    // the same values, and only those are taken; a block whose replies do
    // not agree (see ConfirmedRead) ends the job given up. Off, each block is
    // read once ("R;0" to "R;5").
    void setConfirmed(bool confirmed) { m_confirmed = confirmed; }

    // The values read so far; all sixty once done.
    const ParameterSet &result() const { return m_result; }

Q_SIGNALS:
    // A block's ten values are in result().
    void blockRead(int block);

protected:
    void begin() override;
    void take(const Reply &reply) override;

private:
    ParameterSet m_result;
    int m_blocks = ParamBlockCount;
    bool m_confirmed = false;
    ConfirmedRead<ParamBlockSize> m_confirm;
};

class WriteParametersJob : public DriveJob {
    Q_OBJECT
public:
    explicit WriteParametersJob(DriveLink &link, QObject *parent = nullptr);

    // What a block sends, asked when its request is built: the ten fields'
    // texts (a hexadecimal one goes out as typed, a decimal one rounded).
    // These two are the job's questions, answered at once with a value, so
    // functions rather than signals.
    std::function<QList<WriteField>(int block)> blockFields;
    // The last block to write, asked at each reply: 3 for the user's set, 5
    // with the maker's.
    std::function<int()> lastBlock;
    // Writes a set: its values, as many blocks as it covers.
    void setSource(const ParameterSet &set);
    // How many blocks went out (known once the last is answered).
    int writtenBlocks() const { return m_written; }
    // How far the write came, whatever its ending: blocks 0 .. acknowledged
    // - 1 were written and answered, whether the block after them went out
    // unanswered, and what became of FLASH. A write that did not end done
    // with progress().halfWritten() left new values on the drive that its
    // memory does not keep (HalfWrittenText says so).
    const WriteProgress &progress() const { return m_progress; }

Q_SIGNALS:
    // The last block is written: "FLASH" goes out and the transfer ends.
    void blocksWritten();

protected:
    void begin() override;
    void take(const Reply &reply) override;
    void stopping(Ending ending) override;

private:
    void sendBlock();

    ParameterSet m_source;
    bool m_flashing = false;
    int m_written = 0;
    WriteProgress m_progress;
};

// The fields of block b of a set, as a window would hold them.
QList<WriteField> BlockFields(const ParameterSet &set, int block);
