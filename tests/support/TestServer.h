#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

class TIB_Connection;

// The private Firebird servers that scripts/test starts, and fresh databases on them.
namespace TestServer {

// The server whose SYSDBA password is the given one: "quince", "bluefinch" or "sem-acesso".
// Fails the test when the test run provides no such server.
QString Host(const QString& password);
QString Password(const QString& name);

// A new, unique database path in the run's database folder.
QString NewDatabasePath(const QString& tag);

// Creates a fresh shop database on the server with that password and returns its path.
QString CreateShopDatabase(const QString& tag, const QString& password = QStringLiteral("quince"));
// Creates the shop database at a path from NewDatabasePath.
void CreateShopDatabaseAt(const QString& path, const QString& password = QStringLiteral("quince"));

// Points a connection at a database of a test server.
void Point(TIB_Connection& connection, const QString& path,
           const QString& password = QStringLiteral("quince"));

// Runs every statement of a script (statements end with ';' outside literals and comments),
// each committed.
void ExecuteScript(TIB_Connection& connection, const QString& script);
// Runs one statement (which may hold ';', as a trigger's body does) in a transaction of its own.
void ExecuteStatement(TIB_Connection& connection, const QString& statement);
// The first column of the first row of a select, read in a transaction of its own.
QVariant Scalar(TIB_Connection& connection, const QString& select);
QStringList SplitScript(const QString& script);
QString ReadFile(const QString& path);
QString ShopSchemaPath();

} // namespace TestServer
