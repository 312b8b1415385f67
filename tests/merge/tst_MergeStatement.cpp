// The day-end merge statement on a real server: what the server receives, and what one merge
// makes of small hand-made shop databases, run the way the program runs it.
#include "MergeRunner.h"
#include "ShopFixture.h"
#include "ShopSnapshot.h"
#include "firebird/EIB_Error.h"
#include "firebird/IB_Status.h"
#include "firebird/TIB_Connection.h"
#include "merge/MergeStatement.h"
#include "support/TestServer.h"

#include <QtTest>
#include <memory>

namespace {

const QDate kDay(2024, 2, 29);
constexpr qint64 kOperator = 7;

QVariant I(qint64 v) {
    return ShopFixture::Int(v);
}
QDateTime at(const QDate& day, int h, int m, int s = 0, int ms = 0) {
    return QDateTime(day, QTime(h, m, s, ms));
}

// A fresh shop database and a connection to it.
struct Shop {
    QString path;
    TIB_Connection connection;
    explicit Shop(const QString& tag) : path(TestServer::CreateShopDatabase(tag)) {
        TestServer::Point(connection, path);
        connection.Connect();
    }
    ShopSnapshot Read() { return ShopSnapshot::Read(connection); }
};

QString differences(const ShopSnapshot& expected, const ShopSnapshot& actual) {
    const QStringList lines = ShopSnapshot::Differences(expected, actual);
    return lines.isEmpty()
               ? QString()
               : QStringLiteral("the database is not as expected after the merge:\n  ") +
                     lines.join(QStringLiteral("\n  "));
}

#define VERIFY_STATE(expected, actual)                                                             \
    do {                                                                                           \
        const QString diff_ = differences((expected), (actual));                                   \
        QVERIFY2(diff_.isEmpty(), qPrintable(diff_));                                              \
    } while (false)

// Runs one merge the program's way; a failure fails the test with the layer's message.
#define MERGE(shop, date, operador, amount)                                                        \
    do {                                                                                           \
        MergeRunner runner_((shop).connection);                                                    \
        try {                                                                                      \
            runner_.Run((date), (operador), (amount));                                             \
        } catch (const EIB_Error& e) {                                                             \
            QFAIL(qPrintable(QStringLiteral("the merge failed at %1: %2")                          \
                                 .arg(MergeRunner::StepName(runner_.FailedStep()), e.Message()))); \
        }                                                                                          \
    } while (false)

// The session row the merge should store: what it names, and the defaults of the rest.
void addMergedSession(ShopSnapshot& s, qint64 id, const QVariant& opened, const QVariant& closed,
                      const QString& openingChange, qint64 operador = kOperator) {
    ShopSnapshot::Table& t = s.tables[QStringLiteral("SESSAOCAIXA")];
    const QMap<QString, QVariant> values{
        {"TERMINAL", I(999)},
        {"IDSESSAO", I(id)},
        {"ABERTURA", opened},
        {"FECHAMENTO", closed},
        {"TROCOINICIAL", openingChange},
        {"OPERADOR", I(operador)},
        {"SITUACAO", QStringLiteral("F")},
        {"TOTALVENDAS", QStringLiteral("0.00")},
        {"OBSERVACAO", QStringLiteral("")},
    };
    QVector<QVariant> row;
    for (const QString& column : t.columns) {
        if (!values.contains(column))
            qFatal("no expected value for SESSAOCAIXA.%s", qPrintable(column));
        row << values[column];
    }
    t.rows.insert(ShopSnapshot::SessionKey(999, id), row);
}

// Moves, in the expectation, every row of the listed sessions to (999, id) and drops the
// sessions; returns how many rows moved.
int moveSessions(ShopSnapshot& s, const QList<QPair<qint64, qint64>>& sessions, qint64 id) {
    int moved = 0;
    for (const auto& [terminal, old] : sessions) {
        for (const QString& table : ShopSnapshot::RowTableNames()) {
            const QStringList keys = s.KeysAt(table, terminal, old);
            s.Rekey(table, keys, 999, id);
            moved += static_cast<int>(keys.size());
        }
        if (!s.tables[QStringLiteral("SESSAOCAIXA")].rows.remove(
                ShopSnapshot::SessionKey(terminal, old)))
            qFatal("no session %lld/%lld to move", terminal, old);
    }
    return moved;
}

// "0 09:10" is 09:10 on the merge day, "1 00:30" the next day, "-1 23:50" the day before;
// "-" stands for NULL in either part.
QPair<QDate, QTime> parseEntry(const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char(' '));
    const QDate date =
        parts.value(0) == QLatin1String("-") ? QDate() : kDay.addDays(parts.value(0).toInt());
    const QString t = parts.value(1);
    const QTime time =
        t == QLatin1String("-")
            ? QTime()
            : QTime::fromString(t, t.contains(QLatin1Char('.'))     ? QStringLiteral("HH:mm:ss.zzz")
                                   : t.count(QLatin1Char(':')) == 2 ? QStringLiteral("HH:mm:ss")
                                                                    : QStringLiteral("HH:mm"));
    return {date, time};
}

