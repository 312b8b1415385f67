#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>

#include "firebird/TIB_Connection.h"

namespace Firebird {
class ITransaction;
}
class TIB_Query;

enum TIB_Isolation { tiConcurrency, tiConsistency, tiCommitted };

// A transaction on one connection. Started explicitly, or implicitly by the first statement that
// needs it; with AutoCommit, a statement that changes data is committed (retaining the
// transaction's context) right after it runs. A transaction still started when it is destroyed
// is rolled back.
class TIB_Transaction : public QObject {
    Q_OBJECT
public:
    explicit TIB_Transaction(QObject* parent = nullptr);
    ~TIB_Transaction() override;

    TIB_Connection* IB_Connection() const { return connection_; }
    void SetIB_Connection(TIB_Connection* connection);

    bool AutoCommit() const { return autoCommit_; }
    void SetAutoCommit(bool on) { autoCommit_ = on; }
    TIB_Isolation Isolation() const { return isolation_; }
    void SetIsolation(TIB_Isolation isolation);
    bool RecVersion() const { return recVersion_; }
    void SetRecVersion(bool on);
    bool LockWait() const { return lockWait_; }
    void SetLockWait(bool on);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool on);

    // The transaction parameter block the server is given.
    QByteArray Tpb() const { return BuildTpb(isolation_, recVersion_, lockWait_, readOnly_); }
    static QByteArray BuildTpb(TIB_Isolation isolation, bool recVersion, bool lockWait,
                               bool readOnly);

    bool Started() const { return handle_ != nullptr; }
    // Starting a started transaction is an error.
    void StartTransaction();
    void Commit();
    void Rollback();
    // Commits and keeps the transaction's context (open cursors stay open).
    void CommitRetaining();

    // The server's transaction, started now when it is not started yet.
    Firebird::ITransaction* Handle();

    // Called by statements after they changed data.
    void StatementExecuted();

    void Register(TIB_Query* query);
    void Unregister(TIB_Query* query);
    // The connection is going away: forget the transaction without calling the server.
    void Abandon();
    void ConnectionGone();

signals:
    void StartedChanged(bool started);

private:
    void RefuseWhileStarted() const;
    void CloseCursors();

    QPointer<TIB_Connection> connection_;
    bool autoCommit_ = false;
    TIB_Isolation isolation_ = tiCommitted;
    bool recVersion_ = true;
    bool lockWait_ = false;
    bool readOnly_ = false;
    bool explicitStart_ = false;
    Firebird::ITransaction* handle_ = nullptr;
    QList<TIB_Query*> queries_;
};
