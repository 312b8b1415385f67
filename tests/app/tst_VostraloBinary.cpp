// The real program, started as a user starts it, against the private servers: the settings file
// beside the executable, the two passwords, the failure message and the exit code.
#include "support/TestServer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

namespace {

// xdotool matches names as regular expressions over bytes: the accented letters are left to '.'.
const QString kWindowTitle = QStringLiteral("^Unifica.+o do Caixa Di.+rio$");
const QString kBoxTitle = QStringLiteral("^Vostralo$"); // the application title

// Runs a short command and returns its standard output; empty on failure or time-out.
QString run(const QString& program, const QStringList& args, int timeoutMs = 15000) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return QString();
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The X window of that exact name, waiting for it to appear.
QString waitForWindow(const QString& name, int timeoutMs = 15000) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const QString id =
            run("xdotool", {"search", "--onlyvisible", "--name", name}).section('\n', 0, 0);
        if (!id.isEmpty())
            return id;
        QTest::qWait(100);
    }
    return QString();
}

bool windowExists(const QString& name) {
    return !run("xdotool", {"search", "--onlyvisible", "--name", name}).isEmpty();
}

// The program under test; killed if a test ends while it still runs.
struct Program : QProcess {
    ~Program() override {
        if (state() != QProcess::NotRunning) {
            kill();
            waitForFinished(5000);
        }
    }
};

} // namespace

class tst_VostraloBinary : public QObject {
    Q_OBJECT
private slots:
    void passwordAccepted_data();
    void passwordAccepted();
    void connectionFails_data();
    void connectionFails();
    void endSignal_data();
    void endSignal();

private:
    // A folder holding a copy of the program and, when given, its settings file.
    QString install(QTemporaryDir& dir, const QString& ini);
    // A fresh shop database on the server with that password, and a copy of the program whose
    // settings point at it (with the prefix in front of the path).
    QString installOn(QTemporaryDir& dir, const QString& server, const QString& pathPrefix = {});
    void start(QProcess& program, const QString& executable);
};

QString tst_VostraloBinary::install(QTemporaryDir& dir, const QString& ini) {
    const QString exe = dir.path() + "/Vostralo";
    if (!QFile::copy(QStringLiteral(VOSTRALO_BINARY), exe))
        return QString();
    if (!ini.isNull()) {
        QFile file(dir.path() + "/quibrel.ini");
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write(ini.toUtf8());
    }
    return exe;
}

QString tst_VostraloBinary::installOn(QTemporaryDir& dir, const QString& server,
                                      const QString& pathPrefix) {
    const QString path = TestServer::CreateShopDatabase("binary", server);
    return install(dir, QStringLiteral("[Quibrel]\nServidor=%1\nCaminho=%2%3\n")
                            .arg(TestServer::Host(server), pathPrefix, path));
}

void tst_VostraloBinary::start(QProcess& program, const QString& executable) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("LANG", "pt_BR.UTF-8");
    env.remove("LC_ALL");
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(QDir::tempPath()); // the working directory plays no part
    program.start(executable, {});
    QVERIFY(program.waitForStarted());
}

void tst_VostraloBinary::passwordAccepted_data() {
    QTest::addColumn<QString>("server");
    QTest::newRow("first password") << "quince";
    QTest::newRow("second password, no message") << "bluefinch";
}

void tst_VostraloBinary::passwordAccepted() {
    QFETCH(QString, server);
    QTemporaryDir dir;
    const QString exe = installOn(dir, server);
    QVERIFY(!exe.isEmpty());
    Program program;
    start(program, exe);
    const QString window = waitForWindow(kWindowTitle);
    QVERIFY2(!window.isEmpty(), "the main window did not appear");
    QTest::qWait(300);
    QVERIFY2(!windowExists(kBoxTitle), "a message box appeared");
    QCOMPARE(program.state(), QProcess::Running);
    // Closing the window by its close box ends the program with exit code 0.
    // A close request that arrives while the window is still settling after being mapped may
    // be dropped by the toolkit; a user would click again, and so does the test.
    for (int attempt = 0; attempt < 8 && program.state() != QProcess::NotRunning; ++attempt) {
        run(QStringLiteral(VOSTRALO_XCLOSE), {window});
        program.waitForFinished(2000);
    }
    QCOMPARE(program.state(), QProcess::NotRunning);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

void tst_VostraloBinary::connectionFails_data() {
    QTest::addColumn<QString>("server"); // empty: no settings file at all
    QTest::addColumn<bool>("serverInPath");
    QTest::newRow("both passwords rejected") << "sem-acesso" << false;
    QTest::newRow("server in front of the path") << "quince" << true;
    QTest::newRow("no settings file") << "" << false;
}

void tst_VostraloBinary::connectionFails() {
    QFETCH(QString, server);
    QFETCH(bool, serverInPath);
    QTemporaryDir dir;
    const QString exe = server.isEmpty() ? install(dir, QString())
                                         : installOn(dir, server, serverInPath ? "localhost:" : "");
    QVERIFY(!exe.isEmpty());
    Program program;
    start(program, exe);
    const QString box = waitForWindow(kBoxTitle, 60000);
    QVERIFY2(!box.isEmpty(),
             qPrintable(QStringLiteral("no failure message; program %1, exit %2, windows: %3, "
                                       "output: %4")
                            .arg(program.state() == QProcess::Running ? "running" : "ended")
                            .arg(program.exitCode())
                            .arg(run("xdotool", {"search", "--onlyvisible", "--name", "."}))
                            .arg(QString::fromLocal8Bit(program.readAllStandardError()))));
    QCOMPARE(program.state(), QProcess::Running); // waits for the user
    run("xdotool", {"windowfocus", "--sync", box});
    run("xdotool", {"key", "Return"});
    QVERIFY(program.waitForFinished(15000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    if (server.isEmpty()) // the settings file is read, never made
        QVERIFY(!QFile::exists(dir.path() + "/quibrel.ini"));
}

void tst_VostraloBinary::endSignal_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("server");
    QTest::newRow("SIGTERM, connected") << int(SIGTERM) << "quince";
    QTest::newRow("SIGINT (Ctrl+C), connected") << int(SIGINT) << "quince";
    QTest::newRow("SIGTERM, failure message shown") << int(SIGTERM) << "sem-acesso";
    QTest::newRow("SIGHUP, failure message shown") << int(SIGHUP) << "sem-acesso";
}

void tst_VostraloBinary::endSignal() {
    // Asked to end from outside, the program closes its windows and ends as after the close
    // box: exit code 0, no crash, also after the database client library attached (it puts
    // handlers of its own in place) and while a message waits for the user.
    QFETCH(int, signal);
    QFETCH(QString, server);
    QTemporaryDir dir;
    const QString exe = installOn(dir, server);
    QVERIFY(!exe.isEmpty());
    Program program;
    start(program, exe);
    const bool connects = server == "quince";
    QVERIFY2(!waitForWindow(connects ? kWindowTitle : kBoxTitle, 60000).isEmpty(),
             "the window did not appear");
    ::kill(static_cast<pid_t>(program.processId()), signal);
    QVERIFY(program.waitForFinished(15000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

QTEST_GUILESS_MAIN(tst_VostraloBinary)
#include "tst_VostraloBinary.moc"
