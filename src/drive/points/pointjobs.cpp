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

void ReadPointTableJob::take(const Reply &reply)
{
    const int p = link().state().XferIndex;
    if (p >= PointCount) {
        finish(Ending::GivenUp);
        return;
    }
    for (int c = 0; c < PointColumns; ++c) m_result[PointColumns * p + c] = reply.field[c];
    Q_EMIT pointRead(p);
    if (!advance()) return;
    if (p < PointCount - 1) {
        link().setXferIndex(quint8(p + 1));
        send(TblrText(p + 1), QStringLiteral("TBLR"));
        return;
    }
    if (countsAsRead) link().markRead(ReadDone::PointTable);
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

void WritePointTableJob::take(const Reply &)
{
    if (!advance()) return;
    if (m_flashing) {
        finish(Ending::Done);
        return;
    }
    const int p = link().state().XferIndex;
    if (p < PointCount - 1) {
        link().setXferIndex(quint8(p + 1));
        sendPoint();
        return;
    }
    link().setXferIndex(0);
    m_flashing = true;
    Q_EMIT pointsWritten();
    send(QStringLiteral("FLASH"), QStringLiteral("FLASH"));
    releaseTransfer();
}
