#pragma once
// "Compare Parameters" and "Compare Point Tables": two sides, each this
// window's fields, the drive (read now, with the usual progress and time-out
// rules) or a file (.pxt or .ptt, or CSV), and the entries that differ with
// both values as the windows show them. All entries on request; the table
// goes to the clipboard as tab-separated text or into a CSV file.

#include "drive/compare.h"

#include <QDialog>
#include <array>
#include <optional>

class FileChooser;
class Session;
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

    // "This window" is the session's model (what the editor shows); a drive
    // side is read over its link. session and files outlive the window.
    CompareWindow(Kind kind, Session &session, FileChooser &files, QWidget *parent = nullptr);

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

Q_SIGNALS:
    // For the shared status line: how far a read is, how a comparison came out.
    void report(const QString &text);

private:
    // The values of a side as raw numbers (sixty parameters or 128 table
    // entries); nothing when the side cannot be had (the user was told).
    std::optional<QList<qint32>> sideValues(int side, const QList<qint32> *drive);
    void finish(const std::array<QList<qint32>, 2> &values);
    void fill();
    QString sideName(int side) const;

    Kind m_kind;
    Session &m_session;
    FileChooser &m_files;
    std::array<QString, 2> m_path;
    QList<CompareRow> m_rows;
    bool m_reading = false;
};
