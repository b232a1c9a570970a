#pragma once
// The "Setting Parameters" window: the sixty parameter fields on six tabs of
// ten, the help of the focused parameter, the transfer to and from the drive
// and the parameter file.

#include "common/childwindow.h"
#include "common/dlogfile.h"
#include "common/useroptions.h"
#include "drive/drivedata.h"
#include "drive/params/parameterjobs.h"
#include "drive/params/paramcatalogue.h"

#include <array>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class DriveJob;
class DriveLink;
class HelpArea;

class Prm_Writ : public ChildWindow {
    Q_OBJECT
public:
    // makerMode tells whether maker mode is on (the tick of the main window's
    // password menu item); it is asked each time it matters.
    Prm_Writ(DriveLink &link, std::function<bool()> makerMode, QWidget *parent = nullptr);

    QTabWidget *SSTabPrm;
    // The value of parameter k lives only in the text of its field.
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

    // What stops a transfer from starting now is said here (a message box by
    // default).
    std::function<void(const QString &)> tellUser;

    // The main window's options (backup before writing, verify after); a
    // window without them writes exactly as the drive's own sequence says.
    void setOptions(const UserOptions *options) { m_options = options; }
    // The values last read from the drive, which a backup keeps.
    const std::optional<ParamValues> &driveValues() const { return m_driveValues; }
    // The values the fields stand for now.
    ParamValues fieldValues() const;
    // Fields that stand for other values than last read or loaded are marked.
    void setBaseline(const ParamValues &values);

    static constexpr const char *TransferOwner = ParametersTransfer;

Q_SIGNALS:
    // How far a transfer is, or how it ended, in words.
    void transferReport(const QString &text);
    // The values before a write were kept in this file.
    void backupKept(const QString &path);

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
    std::function<bool()> m_makerMode;
    const UserOptions *m_options = nullptr;
    std::optional<ParamValues> m_driveValues;
    std::optional<ParamValues> m_baseline;
    QString m_backup;  // kept before the write under way
};
