// The day-end merge over many random shop-database states, each compared with what a model of
// the merge written here in C++ says it should leave: every row and column, the new session and
// the generator.
//   VOSTRALO_CONSERVATION_STATES  number of states (default 200)
//   VOSTRALO_CONSERVATION_SEED    seed of the run (default fixed; printed, so a failure replays)
#include "MergeModel.h"
#include "MergeRunner.h"
#include "ShopFixture.h"
#include "ShopSnapshot.h"
#include "firebird/EIB_Error.h"
#include "firebird/TIB_Connection.h"
#include "support/TestServer.h"

#include <QElapsedTimer>
#include <QtTest>
#include <random>

namespace {

constexpr quint64 kDefaultSeed = 20240229;
constexpr int kDefaultStates = 200;

QVariant I(qint64 v) {
    return ShopFixture::Int(v);
}

// One random shop state and a merge to run on it. The same seed, state index and generator
// value give the same state.
class RandomState {
public:
    RandomState(quint64 seed, int index, qint64 generator)
        : generator_(generator), collision_(generator + 10001) {
        std::seed_seq seq{static_cast<quint32>(seed), static_cast<quint32>(seed >> 32),
                          static_cast<quint32>(index)};
        rng_.seed(seq);
        Make();
    }

    const ShopSnapshot& State() const { return fixture_.State(); }
    const MergeModel::Input& Input() const { return input_; }

private:
    int Below(int n) { return static_cast<int>(rng_() % static_cast<quint64>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }
    QTime AnyTime() {
        if (Chance(8))
            return QTime(0, 0);
        if (Chance(8))
            return QTime(23, 59, 59, 999);
        return QTime::fromMSecsSinceStartOfDay(Below(86400000));
    }

    void Make() {
        const QDate day = QDate(2023, 1, 1).addDays(Below(800));
        const QDate days[3] = {day.addDays(-1), day, day.addDays(1)};
        const QVariant operators[6] = {I(1), I(2), I(3), I(1), I(0), QVariant()};

        // Sessions with unique keys. On terminal 999 the ids of earlier merges, never the one
        // this merge will give; elsewhere that id may well occur.
        struct Key {
            qint64 terminal, id;
            QVariant opened; // QDateTime or NULL
        };
        QList<Key> sessions;
        const int nSessions = Below(13);
        while (sessions.size() < nSessions) {
            const qint64 terminal = Chance(25) ? 999 : 1 + Below(4);
            qint64 id;
            if (terminal == 999)
                id = generator_ > 0 && Chance(70) ? 10001 + Below(static_cast<int>(generator_))
                                                  : 1 + Below(9000);
            else // terminals number their sessions each on its own: the same ids recur
                id = Chance(10) ? collision_ : Chance(40) ? 1 + Below(30) : 1 + Below(40000);
            if (terminal == 999 && id == collision_)
                continue;
            const bool taken = std::any_of(sessions.cbegin(), sessions.cend(), [&](const Key& k) {
                return k.terminal == terminal && k.id == id;
            });
            if (taken)
                continue;
            const QVariant opened =
                Chance(8) ? QVariant() : QVariant(QDateTime(days[Below(3)], AnyTime()));
            fixture_.Session(terminal, id, opened.toDateTime(), operators[Below(6)]);
            sessions << Key{terminal, id, opened};
        }

        // Rows of the six tables: mostly at a session of the state, some at no session (among
        // them the key the merge will give), some with half a key.
        for (const QString& table : ShopSnapshot::RowTableNames()) {
            const int n = Below(16);
            for (int r = 0; r < n; ++r) {
                QVariant terminal, id;
                QDate base = days[Below(3)];
                const int where = Below(100);
                if (where < 75 && !sessions.isEmpty()) {
                    const Key& k = sessions[Below(static_cast<int>(sessions.size()))];
                    terminal = I(k.terminal);
                    id = I(k.id);
                    if (!k.opened.isNull())
                        base = k.opened.toDateTime().date();
                } else if (where < 85) {
                    terminal = I(Chance(20) ? 999 : 1 + Below(4));
                    id = I(Chance(50) ? 1 + Below(30) : 1 + Below(40000));
                } else if (where < 90) {
                    terminal = I(999);
                    id = I(collision_);
                } else if (where < 95) {
                    id = I(1 + Below(40000));
                } else {
                    terminal = I(1 + Below(4));
                }
                if (table != QLatin1String("CAIXA")) {
                    fixture_.Row(table, terminal, id);
                    continue;
                }
                // Cash-book entries of the session's day, some after midnight or the day
                // before, some without a date or a time.
                const int shift = Chance(15) ? 1 : Chance(5) ? -1 : 0;
                const QDate date = Chance(8) ? QDate() : base.addDays(shift);
                const QTime time = Chance(8) ? QTime() : AnyTime();
                fixture_.Caixa(terminal, id, date, time);
            }
        }

        // The merge: often the day and operator of one of the sessions, else any day and
        // operator around, sometimes a day or an operator without sessions.
        input_.date = Chance(90) ? days[Below(3)] : day.addDays(10);
        input_.operador = Chance(90) ? 1 + Below(3) : 4;
        if (!sessions.isEmpty() && Chance(50)) {
            const Key& k = sessions[Below(static_cast<int>(sessions.size()))];
            const QVariant& op = fixture_.State().Value(QStringLiteral("SESSAOCAIXA"),
                                                        ShopSnapshot::SessionKey(k.terminal, k.id),
                                                        QStringLiteral("OPERADOR"));
            if (!k.opened.isNull() && !op.isNull() && op.toLongLong() != 0) {
                input_.date = k.opened.toDateTime().date();
                input_.operador = op.toLongLong();
            }
        }
        const qint64 whole = Below(1000000);
        const int cents = Below(10000);
        input_.openingChange = Chance(5)    ? 0
                               : Chance(15) ? whole * 10000 + (cents / 100) * 100 + 50
                                            : whole * 10000 + cents;
    }

    std::mt19937_64 rng_;
    qint64 generator_;
    qint64 collision_;
    ShopFixture fixture_;
    MergeModel::Input input_;
};

quint64 environmentNumber(const char* name, quint64 fallback) {
    const QByteArray text = qgetenv(name);
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const quint64 value = text.toULongLong(&ok);
    if (!ok)
        qFatal("%s is not a number: %s", name, text.constData());
    return value;
}

QString describeInput(const MergeModel::Input& input) {
    return QStringLiteral("DATA=%1 OPERADOR=%2 TROCOINICIAL=%3 (ten-thousandths)")
        .arg(input.date.toString(Qt::ISODate))
        .arg(input.operador)
        .arg(input.openingChange);
}

} // namespace

class tst_MergeConservation : public QObject {
    Q_OBJECT
private slots:
    void randomStates();
};

void tst_MergeConservation::randomStates() {
    const quint64 seed = environmentNumber("VOSTRALO_CONSERVATION_SEED", kDefaultSeed);
    const int states =
        static_cast<int>(environmentNumber("VOSTRALO_CONSERVATION_STATES", kDefaultStates));
    qInfo("seed %llu, %d states (replay with VOSTRALO_CONSERVATION_SEED=%llu)", seed, states, seed);

    // One database for the whole run: each state empties the tables and writes its rows.
    TIB_Connection connection;
    TestServer::Point(connection, TestServer::CreateShopDatabase("conservation"));
    connection.Connect();
    MergeRunner runner(connection);

    QElapsedTimer total, phase;
    total.start();
    qint64 writeMs = 0, readMs = 0, mergeMs = 0, movedRows = 0, rows = 0;
    int matched = 0;
    qint64 generator = ShopSnapshot::ReadGenerator(connection);
    for (int i = 0; i < states; ++i) {
        const RandomState random(seed, i, generator);
        const MergeModel::Input& input = random.Input();
        const QString where = QStringLiteral("seed %1, state %2, merge of %3")
                                  .arg(seed)
                                  .arg(i)
                                  .arg(describeInput(input));

        phase.start();
        ShopFixture::Write(connection, random.State());
        writeMs += phase.restart();
        const ShopSnapshot before = ShopSnapshot::Read(connection);
        readMs += phase.restart();
        {
            ShopSnapshot written = random.State();
            written.generator = generator;
            const QStringList diff = ShopSnapshot::Differences(written, before);
            QVERIFY2(diff.isEmpty(), qPrintable(where +
                                                QStringLiteral(": the state read back "
                                                               "is not the one written:\n  ") +
                                                diff.join(QStringLiteral("\n  "))));
        }

        phase.start();
        try {
            runner.Run(input.date, static_cast<int>(input.operador), input.openingChange);
        } catch (const EIB_Error& e) {
            QFAIL(qPrintable(where +
                             QStringLiteral(": the merge failed at %1: %2")
                                 .arg(MergeRunner::StepName(runner.FailedStep()), e.Message())));
        }
        mergeMs += phase.restart();
        const ShopSnapshot after = ShopSnapshot::Read(connection);
        readMs += phase.restart();

        const MergeModel::Outcome outcome = MergeModel::Apply(before, input);
        const bool merged = !outcome.mergedSessions.isEmpty();
        const QString context =
            where + QStringLiteral("; the day's sessions: %1")
                        .arg(merged ? outcome.mergedSessions.join(QStringLiteral(", "))
                                    : QStringLiteral("none"));

        // The counts first, for a short message when they are off.
        for (const QString& table : ShopSnapshot::TableNames()) {
            qsizetype expectedCount = before.tables[table].rows.size();
            if (table == QLatin1String("SESSAOCAIXA") && merged)
                expectedCount += 1 - outcome.mergedSessions.size();
            QVERIFY2(after.tables[table].rows.size() == expectedCount,
                     qPrintable(context + QStringLiteral(": %1 has %2 rows, expected %3")
                                              .arg(table)
                                              .arg(after.tables[table].rows.size())
                                              .arg(expectedCount)));
        }
        QVERIFY2(after.generator == before.generator + (merged ? 1 : 0),
                 qPrintable(context + QStringLiteral(": generator %1 after the merge, %2 before")
                                          .arg(after.generator)
                                          .arg(before.generator)));
        const QStringList diff = ShopSnapshot::Differences(outcome.expected, after);
        QVERIFY2(diff.isEmpty(),
                 qPrintable(context + QStringLiteral(":\n  ") + diff.join(QStringLiteral("\n  "))));

        matched += merged ? 1 : 0;
        movedRows += outcome.movedRows;
        rows += before.RowCount();
        generator = after.generator;
    }
    const qint64 elapsed = total.elapsed();
    qInfo("%d states in %lld ms (writing %lld, reading %lld, merging %lld): %d merged sessions, "
          "%d found none; %lld rows in all, %lld moved",
          states, elapsed, writeMs, readMs, mergeMs, matched, states - matched, rows, movedRows);
    // A run in which the states never (or always) hold the day's sessions proves little.
    if (states >= 50) {
        QVERIFY2(matched >= states / 4,
                 qPrintable(QStringLiteral("only %1 merges found sessions").arg(matched)));
        QVERIFY2(states - matched >= states / 10,
                 qPrintable(QStringLiteral("only %1 merges found none").arg(states - matched)));
    }
}

QTEST_GUILESS_MAIN(tst_MergeConservation)
#include "tst_MergeConservation.moc"
