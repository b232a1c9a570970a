// orvex-cli: the drives from the command line. The commands live in
// commands/, a file each, dispatched by clitool.cpp; here only the process: the streams, whether stderr is a
// terminal, and Ctrl+C ending a monitor run cleanly.

#include "clitool.h"
#include "mqttsink.h"

#include <QCoreApplication>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
std::atomic<bool> interrupted{false};
extern "C" void onInterrupt(int) { interrupted = true; }
}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvex-cli"));
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    QTextStream out(stdout);
    QTextStream err(stderr);
    CliEnvironment env;
    env.out = &out;
    env.err = &err;
    env.progress = ::isatty(STDERR_FILENO) != 0;
    env.interrupted = [] { return interrupted.load(); };
    env.publisher = MakeMqttSink;
    return RunCli(QCoreApplication::arguments(), env);
}