QVariant parseTimestamp(const QString& text) {
    if (text == QLatin1String("NULL"))
        return QVariant();
    const auto [date, time] = parseEntry(text);
    return QDateTime(date, time);
}

} // namespace

class tst_MergeStatement : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void serverReceivesPositionalMarkers();
    void noSessionOnTheDayChangesNothing();
    void singleSessionIsRekeyed();
    void severalTerminalsEndAsOne();
    void emptyCashBookGivesNoTimes();
    void sameDayTwiceLeavesOneSession();
    void openingAndClosingTimes_data();
    void openingAndClosingTimes();
    void otherSessionsAndTheirRowsUntouched();
    void openingChange_data();
    void openingChange();
    void serverErrorChangesNothing_data();
    void serverErrorChangesNothing();

private:
    // One database for the cases that leave the schema alone: each writes its own state, and
    // counts from the generator's value as it finds it.
    std::unique_ptr<Shop> shared_;
};

void tst_MergeStatement::initTestCase() {
    shared_ = std::make_unique<Shop>("stmt");
}

void tst_MergeStatement::cleanupTestCase() {
    shared_.reset();
}

void tst_MergeStatement::serverReceivesPositionalMarkers() {
    const QStringList lines = MergeStatement::Lines();
    QCOMPARE(lines.size(), 48);
    QCOMPARE(MergeStatement::Text(), lines.join(QLatin1Char('\n')));

    // Only the three header placeholders become markers; the body goes as it stands.
    QStringList expected = lines;
    const QStringList names{"DATA", "OPERADOR", "TROCOINICIAL"};
    for (int i = 0; i < 3; ++i) {
        const QString placeholder = QLatin1Char(':') + names[i];
        QCOMPARE(expected[i].count(placeholder), 1);
        expected[i].replace(placeholder, QStringLiteral("?"));
    }
    Shop& shop = *shared_;
    MergeRunner runner(shop.connection);
    TIB_Query& q = runner.Query();
    QCOMPARE(q.SQL(), MergeStatement::Text());
    QCOMPARE(q.ServerSQL(), expected.join(QLatin1Char('\n')));
    QCOMPARE(q.ParamNames(), names);

    // The server takes it with exactly three inputs: a date, an integer, a two-decimal numeric.
    runner.Transaction().StartTransaction();
    q.Prepare();
    QVERIFY(q.Prepared());
    const QByteArray text = q.ServerSQL().toLatin1();
    IB_StatusHolder status;
    Firebird::IStatement* statement = shop.connection.Attachment()->prepare(
        status.get(), runner.Transaction().Handle(), static_cast<unsigned>(text.size()),
        text.constData(), 3, Firebird::IStatement::PREPARE_PREFETCH_METADATA);
    Firebird::IMessageMetadata* in = statement->getInputMetadata(status.get());
    Firebird::IMessageMetadata* out = statement->getOutputMetadata(status.get());
    const unsigned inputs = in->getCount(status.get());
    QList<unsigned> types;
    QList<int> scales;
    for (unsigned i = 0; i < inputs; ++i) {
        types << (in->getType(status.get(), i) & ~1u);
        scales << in->getScale(status.get(), i);
    }
    const unsigned outputs = out->getCount(status.get());
    in->release();
    out->release();
    statement->free(status.get());
    QCOMPARE(inputs, 3u);
    QCOMPARE(types, (QList<unsigned>{570u /* DATE */, 496u /* INTEGER */, 580u /* BIGINT */}));
    QCOMPARE(scales, (QList<int>{0, 0, -2}));
    QCOMPARE(outputs, 0u);
    runner.Transaction().Rollback();
}

