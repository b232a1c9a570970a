#pragma once
// The file a recording goes into (the rows of TrendRows, as CSV). Rows are
// appended as they come and reach the disk at each flush(), which the
// recorder calls at least once a second, so a crash loses at most that much.
// A file that cannot be written, fills up or is removed while recording ends
// the recording with the reason; the rows written before stay in the file.

#include <QFile>
#include <QString>
#include <QStringList>

class TrendCsvFile {
public:
    TrendCsvFile() = default;
    ~TrendCsvFile() { close(); }
    TrendCsvFile(const TrendCsvFile &) = delete;
    TrendCsvFile &operator=(const TrendCsvFile &) = delete;

    enum class Start {
        New,      // the file is created, or replaced when replace is true
        Append,   // the file exists with this very header: rows go below it
    };
    // Opens the file for a recording with this header. Without replace, an
    // existing file that holds anything but this header (another recording's
    // columns, other data) is refused rather than overwritten. Only plain
    // files are taken. False with the reason in error.
    bool open(const QString &path, const QStringList &header, bool replace, QString *error, Start *how = nullptr);
    // Adds a row; false (with the reason) when the file refused it.
    bool append(const QStringList &row, QString *error);
    // Hands what was appended to the disk and checks the file is still
    // where it was; false with the reason otherwise.
    bool flush(QString *error);
    // Flushes and closes; the file stays.
    void close();

    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    qint64 rows() const { return m_rows; }  // data rows appended by this recording

private:
    bool fail(QString *error, const QString &what);

    QFile m_file;
    qint64 m_rows = 0;
};
