#pragma once
// Helpers for window tests: answering the modal message boxes a test provokes.

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>

// Watches for modal message boxes while it lives; records each one's title and
// text and answers it with the given button (or its default one). A box run
// with exec() is answered from inside its own loop; one only shown (the
// question of a lost reply, the port messages: the link waits for them
// without a loop of their own) is answered at a later turn of the event
// loop, so a test waits for it (QTRY_COMPARE(answerer.told(), ...)).
class ModalAnswerer : public QObject {
public:
    explicit ModalAnswerer(QMessageBox::StandardButton answer = QMessageBox::NoButton) : m_answer(answer)
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }
    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }

    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };
    QList<Seen> seen;
    // Each box seen as "icon title: text", e.g. "critical error: a.ptt\nInvalid File".
    QStringList told() const
    {
        QStringList out;
        for (const Seen &s : seen) {
            const char *icon = s.icon == QMessageBox::Critical      ? "critical"
                               : s.icon == QMessageBox::Warning     ? "warning"
                               : s.icon == QMessageBox::Information ? "information"
                                                                    : "other";
            out << QLatin1String(icon) + u' ' + s.title + QLatin1String(": ") + s.text;
        }
        return out;
    }

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box == m_last) return;
        m_last = box;
        seen.append({box->windowTitle(), box->text(), box->icon()});
        QAbstractButton *button = m_answer != QMessageBox::NoButton ? box->button(m_answer) : nullptr;
        if (!button) button = box->defaultButton();
        if (!button && !box->buttons().isEmpty()) button = box->buttons().constFirst();
        if (button) button->click();
    }

    QTimer m_timer;
    QMessageBox::StandardButton m_answer;
    // Cleared when the box goes, so that a next box at the same address counts.
    QPointer<QMessageBox> m_last;
};
