// The day-end merge when something goes wrong around it: another transaction holding a row the
// merge must change, the server stopped before the merge, the server killed in the middle of a
// long merge. In every case the merge fails with the layer's error and nothing of it is kept.
#include "MergeModel.h"
#include "MergeRunner.h"
#include "PrivateServer.h"
#include "ShopFixture.h"
#include "ShopSnapshot.h"
#include "firebird/EIB_Error.h"
#include "firebird/TIB_Connection.h"
#include "firebird/TIB_Query.h"
#include "firebird/TIB_Transaction.h"
#include "support/TestServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QUuid>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

const QDate kDay(2024, 2, 29);
constexpr qint64 kOperator = 7;
// A dead or stopped server must not keep the merge waiting; this is far above any real answer.
constexpr qint64 kPromptMs = 30000;

QVariant I(qint64 v) {
    return ShopFixture::Int(v);
}

QString differences(const ShopSnapshot& expected, const ShopSnapshot& actual) {
    const QStringList lines = ShopSnapshot::Differences(expected, actual);
    return lines.isEmpty() ? QString()
                           : QStringLiteral("the database is not as it was before the merge:\n  ") +
                                 lines.join(QStringLiteral("\n  "));
}

// An error nobody expected fails the test (and its cleanup stops the private server) instead of
// ending the test program.
#define GUARDED(call)                                                                              \
    do {                                                                                           \
        try {                                                                                      \
            call;                                                                                  \
        } catch (const std::exception& e) {                                                        \
            QFAIL(qPrintable(QStringLiteral("unexpected error: ") + QString::fromUtf8(e.what()))); \
        }                                                                                          \
    } while (false)

#define VERIFY_STATE(expected, actual)                                                             \
    do {                                                                                           \
        const QString diff_ = differences((expected), (actual));                                   \
        QVERIFY2(diff_.isEmpty(), qPrintable(diff_));                                              \
    } while (false)

// Runs an action on another thread after a time unless cancelled first: keeps a test from
// waiting for ever when what it checks does not happen.
class Watchdog {
public:
    Watchdog(std::chrono::milliseconds after, std::function<void()> action)
        : thread_([this, after, action = std::move(action)] {
              std::unique_lock lock(mutex_);
              if (!cancelled_.wait_for(lock, after, [this] { return cancel_; })) {
                  fired_ = true;
                  action();
              }
          }) {}
    ~Watchdog() { Cancel(); }
    // Stops the watch (or waits for its action to end); true when the action ran.
    bool Cancel() {
        {
            std::lock_guard lock(mutex_);
            cancel_ = true;
        }
        cancelled_.notify_all();
        if (thread_.joinable())
            thread_.join();
        return fired_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cancelled_;
    bool cancel_ = false;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

// The day's sessions of the operator, another operator's session that day, and rows of all.
ShopFixture smallDay() {
    ShopFixture f;
    for (qint64 terminal : {1, 2}) {
        f.Session(terminal, 200, QDateTime(kDay, QTime(7 + static_cast<int>(terminal), 0)));
        f.SalesAndCash(terminal, 200);
        f.Caixa(I(terminal), I(200), kDay, QTime(9, 30 + static_cast<int>(terminal)));
    }
    f.Session(3, 200, QDateTime(kDay, QTime(8, 0)), I(kOperator + 1));
    f.SalesAndCash(3, 200);
    f.Caixa(I(3), I(200), kDay, QTime(10, 0));
    return f;
}

void connectTo(TIB_Connection& connection, const PrivateServer& server, const QString& path) {
    connection.SetServer(server.Host());
    connection.SetPath(path);
    connection.SetPassword(server.Password());
    connection.Connect();
}

} // namespace

class tst_MergeFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void uncommittedChangeElsewhere_data();
    void uncommittedChangeElsewhere();
    void serverStopped_data();
    void serverStopped();
    void serverKilledDuringLongMerge();

private:
    void UncommittedChangeElsewhere(const QString& table, qint64 terminal, const QString& change,
                                    bool conflict);
    void ServerStopped(bool afterPrepare, int failingStep);
    void ServerKilledDuringLongMerge();
    // A private server in a folder of its own, and a shop database outside that folder (the
    // server's start wipes its folder).
    void StartPrivateServer();
    QString CreateDatabaseOnPrivateServer(const QString& tag);

    std::unique_ptr<TIB_Connection> shared_; // a database on the run's server
    std::unique_ptr<PrivateServer> server_;
    QString serverDir_;
    QStringList databases_;
};

