// The database layer against the real private Firebird servers of the test run.
#include "firebird/EIB_Error.h"
#include "firebird/TIB_Connection.h"
#include "firebird/TIB_DataSource.h"
#include "firebird/TIB_Query.h"
#include "firebird/TIB_Transaction.h"
#include "support/TestServer.h"
#include "support/TestSession.h"

#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

using Session = TestSession;

QString messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EIB_Error& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

class tst_IB_Server : public QObject {
    Q_OBJECT
private slots:
    void passwords_data();
    void passwords();
    void unreachablePort();
    void pathRefusedBeforeContact();
    void settingsRefusedWhileConnected();
    void updateConflictFailsAtOnce();
    void readCommittedSeesCommittedChange();
    void startTwiceIsAnError();
    void destroyedTransactionRollsBack();
    void currencyParameter_data();
    void currencyParameter();
    void dateParameterDropsTime();
    void executeBlockBodyKeepsItsVariables();
    void openFetchesOnlyTheFirstRow();
    void navigation();
    void emptyResult();
    void missingNames();
    void serverErrorMessage();
    void userExceptionMessage();
    void longUserExceptionIsCut();
    void latin1Text();
    void closeEndsOpenWork();
    void dataSourceFollowsQuery();
};

void tst_IB_Server::passwords_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("connects");
    QTest::newRow("first password, right") << "quince"
                                           << "quince" << true;
    QTest::newRow("first password, wrong") << "bluefinch"
                                           << "quince" << false;
    QTest::newRow("second password, right") << "bluefinch"
                                            << "bluefinch" << true;
    QTest::newRow("neither") << "sem-acesso"
                             << "bluefinch" << false;
}

void tst_IB_Server::passwords() {
    QFETCH(QString, server);
    QFETCH(QString, password);
    QFETCH(bool, connects);
    const QString path = TestServer::CreateShopDatabase("pw", server);
    TIB_Connection c;
    c.SetServer(TestServer::Host(server));
    c.SetPath(path);
    c.SetPassword(password);
    try {
        c.Connect();
        QVERIFY(connects);
        QVERIFY(c.Connected());
        c.Close();
        QVERIFY(!c.Connected());
    } catch (const EIB_Error& e) {
        QVERIFY2(!connects, qPrintable(e.Message()));
        QVERIFY(e.FromServer());
        QVERIFY(!c.Connected());
    }
}

void tst_IB_Server::unreachablePort() {
    TIB_Connection c;
    c.SetServer("127.0.0.1/1");
    c.SetPath("/tmp/none.fdb");
    c.SetPassword("quince");
    try {
        c.Connect();
        QFAIL("connected to a closed port");
    } catch (const EIB_Error& e) {
        QVERIFY(e.FromServer());
        QVERIFY(e.Message().startsWith("ISC ERROR CODE:"));
    }
    QVERIFY(!c.Connected());
}

void tst_IB_Server::pathRefusedBeforeContact() {
    // A server that exists and would answer: the refusal must come before any contact.
    TIB_Connection c;
    c.SetServer(TestServer::Host("quince"));
    c.SetPath("localhost:" + TestServer::NewDatabasePath("refused"));
    c.SetPassword("quince");
    QCOMPARE(messageOf([&] { c.Connect(); }), QStringLiteral("Caminho de conexão inválido"));
    QVERIFY(!c.Connected());
}

void tst_IB_Server::settingsRefusedWhileConnected() {
    Session s(TestServer::CreateShopDatabase("settings"));
    QVERIFY_THROWS_EXCEPTION(EIB_Error, s.connection.SetServer("other"));
    QVERIFY_THROWS_EXCEPTION(EIB_Error, s.connection.SetPath("/other.fdb"));
    QVERIFY_THROWS_EXCEPTION(EIB_Error, s.connection.SetPassword("other"));
    s.connection.SetPassword("quince"); // the same value is no change
    s.connection.Close();
    s.connection.SetPassword("other");
}

