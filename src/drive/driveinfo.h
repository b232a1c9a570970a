#pragma once
// What the drive told of itself in its last status replies ("S"): its motor
// model, its ROM version, the current point and the state of its commands
// (the operation panel's lamps). The status display decodes the reply and
// writes it here; the status strip, the operation panel and the commissioning
// report read it. Each signal comes with the first value and with each
// change; the session owns it.

#include <QObject>
#include <QString>
#include <optional>

class DriveInfo : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The motor model's name ("RM2310"); empty until a known code came (a
    // code not in the table leaves the last name).
    const QString &motorModel() const { return m_motorModel; }
    void setMotorModel(const QString &name);
    // The ROM version in hundredths (291 is 2.91).
    const std::optional<qint32> &romVersion() const { return m_romVersion; }
    void setRomVersion(qint32 hundredths);
    // The ROM version as the status strip shows it (the locale's decimal
    // point); empty before the first status reply.
    QString romVersionText() const;
    // The current point number.
    const std::optional<qint32> &point() const { return m_point; }
    void setPoint(qint32 point);
    // The word of the operation state (a bit a command; the panel's lamps).
    const std::optional<qint32> &commandState() const { return m_commandState; }
    void setCommandState(qint32 word);
    // What the last status showed, as the panel's lamps do: a jog runs, high
    // speed is on (neither before the first status).
    bool jogShown() const;
    bool highSpeedShown() const;

Q_SIGNALS:
    void motorModelChanged(const QString &name);
    void romVersionChanged(qint32 hundredths);
    void pointChanged(qint32 point);
    void commandStateChanged(qint32 word);

private:
    QString m_motorModel;
    std::optional<qint32> m_romVersion;
    std::optional<qint32> m_point;
    std::optional<qint32> m_commandState;
};