void tst_MergeStatement::noSessionOnTheDayChangesNothing() {
    Shop& shop = *shared_;
    ShopFixture f;
    f.SalesAndCash(1, 1);
    f.Session(1, 1, at(kDay.addDays(-1), 8, 0));
    f.Caixa(I(1), I(1), kDay.addDays(-1), QTime(9, 0));
    f.Session(2, 1, at(kDay.addDays(1), 8, 0));
    f.Caixa(I(2), I(1), kDay.addDays(1), QTime(9, 0));
    f.Session(3, 1, at(kDay, 8, 0), I(kOperator + 1));
    f.Caixa(I(3), I(1), kDay, QTime(9, 0));
    f.Session(4, 1, QDateTime(), I(kOperator));
    f.Session(5, 1, at(kDay, 8, 0), QVariant());
    ShopFixture::Write(shop.connection, f.State());
    ShopFixture::StepGenerator(shop.connection, 5);
    const ShopSnapshot before = shop.Read();

    MERGE(shop, kDay, kOperator, 1000000);
    VERIFY_STATE(before, shop.Read());
}

void tst_MergeStatement::singleSessionIsRekeyed() {
    Shop& shop = *shared_;
    ShopFixture f;
    f.Session(3, 120, at(kDay, 8, 0));
    f.SalesAndCash(3, 120);
    f.Caixa(I(3), I(120), kDay, QTime(18, 20));
    f.Caixa(I(3), I(120), kDay, QTime(9, 10));
    ShopFixture::Write(shop.connection, f.State());
    ShopFixture::StepGenerator(shop.connection, 41);
    const ShopSnapshot before = shop.Read();
    const qint64 id = before.generator + 1 + 10000;

    MERGE(shop, kDay, kOperator, 1500000);
    ShopSnapshot expected = before;
    expected.generator += 1;
    QCOMPARE(moveSessions(expected, {{3, 120}}, id), 7);
    addMergedSession(expected, id, at(kDay, 9, 10), at(kDay, 18, 20), "150.00");
    VERIFY_STATE(expected, shop.Read());
}

void tst_MergeStatement::severalTerminalsEndAsOne() {
    Shop& shop = *shared_;
    const qint64 g = ShopSnapshot::ReadGenerator(shop.connection);
    ShopFixture f;
    // A session merged earlier that day (terminal 999) is taken in with the others.
    f.Session(999, g + 10000, at(kDay, 5, 0));
    f.Caixa(I(999), I(g + 10000), kDay, QTime(5, 30));
    f.SalesAndCash(999, g + 10000);
    f.Session(1, 50, at(kDay, 6, 0));
    f.SalesAndCash(1, 50);
    f.Caixa(I(1), I(50), kDay, QTime(6, 15));
    f.Session(2, 50, at(kDay, 7, 0));
    f.SalesAndCash(2, 50);
    f.SalesAndCash(2, 50);
    f.Caixa(I(2), I(50), kDay, QTime(21, 5));
    ShopFixture::Write(shop.connection, f.State());
    const ShopSnapshot before = shop.Read();
    QCOMPARE(before.generator, g);

    MERGE(shop, kDay, kOperator, 2000000);
    ShopSnapshot expected = before;
    expected.generator = g + 1;
    QCOMPARE(moveSessions(expected, {{999, g + 10000}, {1, 50}, {2, 50}}, g + 10001), 23);
    addMergedSession(expected, g + 10001, at(kDay, 5, 30), at(kDay, 21, 5), "200.00");
    VERIFY_STATE(expected, shop.Read());
}

