// The database layer's pure parts: placeholder rewriting, value conversions, parameter blocks,
// the path check and the error message format.
#include "firebird/EIB_Error.h"
#include "firebird/IB_Sql.h"
#include "firebird/IB_Values.h"
#include "firebird/TIB_Connection.h"
#include "firebird/TIB_Transaction.h"

#include <QtTest>
#include <limits>

class tst_IB_Pure : public QObject {
    Q_OBJECT
private slots:
    void parseSql_data();
    void parseSql();
    void parseMergeBlock();
    void currencyToScaled_data();
    void currencyToScaled();
    void currencyOverflow();
    void scaledToText_data();
    void scaledToText();
    void dates_data();
    void dates();
    void tpb();
    void checkPath_data();
    void checkPath();
    void serverMessage_data();
    void serverMessage();
    void connectionRefusesChangesOnlyWhenOpen();
};

void tst_IB_Pure::parseSql_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("plain") << "SELECT * FROM T WHERE A = :A AND B = :b"
                           << "SELECT * FROM T WHERE A = ? AND B = ?" << QStringList{"A", "B"};
    QTest::newRow("repeated name") << "UPDATE T SET A = :X WHERE B = :X"
                                   << "UPDATE T SET A = ? WHERE B = ?" << QStringList{"X", "X"};
    QTest::newRow("string literal")
        << "SELECT ':A', 'it''s :B' FROM T WHERE C = :C"
        << "SELECT ':A', 'it''s :B' FROM T WHERE C = ?" << QStringList{"C"};
    QTest::newRow("quoted name") << "SELECT \":A\" FROM T WHERE C = :C"
                                 << "SELECT \":A\" FROM T WHERE C = ?" << QStringList{"C"};
    QTest::newRow("line comment") << "SELECT 1 -- :A\nFROM T WHERE C = :C"
                                  << "SELECT 1 -- :A\nFROM T WHERE C = ?" << QStringList{"C"};
    QTest::newRow("block comment") << "SELECT /* :A */ 1 FROM T WHERE C = :C"
                                   << "SELECT /* :A */ 1 FROM T WHERE C = ?" << QStringList{"C"};
    QTest::newRow("no placeholder")
        << "SELECT CODIGO, NOME FROM FUNCIONARIOS ORDER BY NOME"
        << "SELECT CODIGO, NOME FROM FUNCIONARIOS ORDER BY NOME" << QStringList{};
    QTest::newRow("underscore and digits") << "SELECT :P_1 FROM T"
                                           << "SELECT ? FROM T" << QStringList{"P_1"};
    QTest::newRow("block: body untouched")
        << "execute block (A INTEGER = :A) returns (R INTEGER) as begin R = :A; suspend; end"
        << "execute block (A INTEGER = ?) returns (R INTEGER) as begin R = :A; suspend; end"
        << QStringList{"A"};
    QTest::newRow("block: comment before, parenthesis in type")
        << "/* x */ EXECUTE BLOCK (V NUMERIC(15,2) = :V, W VARCHAR(3) = ':W') AS BEGIN END"
        << "/* x */ EXECUTE BLOCK (V NUMERIC(15,2) = ?, W VARCHAR(3) = ':W') AS BEGIN END"
        << QStringList{"V"};
    QTest::newRow("block without inputs")
        << "EXECUTE BLOCK AS DECLARE X INTEGER; BEGIN X = :X; END"
        << "EXECUTE BLOCK AS DECLARE X INTEGER; BEGIN X = :X; END" << QStringList{};
}

void tst_IB_Pure::parseSql() {
    QFETCH(QString, sql);
    QFETCH(QString, server);
    QFETCH(QStringList, names);
    const IB_ParsedSql parsed = IB_ParseSql(sql);
    QCOMPARE(parsed.serverSql, server);
    QCOMPARE(parsed.paramNames, names);
}

void tst_IB_Pure::parseMergeBlock() {
    // The head of the day-end merge block, with body variables that must stay as they are.
    const QString head = "EXECUTE BLOCK(DATA DATE = :DATA\n"
                         "             , OPERADOR INTEGER = :OPERADOR\n"
                         "             , TROCOINICIAL NUMERIC(15,2) = :TROCOINICIAL)\n";
    const QString body = "AS\nDECLARE VARIABLE IDSESSAO INTEGER;\nbegin\n"
                         "  DELETE FROM SESSAOCAIXA WHERE CAST(ABERTURA AS DATE) = :DATA AND "
                         "OPERADOR = :OPERADOR;\nend";
    const IB_ParsedSql parsed = IB_ParseSql(head + body);
    QCOMPARE(parsed.paramNames, (QStringList{"DATA", "OPERADOR", "TROCOINICIAL"}));
    QCOMPARE(parsed.serverSql, "EXECUTE BLOCK(DATA DATE = ?\n"
                               "             , OPERADOR INTEGER = ?\n"
                               "             , TROCOINICIAL NUMERIC(15,2) = ?)\n" +
                                   body);
}

