#pragma once

#include <QApplication>

// The application object: an exception that leaves any event handler is reported in the
// default error box and the program goes on running.
class TGuardedApplication : public QApplication {
    Q_OBJECT
public:
    TGuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