void tst_MergeStatement::emptyCashBookGivesNoTimes() {
    Shop& shop = *shared_;
    ShopFixture f;
    f.Session(1, 60, at(kDay, 8, 0));
    f.SalesAndCash(1, 60);
    f.Session(2, 61, at(kDay, 9, 0));
    f.SalesAndCash(2, 61);
    // entries of another operator's session that day do not count
    f.Session(3, 62, at(kDay, 7, 0), I(kOperator + 1));
    f.Caixa(I(3), I(62), kDay, QTime(7, 5));
    ShopFixture::Write(shop.connection, f.State());
    const ShopSnapshot before = shop.Read();

    const qint64 id = before.generator + 10001;
    MERGE(shop, kDay, kOperator, 0);
    ShopSnapshot expected = before;
    expected.generator += 1;
    QCOMPARE(moveSessions(expected, {{1, 60}, {2, 61}}, id), 10);
    addMergedSession(expected, id, QVariant(), QVariant(), "0.00");
    const ShopSnapshot merged = shop.Read();
    VERIFY_STATE(expected, merged);

    // Opened at no time, the merged session belongs to no day: merging again changes nothing.
    MERGE(shop, kDay, kOperator, 0);
    VERIFY_STATE(merged, shop.Read());
}

void tst_MergeStatement::sameDayTwiceLeavesOneSession() {
    Shop& shop = *shared_;
    ShopFixture f;
    f.Session(1, 70, at(kDay, 8, 0));
    f.SalesAndCash(1, 70);
    f.Caixa(I(1), I(70), kDay, QTime(8, 30));
    f.Session(2, 71, at(kDay, 9, 0));
    f.SalesAndCash(2, 71);
    f.Caixa(I(2), I(71), kDay, QTime(12, 0));
    ShopFixture::Write(shop.connection, f.State());
    const ShopSnapshot before = shop.Read();

    const qint64 g = before.generator;
    MERGE(shop, kDay, kOperator, 100000);
    ShopSnapshot expected = before;
    expected.generator = g + 1;
    QCOMPARE(moveSessions(expected, {{1, 70}, {2, 71}}, g + 10001), 12);
    addMergedSession(expected, g + 10001, at(kDay, 8, 30), at(kDay, 12, 0), "10.00");
    VERIFY_STATE(expected, shop.Read());

    // Again, with nothing new: the merged session is merged into a newer one.
    MERGE(shop, kDay, kOperator, 200000);
    expected.generator = g + 2;
    QCOMPARE(moveSessions(expected, {{999, g + 10001}}, g + 10002), 12);
    addMergedSession(expected, g + 10002, at(kDay, 8, 30), at(kDay, 12, 0), "20.00");
    VERIFY_STATE(expected, shop.Read());

    // A terminal opened later that day: the third merge still leaves one session.
    ShopFixture later(shop.Read());
    later.Session(3, 72, at(kDay, 19, 0));
    later.Caixa(I(3), I(72), kDay, QTime(7, 45));
    later.Caixa(I(3), I(72), kDay, QTime(23, 10));
    later.SalesAndCash(3, 72);
    const ShopSnapshot& withLater = later.State();
    ShopFixture::Write(shop.connection, withLater);
    QCOMPARE(shop.Read().generator, g + 2);
    MERGE(shop, kDay, kOperator, 300000);
    expected = withLater;
    expected.generator = g + 3;
    QCOMPARE(moveSessions(expected, {{999, g + 10002}, {3, 72}}, g + 10003), 19);
    addMergedSession(expected, g + 10003, at(kDay, 7, 45), at(kDay, 23, 10), "30.00");
    const ShopSnapshot after = shop.Read();
    VERIFY_STATE(expected, after);
    QCOMPARE(after.tables[QStringLiteral("SESSAOCAIXA")].rows.keys(),
             QStringList{ShopSnapshot::SessionKey(999, g + 10003)});
}

