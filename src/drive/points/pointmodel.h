#pragma once
// The point table of this session, as the point table window holds it: the
// 128 texts of the grid exactly as its fields show them, and PointData, the
// table as numbers, which follows the texts only where the window says so (a
// read fills it point by point and then shows it; a save reads the texts
// into it first). The texts are the data a write sends; a range is held when
// a field is left, and a table from a file or a CSV import is shown as it is.
//
// Beside them: the table last read from the drive (what a backup keeps), and
// the baseline, the table last read, written or loaded, against which a text
// that stands for another value is marked as changed.
//
// The session owns it; the point table window shows it and writes every edit
// back at once, the Tools menu imports into it and copies it.

#include "drive/points/pointrules.h"

#include <QObject>
#include <optional>

class PointModel : public QObject {
    Q_OBJECT
public:
    explicit PointModel(QObject *parent = nullptr);

    // Cell i is point i / 4, column i % 4 (as PointData).
    static constexpr int Cells = PointCount * PointColumns;
    static int cell(int point, int column) { return PointColumns * point + column; }

    // The text of a cell: "0" for abs/inc and travel, "1" for speed and
    // acc/dec at start.
    const QString &text(int i) const { return m_texts[static_cast<size_t>(i)]; }
    const QString &text(int point, int column) const { return text(cell(point, column)); }
    // Sets it; textChanged tells when it differs.
    void setText(int i, const QString &text);
    const PointTexts &texts() const { return m_texts; }

    // PointData: the table as numbers, zeros at start.
    const PointData &data() const { return m_data; }
    void setData(const PointData &data) { m_data = data; }
    void setPoint(int point, const PointData &from);  // point's four values taken from `from`
    // PointData read from the texts, and the texts written from PointData.
    void dataFromTexts();
    void dataToTexts();
    // The table becomes PointData and the texts show it.
    void showTable(const PointData &table);

    // The table the texts stand for now.
    PointData textValues() const;
    // The texts as tab-separated lines, a line a point (as a spreadsheet
    // takes them).
    QString tableText() const;

    // The table last read from the drive, which a backup keeps.
    const std::optional<PointData> &driveTable() const { return m_driveTable; }
    void setDriveTable(const PointData &table) { m_driveTable = table; }
    // The table last read, written or loaded; nothing before the first.
    const std::optional<PointData> &baseline() const { return m_baseline; }
    void setBaseline(const PointData &table);
    // Whether cell i stands for another value than the baseline's.
    bool changed(int i) const;
    // The text that shows the baseline's value of cell i.
    QString baselineText(int i) const;

Q_SIGNALS:
    void textChanged(int i, const QString &text);
    void baselineChanged();

private:
    PointTexts m_texts;
    PointData m_data{};
    std::optional<PointData> m_driveTable;
    std::optional<PointData> m_baseline;
};
