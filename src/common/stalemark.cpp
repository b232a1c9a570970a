#include "stalemark.h"

#include <QLabel>

StaleMark::StaleMark(QLabel *note, const QString &subject, QList<QWidget *> values, const Clock &clock,
                     QObject *parent)
    : QObject(parent), m_note(note), m_subject(subject), m_clock(clock)
{
    for (QWidget *w : values) m_values << w;
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &StaleMark::check);
    if (m_note) {
        QSizePolicy policy = m_note->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        m_note->setSizePolicy(policy);
        // Room for the longest text from the start: a later text never moves
        // the window's layout. A note that wraps takes its lines instead.
        if (!m_note->wordWrap()) {
            const QFontMetrics metrics = m_note->fontMetrics();
            int widest = metrics.horizontalAdvance(QStringLiteral("not read yet"));
            for (char d = '0'; d <= '9'; ++d) {
                const QString time = QStringLiteral("as of %1%1:%1%1:%1%1").arg(QLatin1Char(d));
                widest = qMax(widest, metrics.horizontalAdvance(time));
            }
            m_note->setMinimumWidth(widest);
        }
    }
    apply();
}

void StaleMark::refreshed()
{
    m_lastMs = m_clock.steadyMs();
    if (!m_timer.isActive()) m_timer.start(int(LiveMs));
    if (m_state == State::Live) return;
    m_state = State::Live;
    apply();
}

void StaleMark::check()
{
    if (m_state != State::Live) return;
    const qint64 age = m_clock.steadyMs() - m_lastMs;
    if (age <= LiveMs) {
        // Refreshed since the timer started (or the timer came early): look
        // again when this refresh comes of age.
        m_timer.start(int(LiveMs - qMax<qint64>(age, 0)) + 1);
        return;
    }
    // The wall time of the last refresh, from its age: the wall clock is read
    // only now, not at every refresh.
    m_asOf = m_clock.now().addMSecs(-age);
    m_state = State::Old;
    apply();
}

QString StaleMark::noteText() const
{
    switch (m_state) {
    case State::NotRead: return QStringLiteral("not read yet");
    case State::Old: return QStringLiteral("as of ") + m_asOf.toString(QStringLiteral("hh:mm:ss"));
    case State::Live: break;
    }
    return {};
}

void StaleMark::apply()
{
    const bool live = m_state == State::Live;
    for (const QPointer<QWidget> &w : std::as_const(m_values))
        if (w) w->setEnabled(live);  // greyed while old
    if (!m_note) return;
    const QString text = noteText();
    m_note->setText(text);
    m_note->setAccessibleName(live ? m_subject : m_subject + QLatin1Char(' ') + text);
    m_note->setToolTip(m_state == State::Old ? QStringLiteral("Not refreshed in the last second: read at this time")
                       : m_state == State::NotRead ? QStringLiteral("Nothing read from the drive yet")
                                                   : QString());
    m_note->setVisible(!live);
}
