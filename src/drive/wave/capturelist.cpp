#include "capturelist.h"

const ListedCapture *CaptureList::find(int id) const
{
    const int i = indexOf(id);
    return i < 0 ? nullptr : &m_items[i];
}

int CaptureList::indexOf(int id) const
{
    for (int i = 0; i < m_items.size(); ++i)
        if (m_items[i].id == id) return i;
    return -1;
}

int CaptureList::add(const Capture &capture, int motorTypeUnits, const QString &origin, const QString &name)
{
    ListedCapture item;
    item.id = m_nextId++;
    item.name = name.isEmpty() ? QStringLiteral("Capture %1").arg(++m_taken) : name;
    item.origin = origin;
    item.capture = capture;
    item.motorTypeUnits = motorTypeUnits;
    if (m_items.size() >= MaxCaptures) m_items.removeFirst();
    m_items.append(item);
    Q_EMIT changed();
    return item.id;
}

void CaptureList::rename(int id, const QString &name)
{
    const int i = indexOf(id);
    const QString trimmed = name.simplified();
    if (i < 0 || trimmed.isEmpty() || m_items[i].name == trimmed) return;
    m_items[i].name = trimmed;
    Q_EMIT changed();
}

void CaptureList::remove(int id)
{
    const int i = indexOf(id);
    if (i < 0) return;
    m_items.removeAt(i);
    Q_EMIT changed();
}

void CaptureList::setShown(int id, bool shown)
{
    const int i = indexOf(id);
    if (i < 0 || m_items[i].shown == shown) return;
    m_items[i].shown = shown;
    Q_EMIT changed();
}

QList<WaveAnalysis::NamedCapture> CaptureList::shownCaptures() const
{
    QList<WaveAnalysis::NamedCapture> out;
    for (const ListedCapture &c : m_items)
        if (c.shown) out.append({c.name, c.capture, c.motorTypeUnits});
    return out;
}
