#include "ShopSnapshot.h"

#include "support/TestServer.h"

#include "firebird/TIB_Connection.h"
#include "firebird/TIB_Query.h"
#include "firebird/TIB_Transaction.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <stdexcept>

namespace {

QString keyOf(const ShopSnapshot::Table& table, const QVector<QVariant>& row,
              const QString& tableName) {
    if (tableName == QLatin1String("SESSAOCAIXA")) {
        const int t = table.Column(QStringLiteral("TERMINAL"));
        const int i = table.Column(QStringLiteral("IDSESSAO"));
        return ShopSnapshot::SessionKey(row[t].toLongLong(), row[i].toLongLong());
    }
    return row[table.Column(QStringLiteral("ID"))].toString();
}

bool sameValue(const QVariant& a, const QVariant& b) {
    const bool aNull = !a.isValid() || a.isNull();
    const bool bNull = !b.isValid() || b.isNull();
    if (aNull || bNull)
        return aNull == bNull;
    if (a.metaType() != b.metaType())
        return false; // a value of another type is a difference, even if it converts
    return a == b;
}

} // namespace

const QStringList& ShopSnapshot::TableNames() {
    static const QStringList names{"SESSAOCAIXA",  "VENDAS",    "PARCELADECOMPRA", "CAIXA",
                                   "RECEBIMENTOS", "RETIRADAS", "REFORCO"};
    return names;
}

const QStringList& ShopSnapshot::RowTableNames() {
    static const QStringList names = TableNames().mid(1);
    return names;
}

QString ShopSnapshot::SessionKey(qint64 terminal, qint64 id) {
    return QStringLiteral("%1/%2").arg(terminal).arg(id);
}

qint64 ShopSnapshot::ReadGenerator(TIB_Connection& connection) {
    return TestServer::Scalar(
               connection, QStringLiteral("SELECT GEN_ID(GEN_SESSAOCAIXA_ID, 0) FROM RDB$DATABASE"))
        .toLongLong();
}

ShopSnapshot ShopSnapshot::Read(TIB_Connection& connection) {
    ShopSnapshot snapshot;
    TIB_Transaction transaction;
    transaction.SetIB_Connection(&connection);
    transaction.StartTransaction();
    for (const QString& name : TableNames()) {
        TIB_Query query;
        query.SetIB_Connection(&connection);
        query.SetIB_Transaction(&transaction);
        query.SetSQL(QStringLiteral("SELECT * FROM ") + name);
        query.Open();
        query.FetchAll();
        Table table;
        for (int c = 0; c < query.FieldCount(); ++c)
            table.columns << query.FieldName(c);
        for (int r = 0; r < query.FetchedRows(); ++r) {
            QVector<QVariant> row;
            row.reserve(query.FieldCount());
            for (int c = 0; c < query.FieldCount(); ++c)
                row << query.Value(r, c);
            const QString key = keyOf(table, row, name);
            if (table.rows.contains(key))
                throw std::runtime_error("two rows of " + name.toStdString() + " with the key " +
                                         key.toStdString());
            table.rows.insert(key, row);
        }
        query.Close();
        snapshot.tables.insert(name, table);
    }
    transaction.Commit();
    snapshot.generator = ReadGenerator(connection);
    return snapshot;
}

QVariant ShopSnapshot::Value(const QString& table, const QString& key,
                             const QString& column) const {
    const Table& t = tables[table];
    const int c = t.Column(column);
    if (c < 0 || !t.rows.contains(key))
        return QVariant();
    return t.rows[key][c];
}

void ShopSnapshot::SetValue(const QString& table, const QString& key, const QString& column,
                            const QVariant& value) {
    Table& t = tables[table];
    const int c = t.Column(column);
    if (c < 0 || !t.rows.contains(key))
        throw std::runtime_error("no column " + column.toStdString() + " or row " +
                                 key.toStdString() + " in " + table.toStdString());
    t.rows[key][c] = value;
}

QStringList ShopSnapshot::KeysAt(const QString& table, qint64 terminal, qint64 id) const {
    const Table& t = tables[table];
    const int tc = t.Column(QStringLiteral("TERMINAL"));
    const int ic = t.Column(QStringLiteral("IDSESSAO"));
    QStringList keys;
    for (auto it = t.rows.cbegin(); it != t.rows.cend(); ++it) {
        const QVariant& tv = it.value()[tc];
        const QVariant& iv = it.value()[ic];
        if (!tv.isNull() && !iv.isNull() && tv.toLongLong() == terminal && iv.toLongLong() == id)
            keys << it.key();
    }
    return keys;
}

