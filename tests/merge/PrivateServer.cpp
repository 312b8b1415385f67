#include "PrivateServer.h"

#include <QProcess>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Waits until the process has ended (or the time is up); true when it has. A process of ours is
// reaped; one that is not ours counts as ended once it is a zombie.
bool waitGone(pid_t pid, int timeoutMs) {
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0)
        return errno == ESRCH;
    pollfd p{fd, POLLIN, 0};
    int r;
    do {
        r = poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    close(fd);
    if (r <= 0)
        return false;
    int status = 0;
    waitpid(pid, &status, WNOHANG); // ECHILD when someone else is its parent
    return true;
}

// The servers running now, so that a test that dies of an uncaught exception still takes them
// along. A fixed table: the terminate handler must not allocate or lock.
constexpr int kMaxServers = 16;
std::atomic<pid_t> running[kMaxServers];

void remember(pid_t pid) {
    for (auto& slot : running) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, pid))
            return;
    }
}

void forget(pid_t pid) {
    for (auto& slot : running) {
        pid_t expected = pid;
        slot.compare_exchange_strong(expected, 0);
    }
}

[[noreturn]] void killServersAndTerminate() {
    for (auto& slot : running) {
        const pid_t pid = slot.exchange(0);
        if (pid > 0)
            ::kill(pid, SIGKILL);
    }
    std::abort();
}

} // namespace

PrivateServer::PrivateServer(QString dir, QString password)
    : dir_(std::move(dir)), password_(std::move(password)) {}

PrivateServer::~PrivateServer() {
    if (Running())
        Kill();
}

void PrivateServer::AdoptOrphans() {
    prctl(PR_SET_CHILD_SUBREAPER, 1);
}

QString PrivateServer::Host() const {
    return QStringLiteral("127.0.0.1/%1").arg(port_);
}

void PrivateServer::Start() {
    if (Running())
        throw std::runtime_error("the private server is already running");
    const QString script = qEnvironmentVariable("VOSTRALO_FBSERVER");
    if (script.isEmpty())
        throw std::runtime_error(
            "VOSTRALO_FBSERVER is not set: run the tests through scripts/test");
    AdoptOrphans();
    QProcess process;
    process.start(script, {QStringLiteral("start"), dir_, password_});
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        throw std::runtime_error("fbserver start did not finish");
    }
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    const QStringList parts = out.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 ||
        parts.size() != 2)
        throw std::runtime_error("fbserver start failed: " + out.toStdString() + " " +
                                 process.readAllStandardError().toStdString());
    port_ = parts[0].toInt();
    pid_ = static_cast<pid_t>(parts[1].toLongLong());
    remember(pid_);
    static const bool handlerSet = [] {
        std::set_terminate(killServersAndTerminate);
        return true;
    }();
    Q_UNUSED(handlerSet);
}

void PrivateServer::End(int signal, int graceMs) {
    if (!Running())
        return;
    ::kill(pid_, signal);
    if (!waitGone(pid_, graceMs)) {
        ::kill(pid_, SIGKILL);
        waitGone(pid_, 30000);
    }
    forget(pid_);
    pid_ = 0;
}

void PrivateServer::Stop() {
    End(SIGTERM, 30000);
}

void PrivateServer::Kill() {
    End(SIGKILL, 30000);
}

void PrivateServer::SendKill() const {
    if (pid_ > 0)
        ::kill(pid_, SIGKILL);
}
