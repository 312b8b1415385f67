#include "support/TestServer.h"

#include "firebird/IB_Sql.h"
#include "firebird/TIB_Connection.h"
#include "firebird/TIB_Query.h"
#include "firebird/TIB_Transaction.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QUuid>
#include <stdexcept>

namespace TestServer {

QString Host(const QString& password) {
    const QByteArray var = "VOSTRALO_FB_" + password.toUpper().toLatin1().replace('-', '_');
    const QByteArray name = password == QLatin1String("sem-acesso") ? "VOSTRALO_FB_OTHER" : var;
    const QString host = qEnvironmentVariable(name.constData());
    if (host.isEmpty())
        throw std::runtime_error("no test server: run the tests through scripts/test (" +
                                 name.toStdString() + " is not set)");
    return host;
}

QString Password(const QString& name) {
    return name;
}

QString NewDatabasePath(const QString& tag) {
    const QString dir = qEnvironmentVariable("VOSTRALO_TEST_DBDIR");
    if (dir.isEmpty())
        throw std::runtime_error(
            "VOSTRALO_TEST_DBDIR is not set: run the tests through scripts/test");
    return QDir(dir).absoluteFilePath(
        QStringLiteral("%1-%2.fdb").arg(tag, QUuid::createUuid().toString(QUuid::Id128)));
}

void Point(TIB_Connection& connection, const QString& path, const QString& password) {
    connection.SetServer(Host(password));
    connection.SetPath(path);
    connection.SetPassword(password);
}

QString ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return QString::fromUtf8(file.readAll());
}

QString ShopSchemaPath() {
    return QStringLiteral(VOSTRALO_SOURCE_DIR "/src/db/shop.sql");
}

QStringList SplitScript(const QString& script) {
    QStringList statements;
    QString current;
    const qsizetype n = script.size();
    for (qsizetype i = 0; i < n;) {
        const qsizetype next = IB_SkipLiteral(script, i);
        if (next != i) {
            const QChar c = script[i];
            const bool literal = c == QLatin1Char('\'') || c == QLatin1Char('"');
            // Literals are kept; comments are left out.
            current += literal ? script.mid(i, next - i) : QStringLiteral("\n");
            i = next;
            continue;
        }
        if (script[i] == QLatin1Char(';')) {
            if (!current.trimmed().isEmpty())
                statements << current.trimmed();
            current.clear();
        } else {
            current += script[i];
        }
        ++i;
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

void ExecuteStatement(TIB_Connection& connection, const QString& statement) {
    TIB_Transaction transaction;
    transaction.SetIB_Connection(&connection);
    TIB_Query query;
    query.SetIB_Connection(&connection);
    query.SetIB_Transaction(&transaction);
    query.SetSQL(statement);
    transaction.StartTransaction();
    query.ExecSQL();
    query.Unprepare();
    transaction.Commit();
}

QVariant Scalar(TIB_Connection& connection, const QString& select) {
    TIB_Transaction transaction;
    transaction.SetIB_Connection(&connection);
    TIB_Query query;
    query.SetIB_Connection(&connection);
    query.SetIB_Transaction(&transaction);
    query.SetSQL(select);
    query.Open();
    const QVariant value = query.Value(0, 0);
    query.Close();
    transaction.Commit();
    return value;
}

void ExecuteScript(TIB_Connection& connection, const QString& script) {
    for (const QString& statement : SplitScript(script))
        ExecuteStatement(connection, statement);
}

QString CreateShopDatabase(const QString& tag, const QString& password) {
    const QString path = NewDatabasePath(tag);
    CreateShopDatabaseAt(path, password);
    return path;
}

void CreateShopDatabaseAt(const QString& path, const QString& password) {
    TIB_Connection connection;
    Point(connection, path, password);
    connection.CreateDatabase();
    ExecuteScript(connection, ReadFile(ShopSchemaPath()));
    connection.Close();
}

} // namespace TestServer