void tst_IB_Pure::currencyToScaled_data() {
    QTest::addColumn<qint64>("amount"); // ten-thousandths
    QTest::addColumn<int>("scale");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("12.345 half to even down") << qint64(123450) << -2 << qint64(1234);
    QTest::newRow("12.355 half to even up") << qint64(123550) << -2 << qint64(1236);
    QTest::newRow("12.3451 above half") << qint64(123451) << -2 << qint64(1235);
    QTest::newRow("12.3449 below half") << qint64(123449) << -2 << qint64(1234);
    QTest::newRow("two decimals unchanged") << qint64(123400) << -2 << qint64(1234);
    QTest::newRow("negative half even") << qint64(-123450) << -2 << qint64(-1234);
    QTest::newRow("negative half odd") << qint64(-123550) << -2 << qint64(-1236);
    QTest::newRow("zero") << qint64(0) << -2 << qint64(0);
    QTest::newRow("0.005 to even 0") << qint64(50) << -2 << qint64(0);
    QTest::newRow("0.015 to even 2") << qint64(150) << -2 << qint64(2);
    QTest::newRow("same scale") << qint64(123456) << -4 << qint64(123456);
    QTest::newRow("more decimals") << qint64(123456) << -6 << qint64(12345600);
    QTest::newRow("integer scale 0") << qint64(25000) << 0 << qint64(2);
    QTest::newRow("integer scale 0, 3.5") << qint64(35000) << 0 << qint64(4);
    QTest::newRow("largest amount")
        << std::numeric_limits<qint64>::max() << -2 << qint64(92233720368547758);
    QTest::newRow("smallest amount")
        << std::numeric_limits<qint64>::min() << -2 << qint64(-92233720368547758);
}

void tst_IB_Pure::currencyToScaled() {
    QFETCH(qint64, amount);
    QFETCH(int, scale);
    QFETCH(qint64, expected);
    QCOMPARE(IB_Values::CurrencyToScaled(amount, scale), expected);
}

void tst_IB_Pure::currencyOverflow() {
    QVERIFY_THROWS_EXCEPTION(EIB_Error,
                             IB_Values::CurrencyToScaled(std::numeric_limits<qint64>::max(), -6));
    QVERIFY_THROWS_EXCEPTION(EIB_Error, IB_Values::IntegerToScaled(qint64(1) << 62, -2));
}

void tst_IB_Pure::scaledToText_data() {
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("text");
    QTest::newRow("two decimals") << qint64(1234) << -2 << "12.34";
    QTest::newRow("below one") << qint64(5) << -2 << "0.05";
    QTest::newRow("negative") << qint64(-5) << -2 << "-0.05";
    QTest::newRow("zero") << qint64(0) << -2 << "0.00";
    QTest::newRow("minimum") << std::numeric_limits<qint64>::min() << -4 << "-922337203685477.5808";
}

void tst_IB_Pure::scaledToText() {
    QFETCH(qint64, value);
    QFETCH(int, scale);
    QFETCH(QString, text);
    QCOMPARE(IB_Values::ScaledToText(value, scale), text);
}

void tst_IB_Pure::dates_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("isc");
    QTest::newRow("epoch") << QDate(1858, 11, 17) << 0;
    QTest::newRow("2000-01-01") << QDate(2000, 1, 1) << 51544;
    QTest::newRow("leap day") << QDate(2024, 2, 29) << 60369;
}

void tst_IB_Pure::dates() {
    QFETCH(QDate, date);
    QFETCH(int, isc);
    QCOMPARE(IB_Values::DateToIsc(date), isc);
    QCOMPARE(IB_Values::IscToDate(isc), date);
    QCOMPARE(IB_Values::IscToTime(IB_Values::TimeToIsc(QTime(23, 59, 58, 123))),
             QTime(23, 59, 58, 123));
}

void tst_IB_Pure::tpb() {
    // version 3, write, read committed, record version, no wait
    QCOMPARE(TIB_Transaction::BuildTpb(tiCommitted, true, false, false),
             QByteArray("\x03\x09\x0f\x11\x07", 5));
    TIB_Transaction t;
    t.SetAutoCommit(true);
    QCOMPARE(t.Tpb(), QByteArray("\x03\x09\x0f\x11\x07", 5));
    QCOMPARE(TIB_Transaction::BuildTpb(tiConcurrency, true, true, true),
             QByteArray("\x03\x08\x02\x06", 4));
}