void tst_IB_Server::updateConflictFailsAtOnce() {
    const QString path = TestServer::CreateShopDatabase("conflict");
    Session a(path), b(path);
    a.exec("INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (1, 'ANA')");

    TIB_Transaction ta;
    ta.SetIB_Connection(&a.connection);
    ta.StartTransaction();
    TIB_Query ua;
    ua.SetIB_Connection(&a.connection);
    ua.SetIB_Transaction(&ta);
    ua.SetSQL("UPDATE FUNCIONARIOS SET NOME = 'BIA' WHERE CODIGO = 1");
    ua.ExecSQL(); // not committed

    TIB_Transaction tb; // read committed, record version, no wait: the defaults
    tb.SetIB_Connection(&b.connection);
    TIB_Query ub;
    ub.SetIB_Connection(&b.connection);
    ub.SetIB_Transaction(&tb);
    ub.SetSQL("UPDATE FUNCIONARIOS SET NOME = 'CAIO' WHERE CODIGO = 1");
    tb.StartTransaction();
    try {
        ub.ExecSQL(); // would block for ever with a waiting transaction
        QFAIL("the conflicting update went through");
    } catch (const EIB_Error& e) {
        QVERIFY(e.FromServer());
        QVERIFY2(e.Message().contains("conflict"), qPrintable(e.Message()));
    }
    tb.Rollback();
    ta.Commit();
    QCOMPARE(b.value("SELECT NOME FROM FUNCIONARIOS WHERE CODIGO = 1").toString(), "BIA");
}

void tst_IB_Server::readCommittedSeesCommittedChange() {
    const QString path = TestServer::CreateShopDatabase("readcommitted");
    Session a(path), b(path);
    a.exec("INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (1, 'ANA')");
    TIB_Transaction tb;
    tb.SetIB_Connection(&b.connection);
    tb.StartTransaction();
    TIB_Query read;
    read.SetIB_Connection(&b.connection);
    read.SetIB_Transaction(&tb);
    read.SetSQL("SELECT NOME FROM FUNCIONARIOS WHERE CODIGO = 1");
    read.Open();
    QCOMPARE(read.FieldByName("NOME").AsString(), "ANA");
    read.Close();
    a.exec("UPDATE FUNCIONARIOS SET NOME = 'BIA' WHERE CODIGO = 1"); // auto-committed
    read.Open();                                                     // same transaction
    QCOMPARE(read.FieldByName("NOME").AsString(), "BIA");
    tb.Commit();
}

void tst_IB_Server::startTwiceIsAnError() {
    Session s(TestServer::CreateShopDatabase("starttwice"));
    TIB_Transaction t;
    t.SetIB_Connection(&s.connection);
    t.StartTransaction();
    QVERIFY(t.Started());
    QVERIFY_THROWS_EXCEPTION(EIB_Error, t.StartTransaction());
    t.Commit();
    QVERIFY(!t.Started());
    QVERIFY_THROWS_EXCEPTION(EIB_Error, t.Commit());
    t.StartTransaction();
    t.Rollback();
    QVERIFY(!t.Started());
}

void tst_IB_Server::destroyedTransactionRollsBack() {
    const QString path = TestServer::CreateShopDatabase("destroyed");
    Session s(path);
    {
        TIB_Transaction t;
        t.SetIB_Connection(&s.connection);
        TIB_Query q;
        q.SetIB_Connection(&s.connection);
        q.SetIB_Transaction(&t);
        q.SetSQL("INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (7, 'SETE')");
        t.StartTransaction();
        q.ExecSQL();
    }
    Session other(path);
    QCOMPARE(other.value("SELECT COUNT(*) FROM FUNCIONARIOS").toInt(), 0);
}

void tst_IB_Server::currencyParameter_data() {
    QTest::addColumn<qint64>("amount");
    QTest::addColumn<QString>("stored");
    QTest::newRow("12.345") << qint64(123450) << "12.34";
    QTest::newRow("12.355") << qint64(123550) << "12.36";
    QTest::newRow("12.3451") << qint64(123451) << "12.35";
    QTest::newRow("0") << qint64(0) << "0.00";
    QTest::newRow("two decimals") << qint64(9999900) << "999.99";
}