void tst_MergeStatement::openingAndClosingTimes_data() {
    QTest::addColumn<QString>("entries"); // "day time; day time; ...", see parseEntry
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("closed");
    QTest::addColumn<bool>("onTheDay"); // whether a later merge of the day takes it in again

    QTest::newRow("earliest entry, not earliest opening") << "0 12:00; 0 08:15:00.250; 0 17:40"
                                                          << "0 08:15:00.250"
                                                          << "0 17:40" << true;
    QTest::newRow("entries after midnight") << "0 22:00; 1 00:45; 1 01:30"
                                            << "0 22:00"
                                            << "1 01:30" << true;
    QTest::newRow("empty date or time counts for neither")
        << "- 05:00; 0 -; 0 10:00; - -; 0 11:00; 1 -; - 23:59"
        << "0 10:00"
        << "0 11:00" << true;
    QTest::newRow("only incomplete entries") << "- 05:00; 0 -"
                                             << "NULL"
                                             << "NULL" << false;
    QTest::newRow("no entries") << ""
                                << "NULL"
                                << "NULL" << false;
    QTest::newRow("earliest entry the day before") << "-1 23:50; 0 09:00"
                                                   << "-1 23:50"
                                                   << "0 09:00" << false;
    QTest::newRow("milliseconds") << "0 09:00:00.001; 0 09:00:00.999; 0 09:00:00.000"
                                  << "0 09:00:00.000"
                                  << "0 09:00:00.999" << true;
    QTest::newRow("one entry") << "0 13:13:13"
                               << "0 13:13:13"
                               << "0 13:13:13" << true;
}

void tst_MergeStatement::openingAndClosingTimes() {
    QFETCH(QString, entries);
    QFETCH(QString, opened);
    QFETCH(QString, closed);
    QFETCH(bool, onTheDay);

    Shop& shop = *shared_;
    ShopFixture f;
    // Opened before any entry: the opening times of the old sessions play no part.
    f.Session(1, 80, at(kDay, 6, 0));
    f.Session(2, 80, at(kDay, 7, 0));
    const QStringList parts = entries.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (int i = 0; i < parts.size(); ++i) {
        const auto [date, time] = parseEntry(parts[i]);
        f.Caixa(I(1 + i % 2), I(80), date, time);
    }
    // Entries of other sessions that day, earlier and later than any above.
    f.Session(3, 80, at(kDay, 0, 0), I(kOperator + 1));
    f.Caixa(I(3), I(80), kDay.addDays(-1), QTime(0, 0, 1));
    f.Caixa(I(3), I(80), kDay.addDays(2), QTime(23, 59));
    f.Caixa(I(4), I(80), kDay.addDays(-2), QTime(1, 0)); // a session that does not exist
    ShopFixture::Write(shop.connection, f.State());
    const ShopSnapshot before = shop.Read();

    const qint64 g = before.generator;
    MERGE(shop, kDay, kOperator, 0);
    ShopSnapshot expected = before;
    expected.generator = g + 1;
    moveSessions(expected, {{1, 80}, {2, 80}}, g + 10001);
    addMergedSession(expected, g + 10001, parseTimestamp(opened), parseTimestamp(closed), "0.00");
    const ShopSnapshot merged = shop.Read();
    VERIFY_STATE(expected, merged);

    MERGE(shop, kDay, kOperator, 0);
    if (onTheDay) {
        expected.generator = g + 2;
        moveSessions(expected, {{999, g + 10001}}, g + 10002);
        addMergedSession(expected, g + 10002, parseTimestamp(opened), parseTimestamp(closed),
                         "0.00");
    }
    VERIFY_STATE(expected, shop.Read());
}

