// "params write --maker" asks for the maker's password before anything is
// read or sent: from a file its owner alone may read, the environment, or
// the terminal without echo. Refused, nothing reaches the drive's line;
// reading the maker's parameters stays open.

#include "clitestutil.h"
#include "makeraccess.h"
#include "namedpipe.h"

#include "drive/params/paramfile.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <poll.h>
#include <pty.h>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace clitest;

namespace {

constexpr int MakerParameter = 45;

// The drive's parameters with a maker's one changed, as a parameter file.
QByteArray changedMakerFile(Drives &drives)
{
    ParamValues v{};
    const sim::Parameters p = drives.params(0);
    std::copy(p.begin(), p.end(), v.begin());
    v[MakerParameter] += 7;
    return EncodeParamFile(v);
}

void writeFile(const QString &path, const QByteArray &bytes, QFile::Permissions mode)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
    f.close();
    QVERIFY(f.setPermissions(mode));
}

constexpr QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

// ORVEX_MAKER_PASSWORD set for a scope, or unset.
struct Variable {
    explicit Variable(const QByteArray &value)
    {
        if (value.isNull()) qunsetenv(MakerPasswordVariable);
        else qputenv(MakerPasswordVariable, value);
    }
    ~Variable() { qunsetenv(MakerPasswordVariable); }
};

// Runs orvex-cli with a pseudo-terminal as its terminal, answers its prompt
// with typed, and gives the exit status and all it wrote to the terminal.
struct TerminalRun {
    int status = -1;
    QByteArray screen;
};

TerminalRun runAtATerminal(const QStringList &args, const QByteArray &typed)
{
    TerminalRun r;
    // Everything the child needs is made before the fork.
    QList<QByteArray> words{QByteArrayLiteral(ORVEX_CLI_BINARY)};
    for (const QString &a : args) words << a.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    QList<QByteArray> environment;
    for (const QString &e : QProcessEnvironment::systemEnvironment().toStringList())
        if (!e.startsWith(QLatin1String(MakerPasswordVariable) + u'=')) environment << e.toLocal8Bit();
    std::vector<char *> envp;
    for (QByteArray &e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (pid < 0) return r;
    QElapsedTimer t;
    t.start();
    bool answered = false;
    while (t.elapsed() < 15000) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
            char buffer[512];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) break;  // the child has gone
            r.screen.append(buffer, n);
        }
        if (!answered && r.screen.contains("password: ")) {
            const QByteArray line = typed + '\n';
            if (::write(master, line.constData(), static_cast<size_t>(line.size())) != line.size()) break;
            answered = true;
        }
    }
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);  // still waiting after all this time: a failure
        ::waitpid(pid, &status, 0);
    }
    ::close(master);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace

class TstCliMaker : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { qunsetenv(MakerPasswordVariable); }
    void writeNeedsThePassword_data();
    void writeNeedsThePassword();
    void aNamedPipeIsNeverOpened();
    void readingStaysOpen_data();
    void readingStaysOpen();
    void asksAtTheTerminalWithoutEcho_data();
    void asksAtTheTerminalWithoutEcho();
};

