#pragma once
// orvex-cli run in-process against simulated drives on pseudo-terminals:
// the words of a command line in, the exit status and both streams out.

#include "clitool.h"

#include "sim/ptyserver.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <chrono>
#include <memory>

namespace clitest {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

// Drives on pseudo-terminals, answering at once; fault "drop" answers
// nothing, "refuse" answers every request "ERR;1". With a clock rate, the
// drives' own time runs that many times as fast as the wall clock (a
// capture's samples are taken in that fraction of the time).
struct Drives {
    std::vector<std::unique_ptr<sim::PtyServer>> servers;
    explicit Drives(const QStringList &faults, int clockRate = 1)
    {
        for (const QString &fault : faults) {
            sim::ServerConfig c;
            c.paced = false;
            if (clockRate != 1) {
                const auto start = std::chrono::steady_clock::now();
                c.modelClock = [start, clockRate] {
                    return std::chrono::duration_cast<std::chrono::microseconds>((std::chrono::steady_clock::now() - start) *
                                                                                 clockRate);
                };
            }
            if (fault == u"drop") c.faults.dropRate = 1;
            if (fault == u"refuse")
                c.faults.refuseKeywords = {"S", "ALM", "IO", "MON", "R", "W", "TBLR", "TBLW", "T", "ARST", "HCL", "FLASH"};
            servers.push_back(std::make_unique<sim::PtyServer>(c));
            if (!servers.back()->start()) qFatal("the simulated drive does not start");
        }
    }
    QString device(int i) const { return QString::fromStdString(servers[i]->devicePath()); }
    QString name(int i) const { return QFileInfo(device(i)).fileName(); }
    QStringList portArgs() const
    {
        QStringList out;
        for (size_t i = 0; i < servers.size(); ++i) out << QStringLiteral("--port") << device(static_cast<int>(i));
        return out;
    }
    sim::Parameters params(int i) { return servers[i]->withModel([](sim::DriveModel &m) { return m.parameters(); }); }
    // The requests drive i has received.
    QStringList requests(int i) const
    {
        QStringList out;
        for (const sim::TranscriptEntry &e : servers[i]->transcript().since())
            if (e.kind == sim::TranscriptEntry::Kind::Request) out << QString::fromStdString(e.text);
        return out;
    }
};

inline Run cli(const QStringList &args, CliEnvironment env = {})
{
    Run r;
    QTextStream out(&r.out), err(&r.err);
    env.out = &out;
    env.err = &err;
    env.tickMs = 25;  // a lost reply in 0.4 s
    r.status = RunCli(QStringList{QStringLiteral("orvex-cli")} + args, env);
    out.flush();
    err.flush();
    return r;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace clitest
