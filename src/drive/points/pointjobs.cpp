#include "pointjobs.h"

#include "drive/points/pointrules.h"

#include <algorithm>

// --- read ------------------------------------------------------------------------

ReadPointTableJob::ReadPointTableJob(DriveLink &link, QObject *parent)
    : DriveJob(link, QLatin1String(PointTableTransfer), parent)
{}

void ReadPointTableJob::begin()
{
    m_confirm.reset();
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
    if (m_confirmed) {
        std::array<qint32, PointColumns> values{};
        std::copy_n(reply.field.cbegin(), PointColumns, values.begin());
        switch (m_confirm.take(values)) {
        case ConfirmedRead<PointColumns>::Verdict::GiveUp: return finish(Ending::GivenUp);
        case ConfirmedRead<PointColumns>::Verdict::ReadAgain: return send(TblrText(p), QStringLiteral("TBLR"));
        case ConfirmedRead<PointColumns>::Verdict::Agreed: break;
        }
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
    m_progress = WriteProgress{};
    m_progress.total = PointCount;
    setSteps(PointCount + 1);
    sendPoint();
}

void WritePointTableJob::sendPoint()
{
    const int p = link().state().XferIndex;
    send(TblwText(p, pointTexts(p)), QStringLiteral("TBLW"));
    m_progress.unanswered = true;
}

void WritePointTableJob::stopping(Ending)
{
    m_progress.stopped(m_flashing, !requestWaiting(), ending() == Ending::Refused);
}

void WritePointTableJob::take(const Reply &)
{
    if (m_flashing) {
        m_progress.flash = WriteProgress::Flash::Acknowledged;
        if (advance()) finish(Ending::Done);
        return;
    }
    const int p = link().state().XferIndex;
    m_progress.blockAnswered(p);
    if (!advance()) return;
    if (p < PointCount - 1) {
        link().setXferIndex(quint8(p + 1));
        sendPoint();
        return;
    }
    link().setXferIndex(0);
    m_flashing = true;
    Q_EMIT pointsWritten();
    send(QStringLiteral("FLASH"), QStringLiteral("FLASH"));
    m_progress.flash = WriteProgress::Flash::Unanswered;
    releaseTransfer();
}