void tst_MergeFaults::initTestCase() {
    shared_ = std::make_unique<TIB_Connection>();
    TestServer::Point(*shared_, TestServer::CreateShopDatabase("faults"));
    shared_->Connect();
}

void tst_MergeFaults::cleanupTestCase() {
    shared_.reset();
}

void tst_MergeFaults::cleanup() {
    // Also after a failure: no server of ours stays behind.
    server_.reset();
    if (!serverDir_.isEmpty())
        QDir(serverDir_).removeRecursively();
    serverDir_.clear();
    for (const QString& path : std::as_const(databases_))
        QFile::remove(path);
    databases_.clear();
}

void tst_MergeFaults::StartPrivateServer() {
    serverDir_ = TestServer::NewDatabasePath("fbserver").chopped(4); // a folder, not a file
    server_ = std::make_unique<PrivateServer>(serverDir_);
    server_->Start();
}

QString tst_MergeFaults::CreateDatabaseOnPrivateServer(const QString& tag) {
    const QString path = TestServer::NewDatabasePath(tag);
    databases_ << path;
    TIB_Connection connection;
    connection.SetServer(server_->Host());
    connection.SetPath(path);
    connection.SetPassword(server_->Password());
    connection.CreateDatabase();
    TestServer::ExecuteScript(connection, TestServer::ReadFile(TestServer::ShopSchemaPath()));
    connection.Close();
    return path;
}

void tst_MergeFaults::uncommittedChangeElsewhere_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<qint64>("terminal"); // the session whose row the other transaction holds
    QTest::addColumn<QString>("change");  // "SET ..." or "DELETE"
    QTest::addColumn<bool>("conflict");

    QTest::newRow("sale of the day") << "VENDAS" << qint64(1) << "SET CANCELADA = 'N'" << true;
    QTest::newRow("sale of the day, deleted") << "VENDAS" << qint64(2) << "DELETE" << true;
    QTest::newRow("cash-book entry of the day")
        << "CAIXA" << qint64(2) << "SET HISTORICO = 'estorno'" << true;
    QTest::newRow("top-up of the day") << "REFORCO" << qint64(1) << "SET MOTIVO = 'troco'" << true;
    QTest::newRow("the day's session")
        << "SESSAOCAIXA" << qint64(2) << "SET OBSERVACAO = 'conferido'" << true;
    QTest::newRow("sale of another operator's session")
        << "VENDAS" << qint64(3) << "SET CANCELADA = 'N'" << false;
}

void tst_MergeFaults::uncommittedChangeElsewhere() {
    QFETCH(QString, table);
    QFETCH(qint64, terminal);
    QFETCH(QString, change);
    QFETCH(bool, conflict);
    GUARDED(UncommittedChangeElsewhere(table, terminal, change, conflict));
}

void tst_MergeFaults::UncommittedChangeElsewhere(const QString& table, qint64 terminal,
                                                 const QString& change, bool conflict) {
    TIB_Connection& connection = *shared_;
    ShopFixture::Write(connection, smallDay().State());
    const ShopSnapshot before = ShopSnapshot::Read(connection);
    const bool session = table == QLatin1String("SESSAOCAIXA");
    const QString key = session ? ShopSnapshot::SessionKey(terminal, 200)
                                : before.KeysAt(table, terminal, 200).value(0);
    QVERIFY(!key.isEmpty());
    const QString where = session ? QStringLiteral("TERMINAL = %1 AND IDSESSAO = 200").arg(terminal)
                                  : QStringLiteral("ID = %1").arg(key);

    // Another program holds a change of that row, not committed.
    TIB_Connection other;
    other.SetServer(connection.Server());
    other.SetPath(connection.Path());
    other.SetPassword(connection.Password());
    other.Connect();
    TIB_Transaction otherTransaction;
    otherTransaction.SetIB_Connection(&other);
    otherTransaction.StartTransaction();
    TIB_Query otherChange;
    otherChange.SetIB_Connection(&other);
    otherChange.SetIB_Transaction(&otherTransaction);
    otherChange.SetSQL(change == QLatin1String("DELETE")
                           ? QStringLiteral("DELETE FROM %1 WHERE %2").arg(table, where)
                           : QStringLiteral("UPDATE %1 %2 WHERE %3").arg(table, change, where));
    otherChange.ExecSQL();

    MergeRunner runner(connection);
    QString error;
    MergeRunner::Step failedAt = MergeRunner::Step::None;
    {
        // Were the merge to wait for the other transaction, ending that one lets it go on, and
        // the test fails instead of hanging.
        Watchdog dog(std::chrono::milliseconds(kPromptMs), [&] { otherTransaction.Rollback(); });
        try {
            runner.Run(kDay, kOperator, 100000);
        } catch (const EIB_Error& e) {
            error = e.Message();
            failedAt = runner.FailedStep();
        }
        QVERIFY2(!dog.Cancel(), "the merge waited for the other transaction");
    }

    if (!conflict) {
        QVERIFY2(error.isEmpty(), qPrintable(error));
        otherTransaction.Commit();
        // Both changes stay: the merge's and the other transaction's.
        ShopSnapshot expected = MergeModel::Apply(before, {kDay, kOperator, 100000}).expected;
        const QRegularExpressionMatch set =
            QRegularExpression(QStringLiteral("^SET (\\w+) = '(.*)'$")).match(change);
        QVERIFY(set.hasMatch());
        expected.SetValue(table, key, set.captured(1), set.captured(2));
        VERIFY_STATE(expected, ShopSnapshot::Read(connection));
        return;
    }

    QCOMPARE(MergeRunner::StepName(failedAt), MergeRunner::StepName(MergeRunner::Step::Execute));
    QVERIFY2(error.startsWith(QLatin1String("ISC ERROR CODE:335544336\n\nISC ERROR MESSAGE:\n"
                                            "deadlock\nupdate conflicts with concurrent update\n"
                                            "concurrent transaction number is ")),
             qPrintable(error));
    // Nothing of the failed statement stays, even when its transaction is committed after it.
    QVERIFY(runner.Transaction().Started());
    runner.Transaction().Commit();
    otherTransaction.Rollback();
    ShopSnapshot expected = before;
    expected.generator += 1; // stepped before the conflict, outside transaction control
    VERIFY_STATE(expected, ShopSnapshot::Read(connection));
}

