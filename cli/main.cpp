// orvex-cli: the drives from the command line. The commands live in
// commands/, a file each, dispatched by clitool.cpp; here only the process:
// the streams, whether stderr is a terminal, SIGINT and SIGTERM turned into a
// request to stop that every drive's thread hears at once, and results that
// could not be written failing the run.
//
// The signal handler only sets a flag and writes a byte to a pipe (both safe
// in a handler); the pipe wakes the main thread's event loop, which makes
// the request, and the request wakes the event loops of the drives' threads.

#include "clitool.h"
#include "mqttsink.h"
#include "terminalsecret.h"

#include <QCoreApplication>
#include <QFileDevice>
#include <QSocketNotifier>
#include <memory>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<int> caught{0};  // the signal, once one came
int wakeWrite = -1;

extern "C" void onSignal(int signal)
{
    int none = 0;
    caught.compare_exchange_strong(none, signal);
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &byte, 1);
    errno = saved;
}

QString signalName(int signal) { return signal == SIGTERM ? QStringLiteral("SIGTERM") : QStringLiteral("SIGINT"); }

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvex-cli"));

    StopRequest stop;
    int wake[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier;
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeWrite = wake[1];
        notifier = std::make_unique<QSocketNotifier>(wake[0], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &stop, [&stop, fd = wake[0]] {
            char bytes[64];
            while (::read(fd, bytes, sizeof bytes) > 0) {}
            stop.request(StopRequest::Why::Interrupted, QStringLiteral("interrupted (%1)").arg(signalName(caught.load())));
        });
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
    }

    QTextStream out(stdout);
    QTextStream err(stderr);
    CliEnvironment env;
    env.out = &out;
    env.err = &err;
    env.progress = ::isatty(STDERR_FILENO) != 0;
    env.stop = &stop;
    env.askSecret = [](const QString &prompt, QString *error) {
        return AskSecretAtTerminal(prompt, [] { return caught.load() != 0; }, error);
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
