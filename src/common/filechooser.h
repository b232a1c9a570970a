#pragma once
// Choosing a file, as one service handed to every window that reads or
// writes one (through its DlogFile, which adds the folder last used, the
// default extension and the current directory): main() hands in the file
// dialog, a test hands in its own answers.

#include <QString>
#include <optional>

class QWidget;

class FileChooser {
public:
    struct Ask {
        QWidget *owner = nullptr;  // the window the dialog belongs to
        bool save = false;         // a file to write (else one to read)
        QString filter;            // "description|pattern"
        QString extension;         // the default extension, without its dot
        QString folder;            // where the dialog opens
        QString selected;          // the file shown as chosen (the last one), or empty
    };

    virtual ~FileChooser() = default;
    // The file the user chose, nothing on cancel.
    virtual std::optional<QString> choose(const Ask &ask) = 0;
};

// Qt's own file dialog (a system one would bring icons and types of its
// own), asking before it overwrites. It never opens a file it lists: icons
// and types come from the names alone, so a folder of pipes or of
// pseudo-files cannot stall the program.
class DialogFileChooser : public FileChooser {
public:
    std::optional<QString> choose(const Ask &ask) override;
};
