#include "support/TestSession.h"

#include "firebird/TIB_Query.h"
#include "support/TestServer.h"

TestSession::TestSession(const QString& path, const QString& password, const QString& host) {
    transaction.SetIB_Connection(&connection);
    transaction.SetAutoCommit(true);
    connection.SetDefaultTransaction(&transaction);
    TestServer::Point(connection, path, password);
    if (!host.isEmpty())
        connection.SetServer(host);
    connection.Connect();
}

void TestSession::exec(const QString& sql) {
    TIB_Query q;
    q.SetIB_Connection(&connection);
    q.SetSQL(sql);
    q.ExecSQL();
}

void TestSession::script(const QString& sql) {
    TestServer::ExecuteScript(connection, sql);
}

QStringList TestSession::rows(const QString& sql) {
    TIB_Query q;
    q.SetIB_Connection(&connection);
    q.SetSQL(sql);
    q.Open();
    q.FetchAll();
    QStringList out;
    for (int r = 0; r < q.FetchedRows(); ++r) {
        QStringList cells;
        for (int c = 0; c < q.FieldCount(); ++c) {
            const QVariant v = q.Value(r, c);
            cells << (v.isValid() ? v.toString() : QStringLiteral("NULL"));
        }
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QVariant TestSession::value(const QString& sql) {
    TIB_Query q;
    q.SetIB_Connection(&connection);
    q.SetSQL(sql);
    q.Open();
    return q.Value(0, 0);
}
