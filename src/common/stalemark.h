#pragma once
// Never an old value shown as live: values of a window that were not
// refreshed within the last second are greyed, and a note beside them says
// "as of hh:mm:ss", the time of their last refresh. The next refresh clears
// both. Before the first refresh ever the values are greyed too and the note
// says "not read yet" (what a window shows before it has heard from the drive
// is only its start-up text).
//
// One timer a mark: while refreshes come, it fires about once a second to
// see whether the last one is still recent; a refresh itself only notes the
// time.

#include "drive/clock.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QLabel;
class QWidget;

class StaleMark : public QObject {
    Q_OBJECT
public:
    // How long values count as live after a refresh.
    static constexpr qint64 LiveMs = 1000;

    enum class State { NotRead, Live, Old };

    // note: the label that says how old the values are; it keeps its room
    // while hidden, so the window's layout never moves. subject names the
    // values for assistive tools ("Monitor value"): the note's accessible
    // name is the subject followed by what the note says. Of the clock, the
    // steady count gives the age of a refresh, the wall clock only the time
    // in the note; it outlives the mark.
    StaleMark(QLabel *note, const QString &subject, QList<QWidget *> values, const Clock &clock,
              QObject *parent = nullptr);

    // The values were just refreshed (a reply to the window's request was
    // decoded, whatever it held).
    void refreshed();
    // Marks the values old when the last refresh is more than LiveMs ago. The
    // timer calls it; tests call it after moving their clock.
    void check();

    State state() const { return m_state; }
    QLabel *note() const { return m_note; }
    // What the note says: "not read yet", "as of hh:mm:ss", or nothing while
    // the values are live.
    QString noteText() const;

private:
    // Greys or restores the values and sets the note.
    void apply();

    QPointer<QLabel> m_note;
    QString m_subject;
    QList<QPointer<QWidget>> m_values;
    const Clock &m_clock;
    QTimer m_timer;
    State m_state = State::NotRead;
    qint64 m_lastMs = 0;  // steady time of the last refresh
    QDateTime m_asOf;     // wall time of the last refresh, fixed when marked old
};
