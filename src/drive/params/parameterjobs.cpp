#include "parameterjobs.h"

#include <algorithm>

QList<WriteField> BlockFields(const ParameterSet &set, int block)
{
    QList<WriteField> fields;
    for (int i = 0; i < ParamBlockSize; ++i) {
        const int k = block * ParamBlockSize + i;
        fields.append({FieldText(set.values[k], ParamIsHex(k)), ParamIsHex(k), ParamRange(k)});
    }
    return fields;
}

// --- read ------------------------------------------------------------------------

ReadParametersJob::ReadParametersJob(DriveLink &link, QObject *parent)
    : DriveJob(link, QLatin1String(ParametersTransfer), parent)
{}

void ReadParametersJob::begin()
{
    m_confirm.reset();
    setSteps(m_blocks);
    send(ReadRequestText(0), QStringLiteral("R"));
}

void ReadParametersJob::take(const Reply &reply)
{
    const int block = link().state().XferIndex;
    if (m_confirmed && block < ParamBlockCount) {
        std::array<qint32, ParamBlockSize> values{};
        std::copy_n(reply.field.cbegin() + 1, ParamBlockSize, values.begin());
        switch (m_confirm.take(values)) {
        case ConfirmedRead<ParamBlockSize>::Verdict::GiveUp: return finish(Ending::GivenUp);
        case ConfirmedRead<ParamBlockSize>::Verdict::ReadAgain: return send(ReadRequestText(block), QStringLiteral("R"));
        case ConfirmedRead<ParamBlockSize>::Verdict::Agreed: break;
        }
    }
    if (block < ParamBlockCount) {
        for (int i = 0; i < ParamBlockSize; ++i) m_result.values[block * ParamBlockSize + i] = reply.field[i + 1];
        Q_EMIT blockRead(block);
    }
    if (!advance()) return;
    if (block < m_blocks - 1) {
        link().setXferIndex(quint8(block + 1));
        send(ReadRequestText(block + 1), QStringLiteral("R"));
        return;
    }
    if (countsAsRead) link().markRead(ReadDone::Parameters);
    finish(Ending::Done);
}

// --- write -----------------------------------------------------------------------

WriteParametersJob::WriteParametersJob(DriveLink &link, QObject *parent)
    : DriveJob(link, QLatin1String(ParametersTransfer), parent)
{}

void WriteParametersJob::setSource(const ParameterSet &set)
{
    m_source = set;
    blockFields = [this](int block) { return BlockFields(m_source, block); };
    lastBlock = [this] { return m_source.writeBlocks - 1; };
}

void WriteParametersJob::begin()
{
    m_flashing = false;
    m_written = 0;
    m_progress = WriteProgress{};
    m_progress.total = lastBlock() + 1;
    setSteps(lastBlock() + 2);  // the blocks and FLASH
    sendBlock();
}

void WriteParametersJob::sendBlock()
{
    const int block = link().state().XferIndex;
    if (block >= ParamBlockCount) return;
    send(WriteRequestText(block, blockFields(block)), QStringLiteral("W"));
    m_progress.unanswered = true;
}

void WriteParametersJob::stopping(Ending)
{
    m_progress.stopped(m_flashing, !requestWaiting(), ending() == Ending::Refused);
}

void WriteParametersJob::take(const Reply &)
{
    if (m_flashing) {
        m_progress.flash = WriteProgress::Flash::Acknowledged;
        if (advance()) finish(Ending::Done);
        return;
    }
    const int block = link().state().XferIndex;
    m_progress.blockAnswered(block);
    if (!advance()) return;
    // The last block is asked at each reply: maker mode switched on during a
    // write of four blocks goes on to block 5; switched off past block 3,
    // the write ends rather than running on.
    const int last = lastBlock();
    setSteps(std::max<int>(last, block) + 2);
    m_progress.total = std::max<int>(last, block) + 1;
    if (block < last) {
        link().setXferIndex(quint8(block + 1));
        sendBlock();
        return;
    }
    m_written = block + 1;
    link().setXferIndex(0);
    m_flashing = true;
    Q_EMIT blocksWritten();
    send(QStringLiteral("FLASH"), QStringLiteral("FLASH"));
    m_progress.flash = WriteProgress::Flash::Unanswered;
    releaseTransfer();
}
