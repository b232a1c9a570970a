#pragma once
// The "Setting Parameters" window: the sixty parameter fields on six tabs of
// ten, the help of the focused parameter, the transfer to and from the drive
// and the parameter file.
//
// A view of the session's parameter model: each field shows the model's text
// and every edit goes back into it at once, so whatever the model is given
// (a read, a file, a CSV import) the field shows, and whatever is typed the
// model holds. The change marks follow the model's baseline.

#include "common/childwindow.h"
#include "common/dlogfile.h"
#include "drive/useroptions.h"
#include "drive/drivedata.h"
#include "drive/params/parameterjobs.h"
#include "drive/params/paramcatalogue.h"

#include <array>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class DriveJob;
class DriveLink;
class HelpArea;
class MakerMode;
class ParameterModel;

class Prm_Writ : public ChildWindow {
    Q_OBJECT
public:
    // maker tells whether maker mode is on (the tick of the main window's
    // password menu item); it is asked each time it matters (the fields it
    // shows follow SetMakerMode). All four outlive the window.
    Prm_Writ(DriveLink &link, ParameterModel &params, const MakerMode &maker, FileChooser &files,
             QWidget *parent = nullptr);

    QTabWidget *SSTabPrm;
    // The value of parameter k is the text of its field, which the model holds.
    std::array<QLineEdit *, ParamCount> TxtPrm{};
    std::array<QLabel *, ParamCount> LblMaxMin{};
    HelpArea *PictureSetu;
    std::array<QPushButton *, 2> CmdFile{};  // "Open File", "Save File"
    std::array<QPushButton *, 2> CmdRW{};    // "Import Data", "Export Data"
    ::DlogFile DlogFile;

    // Shows or hides the maker set (fields and labels 40..59); their texts stay.
    void SetMakerMode(bool on);

    // Whether field k is hexadecimal: its tag is "H".
    bool isHexField(int k) const;

    void CmdRW_Click(int index);
    void CmdFile_Click(int index);

    // The main window's options (backup before writing, verify after); a
    // window without them writes exactly as the drive's own sequence says.
    void setOptions(const UserOptions *options) { m_options = options; }

    static constexpr const char *TransferOwner = ParametersTransfer;

Q_SIGNALS:
    // How far a transfer is, or how it ended, in words.
    void transferReport(const QString &text);
    // The values before a write were kept in this file.
    void backupKept(const QString &path);
    // A transfer cannot start now, and why (the main window shows it).
    void transferRefused(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void TxtPrm_GotFocus(int k);
    void TxtPrm_LostFocus(int k);
    void TxtPrm_KeyDown(int k, int keyCode);
    void restoreTransferButtons();
    // The jobs of "Import Data" and "Export Data", one for each press.
    DriveJob *importJob();
    DriveJob *exportJob();
    void openFile();
    void saveFile();

    void showText(int k, const QString &text);
    void markField(int k);
    bool backUp();
    DriveJob *verifyJob(const ParamValues &sent, int blocks);
    // A write that ended otherwise than done: the status line says how, and
    // what the drive now holds when it stopped half-way; with backups on, a
    // message says so too and offers to write the backup back.
    void tellWriteStopped(const QString &what, const WriteProgress &progress, const QString &backup);
    // The backup file's first blocks written back to the drive, then FLASH.
    void writeBackupBack(const QString &path, int blocks);

    DriveLink &m_link;
    ParameterModel &m_params;
    const MakerMode &m_maker;
    const UserOptions *m_options = nullptr;
    QString m_backup;  // kept before the write under way
};
