#pragma once

#include "ShopSnapshot.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

class TIB_Connection;

// Builds a shop-database state tersely: sessions, rows of the six session tables and cash-book
// entries, each with distinct values in every other column (none of them the column's default),
// so that a value copied to the wrong row or column shows. Write() puts a state into a database.
class ShopFixture {
public:
    ShopFixture();
    // Goes on from a state (one read back, say): new rows get IDs above its highest.
    explicit ShopFixture(const ShopSnapshot& start);

    // A session of an operator (NULL when invalid) opened at a time (NULL when invalid). Returns
    // its key, "TERMINAL/IDSESSAO".
    QString Session(qint64 terminal, qint64 id, const QDateTime& opened,
                    const QVariant& operador = QVariant::fromValue<qlonglong>(7));
    // A row of one of VENDAS, PARCELADECOMPRA, RECEBIMENTOS, RETIRADAS, REFORCO or CAIXA at a
    // session key (either part NULL when invalid). A CAIXA row made here has no date or time.
    // Returns its key, the ID.
    QString Row(const QString& table, const QVariant& terminal, const QVariant& id);
    // A cash-book entry; an invalid date or time is NULL.
    QString Caixa(const QVariant& terminal, const QVariant& id, const QDate& date,
                  const QTime& time);
    // One row in each of the five other tables at a session key; returns "TABLE:ID" keys.
    QStringList SalesAndCash(qint64 terminal, qint64 id);

    ShopSnapshot& State() { return state_; }
    const ShopSnapshot& State() const { return state_; }

    // Empties the seven tables and inserts the state's rows, in one transaction and a few
    // statements. The state's generator is not written.
    static void Write(TIB_Connection& connection, const ShopSnapshot& state);
    // Steps the session generator by a number.
    static void StepGenerator(TIB_Connection& connection, qint64 by);

    // An SQL literal of a value as the layer reads it.
    static QString Literal(const QVariant& value);
    static QVariant Int(qint64 value) { return QVariant::fromValue<qlonglong>(value); }

private:
    QVector<QVariant>& NewRow(const QString& table, const QString& key);

    ShopSnapshot state_;
    qint64 nextId_ = 1;
};