void tst_MergeFaults::serverStopped_data() {
    QTest::addColumn<bool>("afterPrepare"); // stopped once the statement is prepared and bound
    QTest::addColumn<int>("failingStep");
    QTest::newRow("before the merge") << false << static_cast<int>(MergeRunner::Step::Start);
    QTest::newRow("between prepare and execution")
        << true << static_cast<int>(MergeRunner::Step::Execute);
}

void tst_MergeFaults::serverStopped() {
    QFETCH(bool, afterPrepare);
    QFETCH(int, failingStep);
    GUARDED(ServerStopped(afterPrepare, failingStep));
}

void tst_MergeFaults::ServerStopped(bool afterPrepare, int failingStep) {
    StartPrivateServer();
    const QString path = CreateDatabaseOnPrivateServer("faults-stopped");
    ShopSnapshot before;
    {
        TIB_Connection connection;
        connectTo(connection, *server_, path);
        ShopFixture::Write(connection, smallDay().State());
        before = ShopSnapshot::Read(connection);

        MergeRunner runner(connection);
        if (afterPrepare)
            runner.beforeExecute = [&] { server_->Stop(); };
        else
            server_->Stop();
        QElapsedTimer timer;
        timer.start();
        try {
            runner.Run(kDay, kOperator, 100000);
            QFAIL("the merge went through with the server stopped");
        } catch (const EIB_Error& e) {
            QCOMPARE(MergeRunner::StepName(runner.FailedStep()),
                     MergeRunner::StepName(static_cast<MergeRunner::Step>(failingStep)));
            QVERIFY2(e.FromServer(), qPrintable(e.Message()));
            QVERIFY2(e.Message().startsWith(QLatin1String("ISC ERROR CODE:")),
                     qPrintable(e.Message()));
        }
        QVERIFY(!server_->Running());
        QVERIFY2(timer.elapsed() < kPromptMs, "the merge kept waiting for a stopped server");
        // The runner and the connection go here, with the server gone.
    }

    server_->Start();
    TIB_Connection connection;
    connectTo(connection, *server_, path);
    VERIFY_STATE(before, ShopSnapshot::Read(connection));
}

void tst_MergeFaults::serverKilledDuringLongMerge() {
    GUARDED(ServerKilledDuringLongMerge());
}

