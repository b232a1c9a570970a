#pragma once
// The file dialog of a file-keeping window: its filter, the directory the
// window was loaded in, a question before overwriting, a default extension for
// a name typed without one, and a cancel that ends the operation silently.
// The user is asked through the FileChooser the window was handed (the file
// dialog in the program, scripted answers in a test).

#include "common/filechooser.h"

#include <QString>
#include <optional>

class QWidget;

class DlogFile {
public:
    // filter in the form "description|pattern", e.g.
    // "Tavix-DRIVE point table files(*.ptt)|*.ptt"; extension without its dot.
    // files outlives the dialog.
    DlogFile(QWidget *owner, FileChooser &files, const QString &filter, const QString &defaultExtension);

    // Set at window load: the dialog opens here until a file has been chosen.
    void setInitDir(const QString &dir) { m_initDir = dir; }
    const QString &initDir() const { return m_initDir; }

    // The chosen file with its full path, or nothing on cancel.
    std::optional<QString> ShowOpen();
    std::optional<QString> ShowSave();
    // The last file chosen, with its full path.
    const QString &FileName() const { return m_fileName; }
    // Called once the chosen file has been read or written: its folder becomes
    // the current directory (where the port file is kept). A failed or
    // refused file leaves the current directory where it was.
    void commit();

    // "description|pattern" as a Qt name filter.
    static QString qtFilter(const QString &filter);

private:
    std::optional<QString> show(bool save);

    QWidget *m_owner;
    FileChooser &m_files;
    QString m_filter;
    QString m_extension;
    QString m_initDir;
    QString m_fileName;
};
