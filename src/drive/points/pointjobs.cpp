#include "pointjobs.h"

#include "drive/points/pointrules.h"

// --- read ------------------------------------------------------------------------

ReadPointTableJob::ReadPointTableJob(DriveLink &link, QObject *parent)
    : DriveJob(link, QLatin1String(PointTableTransfer), parent)
{}

void ReadPointTableJob::begin()
{
    setSteps(PointCount);
    send(TblrText(0), QStringLiteral("TBLR"));
}

void ReadPointTableJob::take()
{
    LinkState &s = link().state();
    const int p = s.XferIndex;
    if (p >= PointCount) {
        finish(Ending::GivenUp);
        return;
    }
    for (int c = 0; c < PointColumns; ++c) m_result[PointColumns * p + c] = s.ReplyField[c];
    Q_EMIT pointRead(p);
    if (!advance()) return;
    if (p < PointCount - 1) {
        ++s.XferIndex;
        send(TblrText(s.XferIndex), QStringLiteral("TBLR"));
        return;
    }
    if (countsAsRead) s.ReadDoneFlags |= ReadDone::PointTable;
    finish(Ending::Done);
}

// --- write -----------------------------------------------------------------------

WritePointTableJob::WritePointTableJob(DriveLink &link, QObject *parent)
    : DriveJob(link, QLatin1String(PointTableTransfer), parent)
{}

void WritePointTableJob::setSource(const PointTable &table)
{
    m_source = table;
    pointTexts = [this](int p) {
        const PointTexts texts = PointDataToTexts(m_source);
        std::array<QString, PointColumns> out;
        for (int c = 0; c < PointColumns; ++c) out[c] = texts[PointColumns * p + c];
        return out;
    };
}

void WritePointTableJob::begin()
{
    m_flashing = false;
    setSteps(PointCount + 1);
    sendPoint();
}

void WritePointTableJob::sendPoint()
{
    const int p = link().state().XferIndex;
    send(TblwText(p, pointTexts(p)), QStringLiteral("TBLW"));
}

void WritePointTableJob::take()
{
    if (!advance()) return;
    if (m_flashing) {
        finish(Ending::Done);
        return;
    }
    LinkState &s = link().state();
    if (s.XferIndex < PointCount - 1) {
        ++s.XferIndex;
        sendPoint();
        return;
    }
    s.XferIndex = 0;
    m_flashing = true;
    Q_EMIT pointsWritten();
    send(QStringLiteral("FLASH"), QStringLiteral("FLASH"));
    releaseTransfer();
}
