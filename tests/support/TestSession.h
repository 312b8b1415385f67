#pragma once

#include "firebird/TIB_Connection.h"
#include "firebird/TIB_Transaction.h"

#include <QStringList>
#include <QVariant>

// A connection of a test's own to a test database, with an auto-commit, read-committed default
// transaction, and short ways to change and read the database.
struct TestSession {
    TIB_Connection connection;
    TIB_Transaction transaction;

    // Connects to the database at the path on the server with that password; a host, when
    // given, replaces the server's.
    explicit TestSession(const QString& path, const QString& password = QStringLiteral("quince"),
                         const QString& host = QString());

    // Runs one statement.
    void exec(const QString& sql);
    // Runs every statement of a script, each committed.
    void script(const QString& sql);
    // The rows of a select, each as its values joined by '|' (NULL as "NULL").
    QStringList rows(const QString& sql);
    // The first column of the first row of a select.
    QVariant value(const QString& sql);
};