void tst_MergeStatement::otherSessionsAndTheirRowsUntouched() {
    Shop& shop = *shared_;
    const qint64 g = ShopSnapshot::ReadGenerator(shop.connection);
    ShopFixture f;
    // The day's sessions, at the first and the last moment of the day.
    f.Session(1, 90, at(kDay, 0, 0, 0, 0));
    f.SalesAndCash(1, 90);
    f.Caixa(I(1), I(90), kDay, QTime(0, 0, 0, 1));
    f.Session(2, 90, at(kDay, 23, 59, 59, 999));
    f.SalesAndCash(2, 90);
    f.Caixa(I(2), I(90), kDay.addDays(1), QTime(2, 0));
    // Sessions that are not the day's, each with rows of its own.
    const QList<QPair<QDateTime, QVariant>> others{
        {at(kDay, 10, 0), I(kOperator + 1)},                   // another operator
        {at(kDay, 10, 0), I(0)},                               // operator 0
        {at(kDay, 10, 0), QVariant()},                         // no operator
        {at(kDay.addDays(-1), 23, 59, 59, 999), I(kOperator)}, // the day before
        {at(kDay.addDays(1), 0, 0), I(kOperator)},             // the day after
        {at(kDay.addYears(-1), 10, 0), I(kOperator)},          // same day a year before
        {QDateTime(), I(kOperator)},                           // opened at no time
    };
    for (int i = 0; i < others.size(); ++i) {
        f.Session(10 + i, 90, others[i].first, others[i].second);
        f.SalesAndCash(10 + i, 90);
        f.Caixa(I(10 + i), I(90), kDay, QTime(1, 0));
    }
    // Rows that point at no session, one of them at the key the new session will get.
    f.SalesAndCash(5, 5);
    f.Row(QStringLiteral("VENDAS"), QVariant(), I(90));
    f.Row(QStringLiteral("REFORCO"), I(1), QVariant());
    f.Caixa(I(999), I(g + 10001), kDay, QTime(0, 30));
    f.Row(QStringLiteral("RETIRADAS"), I(999), I(g + 10001));
    ShopFixture::Write(shop.connection, f.State());
    const ShopSnapshot before = shop.Read();

    MERGE(shop, kDay, kOperator, 123400);
    ShopSnapshot expected = before;
    expected.generator = g + 1;
    QCOMPARE(moveSessions(expected, {{1, 90}, {2, 90}}, g + 10001), 12);
    addMergedSession(expected, g + 10001, at(kDay, 0, 0, 0, 1), at(kDay.addDays(1), 2, 0), "12.34");
    VERIFY_STATE(expected, shop.Read());
}

void tst_MergeStatement::openingChange_data() {
    QTest::addColumn<qint64>("amount"); // ten-thousandths, as the currency edit holds it
    QTest::addColumn<QString>("stored");
    QTest::newRow("0") << qint64(0) << "0.00";
    QTest::newRow("12.345 half to even, down") << qint64(123450) << "12.34";
    QTest::newRow("12.355 half to even, up") << qint64(123550) << "12.36";
    QTest::newRow("12.3451 above half") << qint64(123451) << "12.35";
    QTest::newRow("12.3449 below half") << qint64(123449) << "12.34";
    QTest::newRow("0.005") << qint64(50) << "0.00";
    QTest::newRow("0.015") << qint64(150) << "0.02";
    QTest::newRow("two decimals kept") << qint64(9876500) << "987.65";
    QTest::newRow("largest amount") << std::numeric_limits<qint64>::max() << "922337203685477.58";
}

void tst_MergeStatement::openingChange() {
    QFETCH(qint64, amount);
    QFETCH(QString, stored);
    Shop& shop = *shared_;
    ShopFixture f;
    f.Session(1, 100, at(kDay, 8, 0)); // the fixture gives each an opening change of its own
    f.Session(2, 100, at(kDay, 9, 0));
    f.Caixa(I(1), I(100), kDay, QTime(8, 1));
    ShopFixture::Write(shop.connection, f.State());
    const ShopSnapshot before = shop.Read();
    QVERIFY(before.Value("SESSAOCAIXA", "1/100", "TROCOINICIAL").toString() != "0.00");

    const qint64 id = before.generator + 10001;
    MERGE(shop, kDay, kOperator, amount);
    ShopSnapshot expected = before;
    expected.generator += 1;
    moveSessions(expected, {{1, 100}, {2, 100}}, id);
    addMergedSession(expected, id, at(kDay, 8, 1), at(kDay, 8, 1), stored);
    VERIFY_STATE(expected, shop.Read());
}

