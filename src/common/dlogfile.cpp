#include "dlogfile.h"

#include "common/useroptions.h"

#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>

namespace {

// Icons and type names from the names alone. The standard provider guesses the
// type of a file whose extension does not tell it by reading the file, on the
// program's thread, for every file of the folder shown: in /proc or /sys a
// single read can block for good, and opening a named pipe waits for a writer.
class NameOnlyIconProvider : public QFileIconProvider {
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo &info) const override
    {
        return QFileIconProvider::icon(info.isDir() ? Folder : File);
    }
    QString type(const QFileInfo &info) const override
    {
        // Folders, drives, pipes and devices are told apart by their status
        // alone; only a plain file would be read.
        if (!info.isFile()) return QFileIconProvider::type(info);
        const QMimeType mime = QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }
};

}  // namespace

DlogFile::DlogFile(QWidget *owner, const QString &filter, const QString &defaultExtension)
    : m_owner(owner), m_filter(filter), m_extension(defaultExtension), m_initDir(QDir::currentPath())
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
    std::optional<QString> chosen;
    if (chooser) {
        chosen = chooser(save);
    } else {
        NameOnlyIconProvider icons;  // outlives the dialog that uses it
        QFileDialog dialog(m_owner);
        // Qt's own dialog: a system one would bring icons and types of its own.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::DontUseCustomDirectoryIcons);
        dialog.setIconProvider(&icons);
        dialog.setNameFilter(qtFilter(m_filter));
        dialog.setDefaultSuffix(m_extension);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
        if (m_fileName.isEmpty()) {
            // The folder such a file last came from or went to, in this run
            // or an earlier one; the window's own folder the first time.
            const QString last = LastFolder(m_extension);
            dialog.setDirectory(last.isEmpty() ? m_initDir : last);
        } else {
            dialog.setDirectory(QFileInfo(m_fileName).absolutePath());
            dialog.selectFile(QFileInfo(m_fileName).fileName());
        }
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
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
