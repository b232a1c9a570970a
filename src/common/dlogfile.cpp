#include "dlogfile.h"

#include "drive/useroptions.h"

#include <QDir>
#include <QFileInfo>

DlogFile::DlogFile(QWidget *owner, FileChooser &files, const QString &filter, const QString &defaultExtension)
    : m_owner(owner), m_files(files), m_filter(filter), m_extension(defaultExtension), m_initDir(QDir::currentPath())
{
}

QString DlogFile::qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    if (parts.size() < 2) return filter;
    QString description = parts[0];
    const QString pattern = QStringLiteral("(") + parts[1] + QStringLiteral(")");
    // Qt reads the patterns from the parentheses at the end of the description.
    if (!description.endsWith(pattern)) description += QStringLiteral(" ") + pattern;
    return description;
}

std::optional<QString> DlogFile::ShowOpen() { return show(false); }
std::optional<QString> DlogFile::ShowSave() { return show(true); }

std::optional<QString> DlogFile::show(bool save)
{
    FileChooser::Ask ask{m_owner, save, m_filter, m_extension, {}, {}};
    if (m_fileName.isEmpty()) {
        // The folder such a file last came from or went to, in this run or
        // an earlier one; the window's own folder the first time.
        const QString last = LastFolder(m_extension);
        ask.folder = last.isEmpty() ? m_initDir : last;
    } else {
        ask.folder = QFileInfo(m_fileName).absolutePath();
        ask.selected = m_fileName;
    }
    const std::optional<QString> chosen = m_files.choose(ask);
    if (!chosen || chosen->isEmpty()) return std::nullopt;

    QFileInfo info(*chosen);
    if (info.suffix().isEmpty() && !m_extension.isEmpty()) {
        const QFileInfo withExtension(info.filePath() + QStringLiteral(".") + m_extension);
        // A name typed without extension gets the window's one, on opening
        // only where no file of the bare name exists.
        if (save || (!info.exists() && withExtension.exists())) info = withExtension;
    }
    m_fileName = info.absoluteFilePath();
    RememberFolder(m_extension, info.absolutePath());
    return m_fileName;
}

void DlogFile::commit()
{
    // As with the system's dialog, the folder of a file read or written
    // becomes the current directory (the port file follows it).
    if (!m_fileName.isEmpty()) QDir::setCurrent(QFileInfo(m_fileName).absolutePath());
}
