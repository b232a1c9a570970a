#pragma once
// Helpers for the simulated drive's tests: asking the model, and reading a
// reply the way the program reads it.

#include "drive/link/frames.h"
#include "sim/drivemodel.h"

#include <QList>
#include <QPair>
#include <QString>
#include <chrono>

struct ReadReply {
    QString keyword;
    QList<qint32> fields;  // each field as the program's HexFieldToLong reads it
};

inline ReadReply readReply(const QByteArray &text)
{
    ReadReply r;
    const QList<QByteArray> parts = text.split(';');
    r.keyword = QString::fromLatin1(parts.first());
    for (qsizetype i = 1; i < parts.size(); ++i) r.fields << HexFieldToLong(parts[i]);
    return r;
}

inline std::string ask(sim::DriveModel &m, const std::string &request)
{
    return m.handle(request).value_or("<no answer>");
}

inline ReadReply askRead(sim::DriveModel &m, const std::string &request)
{
    return readReply(QByteArray::fromStdString(ask(m, request)));
}

inline void runFor(sim::DriveModel &m, int ms) { m.advance(std::chrono::milliseconds(ms)); }

// Every request of the command catalogue with the number of fields of its
// reply after the keyword (the reply keyword is the request's).
inline QList<QPair<QString, int>> CatalogueRequests()
{
    QList<QPair<QString, int>> out{{"S", 5},      {"ALM", 9},   {"IO", 1},         {"VV;FFFF0000;FFFF0010;", 20},
                                   {"W;0;7530;14;28;96;28;0;0;0;32;0", 1}, {"TBLR;1F", 4}, {"TBLW;1F;1;FFFFFFFB;64;14;", 1},
                                   {"FLASH", 0},  {"T;0;F;0", 1}, {"PNT;05", 0},    {"ZSET;FFFFFFFF", 0}};
    for (int n = 0; n <= 16; ++n) out.append({QStringLiteral("MON;%1").arg(n, 0, 16).toUpper(), 2});
    for (int b = 0; b < 6; ++b) out.append({QStringLiteral("R;%1").arg(b), 11});
    for (const char *k : {"TRST", "ARST", "HCL", "TDIN", "SVON", "SVOFF", "EMCON", "EMCOFF", "STRON", "STROFF",
                          "ZSTRON", "ZSTROFF", "HOLDON", "HOLDOFF", "RSTON", "RSTOFF", "HSON", "HSOFF", "PJOG",
                          "NJOG", "JOGOFF"})
        out.append({QString::fromLatin1(k), 0});
    return out;
}
