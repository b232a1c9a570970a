#include "filechooser.h"

#include "common/dlogfile.h"

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

std::optional<QString> DialogFileChooser::choose(const Ask &ask)
{
    NameOnlyIconProvider icons;  // outlives the dialog that uses it
    QFileDialog dialog(ask.owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontUseCustomDirectoryIcons);
    dialog.setIconProvider(&icons);
    dialog.setNameFilter(DlogFile::qtFilter(ask.filter));
    dialog.setDefaultSuffix(ask.extension);
    dialog.setAcceptMode(ask.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(ask.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setDirectory(ask.folder);
    if (!ask.selected.isEmpty()) dialog.selectFile(QFileInfo(ask.selected).fileName());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        return dialog.selectedFiles().constFirst();
    return std::nullopt;
}
