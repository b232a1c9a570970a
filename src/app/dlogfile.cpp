#include "dlogfile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

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
        QFileDialog dialog(m_owner);
        dialog.setNameFilter(qtFilter(m_filter));
        dialog.setDefaultSuffix(m_extension);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
        if (m_fileName.isEmpty()) {
            dialog.setDirectory(m_initDir);
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
    // As with the system's dialog, the chosen file's folder becomes the
    // current directory (the port file follows it).
    QDir::setCurrent(info.absolutePath());
    return m_fileName;
}
