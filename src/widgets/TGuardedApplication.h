#pragma once

#include <QApplication>

class QSocketNotifier;

// The application object: an exception that leaves any event handler is reported in the
// default error box and the program goes on running. A request to end from outside (SIGINT,
// SIGTERM, SIGHUP) closes the windows as the close box would, so the program ends normally.
class TGuardedApplication : public QApplication {
    Q_OBJECT
public:
    TGuardedApplication(int& argc, char** argv);
    ~TGuardedApplication() override;
    bool notify(QObject* receiver, QEvent* event) override;

    // (Re)installs the handlers of the end signals. The database client library puts its own in
    // place when it attaches, so this runs again after every connection.
    static void InstallEndSignalHandlers();

    // Whether an end signal has arrived (also one handled before the event loop ran).
    bool EndRequested() const { return endRequested_; }

private:
    void OnEndSignal();
    QSocketNotifier* notifier_ = nullptr;
    bool endRequested_ = false;
};
