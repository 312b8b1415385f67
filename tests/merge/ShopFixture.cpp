#include "ShopFixture.h"

#include "support/TestServer.h"

#include "firebird/TIB_Connection.h"
#include "firebird/TIB_Query.h"
#include "firebird/TIB_Transaction.h"

#include <stdexcept>

namespace {

// The columns of the shop database's session tables (src/db/shop.sql), in table order.
const QMap<QString, QStringList>& schemaColumns() {
    static const QMap<QString, QStringList> columns{
        {"SESSAOCAIXA",
         {"TERMINAL", "IDSESSAO", "ABERTURA", "FECHAMENTO", "TROCOINICIAL", "OPERADOR", "SITUACAO",
          "TOTALVENDAS", "OBSERVACAO"}},
        {"CAIXA", {"ID", "TERMINAL", "IDSESSAO", "DATA", "HORA", "HISTORICO", "VALOR", "TIPO"}},
        {"VENDAS", {"ID", "TERMINAL", "IDSESSAO", "DATAVENDA", "TOTAL", "CANCELADA"}},
        {"PARCELADECOMPRA", {"ID", "TERMINAL", "IDSESSAO", "VENCIMENTO", "VALOR", "PAGA"}},
        {"RECEBIMENTOS", {"ID", "TERMINAL", "IDSESSAO", "VALOR", "FORMA"}},
        {"RETIRADAS", {"ID", "TERMINAL", "IDSESSAO", "VALOR", "MOTIVO"}},
        {"REFORCO", {"ID", "TERMINAL", "IDSESSAO", "VALOR", "MOTIVO"}},
    };
    return columns;
}

QVariant integerOrNull(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return QVariant();
    return QVariant::fromValue<qlonglong>(v.toLongLong());
}

QVariant text(const QString& s) {
    return QVariant(s);
}

// A NUMERIC(15,2) value as the layer reads it.
QVariant money(qint64 hundredths) {
    const qint64 m = hundredths < 0 ? -hundredths : hundredths;
    return QVariant(QStringLiteral("%1%2.%3")
                        .arg(hundredths < 0 ? QStringLiteral("-") : QString())
                        .arg(m / 100)
                        .arg(m % 100, 2, 10, QLatin1Char('0')));
}

const QDate kBaseDay(2020, 1, 1);

} // namespace

ShopFixture::ShopFixture() {
    for (const QString& name : ShopSnapshot::TableNames()) {
        ShopSnapshot::Table table;
        table.columns = schemaColumns().value(name);
        state_.tables.insert(name, table);
    }
}

ShopFixture::ShopFixture(const ShopSnapshot& start) : state_(start) {
    for (const QString& name : ShopSnapshot::RowTableNames())
        for (const QString& key : state_.tables[name].rows.keys())
            nextId_ = std::max(nextId_, key.toLongLong() + 1);
}

QVector<QVariant>& ShopFixture::NewRow(const QString& table, const QString& key) {
    ShopSnapshot::Table& t = state_.tables[table];
    if (t.columns.isEmpty())
        throw std::runtime_error("no table " + table.toStdString() + " in the fixture");
    if (t.rows.contains(key))
        throw std::runtime_error("the fixture has " + table.toStdString() + " " +
                                 key.toStdString() + " twice");
    QVector<QVariant>& row = t.rows[key];
    row.resize(t.columns.size());
    return row;
}

QString ShopFixture::Session(qint64 terminal, qint64 id, const QDateTime& opened,
                             const QVariant& operador) {
    const QString key = ShopSnapshot::SessionKey(terminal, id);
    QVector<QVariant>& row = NewRow(QStringLiteral("SESSAOCAIXA"), key);
    const qint64 n = (terminal * 7919 + id) % 100000;
    row[0] = Int(terminal);
    row[1] = Int(id);
    row[2] = opened.isValid() ? QVariant(opened) : QVariant();
    row[3] = opened.isValid() ? QVariant(opened.addSecs(8 * 3600 + n % 3600)) : QVariant();
    row[4] = money(5000 + n % 10000);
    row[5] = integerOrNull(operador);
    row[6] = text(QStringLiteral("A"));
    row[7] = money(100000 + n);
    row[8] = text(QStringLiteral("turno %1").arg(key));
    return key;
}

