#pragma once
// The parameter set of this session, as the parameter window holds it: the
// sixty texts exactly as the fields show them. The texts are the data: a
// hexadecimal field's text goes into a "W" request as typed, a decimal one is
// read and rounded when it goes; a range is held when a field is left, and
// values from a file or a CSV import are shown unchecked. So the model keeps
// the texts and never reinterprets them; the values are read out of them
// where a value is wanted.
//
// Beside the texts: the values last read from the drive (what a backup
// keeps), and the baseline, the values last read, written or loaded, against
// which a text that stands for another value is marked as changed.
//
// The session owns it; the parameter window shows it and writes every edit
// back at once, the Tools menu imports into it, the waveform windows read the
// motor type from it.

#include "drive/drivedata.h"

#include <QObject>
#include <QString>
#include <array>
#include <optional>

class ParameterModel : public QObject {
    Q_OBJECT
public:
    explicit ParameterModel(QObject *parent = nullptr);

    // The text of parameter k ("0" at start).
    const QString &text(int k) const { return m_texts[static_cast<size_t>(k)]; }
    // Sets it; textChanged tells when it differs.
    void setText(int k, const QString &text);
    // Whether parameter k is entered in hexadecimal (its field's tag "H").
    static bool isHex(int k);

    // What the texts stand for now.
    qint32 value(int k) const;
    ParamValues values() const;
    // Each text becomes the text a field shows for the value.
    void showValues(const ParamValues &values);

    // The torque units that make 100 % for the motor type set now (the text
    // of parameter 57 read as a number); 0 for a type not known.
    int motorTypeUnits() const;

    // The values last read from the drive, which a backup keeps.
    const std::optional<ParamValues> &driveValues() const { return m_driveValues; }
    void setDriveValues(const ParamValues &values) { m_driveValues = values; }
    // The values last read, written or loaded; nothing before the first.
    const std::optional<ParamValues> &baseline() const { return m_baseline; }
    void setBaseline(const ParamValues &values);
    // Whether text k stands for another value than the baseline's.
    bool changed(int k) const;
    // The text that shows the baseline's value k (the change mark says it).
    QString baselineText(int k) const;

Q_SIGNALS:
    void textChanged(int k, const QString &text);
    void baselineChanged();

private:
    std::array<QString, ParamCount> m_texts;
    std::optional<ParamValues> m_driveValues;
    std::optional<ParamValues> m_baseline;
};