void tst_IB_Server::currencyParameter() {
    QFETCH(qint64, amount);
    QFETCH(QString, stored);
    Session s(TestServer::CreateShopDatabase("currency"));
    TIB_Query q;
    q.SetIB_Connection(&s.connection);
    q.SetSQL("INSERT INTO SESSAOCAIXA (TERMINAL, IDSESSAO, TROCOINICIAL) VALUES (1, 1, :V)");
    q.BeginUpdate();
    q.ParamByName("v").SetAsCurrency(amount);
    q.EndUpdate();
    q.ExecSQL();
    QCOMPARE(s.value("SELECT TROCOINICIAL FROM SESSAOCAIXA").toString(), stored);
}

void tst_IB_Server::dateParameterDropsTime() {
    Session s(TestServer::CreateShopDatabase("date"));
    TIB_Query q;
    q.SetIB_Connection(&s.connection);
    q.SetSQL("INSERT INTO SESSAOCAIXA (TERMINAL, IDSESSAO, ABERTURA, OPERADOR) "
             "VALUES (1, 1, :D, :O)");
    q.ParamByName("D").SetAsDate(QDateTime(QDate(2024, 3, 5), QTime(17, 45, 12)));
    q.ParamByName("O").SetAsInteger(42);
    q.ExecSQL();
    QCOMPARE(s.value("SELECT ABERTURA FROM SESSAOCAIXA").toDateTime(),
             QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
    QCOMPARE(s.value("SELECT OPERADOR FROM SESSAOCAIXA").toInt(), 42);
}

void tst_IB_Server::executeBlockBodyKeepsItsVariables() {
    Session s(TestServer::CreateShopDatabase("block"));
    TIB_Query q;
    q.SetIB_Connection(&s.connection);
    q.SetSQL("EXECUTE BLOCK(DATA DATE = :DATA\n"
             "             , OPERADOR INTEGER = :OPERADOR\n"
             "             , TROCOINICIAL NUMERIC(15,2) = :TROCOINICIAL)\n"
             "AS\nDECLARE VARIABLE IDSESSAO INTEGER;\nbegin\n"
             "  IDSESSAO = :OPERADOR * 10;\n"
             "  INSERT INTO SESSAOCAIXA(TERMINAL, IDSESSAO, ABERTURA, TROCOINICIAL, OPERADOR)\n"
             "  VALUES(999, :IDSESSAO, :DATA, :TROCOINICIAL, :OPERADOR);\nend");
    QVERIFY(!q.Prepared());
    q.Prepare();
    QVERIFY(q.Prepared());
    QCOMPARE(q.ParamNames(), (QStringList{"DATA", "OPERADOR", "TROCOINICIAL"}));
    q.BeginUpdate();
    q.ParamByName("DATA").SetAsDate(QDate(2024, 1, 31));
    q.ParamByName("OPERADOR").SetAsInteger(3);
    q.ParamByName("TROCOINICIAL").SetAsCurrency(123450);
    q.EndUpdate();
    q.ExecSQL();
    TIB_Query r;
    r.SetIB_Connection(&s.connection);
    r.SetSQL("SELECT TERMINAL, IDSESSAO, ABERTURA, TROCOINICIAL, OPERADOR FROM SESSAOCAIXA");
    r.Open();
    QCOMPARE(r.FieldByName("TERMINAL").AsInteger(), 999);
    QCOMPARE(r.FieldByName("IDSESSAO").AsInteger(), 30);
    QCOMPARE(r.FieldByName("ABERTURA").Value().toDateTime().date(), QDate(2024, 1, 31));
    QCOMPARE(r.FieldByName("TROCOINICIAL").AsString(), "12.34");
    QCOMPARE(r.FieldByName("OPERADOR").AsInteger(), 3);
}

void tst_IB_Server::openFetchesOnlyTheFirstRow() {
    Session s(TestServer::CreateShopDatabase("lazy"));
    s.exec("EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 5000) DO BEGIN "
           "INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (:I, 'N' || LPAD(:I, 5, '0')); "
           "I = I + 1; END END");
    TIB_Query q;
    q.SetIB_Connection(&s.connection);
    q.SetSQL("SELECT CODIGO, NOME FROM FUNCIONARIOS ORDER BY NOME");
    q.Open();
    QCOMPARE(q.ServerFetches(), qint64(1));
    QCOMPARE(q.FetchedRows(), 1);
    QCOMPARE(q.RowNum(), 0);
    QCOMPARE(q.FieldByName("NOME").AsString(), "N00000");
    QVERIFY(q.Next());
    QCOMPARE(q.ServerFetches(), qint64(2));
    q.MoveTo(10);
    QCOMPARE(q.ServerFetches(), qint64(11));
    QCOMPARE(q.FieldByName("CODIGO").AsInteger(), 10);
    q.Last();
    QCOMPARE(q.FetchedRows(), 5000);
    QCOMPARE(q.FieldByName("CODIGO").AsInteger(), 4999);
}

void tst_IB_Server::navigation() {
    Session s(TestServer::CreateShopDatabase("nav"));
    s.exec("INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (2, 'BIA')");
    s.exec("INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (1, 'ANA')");
    s.exec("INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (NULL, 'CAIO')");
    TIB_Query q;
    q.SetIB_Connection(&s.connection);
    q.SetSQL("SELECT CODIGO, NOME FROM FUNCIONARIOS ORDER BY NOME");
    QSignalSpy moved(&q, &TIB_Query::RowChanged);
    q.Open();
    QCOMPARE(q.FieldByName("CODIGO").AsInteger(), 1);
    QVERIFY(!q.Prior()); // stays on the first row
    QCOMPARE(q.RowNum(), 0);
    QVERIFY(q.Next());
    QVERIFY(q.Next());
    QVERIFY(q.FieldByName("CODIGO").IsNull());
    QCOMPARE(q.FieldByName("CODIGO").AsInteger(), 0);
    QVERIFY(!q.Next()); // stays on the last row
    QVERIFY(q.Eof());
    QCOMPARE(q.RowNum(), 2);
    q.BeforeFirst();
    QVERIFY(!q.HasCurrentRow());
    QCOMPARE(q.FieldByName("codigo").AsInteger(), 0);
    QVERIFY(q.Next());
    QCOMPARE(q.FieldByName("NOME").AsString(), "ANA");
    q.Last();
    QCOMPARE(q.FieldByName("NOME").AsString(), "CAIO");
    q.First();
    QCOMPARE(q.FieldByName("NOME").AsString(), "ANA");
    QVERIFY(moved.count() >= 6);
}

void tst_IB_Server::emptyResult() {
    Session s(TestServer::CreateShopDatabase("empty"));
    TIB_Query q;
    q.SetIB_Connection(&s.connection);
    q.SetSQL("SELECT CODIGO, NOME FROM FUNCIONARIOS ORDER BY NOME");
    q.Open();
    QVERIFY(q.Active());
    QVERIFY(!q.HasCurrentRow());
    QVERIFY(q.Eof());
    QCOMPARE(q.FetchedRows(), 0);
    QCOMPARE(q.FieldByName("CODIGO").AsInteger(), 0);
    QVERIFY(!q.Next());
}

void tst_IB_Server::missingNames() {
    Session s(TestServer::CreateShopDatabase("names"));
    TIB_Query q;
    q.SetIB_Connection(&s.connection);
    q.SetSQL("SELECT CODIGO, NOME FROM FUNCIONARIOS WHERE CODIGO = :COD");
    QCOMPARE(messageOf([&] { q.FieldByName("NAOEXISTE"); }),
             QStringLiteral("Campo: NAOEXISTE não encontrado"));
    QVERIFY(q.Prepared()); // looking a column up prepares the statement
    QCOMPARE(messageOf([&] { q.ParamByName("Operador"); }),
             QStringLiteral("Campo: Operador não encontrado"));
    q.ParamByName("cod").SetAsInteger(1);
}

void tst_IB_Server::serverErrorMessage() {
    Session s(TestServer::CreateShopDatabase("error"));
    TIB_Query q;
    q.SetIB_Connection(&s.connection);
    q.SetSQL("SELECT X FROM NAOEXISTE");
    try {
        q.Open();
        QFAIL("a missing table was accepted");
    } catch (const EIB_Error& e) {
        QCOMPARE(e.SqlCode(), -204);
        QCOMPARE(e.ErrorCode(), qint64(335544569));
        QCOMPARE(e.Message(), QStringLiteral("ISC ERROR CODE:335544569\n\nISC ERROR MESSAGE:\n"
                                             "Dynamic SQL Error\nSQL error code = -204\n"
                                             "Table unknown\nNAOEXISTE\nAt line 1, column 15\n"));
    }
}

void tst_IB_Server::userExceptionMessage() {
    Session s(TestServer::CreateShopDatabase("exception"));
    s.exec("CREATE EXCEPTION E_TESTE 'Caixa fechado'");
    QCOMPARE(messageOf([&] { s.exec("EXECUTE BLOCK AS BEGIN EXCEPTION E_TESTE; END"); }),
             QStringLiteral("Caixa fechado"));
    QCOMPARE(messageOf([&] {
                 s.exec("EXECUTE BLOCK AS BEGIN EXCEPTION E_TESTE 'Sessão já unificada'; END");
             }),
             QStringLiteral("Sessão já unificada"));
}

void tst_IB_Server::longUserExceptionIsCut() {
    Session s(TestServer::CreateShopDatabase("longexception"));
    const QString text = QString(300, QLatin1Char('z'));
    s.exec("CREATE EXCEPTION E_LONGA 'x'");
    QCOMPARE(
        messageOf([&] { s.exec("EXECUTE BLOCK AS BEGIN EXCEPTION E_LONGA '" + text + "'; END"); }),
        text.left(250) + "(...)");
}

void tst_IB_Server::latin1Text() {
    Session s(TestServer::CreateShopDatabase("latin1"));
    TIB_Query q;
    q.SetIB_Connection(&s.connection);
    q.SetSQL("INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (1, :NOME)");
    q.ParamByName("NOME").SetAsString(QStringLiteral("João Conceição"));
    q.ExecSQL();
    QCOMPARE(s.value("SELECT NOME FROM FUNCIONARIOS").toString(), QStringLiteral("João Conceição"));
    QCOMPARE(s.value("SELECT CHAR_LENGTH(NOME) FROM FUNCIONARIOS").toInt(), 14);
}

void tst_IB_Server::closeEndsOpenWork() {
    const QString path = TestServer::CreateShopDatabase("close");
    auto s = std::make_unique<Session>(path);
    s->exec("INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (1, 'ANA')");
    TIB_Query open;
    open.SetIB_Connection(&s->connection);
    open.SetSQL("SELECT CODIGO FROM FUNCIONARIOS");
    open.Open();
    TIB_Transaction t;
    t.SetIB_Connection(&s->connection);
    TIB_Query ins;
    ins.SetIB_Connection(&s->connection);
    ins.SetIB_Transaction(&t);
    ins.SetSQL("INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (2, 'BIA')");
    t.StartTransaction();
    ins.ExecSQL();
    s->connection.Close(); // the open select and the started transaction end with it
    QVERIFY(!s->connection.Connected());
    QVERIFY(!t.Started());
    QVERIFY(!open.Active());
    QVERIFY(!open.Prepared());
    s->connection.Close(); // again: nothing
    Session other(path);
    QCOMPARE(other.value("SELECT COUNT(*) FROM FUNCIONARIOS").toInt(), 1);
}

void tst_IB_Server::dataSourceFollowsQuery() {
    Session s(TestServer::CreateShopDatabase("datasource"));
    s.exec("INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (1, 'ANA')");
    s.exec("INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (2, 'BIA')");
    TIB_Query q;
    q.SetIB_Connection(&s.connection);
    q.SetSQL("SELECT CODIGO, NOME FROM FUNCIONARIOS ORDER BY NOME");
    TIB_DataSource ds;
    ds.SetDataset(&q);
    QSignalSpy data(&ds, &TIB_DataSource::DataChanged);
    QSignalSpy row(&ds, &TIB_DataSource::RowChanged);
    q.Open();
    QVERIFY(data.count() >= 1);
    const int rowsBefore = row.count();
    q.Next();
    QCOMPARE(row.count(), rowsBefore + 1);
    QCOMPARE(ds.Dataset(), &q);
}

QTEST_GUILESS_MAIN(tst_IB_Server)
#include "tst_IB_Server.moc"
