#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

namespace Firebird {
class IAttachment;
}
class TIB_Transaction;
class TIB_Query;

// A connection to one database over the client library. Its stored parameters are the Params
// entries PROTOCOL, SERVER, PATH, USER NAME, PAGE SIZE and CHARACTER SET; the database string is
// SERVER ":" PATH.
class TIB_Connection : public QObject {
    Q_OBJECT
public:
    explicit TIB_Connection(QObject* parent = nullptr);
    ~TIB_Connection() override;

    // Upper-case entry names.
    QString Param(const QString& name) const { return params_.value(name.toUpper()); }
    void SetParam(const QString& name, const QString& value);
    const QMap<QString, QString>& Params() const { return params_; }

    QString Server() const { return Param(QStringLiteral("SERVER")); }
    void SetServer(const QString& server);
    QString Path() const { return Param(QStringLiteral("PATH")); }
    void SetPath(const QString& path);
    QString Password() const { return password_; }
    void SetPassword(const QString& password);
    int SQLDialect() const { return dialect_; }
    void SetSQLDialect(int dialect);

    QString DatabaseName() const;

    bool Connected() const { return attachment_ != nullptr; }
    // Attaches with the user name, the password and the character set. Throws EIB_Error.
    void Connect();
    // Closes the connection: open statements are freed and started transactions rolled back
    // first. Does nothing when closed.
    void Close();
    // Creates the database of the database string with the stored PAGE SIZE and leaves the
    // connection open on it.
    void CreateDatabase();
    // Drops the database the connection is open on; the connection is closed afterwards.
    void DropDatabase();

    TIB_Transaction* DefaultTransaction() const { return defaultTransaction_; }
    void SetDefaultTransaction(TIB_Transaction* transaction);

    // The attachment of the open connection; throws EIB_Error when closed.
    Firebird::IAttachment* Attachment() const;

    // Refuses, with "Caminho de conexão inválido", a database path that names a server in front
    // of its drive letter or folder.
    static void CheckPath(const QString& path);

    // Statements and transactions register themselves so that closing can end them first.
    void Register(TIB_Transaction* transaction);
    void Unregister(TIB_Transaction* transaction);
    void Register(TIB_Query* query);
    void Unregister(TIB_Query* query);

signals:
    void ConnectedChanged(bool connected);
    // After every attempt to attach or create, whether it connected or not.
    void AttemptFinished(bool connected);

private:
    void RefuseWhileConnected(const char* what) const;
    QByteArray BuildDpb(bool forCreate) const;
    void Attach(bool create);
    void EndDependents();

    QMap<QString, QString> params_;
    QString password_;
    int dialect_ = 3;
    Firebird::IAttachment* attachment_ = nullptr;
    TIB_Transaction* defaultTransaction_ = nullptr; // cleared by the transaction when it goes
    QList<TIB_Transaction*> transactions_;
    QList<TIB_Query*> queries_;
};
