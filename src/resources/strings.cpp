#include "strings.h"

#include <QHash>

namespace {

struct Entry {
    int id;
    const char16_t *text;
};

// Ranges of parameters 00..39 ("min/max", decimal even for hexadecimal
// parameters) and of the point table's four columns.
constexpr Entry Table[] = {
    {600, u"0/99999"},
    {601, u"0/9999"},
    {602, u"10/9999"},
    {603, u"10/9999"},
    {604, u"0/9999"},
    {605, u"0/9999"},
    {606, u"0/9999"},
    {607, u"0/9999"},
    {608, u"0/9999"},
    {609, u"0/1"},
    {610, u"1/999"},
    {611, u"1/999"},
    {612, u"0/9999"},
    {613, u"0/9999"},
    {614, u"0/9999"},
    {615, u"0/300"},
    {616, u"0/300"},
    {617, u"-2000000/2000000"},
    {618, u"-2000000/2000000"},
    {619, u"1/2500"},
    {620, u"1/2500"},
    {621, u"0/9999"},
    {622, u"0/1"},
    {623, u"0/1"},
    {624, u"1/2500"},
    {625, u"-99999/99999"},
    {626, u"0/100"},
    {627, u"1/100"},
    {628, u"0/99"},
    {629, u"0/1"},
    {630, u"0/1023"},
    {631, u"1/2500"},
    {632, u"1/9999"},
    {633, u"0/1"},
    {634, u"0/0"},
    {635, u"0/1"},
    {636, u"0/1"},
    {637, u"0/3"},
    {638, u"0/4095"},
    {639, u"0/7"},
    {700, u"0/1"},
    {701, u"-2000000/2000000"},
    {702, u"0/2500"},
    {703, u"0/9999"},
};

const QHash<int, QString> &strings()
{
    static const QHash<int, QString> table = [] {
        QHash<int, QString> h;
        for (const Entry &e : Table) h.insert(e.id, QString::fromUtf16(e.text));
        return h;
    }();
    return table;
}

}  // namespace

QString LoadResString(int id) { return strings().value(id); }
