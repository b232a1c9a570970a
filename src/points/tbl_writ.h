#pragma once
// The "Point Table" window: 32 points of four numbers each, in a grid of entry
// fields scrolled inside a viewport that follows the window's height; the
// transfer of the table to and from the drive, and the point table file.
//
// A view of the session's point model: each field shows the model's text and
// every edit goes back into it at once; PointData is the model's, and the
// change marks follow its baseline.

#include "common/childwindow.h"
#include "common/dlogfile.h"
#include "drive/useroptions.h"
#include "drive/points/pointdata.h"
#include "drive/csvfiles.h"
#include "drive/writeprogress.h"

#include <QHash>
#include <QTimer>
#include <array>
#include <optional>

class DriveJob;
class DriveLink;
class PointModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

class Tbl_Writ : public ChildWindow {
    Q_OBJECT
public:
    // All three outlive the window.
    Tbl_Writ(DriveLink &link, PointModel &points, FileChooser &files, QWidget *parent = nullptr);

    // The size of the whole window (with its frame) when it is loaded, in pixels.
    static QSize loadSize();

    QWidget *PictWin;   // the viewport
    QWidget *PictScrl;  // the rows, moved up and down inside the viewport
    QScrollBar *VScrlPict;
    // The table is the text of these fields, which the model holds.
    std::array<QLineEdit *, PointCount> TxtInc{};
    std::array<QLineEdit *, PointCount> TxtLocate{};
    std::array<QLineEdit *, PointCount> TxtSpd{};
    std::array<QLineEdit *, PointCount> TxtKGJit{};
    std::array<QLabel *, PointCount> LblPoint{};  // "POINT0".."POINT31"
    std::array<QLabel *, PointColumns> LblMaxMin{};
    QWidget *PictCmd;  // the buttons, kept at the bottom
    std::array<QPushButton *, 2> CmdRW{};    // "Import Data", "Export Data"
    std::array<QPushButton *, 2> CmdFile{};  // "Open File", "Save File"
    QPushButton *CmdFlash;
    DlogFile dlogFile;
    QTimer TimerTblMain;

    // The field of the given row and column (0 abs/inc .. 3 acc/dec).
    QLineEdit *field(int row, int column) const;

    void ShowPointRow(int row);
    void TimerTblMain_Timer();
    void PointDataFromGrid();
    void PointDataToGrid();

    void CmdRW_Click(int index);
    void CmdFile_Click(int index);

    // The main window's options (backup before writing, verify after); a
    // window without them writes exactly as the drive's own sequence says.
    void setOptions(const UserOptions *options) { m_options = options; }
    // Tab-separated cells (from a spreadsheet, by Ctrl+V in a field) go into
    // the grid from row and column on, each through its column's entry
    // check; cells beyond the grid are left out, a refused cell keeps its
    // text. The status line sums it up; where a cell was changed or refused,
    // the report of every cell is shown.
    CsvImport<PointTable> pasteBlock(int row, int column, const QString &text);

Q_SIGNALS:
    // How far a transfer is, or how it ended, in words.
    void transferReport(const QString &text);
    // The values before a write were kept in this file.
    void backupKept(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Cell {
        int row;
        int column;
    };
    void buildGrid();
    void buildButtons();
    void applyLayout(int windowHeight);
    int windowHeight() const;
    // Says why the transfer cannot start now.
    void tellTransferBusy();
    void restoreRWButtons();
    // The jobs of "Import Data" and "Export Data", one for each press.
    DriveJob *importJob();
    DriveJob *exportJob();
    DriveJob *verifyJob(const PointData &sent);
    bool backUp();
    void showText(int cell, const QString &text);
    // A write that ended otherwise than done: the status line says how, and
    // what the drive now holds when it stopped half-way; with backups on, a
    // message says so too and offers to write the backup back.
    void tellWriteStopped(const QString &what, const WriteProgress &progress, const QString &backup);
    // The backup file's table written back to the drive, then FLASH.
    void writeBackupBack(const QString &path);
    void markField(int row, int column);
    void openFile();
    void saveFile();

    DriveLink &m_link;
    PointModel &m_points;
    const UserOptions *m_options = nullptr;
    QString m_backup;  // kept before the write under way
    QHash<const QObject *, Cell> m_cells;
    int m_rememberedHeight = -1;  // window height of the last layout, twips
    int m_viewportHeight = 1;     // twips
};
