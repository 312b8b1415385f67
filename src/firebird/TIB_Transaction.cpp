#include "firebird/TIB_Transaction.h"

#include "firebird/EIB_Error.h"
#include "firebird/IB_Status.h"
#include "firebird/TIB_Connection.h"
#include "firebird/TIB_Query.h"

TIB_Transaction::TIB_Transaction(QObject* parent) : QObject(parent) {}

TIB_Transaction::~TIB_Transaction() {
    if (handle_) {
        try {
            Rollback();
        } catch (const EIB_Error&) {
            Abandon();
        }
    }
    for (TIB_Query* q : queries_)
        q->TransactionGone(this);
    if (connection_) {
        if (connection_->DefaultTransaction() == this)
            connection_->SetDefaultTransaction(nullptr);
        connection_->Unregister(this);
    }
}

void TIB_Transaction::SetIB_Connection(TIB_Connection* connection) {
    if (connection_ == connection)
        return;
    RefuseWhileStarted();
    if (connection_)
        connection_->Unregister(this);
    connection_ = connection;
    if (connection_)
        connection_->Register(this);
}

void TIB_Transaction::RefuseWhileStarted() const {
    if (handle_)
        throw EIB_Error(QStringLiteral("Transação em andamento"));
}

void TIB_Transaction::SetIsolation(TIB_Isolation isolation) {
    if (isolation_ == isolation)
        return;
    RefuseWhileStarted();
    isolation_ = isolation;
}
void TIB_Transaction::SetRecVersion(bool on) {
    if (recVersion_ == on)
        return;
    RefuseWhileStarted();
    recVersion_ = on;
}
void TIB_Transaction::SetLockWait(bool on) {
    if (lockWait_ == on)
        return;
    RefuseWhileStarted();
    lockWait_ = on;
}
void TIB_Transaction::SetReadOnly(bool on) {
    if (readOnly_ == on)
        return;
    RefuseWhileStarted();
    readOnly_ = on;
}

QByteArray TIB_Transaction::BuildTpb(TIB_Isolation isolation, bool recVersion, bool lockWait,
                                     bool readOnly) {
    QByteArray tpb;
    tpb.append(char(isc_tpb_version3));
    tpb.append(char(readOnly ? isc_tpb_read : isc_tpb_write));
    switch (isolation) {
    case tiConcurrency:
        tpb.append(char(isc_tpb_concurrency));
        break;
    case tiConsistency:
        tpb.append(char(isc_tpb_consistency));
        break;
    case tiCommitted:
        tpb.append(char(isc_tpb_read_committed));
        tpb.append(char(recVersion ? isc_tpb_rec_version : isc_tpb_no_rec_version));
        break;
    }
    tpb.append(char(lockWait ? isc_tpb_wait : isc_tpb_nowait));
    return tpb;
}

void TIB_Transaction::StartTransaction() {
    if (handle_)
        throw EIB_Error(QStringLiteral("A transação já foi iniciada"));
    if (!connection_)
        throw EIB_Error(QStringLiteral("Transação sem conexão"));
    Firebird::IAttachment* attachment = connection_->Attachment();
    const QByteArray tpb = Tpb();
    IB_StatusHolder status;
    handle_ = attachment->startTransaction(status.get(), static_cast<unsigned>(tpb.size()),
                                           reinterpret_cast<const unsigned char*>(tpb.constData()));
    explicitStart_ = true;
    emit StartedChanged(true);
}

Firebird::ITransaction* TIB_Transaction::Handle() {
    if (!handle_) {
        StartTransaction();
        explicitStart_ = false;
    }
    return handle_;
}

void TIB_Transaction::CloseCursors() {
    for (TIB_Query* q : queries_)
        q->CloseCursor();
}

void TIB_Transaction::Commit() {
    if (!handle_)
        throw EIB_Error(QStringLiteral("A transação não foi iniciada"));
    CloseCursors();
    IB_StatusHolder status;
    handle_->commit(status.get()); // consumes the reference on success
    handle_ = nullptr;
    explicitStart_ = false;
    emit StartedChanged(false);
}

void TIB_Transaction::CommitRetaining() {
    if (!handle_)
        throw EIB_Error(QStringLiteral("A transação não foi iniciada"));
    IB_StatusHolder status;
    handle_->commitRetaining(status.get());
}

void TIB_Transaction::Rollback() {
    if (!handle_)
        throw EIB_Error(QStringLiteral("A transação não foi iniciada"));
    CloseCursors();
    IB_StatusHolder status;
    handle_->rollback(status.get()); // consumes the reference on success
    handle_ = nullptr;
    explicitStart_ = false;
    emit StartedChanged(false);
}

void TIB_Transaction::StatementExecuted() {
    if (autoCommit_ && handle_ && !explicitStart_)
        CommitRetaining();
}

void TIB_Transaction::Register(TIB_Query* query) {
    if (!queries_.contains(query))
        queries_.append(query);
}
void TIB_Transaction::Unregister(TIB_Query* query) {
    queries_.removeAll(query);
}

void TIB_Transaction::Abandon() {
    if (handle_) {
        handle_->release();
        handle_ = nullptr;
        explicitStart_ = false;
        emit StartedChanged(false);
    }
}

void TIB_Transaction::ConnectionGone() {
    Abandon();
    connection_ = nullptr;
}