QString ShopFixture::Row(const QString& table, const QVariant& terminal, const QVariant& id) {
    const qint64 n = nextId_++;
    const QString key = QString::number(n);
    QVector<QVariant>& row = NewRow(table, key);
    row[0] = Int(n);
    row[1] = integerOrNull(terminal);
    row[2] = integerOrNull(id);
    if (table == QLatin1String("CAIXA")) {
        row[5] = text(QStringLiteral("lançamento %1").arg(n));
        row[6] = money(n * 101 % 50000 + 1);
        row[7] = text(n % 2 ? QStringLiteral("S") : QStringLiteral("C"));
    } else if (table == QLatin1String("VENDAS")) {
        row[3] = QDateTime(kBaseDay.addDays(n % 900), QTime(0, 0).addSecs(n * 37 % 86400));
        row[4] = money(n * 37 % 90000 + 1);
        row[5] = text(QStringLiteral("S"));
    } else if (table == QLatin1String("PARCELADECOMPRA")) {
        row[3] = kBaseDay.addDays(n % 700);
        row[4] = money(n * 53 % 70000 + 1);
        row[5] = text(QStringLiteral("S"));
    } else if (table == QLatin1String("RECEBIMENTOS")) {
        row[3] = money(n * 61 % 80000 + 1);
        row[4] = text(QStringLiteral("CARTAO %1").arg(n));
    } else if (table == QLatin1String("RETIRADAS")) {
        row[3] = money(n * 71 % 60000 + 1);
        row[4] = text(QStringLiteral("sangria %1").arg(n));
    } else if (table == QLatin1String("REFORCO")) {
        row[3] = money(n * 79 % 40000 + 1);
        row[4] = text(QStringLiteral("reforço %1").arg(n));
    } else {
        throw std::runtime_error("no row table " + table.toStdString());
    }
    return key;
}

QString ShopFixture::Caixa(const QVariant& terminal, const QVariant& id, const QDate& date,
                           const QTime& time) {
    const QString key = Row(QStringLiteral("CAIXA"), terminal, id);
    QVector<QVariant>& row = state_.tables[QStringLiteral("CAIXA")].rows[key];
    row[3] = date.isValid() ? QVariant(date) : QVariant();
    row[4] = time.isValid() ? QVariant(time) : QVariant();
    return key;
}

QStringList ShopFixture::SalesAndCash(qint64 terminal, qint64 id) {
    QStringList keys;
    for (const QString& table : ShopSnapshot::RowTableNames())
        if (table != QLatin1String("CAIXA"))
            keys << table + QLatin1Char(':') + Row(table, Int(terminal), Int(id));
    return keys;
}

QString ShopFixture::Literal(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (value.metaType().id()) {
    case QMetaType::QString: {
        QString s = value.toString();
        s.replace(QLatin1Char('\''), QLatin1String("''"));
        return QLatin1Char('\'') + s + QLatin1Char('\'');
    }
    case QMetaType::QDate:
        return QStringLiteral("DATE '%1'").arg(value.toDate().toString(Qt::ISODate));
    case QMetaType::QTime:
        return QStringLiteral("TIME '%1'").arg(value.toTime().toString("HH:mm:ss.zzz"));
    case QMetaType::QDateTime:
        return QStringLiteral("TIMESTAMP '%1'")
            .arg(value.toDateTime().toString("yyyy-MM-dd HH:mm:ss.zzz"));
    case QMetaType::LongLong:
    case QMetaType::Int:
        return QString::number(value.toLongLong());
    default:
        throw std::runtime_error(std::string("no SQL literal for a ") + value.typeName());
    }
}

void ShopFixture::StepGenerator(TIB_Connection& connection, qint64 by) {
    TestServer::ExecuteStatement(connection,
                                 QStringLiteral("EXECUTE BLOCK AS DECLARE V BIGINT; BEGIN "
                                                "V = GEN_ID(GEN_SESSAOCAIXA_ID, %1); END")
                                     .arg(by));
}

void ShopFixture::Write(TIB_Connection& connection, const ShopSnapshot& state) {
    // The server takes statements of up to 64 KB; a block stays well below.
    constexpr qsizetype kBlockLimit = 30000;
    QStringList blocks;
    QString body;
    const auto flush = [&] {
        if (!body.isEmpty())
            blocks << QStringLiteral("EXECUTE BLOCK AS BEGIN\n") + body + QStringLiteral("END");
        body.clear();
    };
    QString deletes;
    for (const QString& name : ShopSnapshot::TableNames())
        deletes += QStringLiteral("DELETE FROM %1;\n").arg(name);
    body = deletes;
    for (const QString& name : ShopSnapshot::TableNames()) {
        const ShopSnapshot::Table& table = state.tables[name];
        const QString head = QStringLiteral("INSERT INTO %1 (%2) VALUES (")
                                 .arg(name, table.columns.join(QStringLiteral(", ")));
        for (const QVector<QVariant>& row : table.rows) {
            QStringList values;
            for (const QVariant& v : row)
                values << Literal(v);
            const QString insert =
                head + values.join(QStringLiteral(", ")) + QStringLiteral(");\n");
            if (body.size() + insert.size() > kBlockLimit)
                flush();
            body += insert;
        }
    }
    flush();

    TIB_Transaction transaction;
    transaction.SetIB_Connection(&connection);
    TIB_Query query;
    query.SetIB_Connection(&connection);
    query.SetIB_Transaction(&transaction);
    transaction.StartTransaction();
    for (const QString& block : blocks) {
        query.SetSQL(block);
        query.ExecSQL();
    }
    query.Unprepare();
    transaction.Commit();
}