void tst_MergeStatement::serverErrorChangesNothing_data() {
    QTest::addColumn<QString>("setup"); // statements, each run in a transaction of its own
    QTest::addColumn<int>("failingStep");
    QTest::addColumn<QString>("message"); // the message, or its start when it ends in "..."
    QTest::addColumn<QString>("alsoIn");  // text the message also holds
    QTest::addColumn<int>("generatorStep");

    const int prepare = static_cast<int>(MergeRunner::Step::Prepare);
    const int execute = static_cast<int>(MergeRunner::Step::Execute);
    QTest::newRow("table lacking a column")
        << "DROP INDEX IDX_REFORCO_SESSAO\n"
           "ALTER TABLE REFORCO DROP IDSESSAO"
        << prepare
        << "ISC ERROR CODE:335544569\n\nISC ERROR MESSAGE:\nDynamic SQL Error\nSQL error code = "
           "-206\nColumn unknown\nIDSESSAO\n..."
        << "" << 0;
    const QString exception = "CREATE EXCEPTION E_AUDITORIA 'Caixa em auditoria: não unificar'\n";
    QTest::newRow("user exception moving a sale")
        << exception + "CREATE TRIGGER T_AUDITORIA FOR VENDAS BEFORE UPDATE AS BEGIN "
                       "EXCEPTION E_AUDITORIA; END"
        << execute << "Caixa em auditoria: não unificar"
        << "" << 1;
    QTest::newRow("user exception moving a top-up")
        << exception + "CREATE TRIGGER T_AUDITORIA FOR REFORCO BEFORE UPDATE AS BEGIN "
                       "EXCEPTION E_AUDITORIA; END"
        << execute << "Caixa em auditoria: não unificar"
        << "" << 1;
    QTest::newRow("user exception storing the new session")
        << exception + "CREATE TRIGGER T_AUDITORIA FOR SESSAOCAIXA BEFORE INSERT AS BEGIN "
                       "EXCEPTION E_AUDITORIA; END"
        << execute << "Caixa em auditoria: não unificar"
        << "" << 1;
    QTest::newRow("check constraint on a moved cash-book entry")
        << "ALTER TABLE CAIXA ADD CONSTRAINT CK_CAIXA_TERMINAL CHECK (TERMINAL < 999)" << execute
        << "ISC ERROR CODE:335544558\n\nISC ERROR MESSAGE:\n..."
        << "CK_CAIXA_TERMINAL" << 1;
}

void tst_MergeStatement::serverErrorChangesNothing() {
    QFETCH(QString, setup);
    QFETCH(int, failingStep);
    QFETCH(QString, message);
    QFETCH(QString, alsoIn);
    QFETCH(int, generatorStep);

    Shop shop("stmt-error"); // its schema is changed below
    ShopFixture f;
    f.Session(1, 110, at(kDay, 8, 0));
    f.SalesAndCash(1, 110);
    f.Caixa(I(1), I(110), kDay, QTime(8, 5));
    f.Session(2, 110, at(kDay, 9, 0));
    f.SalesAndCash(2, 110);
    f.Caixa(I(2), I(110), kDay, QTime(9, 5));
    f.Session(3, 110, at(kDay, 9, 0), I(kOperator + 1));
    f.SalesAndCash(3, 110);
    ShopFixture::Write(shop.connection, f.State());
    // Statements whose bodies hold ';' go to the server whole, not through a script splitter.
    for (const QString& statement : setup.split(QLatin1Char('\n')))
        TestServer::ExecuteStatement(shop.connection, statement);
    const ShopSnapshot before = shop.Read();

    MergeRunner runner(shop.connection);
    try {
        runner.Run(kDay, kOperator, 100000);
        QFAIL("the merge went through");
    } catch (const EIB_Error& e) {
        QCOMPARE(MergeRunner::StepName(runner.FailedStep()),
                 MergeRunner::StepName(static_cast<MergeRunner::Step>(failingStep)));
        QVERIFY(e.FromServer());
        if (message.endsWith(QLatin1String("...")))
            QVERIFY2(e.Message().startsWith(message.chopped(3)), qPrintable(e.Message()));
        else
            QCOMPARE(e.Message(), message);
        QVERIFY2(e.Message().contains(alsoIn), qPrintable(e.Message()));
    }
    // The program leaves the merge transaction started. Even committing it now keeps nothing
    // of the failed statement.
    QVERIFY(runner.Transaction().Started());
    runner.Transaction().Commit();
    ShopSnapshot expected = before;
    expected.generator += generatorStep; // outside transaction control
    VERIFY_STATE(expected, shop.Read());
}

QTEST_GUILESS_MAIN(tst_MergeStatement)
#include "tst_MergeStatement.moc"
