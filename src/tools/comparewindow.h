#pragma once
// "Compare Parameters" and "Compare Point Tables": two sides, each this
// window's fields, the drive (read now, with the usual progress and time-out
// rules) or a file (.pxt or .ptt, or CSV), and the entries that differ with
// both values as the windows show them. All entries on request; the table
// goes to the clipboard as tab-separated text or into a CSV file.

#include "drive/compare.h"
#include "tools/toolsmenu.h"

#include <QDialog>
#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

class CompareWindow : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Parameters, Points };
    enum class Source { Window, Drive, File };

    CompareWindow(Kind kind, const ToolsMenu::Context &context, QWidget *parent = nullptr);
    // Shows the one window of this kind, made on first use.
    static CompareWindow *showFor(Kind kind, const ToolsMenu::Context &context);

    // Chooses a side (0 left, 1 right); a file side takes its path.
    void setSide(int side, Source source, const QString &path = {});
    // Compares the two sides now; a drive side is read first.
    void compare();

    QComboBox *CmbSide[2]{};
    QLabel *LblFile[2]{};
    QPushButton *CmdCompare;
    QLabel *LblSummary;
    QCheckBox *ChkShowAll;
    QTableWidget *TblRows;
    QPushButton *CmdCopy;
    QPushButton *CmdSave;

    // The rows shown, as tab-separated lines with a header.
    QString tableText() const;
    // Replaces the file dialog (tests script the user's choice here).
    std::function<QString(bool save)> chooseFile;

private:
    // The values of a side as raw numbers (sixty parameters or 128 table
    // entries); nothing when the side cannot be had (the user was told).
    std::optional<QList<qint32>> sideValues(int side, const QList<qint32> *drive);
    void finish(const std::array<QList<qint32>, 2> &values);
    void fill();
    QString sideName(int side) const;

    Kind m_kind;
    ToolsMenu::Context m_c;
    std::array<QString, 2> m_path;
    QList<CompareRow> m_rows;
    bool m_reading = false;
};