void tst_IB_Pure::checkPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("refused");
    QTest::newRow("unix path") << "/var/db/QUIBREL.FDB" << false;
    QTest::newRow("drive letter") << "C:\\Quibrel\\QUIBREL.FDB" << false;
    QTest::newRow("drive letter, forward slash") << "C:/Quibrel/QUIBREL.FDB" << false;
    QTest::newRow("no colon") << "QUIBREL.FDB" << false;
    QTest::newRow("colon at the end") << "QUIBREL:" << false;
    QTest::newRow("server before drive") << "servidor:C:\\Quibrel\\QUIBREL.FDB" << true;
    QTest::newRow("server before folder") << "localhost:/x.fdb" << true;
    QTest::newRow("address and port before folder") << "127.0.0.1/3050:/x.fdb" << true;
    QTest::newRow("colon then letter") << "/db/a:b.fdb" << true;
    QTest::newRow("empty") << "" << false;
}

void tst_IB_Pure::checkPath() {
    QFETCH(QString, path);
    QFETCH(bool, refused);
    try {
        TIB_Connection::CheckPath(path);
        QVERIFY(!refused);
    } catch (const EIB_Error& e) {
        QVERIFY(refused);
        QCOMPARE(e.Message(), QStringLiteral("Caminho de conexão inválido"));
    }
}

void tst_IB_Pure::serverMessage_data() {
    QTest::addColumn<int>("sqlCode");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("message");
    QTest::newRow("table unknown")
        << -204
        << QStringList{"Dynamic SQL Error", "SQL error code = -204", "Table unknown", "NAOEXISTE",
                       "At line 1, column 15"}
        << "ISC ERROR CODE:335544569\n\nISC ERROR MESSAGE:\nDynamic SQL Error\nSQL error code = "
           "-204\nTable unknown\nNAOEXISTE\nAt line 1, column 15\n";
    QTest::newRow("trimmed, repeated line left out")
        << -901 << QStringList{"  lock conflict  ", "lock conflict", "deadlock", "lock conflict"}
        << "ISC ERROR CODE:335544569\n\nISC ERROR MESSAGE:\nlock conflict\ndeadlock\nlock "
           "conflict\n";
    QTest::newRow("user exception")
        << -836
        << QStringList{"exception 1", "E_TESTE", "Caixa fechado", "At block line: 1, col: 24"}
        << "Caixa fechado";
    QTest::newRow("no lines") << -1 << QStringList{}
                              << "ISC ERROR CODE:335544569\n\nISC ERROR MESSAGE:\n";
    const QString longLine(300, QLatin1Char('x'));
    QTest::newRow("cut at 255")
        << -1 << QStringList{longLine}
        << ("ISC ERROR CODE:335544569\n\nISC ERROR MESSAGE:\n" + longLine).left(250) + "(...)";
    QTest::newRow("user exception cut")
        << -836 << QStringList{"exception 2", "E", longLine, "At block"}
        << longLine.left(250) + "(...)";
    const QString exact = QString(255 - 45, QLatin1Char('y'));
    QTest::newRow("255 characters kept")
        << -1 << QStringList{exact.left(exact.size() - 1)}
        << "ISC ERROR CODE:335544569\n\nISC ERROR MESSAGE:\n" + exact.left(exact.size() - 1) + "\n";
}

void tst_IB_Pure::serverMessage() {
    QFETCH(int, sqlCode);
    QFETCH(QStringList, lines);
    QFETCH(QString, message);
    const EIB_Error error(335544569, sqlCode, lines);
    QCOMPARE(error.Message(), message);
    QVERIFY(error.Message().size() <= 255);
    QCOMPARE(error.ErrorCode(), qint64(335544569));
    QCOMPARE(error.SqlCode(), sqlCode);
}

void tst_IB_Pure::connectionRefusesChangesOnlyWhenOpen() {
    TIB_Connection c;
    c.SetServer("a");
    c.SetPath("/b.fdb");
    c.SetPassword("p");
    QCOMPARE(c.DatabaseName(), QStringLiteral("a:/b.fdb"));
    QCOMPARE(c.Param("user name"), QStringLiteral("SYSDBA"));
    QCOMPARE(c.Param("CHARACTER SET"), QStringLiteral("ISO8859_1"));
    QCOMPARE(c.Param("PAGE SIZE"), QStringLiteral("8192"));
    QCOMPARE(c.Param("PROTOCOL"), QStringLiteral("TCP/IP"));
    QCOMPARE(c.SQLDialect(), 3);
    c.Close(); // closing a closed connection does nothing
    QVERIFY(!c.Connected());
}

QTEST_GUILESS_MAIN(tst_IB_Pure)
#include "tst_IB_Pure.moc"