void tst_MergeFaults::ServerKilledDuringLongMerge() {
    StartPrivateServer();
    const QString path = CreateDatabaseOnPrivateServer("faults-killed");
    constexpr int kSales = 300000;
    ShopSnapshot before;
    {
        TIB_Connection connection;
        connectTo(connection, *server_, path);
        ShopFixture f = smallDay();
        for (qint64 terminal : {4, 5})
            f.Session(terminal, 200, QDateTime(kDay, QTime(12, 0)));
        ShopFixture::Write(connection, f.State());
        // A large day: many sales on the day's sessions, a few on another operator's.
        TestServer::ExecuteStatement(
            connection,
            QStringLiteral(
                "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN\n"
                "  WHILE (I < %1) DO BEGIN\n"
                "    INSERT INTO VENDAS (ID, TERMINAL, IDSESSAO, DATAVENDA, TOTAL, CANCELADA)\n"
                "    VALUES (100000 + :I, CASE WHEN MOD(:I, 100) = 0 THEN 3 ELSE CASE MOD(:I, 4)\n"
                "            WHEN 0 THEN 1 WHEN 1 THEN 2 WHEN 2 THEN 4 ELSE 5 END END, 200,\n"
                "            DATEADD(MOD(:I, 50000) SECOND TO TIMESTAMP '2024-02-29 08:00:00'),\n"
                "            MOD(:I, 99999) * 0.01, IIF(MOD(:I, 7) = 0, 'S', 'N'));\n"
                "    I = I + 1;\n"
                "  END\n"
                "END")
                .arg(kSales));
        before = ShopSnapshot::Read(connection);
    }
    QVERIFY(before.tables[QStringLiteral("VENDAS")].rows.size() > kSales);
    const QString host = server_->Host();

    // Once the merge runs on the server, let it work a while, then kill the server.
    std::atomic<bool> seenRunning{false};
    std::atomic<bool> killed{false};
    std::atomic<qint64> seenAt{-1}, killedAt{-1};
    QElapsedTimer timer;
    timer.start();
    std::jthread killer([&] {
        try {
            TIB_Connection monitor;
            monitor.SetServer(host);
            monitor.SetPath(path);
            monitor.SetPassword(QStringLiteral("quince"));
            monitor.Connect();
            QElapsedTimer waited;
            waited.start();
            while (!seenRunning && waited.elapsed() < kPromptMs) {
                seenRunning =
                    TestServer::Scalar(monitor,
                                       QStringLiteral("SELECT COUNT(*) FROM MON$STATEMENTS WHERE "
                                                      "MON$STATE = 1 AND MON$ATTACHMENT_ID <> "
                                                      "CURRENT_CONNECTION AND MON$SQL_TEXT "
                                                      "STARTING WITH 'EXECUTE BLOCK'"))
                        .toLongLong() > 0;
                if (!seenRunning)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            monitor.Close();
        } catch (const EIB_Error&) {
        }
        seenAt = timer.elapsed();
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the fault's moment
        server_->SendKill();
        killedAt = timer.elapsed();
        killed = true;
    });

    QString error;
    MergeRunner::Step failedAt = MergeRunner::Step::None;
    {
        TIB_Connection connection;
        connectTo(connection, *server_, path);
        MergeRunner runner(connection);
        try {
            runner.Run(kDay, kOperator, 100000);
        } catch (const EIB_Error& e) {
            error = e.Message();
            failedAt = runner.FailedStep();
        }
    }
    const qint64 elapsed = timer.elapsed();
    killer.join(); // (also joined when the test leaves early)
    qInfo("merge seen running after %lld ms, server killed after %lld ms, merge failed after "
          "%lld ms",
          seenAt.load(), killedAt.load(), elapsed);
    QVERIFY(killed);
    QVERIFY2(seenRunning, "the merge was never seen running on the server");
    QVERIFY2(!error.isEmpty(), qPrintable(QStringLiteral("the merge of %1 sales went through in "
                                                         "%2 ms, before the server was killed")
                                              .arg(kSales)
                                              .arg(elapsed)));
    QCOMPARE(MergeRunner::StepName(failedAt), MergeRunner::StepName(MergeRunner::Step::Execute));
    QVERIFY2(error.startsWith(QLatin1String("ISC ERROR CODE:")), qPrintable(error));
    QVERIFY2(elapsed < kPromptMs, "the merge kept waiting for a dead server");
    server_->Kill(); // already dead: waits until it has gone

    // Restarted on the same database: nothing of the merge was committed.
    server_->Start();
    TIB_Connection connection;
    connectTo(connection, *server_, path);
    const ShopSnapshot after = ShopSnapshot::Read(connection);
    ShopSnapshot expected = before;
    // The generator step is not transactional, and it may or may not have reached the disk.
    QVERIFY2(
        after.generator == before.generator || after.generator == before.generator + 1,
        qPrintable(
            QStringLiteral("generator %1, %2 before").arg(after.generator).arg(before.generator)));
    expected.generator = after.generator;
    VERIFY_STATE(expected, after);
}

QTEST_GUILESS_MAIN(tst_MergeFaults)
#include "tst_MergeFaults.moc"
