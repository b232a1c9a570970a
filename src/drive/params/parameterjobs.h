#pragma once
// Reading and writing the drive's parameters: "R;0".."R;5" read the six
// blocks of ten; "W" writes the blocks one by one, then "FLASH" keeps them.

#include "drive/drivedata.h"
#include "drive/drivejob.h"
#include "drive/params/paramtext.h"

#include <functional>

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

Q_SIGNALS:
    // The last block is written: "FLASH" goes out and the transfer ends.
    void blocksWritten();

protected:
    void begin() override;
    void take(const Reply &reply) override;

private:
    void sendBlock();

    ParameterSet m_source;
    bool m_flashing = false;
    int m_written = 0;
};

// The fields of block b of a set, as a window would hold them.
QList<WriteField> BlockFields(const ParameterSet &set, int block);
