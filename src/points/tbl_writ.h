#pragma once
// The "Point Table" window: 32 points of four numbers each, in a grid of entry
// fields scrolled inside a viewport that follows the window's height; the
// transfer of the table to and from the drive, and the point table file.

#include "common/childwindow.h"
#include "common/dlogfile.h"
#include "pointdata.h"

#include <QHash>
#include <QTimer>
#include <array>

class DriveJob;
class DriveLink;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

class Tbl_Writ : public ChildWindow {
    Q_OBJECT
public:
    Tbl_Writ(DriveLink &link, PointData &pointData, QWidget *parent = nullptr);

    // The size of the whole window (with its frame) when it is loaded, in pixels.
    static QSize loadSize();

    QWidget *PictWin;   // the viewport
    QWidget *PictScrl;  // the rows, moved up and down inside the viewport
    QScrollBar *VScrlPict;
    // The table lives in the text of these fields.
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
    void openFile();
    void saveFile();

    DriveLink &m_link;
    PointData &m_pointData;
    QHash<const QObject *, Cell> m_cells;
    int m_rememberedHeight = -1;  // window height of the last layout, twips
    int m_viewportHeight = 1;     // twips
};
