#pragma once
// Helpers for the simulated drive's tests: asking the model, and reading a
// reply the way the program reads it.

#include "link/frames.h"
#include "sim/drivemodel.h"

#include <QList>
#include <QString>
#include <chrono>

struct ReadReply {
    QString keyword;
    QList<qint32> fields;  // each field as the program's HexFieldToLong reads it
};

inline ReadReply readReply(const std::string &text)
{
    ReadReply r;
    const QList<QByteArray> parts = QByteArray::fromStdString(text).split(';');
    r.keyword = QString::fromLatin1(parts.first());
    for (qsizetype i = 1; i < parts.size(); ++i) r.fields << HexFieldToLong(parts[i]);
    return r;
}

inline std::string ask(sim::DriveModel &m, const std::string &request)
{
    return m.handle(request).value_or("<no answer>");
}

inline ReadReply askRead(sim::DriveModel &m, const std::string &request) { return readReply(ask(m, request)); }

inline void runFor(sim::DriveModel &m, int ms) { m.advance(std::chrono::milliseconds(ms)); }

// "W;b;..." with the ten values of block b taken from params.
inline std::string writeRequest(int block, const sim::Parameters &params)
{
    std::string r = "W;" + QByteArray::number(block, 16).toUpper().toStdString();
    for (int i = 0; i < 10; ++i)
        r += ";" + QByteArray::number(static_cast<quint32>(params[block * 10 + i]), 16).toUpper().toStdString();
    return r;
}
