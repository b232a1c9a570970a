#include "fuzzrig.h"

#include "app/titlebar.h"
#include "params/prm_writ.h"
#include "wave/hmon.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

QApplication &application()
{
    static int argc = 1;
    static char name[] = "orvex-fuzz";
    static char *argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static auto *app = new QApplication(argc, argv);
    return *app;
}

}  // namespace

// Fontconfig keeps its first font set for the life of the process; the leak
// check would see it as lost on the first input.
extern "C" const char *__lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

void fuzzCheckFailed(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: rule broken: %s\n", file, line, what);
    std::abort();
}

FuzzRig &FuzzRig::instance()
{
    application();
    static auto *rig = new FuzzRig;
    return *rig;
}

QString FuzzRig::scratchTemplate()
{
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return base + QStringLiteral("/orvex-fuzz-XXXXXX");
}

FuzzRig::FuzzRig()
{
    // The port file is looked for in the current directory: none there. The
    // fuzzer's own paths are relative to the directory it started in.
    const QString started = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    // The alarms of the inputs are logged in memory only, not in a file that
    // would grow with every input.
    SessionSetup setup;
    setup.alarmLogPath.clear();
    m_session = std::make_unique<Session>(port, setup);
    m_app = std::make_unique<MDItbl>(*m_session, files);
    QDir::setCurrent(started);
    m_app->titleBar->TimerDateTime.stop();
    DriveLink &l = m_session->link;
    // Answered at once; the box shown for either closes again.
    QObject::connect(&l, &DriveLink::replyLost, &l, [this, &l] {
        if (retryAnswer) l.retry();
        else l.giveUp();
    });
    QObject::connect(&l, &DriveLink::portRefused, &l, &DriveLink::resumeOpening);
    // A transfer refused while another runs is shown nothing: the inputs
    // press the buttons all the time.
    QObject::disconnect(m_app->prmWrit, &Prm_Writ::transferRefused, nullptr, nullptr);
    // Writes are read back, but no backup file is kept for each of the
    // thousands of exports an input may start (nor is the choice saved).
    UserOptions options = m_session->options();
    options.backUpBeforeWriting = false;
    m_session->useOptions(options);
    m_app->show();
    tick();
}

void FuzzRig::tick(int n)
{
    for (int i = 0; i < n; ++i) m_app->titleBar->TimerDateTime_Timer();
}

void FuzzRig::answerNextModal()
{
    QTimer::singleShot(0, qApp, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) box->done(QMessageBox::Ok);
    });
}

void FuzzRig::reset()
{
    DriveLink &l = link();
    if (m_session->wave.CaptureRun) m_app->hMon->CmdCancel_Click();
    m_session->portSettings.OfflineMode = 0;
    l.closePort();
    port.nextOpen = {};
    port.written.clear();
    tick();
}