void ShopSnapshot::Rekey(const QString& table, const QStringList& keys, qint64 terminal,
                         qint64 id) {
    for (const QString& key : keys) {
        SetValue(table, key, QStringLiteral("TERMINAL"), QVariant::fromValue<qlonglong>(terminal));
        SetValue(table, key, QStringLiteral("IDSESSAO"), QVariant::fromValue<qlonglong>(id));
    }
}

qint64 ShopSnapshot::RowCount() const {
    qint64 n = 0;
    for (const Table& t : tables)
        n += t.rows.size();
    return n;
}

QString ShopSnapshot::Describe(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return QLatin1Char('\'') + value.toString() + QLatin1Char('\'');
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    case QMetaType::LongLong:
    case QMetaType::Int:
        return value.toString();
    default:
        return value.toString() + QStringLiteral(" (") + QLatin1String(value.typeName()) +
               QLatin1Char(')');
    }
}

QStringList ShopSnapshot::Differences(const ShopSnapshot& expected, const ShopSnapshot& actual,
                                      int maxLines) {
    QStringList lines;
    int more = 0;
    const auto add = [&](const QString& line) {
        if (lines.size() < maxLines)
            lines << line;
        else
            ++more;
    };
    if (expected.generator != actual.generator)
        add(QStringLiteral("generator GEN_SESSAOCAIXA_ID: expected %1, found %2")
                .arg(expected.generator)
                .arg(actual.generator));
    QStringList names = expected.tables.keys();
    for (const QString& name : actual.tables.keys())
        if (!names.contains(name))
            names << name;
    for (const QString& name : names) {
        if (!expected.tables.contains(name) || !actual.tables.contains(name)) {
            add(QStringLiteral("table %1 %2")
                    .arg(name, expected.tables.contains(name) ? QStringLiteral("not read")
                                                              : QStringLiteral("not expected")));
            continue;
        }
        const Table& e = expected.tables[name];
        const Table& a = actual.tables[name];
        const auto rowText = [](const Table& t, const QVector<QVariant>& row) {
            QStringList parts;
            for (int c = 0; c < t.columns.size(); ++c)
                parts << t.columns[c] + QLatin1Char('=') + Describe(row.value(c));
            return parts.join(QStringLiteral(", "));
        };
        for (auto it = e.rows.cbegin(); it != e.rows.cend(); ++it) {
            if (!a.rows.contains(it.key())) {
                add(QStringLiteral("%1 %2: missing (expected %3)")
                        .arg(name, it.key(), rowText(e, it.value())));
                continue;
            }
            const QVector<QVariant>& arow = a.rows[it.key()];
            // A row of the six tables is named with the session it should be at.
            QString rowName = it.key();
            const int et = e.Column(QStringLiteral("TERMINAL"));
            const int ei = e.Column(QStringLiteral("IDSESSAO"));
            if (name != QLatin1String("SESSAOCAIXA") && et >= 0 && ei >= 0)
                rowName += QStringLiteral(" (at %1/%2)")
                               .arg(Describe(it.value()[et]), Describe(it.value()[ei]));
            for (int c = 0; c < e.columns.size(); ++c) {
                const int ac = a.Column(e.columns[c]);
                if (ac < 0) {
                    add(QStringLiteral("%1 %2: no column %3").arg(name, rowName, e.columns[c]));
                    continue;
                }
                if (!sameValue(it.value()[c], arow[ac]))
                    add(QStringLiteral("%1 %2: %3 expected %4, found %5")
                            .arg(name, rowName, e.columns[c], Describe(it.value()[c]),
                                 Describe(arow[ac])));
            }
            for (int c = 0; c < a.columns.size(); ++c)
                if (e.Column(a.columns[c]) < 0)
                    add(QStringLiteral("%1 %2: unexpected column %3 = %4")
                            .arg(name, rowName, a.columns[c], Describe(arow[c])));
        }
        for (auto it = a.rows.cbegin(); it != a.rows.cend(); ++it)
            if (!e.rows.contains(it.key()))
                add(QStringLiteral("%1 %2: unexpected row (%3)")
                        .arg(name, it.key(), rowText(a, it.value())));
    }
    if (more > 0)
        lines << QStringLiteral("... and %1 more").arg(more);
    return lines;
}
