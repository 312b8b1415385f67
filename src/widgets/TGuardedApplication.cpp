#include "widgets/TGuardedApplication.h"

#include "widgets/TApplication.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

void onEndSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}
} // namespace

TGuardedApplication::TGuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
        notifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &TGuardedApplication::OnEndSignal);
        InstallEndSignalHandlers();
    }
}

TGuardedApplication::~TGuardedApplication() {
    delete notifier_;
    for (int& fd : signalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void TGuardedApplication::InstallEndSignalHandlers() {
    if (signalPipe[0] < 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

void TGuardedApplication::OnEndSignal() {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(signalPipe[1], &byte, 1);
    endRequested_ = true;
    // Closes open message boxes too, ending their own event loops.
    closeAllWindows();
    quit();
}

bool TGuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        TApplication::ShowException(e);
    } catch (...) {
        TApplication::ShowErrorText(QStringLiteral("Erro desconhecido"));
    }
    return false;
}
