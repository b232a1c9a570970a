#pragma once
// Reading and writing the point table: "TBLR" and "TBLW" for points 0..31,
// then "FLASH" keeps what was written.

#include "drive/confirmedread.h"
#include "drive/drivedata.h"
#include "drive/drivejob.h"
#include "drive/writeprogress.h"

#include <array>
#include <functional>
#include <optional>

// The name under which the point table transfer holds the link.
inline constexpr char PointTableTransfer[] = "Tbl_Writ";

class ReadPointTableJob : public DriveJob {
    Q_OBJECT
public:
    explicit ReadPointTableJob(DriveLink &link, QObject *parent = nullptr);

    const PointTable &result() const { return m_result; }
    // A read for another purpose than the point table window's own (a
    // comparison) does not count as the window's read.
    bool countsAsRead = true;
    // Confirmed: every point is read again until two replies in a row carry
    // the same values, and only those are taken; a point whose replies do
    // not agree (see ConfirmedRead) ends the job given up. Off, each point
    // is read once ("TBLR;0" to "TBLR;1F").
    void setConfirmed(bool confirmed) { m_confirmed = confirmed; }

Q_SIGNALS:
    // Point p's four values are in result().
    void pointRead(int point);

protected:
    void begin() override;
    void take(const Reply &reply) override;

private:
    PointTable m_result{};
    bool m_confirmed = false;
    ConfirmedRead<PointColumns> m_confirm;
};

class WritePointTableJob : public DriveJob {
    Q_OBJECT
public:
    explicit WritePointTableJob(DriveLink &link, QObject *parent = nullptr);

    // The four texts a point sends, asked when its request is built (a
    // question answered at once with a value: a function, not a signal).
    std::function<std::array<QString, PointColumns>(int point)> pointTexts;
    // Writes a table.
    void setSource(const PointTable &table);
    // How far the write came, whatever its ending: points 0 .. acknowledged
    // - 1 were written and answered, whether the point after them went out
    // unanswered, and what became of FLASH (see WriteParametersJob).
    const WriteProgress &progress() const { return m_progress; }

Q_SIGNALS:
    // The last point is written: "FLASH" goes out and the transfer ends.
    void pointsWritten();

protected:
    void begin() override;
    void take(const Reply &reply) override;
    void stopping(Ending ending) override;

private:
    void sendPoint();

    PointTable m_source{};
    bool m_flashing = false;
    WriteProgress m_progress;
};
