#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class TIB_Connection;

// Everything of the shop database that the day-end merge may touch: every row and column of the
// session table and of the six tables that point at sessions, and the session generator's value.
// Values are held as the database layer reads them (integers as qlonglong, NUMERIC(15,2) as text
// such as "12.34", CHAR without its padding, DATE/TIME/TIMESTAMP as QDate/QTime/QDateTime, NULL as
// an invalid QVariant), so that a state built in the test compares with one read back.
// Rows are keyed by their primary key as text: "TERMINAL/IDSESSAO" for a session ("1/10"), the ID
// for the other tables ("17").
class ShopSnapshot {
public:
    struct Table {
        QStringList columns;
        QMap<QString, QVector<QVariant>> rows;
        // Index of a column; -1 when the table has none of that name.
        int Column(const QString& name) const { return static_cast<int>(columns.indexOf(name)); }
    };

    // SESSAOCAIXA first, then the six tables in the order the merge moves their rows.
    static const QStringList& TableNames();
    static const QStringList& RowTableNames(); // the six without SESSAOCAIXA
    static QString SessionKey(qint64 terminal, qint64 id);

    // One select per table and one for the generator, in one read-committed transaction.
    static ShopSnapshot Read(TIB_Connection& connection);
    static qint64 ReadGenerator(TIB_Connection& connection);

    QVariant Value(const QString& table, const QString& key, const QString& column) const;
    void SetValue(const QString& table, const QString& key, const QString& column,
                  const QVariant& value);
    // The keys of the rows of a table whose TERMINAL and IDSESSAO are the given ones.
    QStringList KeysAt(const QString& table, qint64 terminal, qint64 id) const;
    // Moves the listed rows of a table to another session key.
    void Rekey(const QString& table, const QStringList& keys, qint64 terminal, qint64 id);
    qint64 RowCount() const;

    // What differs, one line per differing row or column ("VENDAS 17: TERMINAL expected 999,
    // found 1"), at most maxLines lines and a count of the rest; empty when equal.
    static QStringList Differences(const ShopSnapshot& expected, const ShopSnapshot& actual,
                                   int maxLines = 25);
    static QString Describe(const QVariant& value);

    QMap<QString, Table> tables;
    qint64 generator = 0;
};
