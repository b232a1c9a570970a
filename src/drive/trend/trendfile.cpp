#include "trendfile.h"

#include "drive/csvfiles.h"

#include <QFileInfo>

namespace {

// The header of a recording is one short line; this much of a file is read
// to find it.
constexpr qint64 HeaderProbe = 64 * 1024;

// The first row of an existing file, or nothing when it cannot be read as CSV.
std::optional<QStringList> firstRow(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray head = file.read(HeaderProbe);
    const qsizetype end = head.indexOf('\n');
    if (end < 0) return std::nullopt;
    head.truncate(end + 1);
    const CsvRead read = ReadCsv(head);
    if (!read.ok() || read.records.isEmpty() || !read.records.first().problem.isEmpty()) return std::nullopt;
    return read.records.first().fields;
}

}  // namespace

bool TrendCsvFile::fail(QString *error, const QString &what)
{
    if (error) *error = what;
    return false;
}

bool TrendCsvFile::open(const QString &path, const QStringList &header, bool replace, QString *error, Start *how)
{
    close();
    m_rows = 0;
    const QFileInfo info(path);
    if (path.isEmpty()) return fail(error, QStringLiteral("No file is chosen."));
    // A pipe or a device would stall or swallow the recording.
    if (info.exists() && !info.isFile()) return fail(error, path + QStringLiteral(" is not a plain file."));

    Start start = Start::New;
    if (info.exists() && info.size() > 0 && !replace) {
        const std::optional<QStringList> first = firstRow(path);
        if (!first || *first != header)
            return fail(error, path + QStringLiteral(" holds other data than a recording of these columns; "
                                                     "choose another file or replace it."));
        start = Start::Append;
    }

    m_file.setFileName(path);
    const QIODevice::OpenMode mode =
        start == Start::Append ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!m_file.open(mode)) return fail(error, path + QStringLiteral(": ") + m_file.errorString());
    if (start == Start::New) {
        const QByteArray text = CsvText({header});
        if (m_file.write(text) != text.size() || !m_file.flush()) {
            const QString why = m_file.errorString();
            m_file.close();
            return fail(error, path + QStringLiteral(": ") + why);
        }
    }
    if (how) *how = start;
    return true;
}

bool TrendCsvFile::append(const QStringList &row, QString *error)
{
    if (!m_file.isOpen()) return fail(error, QStringLiteral("The file is not open."));
    const QByteArray text = CsvText({row});
    if (m_file.write(text) != text.size()) return fail(error, path() + QStringLiteral(": ") + m_file.errorString());
    ++m_rows;
    return true;
}

bool TrendCsvFile::flush(QString *error)
{
    if (!m_file.isOpen()) return fail(error, QStringLiteral("The file is not open."));
    if (!m_file.flush()) return fail(error, path() + QStringLiteral(": ") + m_file.errorString());
    // Rows written to a file that was removed or moved away reach no one.
    if (!QFileInfo::exists(path())) return fail(error, path() + QStringLiteral(" was removed or moved."));
    return true;
}

void TrendCsvFile::close()
{
    if (m_file.isOpen()) m_file.close();
}
