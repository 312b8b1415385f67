#include "MergeModel.h"

#include <QDateTime>
#include <QSet>
#include <QTime>
#include <stdexcept>

namespace MergeModel {

namespace {

bool isNull(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

} // namespace

QString OpeningChangeText(qint64 tenThousandths) {
    const bool negative = tenThousandths < 0;
    const quint64 magnitude =
        negative ? 0 - static_cast<quint64>(tenThousandths) : static_cast<quint64>(tenThousandths);
    quint64 hundredths = magnitude / 100;
    const quint64 rest = magnitude % 100;
    if (rest > 50 || (rest == 50 && hundredths % 2 == 1))
        ++hundredths;
    return QStringLiteral("%1%2.%3")
        .arg(negative && hundredths != 0 ? QStringLiteral("-") : QString())
        .arg(hundredths / 100)
        .arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}

const QMap<QString, QVariant>& SessionDefaults() {
    static const QMap<QString, QVariant> defaults{
        {"SITUACAO", QStringLiteral("F")},
        {"TOTALVENDAS", QStringLiteral("0.00")},
        {"OBSERVACAO", QString()},
    };
    return defaults;
}

Outcome Apply(const ShopSnapshot& before, const Input& input) {
    Outcome outcome;
    outcome.expected = before;
    const ShopSnapshot::Table& sessions = before.tables[QStringLiteral("SESSAOCAIXA")];
    const int cTerminal = sessions.Column(QStringLiteral("TERMINAL"));
    const int cId = sessions.Column(QStringLiteral("IDSESSAO"));
    const int cOpened = sessions.Column(QStringLiteral("ABERTURA"));
    const int cOperator = sessions.Column(QStringLiteral("OPERADOR"));

    // The day's sessions: opened on the date (time of day ignored) by the operator.
    QSet<QPair<qint64, qint64>> merged;
    for (auto it = sessions.rows.cbegin(); it != sessions.rows.cend(); ++it) {
        const QVector<QVariant>& row = it.value();
        if (isNull(row[cOpened]) || isNull(row[cOperator]))
            continue;
        if (row[cOpened].toDateTime().date() != input.date ||
            row[cOperator].toLongLong() != input.operador)
            continue;
        merged.insert({row[cTerminal].toLongLong(), row[cId].toLongLong()});
        outcome.mergedSessions << it.key();
    }
    if (merged.isEmpty())
        return outcome; // nothing changes, the generator is not stepped

    ShopSnapshot& expected = outcome.expected;
    expected.generator = before.generator + 1;
    const qint64 newId = expected.generator + 10000;
    outcome.newSession = ShopSnapshot::SessionKey(999, newId);
    if (sessions.rows.contains(outcome.newSession) &&
        !outcome.mergedSessions.contains(outcome.newSession))
        throw std::runtime_error("the state already holds the new session " +
                                 outcome.newSession.toStdString());

    // Opening and closing time: the earliest and latest entry with both a date and a time.
    bool anyEntry = false;
    QDate firstDate, lastDate;
    QTime firstTime, lastTime;
    {
        const ShopSnapshot::Table& cash = before.tables[QStringLiteral("CAIXA")];
        const int t = cash.Column(QStringLiteral("TERMINAL"));
        const int i = cash.Column(QStringLiteral("IDSESSAO"));
        const int d = cash.Column(QStringLiteral("DATA"));
        const int h = cash.Column(QStringLiteral("HORA"));
        for (const QVector<QVariant>& row : cash.rows) {
            if (isNull(row[t]) || isNull(row[i]) || isNull(row[d]) || isNull(row[h]))
                continue;
            if (!merged.contains({row[t].toLongLong(), row[i].toLongLong()}))
                continue;
            const QDate date = row[d].toDate();
            const QTime time = row[h].toTime();
            const auto earlier = [](const QDate& d1, const QTime& t1, const QDate& d2,
                                    const QTime& t2) { return d1 < d2 || (d1 == d2 && t1 < t2); };
            if (!anyEntry || earlier(date, time, firstDate, firstTime)) {
                firstDate = date;
                firstTime = time;
            }
            if (!anyEntry || earlier(lastDate, lastTime, date, time)) {
                lastDate = date;
                lastTime = time;
            }
            anyEntry = true;
        }
    }

    // Every row of the six tables at one of the day's keys moves to the new key.
    for (const QString& name : ShopSnapshot::RowTableNames()) {
        ShopSnapshot::Table& table = expected.tables[name];
        const int t = table.Column(QStringLiteral("TERMINAL"));
        const int i = table.Column(QStringLiteral("IDSESSAO"));
        for (QVector<QVariant>& row : table.rows) {
            if (isNull(row[t]) || isNull(row[i]))
                continue;
            if (!merged.contains({row[t].toLongLong(), row[i].toLongLong()}))
                continue;
            row[t] = QVariant::fromValue<qlonglong>(999);
            row[i] = QVariant::fromValue<qlonglong>(newId);
            ++outcome.movedRows;
        }
    }

    // The old sessions go; the new one comes with the defaults for what the merge leaves out.
    ShopSnapshot::Table& table = expected.tables[QStringLiteral("SESSAOCAIXA")];
    for (const QString& key : outcome.mergedSessions)
        table.rows.remove(key);
    QVector<QVariant> row(table.columns.size());
    for (int c = 0; c < table.columns.size(); ++c) {
        const QString& column = table.columns[c];
        if (column == QLatin1String("TERMINAL"))
            row[c] = QVariant::fromValue<qlonglong>(999);
        else if (column == QLatin1String("IDSESSAO"))
            row[c] = QVariant::fromValue<qlonglong>(newId);
        else if (column == QLatin1String("ABERTURA"))
            row[c] = anyEntry ? QVariant(QDateTime(firstDate, firstTime)) : QVariant();
        else if (column == QLatin1String("FECHAMENTO"))
            row[c] = anyEntry ? QVariant(QDateTime(lastDate, lastTime)) : QVariant();
        else if (column == QLatin1String("TROCOINICIAL"))
            row[c] = OpeningChangeText(input.openingChange);
        else if (column == QLatin1String("OPERADOR"))
            row[c] = QVariant::fromValue<qlonglong>(input.operador);
        else
            row[c] = SessionDefaults().value(column);
    }
    table.rows.insert(outcome.newSession, row);
    return outcome;
}

} // namespace MergeModel
