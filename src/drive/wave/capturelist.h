#pragma once
// Every capture since the program started: each upload that completes, each
// waveform file opened in the waveform monitor or dropped onto the analysis
// window. The analysis window shows any of them; the list lives from start-up
// on, so captures taken before the window is first opened are there too.

#include "drive/wave/waveanalysis.h"

#include <QList>
#include <QObject>

struct ListedCapture {
    int id = 0;           // stays with the capture while it is listed
    QString name;         // "Capture 1", a file's name, or what the user chose
    QString origin;       // "Drive" or the file's path
    Capture capture;
    int motorTypeUnits = 0;  // the torque scale when it was taken or opened
    bool shown = true;
};

class CaptureList : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // At most this many are kept; the oldest goes first.
    static constexpr int MaxCaptures = 64;

    const QList<ListedCapture> &items() const { return m_items; }
    const ListedCapture *find(int id) const;
    int indexOf(int id) const;

    // Adds a capture; the name is "Capture n" when none is given.
    int add(const Capture &capture, int motorTypeUnits, const QString &origin, const QString &name = {});
    void rename(int id, const QString &name);
    void remove(int id);
    void setShown(int id, bool shown);

    // The shown captures, in list order, as the rules take them.
    QList<WaveAnalysis::NamedCapture> shownCaptures() const;

Q_SIGNALS:
    void changed();

private:
    QList<ListedCapture> m_items;
    int m_nextId = 1;
    int m_taken = 0;
};
