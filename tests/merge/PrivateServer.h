#pragma once

#include <QString>
#include <sys/types.h>

// A Firebird server of the test's own, started with the project's fbserver script
// ($VOSTRALO_FBSERVER) in a folder of its own, so that a test can stop or kill it without
// touching the servers the other tests share. The script wipes the folder when it starts a
// server: keep databases outside it. A server still running when the object goes is killed.
class PrivateServer {
public:
    explicit PrivateServer(QString dir, QString password = QStringLiteral("quince"));
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    // Starts a server (a new port each time). Throws std::runtime_error when it cannot.
    void Start();
    // Asks the server to shut down and waits until it has gone (killing it after a while).
    void Stop();
    // Kills the server at once (SIGKILL) and waits until it has gone.
    void Kill();
    // Sends SIGKILL and returns; safe to call from another thread.
    void SendKill() const;

    bool Running() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    // "127.0.0.1/PORT", the server part of a database string.
    QString Host() const;
    const QString& Password() const { return password_; }

    // The test process adopts the servers it starts (the script leaves them orphaned), so that
    // it can wait for them and leave no process behind.
    static void AdoptOrphans();

private:
    void End(int signal, int graceMs);

    QString dir_;
    QString password_;
    pid_t pid_ = 0;
    int port_ = 0;
};
