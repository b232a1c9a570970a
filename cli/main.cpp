// orvex-cli: the drives from the command line. The commands live in
// commands/, a file each, dispatched by clitool.cpp; here only the process:
// the streams, whether stderr is a terminal, Ctrl+C ending a monitor run
// cleanly, and results that could not be written failing the run.

#include "clitool.h"
#include "mqttsink.h"
#include "terminalsecret.h"

#include <QCoreApplication>
#include <QFileDevice>
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
    env.askSecret = [](const QString &prompt, QString *error) {
        return AskSecretAtTerminal(prompt, [] { return interrupted.load(); }, error);
    };
    env.publisher = MakeMqttSink;
    const int status = RunCli(QCoreApplication::arguments(), env);
    // Results that never reached standard output (a full disk, say) are not
    // results: the run has failed.
    out.flush();
    const bool written = out.status() == QTextStream::Ok && std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (!written) {
        const auto *device = qobject_cast<QFileDevice *>(out.device());
        const QString why = device && device->error() != QFileDevice::NoError ? device->errorString() : QStringLiteral("write error");
        err << "orvex-cli: the results could not be written to standard output: " << why << Qt::endl;
        return status == 0 ? 1 : status;
    }
    return status;
}
