#pragma once
// Maker mode: on while the main window's "PassWord(&P)" is ticked (the tick
// follows it). It shows the maker's parameters 40 to 59 and status rows, and
// lets a parameter write cover six blocks instead of four. The session owns
// it; whoever needs it asks it when it matters.

#include <QObject>

class MakerMode : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool isOn() const { return m_on; }
    // changed() tells when it differs.
    void set(bool on)
    {
        if (on == m_on) return;
        m_on = on;
        Q_EMIT changed(on);
    }

Q_SIGNALS:
    void changed(bool on);

private:
    bool m_on = false;
};