void TstCliMaker::writeNeedsThePassword_data()
{
    QTest::addColumn<QByteArray>("file");       // null: no --maker-password-file
    QTest::addColumn<int>("mode");              // the file's permissions, octal
    QTest::addColumn<QByteArray>("variable");   // null: ORVEX_MAKER_PASSWORD unset
    QTest::addColumn<QString>("typed");         // null: no terminal
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    const QByteArray none;
    const QString noTerminal;
    QTest::newRow("no password, no terminal") << none << 0 << none << noTerminal << 2 << "needs the maker's password";
    QTest::newRow("file 0600") << QByteArray("KPZW\n") << 0600 << none << noTerminal << 0 << "";
    QTest::newRow("file without a line end") << QByteArray("KPZW") << 0600 << none << noTerminal << 0 << "";
    QTest::newRow("file with CR LF") << QByteArray("KPZW\r\n") << 0400 << none << noTerminal << 0 << "";
    QTest::newRow("file 0644") << QByteArray("KPZW\n") << 0644 << none << noTerminal << 2 << "chmod 600";
    QTest::newRow("file 0640") << QByteArray("KPZW\n") << 0640 << none << noTerminal << 2 << "mode 0640";
    QTest::newRow("file 0602") << QByteArray("KPZW\n") << 0602 << none << noTerminal << 2 << "others than its owner";
    QTest::newRow("file, lower case") << QByteArray("kpzw\n") << 0600 << none << noTerminal << 2 << "is wrong";
    QTest::newRow("file, blank behind") << QByteArray("KPZW \n") << 0600 << none << noTerminal << 2 << "is wrong";
    QTest::newRow("file, a second line") << QByteArray("KPZW\nKPZW\n") << 0600 << none << noTerminal << 2 << "is wrong";
    QTest::newRow("file before the environment") << QByteArray("nope\n") << 0600 << QByteArray("KPZW") << noTerminal << 2 << "is wrong";
    QTest::newRow("environment") << none << 0 << QByteArray("KPZW") << noTerminal << 0 << "";
    QTest::newRow("environment, wrong") << none << 0 << QByteArray("KPZW ") << noTerminal << 2 << "in ORVEX_MAKER_PASSWORD is wrong";
    QTest::newRow("environment, empty") << none << 0 << QByteArray("") << QStringLiteral("KPZW") << 2 << "is wrong";
    QTest::newRow("environment before the terminal") << none << 0 << QByteArray("x") << QStringLiteral("KPZW") << 2 << "is wrong";
    QTest::newRow("terminal") << none << 0 << none << QStringLiteral("KPZW") << 0 << "";
    QTest::newRow("terminal, wrong") << none << 0 << none << QStringLiteral("KPZ") << 2 << "typed is wrong";
}

void TstCliMaker::writeNeedsThePassword()
{
    QFETCH(QByteArray, file);
    QFETCH(int, mode);
    QFETCH(QByteArray, variable);
    QFETCH(QString, typed);
    QFETCH(int, status);
    QFETCH(QString, says);
    Drives drives({""});
    QTemporaryDir dir;
    const QString params = dir.filePath(QStringLiteral("maker.pxt"));
    writeFile(params, changedMakerFile(drives), OwnerOnly);
    QStringList args{"params", "write", "--maker", params, "--port", drives.device(0), "--no-backup"};
    if (!file.isNull()) {
        const QString path = dir.filePath(QStringLiteral("password"));
        writeFile(path, file, OwnerOnly);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(mode)) == 0);
        args << QStringLiteral("--maker-password-file") << path;
    }
    const Variable set(variable);
    CliEnvironment env;
    int asked = 0;
    if (!typed.isNull()) env.askSecret = [&](const QString &, QString *) -> std::optional<QString> {
        ++asked;
        return typed;
    };
    const int before = drives.params(0)[MakerParameter];
    const Run r = cli(args, env);
    QCOMPARE(r.status, status);
    if (status == 0) {
        QCOMPARE(drives.params(0)[MakerParameter], before + 7);
        return;
    }
    QVERIFY2(r.err.contains(says), qPrintable(r.err));
    QVERIFY2(r.err.contains(u"nothing was sent to the drives"), qPrintable(r.err));
    // Nothing at all reached the line, and no message tells the password.
    QCOMPARE(drives.requests(0), QStringList());
    QCOMPARE(drives.params(0)[MakerParameter], before);
    QVERIFY(!r.err.contains(u"KPZW") && !r.out.contains(u"KPZW"));
    // The terminal is asked only when neither a file nor the variable gives it.
    QCOMPARE(asked, !typed.isNull() && file.isNull() && variable.isNull() ? 1 : 0);
}

// Reading a password from a pipe would wait for a writer for good.
void TstCliMaker::aNamedPipeIsNeverOpened()
{
    Drives drives({""});
    QTemporaryDir dir;
    const QString params = dir.filePath(QStringLiteral("maker.pxt"));
    writeFile(params, changedMakerFile(drives), OwnerOnly);
    const QString pipePath = dir.filePath(QStringLiteral("pipe"));
    NamedPipe pipe(pipePath);
    QVERIFY(pipe.made());
    const Run r = cli({"params", "write", "--maker", params, "--port", drives.device(0), "--maker-password-file", pipePath});
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains(u"not a plain file"), qPrintable(r.err));
    QTest::qWait(50);
    QVERIFY(!pipe.opened());
    QCOMPARE(drives.requests(0), QStringList());
}

// Reading the maker's parameters asks for nothing: the values are no
// secret (every parameter file holds all sixty) and reading changes nothing.
void TstCliMaker::readingStaysOpen_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::newRow("read") << QStringList{"params", "read", "--maker", "--port", "{dev}", "-o", "{dir}/p.json"} << 0;
    QTest::newRow("diff with a file") << QStringList{"params", "diff", "--maker", "drive:{dev}", "{dir}/maker.pxt"} << 1;
    QTest::newRow("diff, JSON") << QStringList{"params", "diff", "--maker", "--json", "{dir}/maker.pxt", "drive:{dev}"} << 1;
}

void TstCliMaker::readingStaysOpen()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    Drives drives({""});
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("maker.pxt")), changedMakerFile(drives), OwnerOnly);
    args.replaceInStrings(QStringLiteral("{dev}"), drives.device(0)).replaceInStrings(QStringLiteral("{dir}"), dir.path());
    CliEnvironment env;
    bool asked = false;
    env.askSecret = [&](const QString &, QString *) -> std::optional<QString> {
        asked = true;
        return std::nullopt;
    };
    const Run r = cli(args, env);
    QCOMPARE(r.status, status);
    QVERIFY(!asked);
    if (args[1] == u"read") {
        const QJsonArray list = QJsonDocument::fromJson(fileBytes(dir.filePath(QStringLiteral("p.json")))).object().value(u"parameters").toArray();
        QCOMPARE(list.size(), 60);
    } else {
        // The maker's parameter that differs is among the differences.
        QVERIFY2(r.out.contains(QString::number(MakerParameter)), qPrintable(r.out));
    }
    QVERIFY(!drives.requests(0).join(u' ').contains(u"W;"));
}

void TstCliMaker::asksAtTheTerminalWithoutEcho_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("status");
    QTest::newRow("right") << QByteArray("KPZW") << 0;
    QTest::newRow("wrong") << QByteArray("KPZX") << 2;
}

void TstCliMaker::asksAtTheTerminalWithoutEcho()
{
    QFETCH(QByteArray, typed);
    QFETCH(int, status);
    Drives drives({""});
    QTemporaryDir dir;
    const QString params = dir.filePath(QStringLiteral("maker.pxt"));
    writeFile(params, changedMakerFile(drives), OwnerOnly);
    const int before = drives.params(0)[MakerParameter];
    const TerminalRun r = runAtATerminal({"params", "write", "--maker", params, "--port", drives.device(0), "--no-backup"}, typed);
    QVERIFY2(r.status == status, r.screen.constData());
    QVERIFY2(r.screen.contains("The maker's password: "), r.screen.constData());
    // What was typed never showed.
    QVERIFY2(!r.screen.contains(typed), r.screen.constData());
    QCOMPARE(drives.params(0)[MakerParameter], status == 0 ? before + 7 : before);
    if (status != 0) QCOMPARE(drives.requests(0), QStringList());
}

QTEST_GUILESS_MAIN(TstCliMaker)
#include "tst_cli_maker.moc"
