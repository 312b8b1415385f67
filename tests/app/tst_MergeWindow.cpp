// The day-end merge from the window, as a user runs it: real keys and clicks under Xvfb, the real
// private server, and the shop database read back afterwards.
#include "app/UVostralo.h"
#include "controls/qtvCurrencyEdit.h"
#include "firebird/TIB_Connection.h"
#include "firebird/TIB_Query.h"
#include "firebird/TIB_Transaction.h"
#include "support/TestServer.h"
#include "support/TestSession.h"
#include "widgets/TApplication.h"
#include "widgets/TIB_LookupCombo.h"
#include "widgets/TMaskEdit.h"

#include <QClipboard>
#include <QProcess>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

struct Box {
    TApplication::BoxKind kind;
    QString text;
};

// A connection of the test's own to the shop database.
struct Db : TestSession {
    using TestSession::TestSession;
    void exec(const QString& script) { TestSession::script(script); }
    QString value(const QString& sql) { return rows(sql).value(0); }
    qint64 generator() {
        return value("SELECT GEN_ID(GEN_SESSAOCAIXA_ID, 0) FROM RDB$DATABASE").toLongLong();
    }
    // Every row of every table the merge may touch.
    QStringList all() {
        QStringList out;
        out << rows("SELECT * FROM SESSAOCAIXA ORDER BY TERMINAL, IDSESSAO");
        for (const char* t :
             {"CAIXA", "VENDAS", "PARCELADECOMPRA", "RECEBIMENTOS", "RETIRADAS", "REFORCO"})
            out << rows(QStringLiteral("SELECT * FROM %1 ORDER BY ID").arg(t));
        out << rows("SELECT * FROM FUNCIONARIOS ORDER BY NOME, CODIGO");
        return out;
    }
};

// Three operators; ANA has sessions on 10/05/2024 on terminals 1, 2 and 999 (one merged
// before), BRUNO one that day, ANA one on the day before and one with no opening time.
const char* kShop = R"(
INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (1, 'ANA');
INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (2, 'BRUNO');
INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (0, 'CAIXA GERAL');
SET GENERATOR GEN_SESSAOCAIXA_ID TO 40;
INSERT INTO SESSAOCAIXA (TERMINAL, IDSESSAO, ABERTURA, FECHAMENTO, TROCOINICIAL, OPERADOR) VALUES (1, 11, '2024-05-10 08:00', '2024-05-10 12:00', 100, 1);
INSERT INTO SESSAOCAIXA (TERMINAL, IDSESSAO, ABERTURA, FECHAMENTO, TROCOINICIAL, OPERADOR) VALUES (2, 21, '2024-05-10 13:00', '2024-05-10 18:00', 50, 1);
INSERT INTO SESSAOCAIXA (TERMINAL, IDSESSAO, ABERTURA, FECHAMENTO, TROCOINICIAL, OPERADOR) VALUES (999, 10030, '2024-05-10 07:00', '2024-05-10 07:30', 10, 1);
INSERT INTO SESSAOCAIXA (TERMINAL, IDSESSAO, ABERTURA, FECHAMENTO, TROCOINICIAL, OPERADOR) VALUES (1, 12, '2024-05-10 09:00', '2024-05-10 17:00', 100, 2);
INSERT INTO SESSAOCAIXA (TERMINAL, IDSESSAO, ABERTURA, FECHAMENTO, TROCOINICIAL, OPERADOR) VALUES (1, 10, '2024-05-09 08:00', '2024-05-09 18:00', 100, 1);
INSERT INTO SESSAOCAIXA (TERMINAL, IDSESSAO, ABERTURA, FECHAMENTO, TROCOINICIAL, OPERADOR) VALUES (3, 31, NULL, NULL, 100, 1);
INSERT INTO CAIXA (ID, TERMINAL, IDSESSAO, DATA, HORA) VALUES (1, 1, 11, '2024-05-10', '08:05');
INSERT INTO CAIXA (ID, TERMINAL, IDSESSAO, DATA, HORA) VALUES (2, 2, 21, '2024-05-11', '00:40');
INSERT INTO CAIXA (ID, TERMINAL, IDSESSAO, DATA, HORA) VALUES (3, 999, 10030, '2024-05-10', '07:10');
INSERT INTO CAIXA (ID, TERMINAL, IDSESSAO, DATA, HORA) VALUES (4, 1, 12, '2024-05-10', '06:00');
INSERT INTO CAIXA (ID, TERMINAL, IDSESSAO, DATA, HORA) VALUES (5, 1, 10, '2024-05-09', '09:00');
INSERT INTO VENDAS (ID, TERMINAL, IDSESSAO, TOTAL) VALUES (1, 1, 11, 10);
INSERT INTO VENDAS (ID, TERMINAL, IDSESSAO, TOTAL) VALUES (2, 2, 21, 20);
INSERT INTO VENDAS (ID, TERMINAL, IDSESSAO, TOTAL) VALUES (3, 1, 12, 30);
INSERT INTO VENDAS (ID, TERMINAL, IDSESSAO, TOTAL) VALUES (4, 3, 31, 40);
INSERT INTO PARCELADECOMPRA (ID, TERMINAL, IDSESSAO) VALUES (1, 2, 21);
INSERT INTO RECEBIMENTOS (ID, TERMINAL, IDSESSAO) VALUES (1, 999, 10030);
INSERT INTO RETIRADAS (ID, TERMINAL, IDSESSAO) VALUES (1, 1, 11);
INSERT INTO REFORCO (ID, TERMINAL, IDSESSAO) VALUES (1, 1, 10);
)";

} // namespace

class tst_MergeWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void mergesTheDay();
    void noSessionThatDay();
    void openingChangeRounding_data();
    void openingChangeRounding();
    void checks_data();
    void checks();
    void checksInOrder();
    void serverErrorKeepsWindowOpen();
    void conflictingChangeFailsAtOnce();
    void serverStoppedBeforeMerge();

private:
    QString makeShop(const QString& tag, const QString& extra = QString());
    std::unique_ptr<TFrmVostralo> open(const QString& path, const QString& host = QString());
    void typeDate(TFrmVostralo& w, const QString& digits);
    void typeAmount(TFrmVostralo& w, const QString& text);
    void chooseOperator(TFrmVostralo& w, int downs);
    void press(TFrmVostralo& w);
    QList<Box> boxes_;
};

void tst_MergeWindow::initTestCase() {
    TApplication::SetBoxHook(
        [this](TApplication::BoxKind kind, const QString&, const QString& text) {
            boxes_.append({kind, text});
        });
}

void tst_MergeWindow::init() {
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    boxes_.clear();
}

void tst_MergeWindow::cleanup() {
    QFile::remove(QCoreApplication::applicationDirPath() + "/quibrel.ini");
}

QString tst_MergeWindow::makeShop(const QString& tag, const QString& extra) {
    const QString path = TestServer::CreateShopDatabase(tag);
    Db db(path);
    db.exec(QString::fromLatin1(kShop) + extra);
    return path;
}

std::unique_ptr<TFrmVostralo> tst_MergeWindow::open(const QString& path, const QString& host) {
    QFile file(QCoreApplication::applicationDirPath() + "/quibrel.ini");
    if (file.open(QIODevice::WriteOnly))
        file.write(QStringLiteral("[Quibrel]\nServidor=%1\nCaminho=%2\n")
                       .arg(host.isEmpty() ? TestServer::Host("quince") : host, path)
                       .toUtf8());
    file.close();
    auto w = std::make_unique<TFrmVostralo>();
    w->show();
    if (!QTest::qWaitForWindowActive(w.get()))
        qWarning("the window did not become active");
    return w;
}

void tst_MergeWindow::chooseOperator(TFrmVostralo& w, int downs) {
    QTest::mouseClick(w.IB_LookupCombo1, Qt::LeftButton, {},
                      w.IB_LookupCombo1->TextRect().center());
    for (int i = 0; i < downs; ++i)
        QTest::keyClick(w.IB_LookupCombo1, Qt::Key_Down);
}

void tst_MergeWindow::typeDate(TFrmVostralo& w, const QString& digits) {
    QTest::mouseClick(w.MaskEdit1, Qt::LeftButton, {}, QPoint(4, 14));
    QTest::keyClick(w.MaskEdit1, Qt::Key_Home);
    QTest::keyClicks(w.MaskEdit1, digits);
}

void tst_MergeWindow::typeAmount(TFrmVostralo& w, const QString& text) {
    w.MaskEdit1->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), w.MaskEdit1);
    QTest::keyClick(w.MaskEdit1, Qt::Key_Tab); // entering selects the whole amount
    QCOMPARE(QApplication::focusWidget(), w.qtvCurrencyEdit1);
    QTest::keyClicks(w.qtvCurrencyEdit1, text);
}

void tst_MergeWindow::press(TFrmVostralo& w) {
    QTest::mouseClick(w.Button1, Qt::LeftButton);
}

void tst_MergeWindow::mergesTheDay() {
    const QString path = makeShop("day");
    Db db(path);
    const QStringList untouched =
        db.rows("SELECT * FROM SESSAOCAIXA WHERE NOT (OPERADOR = 1 AND "
                "CAST(ABERTURA AS DATE) = '2024-05-10') ORDER BY TERMINAL, IDSESSAO");
    auto w = open(path);
    QCOMPARE(w->IB_LookupCombo1->Text(), QStringLiteral("ANA")); // first by name
    typeDate(*w, "10052024");
    QCOMPARE(w->MaskEdit1->text(), QStringLiteral("10/05/2024"));
    typeAmount(*w, "150,5");
    press(*w);
    QCOMPARE(boxes_.size(), 1);
    QCOMPARE(boxes_[0].kind, TApplication::BoxKind::Message);
    QCOMPARE(boxes_[0].text, QStringLiteral("Caixa unificado com sucesso!!!"));
    QTRY_VERIFY(!w->isVisible());
    w.reset(); // program end

    QCOMPARE(db.generator(), qint64(41));
    // One session on terminal 999 with id 41 + 10000, the earliest and latest cash-book time
    // (an entry after midnight closes it on the next day), the typed opening change alone.
    QCOMPARE(
        db.rows("SELECT TERMINAL, IDSESSAO, ABERTURA, FECHAMENTO, TROCOINICIAL, OPERADOR, "
                "SITUACAO, TOTALVENDAS FROM SESSAOCAIXA WHERE OPERADOR = 1 AND "
                "CAST(ABERTURA AS DATE) = '2024-05-10'"),
        QStringList{"999|10041|2024-05-10T07:10:00.000|2024-05-11T00:40:00.000|150.50|1|F|0.00"});
    QCOMPARE(db.rows("SELECT * FROM SESSAOCAIXA WHERE NOT (OPERADOR = 1 AND "
                     "CAST(ABERTURA AS DATE) = '2024-05-10') ORDER BY TERMINAL, IDSESSAO"),
             untouched);
    QCOMPARE(db.rows("SELECT ID, TERMINAL, IDSESSAO FROM CAIXA ORDER BY ID"),
             (QStringList{"1|999|10041", "2|999|10041", "3|999|10041", "4|1|12", "5|1|10"}));
    QCOMPARE(db.rows("SELECT ID, TERMINAL, IDSESSAO FROM VENDAS ORDER BY ID"),
             (QStringList{"1|999|10041", "2|999|10041", "3|1|12", "4|3|31"}));
    QCOMPARE(db.value("SELECT TERMINAL || '|' || IDSESSAO FROM PARCELADECOMPRA"), "999|10041");
    QCOMPARE(db.value("SELECT TERMINAL || '|' || IDSESSAO FROM RECEBIMENTOS"), "999|10041");
    QCOMPARE(db.value("SELECT TERMINAL || '|' || IDSESSAO FROM RETIRADAS"), "999|10041");
    QCOMPARE(db.value("SELECT TERMINAL || '|' || IDSESSAO FROM REFORCO"), "1|10");
}

void tst_MergeWindow::noSessionThatDay() {
    const QString path = makeShop("noday");
    Db db(path);
    const QStringList before = db.all();
    auto w = open(path);
    chooseOperator(*w, 1); // BRUNO
    QCOMPARE(w->IB_LookupCombo1->Text(), QStringLiteral("BRUNO"));
    typeDate(*w, "11052024");
    press(*w);
    QCOMPARE(boxes_.size(), 1);
    QCOMPARE(boxes_[0].text, QStringLiteral("Caixa unificado com sucesso!!!"));
    QTRY_VERIFY(!w->isVisible());
    w.reset();
    QCOMPARE(db.all(), before);
    QCOMPARE(db.generator(), qint64(40));
}

void tst_MergeWindow::openingChangeRounding_data() {
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<bool>("leaveField"); // the click on the button takes the focus
    QTest::addColumn<QString>("shown");   // the field's text when the merge reads it
    QTest::addColumn<QString>("stored");
    // Clicking the button takes the focus from the field, which reads and shows its amount at
    // two decimals (halves away from zero): the merge binds what the user sees.
    QTest::newRow("12,345 shown as 12,35") << "12,345" << true << "R$ 12,35"
                                           << "12.35";
    QTest::newRow("12,3449 shown as 12,34") << "12,3449" << true << "R$ 12,34"
                                            << "12.34";
    QTest::newRow("zero is accepted") << "0" << true << "R$ 0,00"
                                      << "0.00";
    // Run while the field still holds more decimals, the binding rounds half to even.
    QTest::newRow("12,345 bound as 12.34") << "12,345" << false << "12,345"
                                           << "12.34";
    QTest::newRow("12,355 bound as 12.36") << "12,355" << false << "12,355"
                                           << "12.36";
    QTest::newRow("12,3451 bound as 12.35") << "12,3451" << false << "12,3451"
                                            << "12.35";
}

void tst_MergeWindow::openingChangeRounding() {
    QFETCH(QString, pasted);
    QFETCH(bool, leaveField);
    QFETCH(QString, shown);
    QFETCH(QString, stored);
    const QString path = makeShop("rounding");
    auto w = open(path);
    chooseOperator(*w, 1); // BRUNO, one session that day
    typeDate(*w, "10052024");
    // More decimals than the field lets one type arrive by pasting.
    QApplication::clipboard()->setText(pasted);
    QTest::keyClick(w->MaskEdit1, Qt::Key_Tab);
    QTest::keyClick(w->qtvCurrencyEdit1, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w->qtvCurrencyEdit1->text(), pasted);
    if (leaveField)
        press(*w);
    else
        w->Button1Click(w->Button1);
    QCOMPARE(w->qtvCurrencyEdit1->text(), shown);
    QCOMPARE(boxes_.size(), 1);
    QCOMPARE(boxes_[0].text, QStringLiteral("Caixa unificado com sucesso!!!"));
    w.reset();
    Db db(path);
    QCOMPARE(db.value("SELECT TROCOINICIAL FROM SESSAOCAIXA WHERE TERMINAL = 999 AND OPERADOR = 2"),
             stored);
}

void tst_MergeWindow::checks_data() {
    QTest::addColumn<QString>("date"); // digits typed into the date field; empty: today's
    QTest::addColumn<int>("downs");    // moves in the operator picker; -1: Delete
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("focusOnDate");
    QTest::newRow("31/04/2024 does not exist") << "31042024" << 0 << ""
                                               << "Data Inválida!!!" << true;
    QTest::newRow("29/02/2023 does not exist") << "29022023" << 0 << ""
                                               << "Data Inválida!!!" << true;
    QTest::newRow("blank day and month") << "    2024" << 0 << ""
                                         << "Data Inválida!!!" << true;
    QTest::newRow("no operator chosen") << "10052024" << -1 << ""
                                        << "Selecione um operador de caixa!!!" << false;
    QTest::newRow("operator code 0") << "10052024" << 2 << ""
                                     << "Selecione um operador de caixa!!!" << false;
    QTest::newRow("negative opening change") << "10052024" << 0 << "-5"
                                             << "Valor do troco inicial Inválido!!!" << false;
    QTest::newRow("parenthesis makes it negative") << "10052024" << 0 << "5("
                                                   << "Valor do troco inicial Inválido!!!" << false;
}

void tst_MergeWindow::checks() {
    QFETCH(QString, date);
    QFETCH(int, downs);
    QFETCH(QString, amount);
    QFETCH(QString, message);
    QFETCH(bool, focusOnDate);
    const QString path = makeShop("checks");
    Db db(path);
    const QStringList before = db.all();
    auto w = open(path);
    if (downs < 0) {
        chooseOperator(*w, 0);
        QTest::keyClick(w->IB_LookupCombo1, Qt::Key_Delete);
        QCOMPARE(w->IB_LookupCombo1->Text(), QString());
    } else {
        chooseOperator(*w, downs);
    }
    typeDate(*w, date);
    if (!amount.isEmpty())
        typeAmount(*w, amount);
    press(*w);
    QCOMPARE(boxes_.size(), 1);
    QCOMPARE(boxes_[0].kind, TApplication::BoxKind::Message);
    QCOMPARE(boxes_[0].text, message);
    QVERIFY(w->Button1->isEnabled()); // enabled again once the message is dismissed
    QVERIFY(w->isVisible());
    QVERIFY(!w->IBTQExec->Started()); // nothing was started in the database
    if (focusOnDate)
        QTRY_COMPARE(QApplication::focusWidget(), w->MaskEdit1);
    else
        QCOMPARE(QApplication::focusWidget(), w->Button1);
    w.reset();
    QCOMPARE(db.all(), before);
    QCOMPARE(db.generator(), qint64(40));
}

void tst_MergeWindow::checksInOrder() {
    // Date, operator and opening change all wrong: only the date is reported; corrected one
    // by one, the next check speaks, and the merge finally runs.
    const QString path = makeShop("order");
    auto w = open(path);
    chooseOperator(*w, 0);
    QTest::keyClick(w->IB_LookupCombo1, Qt::Key_Delete);
    typeDate(*w, "31042024");
    typeAmount(*w, "-7");
    press(*w);
    typeDate(*w, "10052024");
    press(*w);
    chooseOperator(*w, 1); // from no row, Down selects the first operator: ANA
    QCOMPARE(w->IB_LookupCombo1->Text(), QStringLiteral("ANA"));
    press(*w);
    typeAmount(*w, "20");
    press(*w);
    QStringList texts;
    for (const Box& b : boxes_)
        texts << b.text;
    QCOMPARE(texts,
             (QStringList{"Data Inválida!!!", "Selecione um operador de caixa!!!",
                          "Valor do troco inicial Inválido!!!", "Caixa unificado com sucesso!!!"}));
    QTRY_VERIFY(!w->isVisible());
}

void tst_MergeWindow::serverErrorKeepsWindowOpen() {
    // A shop trigger that refuses moving a sale: the merge fails as a whole on the server.
    const QString path = makeShop("servererror");
    {
        Db db(path);
        db.exec("CREATE EXCEPTION E_VENDA_BLOQUEADA 'Venda bloqueada para alteração';");
        TIB_Query trigger;
        trigger.SetIB_Connection(&db.connection);
        trigger.SetSQL("CREATE TRIGGER VENDAS_BLOQUEIO FOR VENDAS BEFORE UPDATE AS "
                       "BEGIN IF (NEW.ID = 2) THEN EXCEPTION E_VENDA_BLOQUEADA; END");
        trigger.ExecSQL();
    }
    Db db(path);
    const QStringList before = db.all();
    auto w = open(path);
    typeDate(*w, "10052024");
    typeAmount(*w, "100");
    press(*w);
    QCOMPARE(boxes_.size(), 1);
    QCOMPARE(boxes_[0].kind, TApplication::BoxKind::Error);
    QCOMPARE(boxes_[0].text, QStringLiteral("Venda bloqueada para alteração."));
    QVERIFY(w->isVisible());
    QVERIFY(!w->Button1->isEnabled()); // no further merge in this run
    QVERIFY(w->IBTQExec->Started());
    w.reset(); // program end: the transaction is rolled back
    QCOMPARE(db.all(), before);
    QCOMPARE(db.generator(), qint64(41)); // generators are outside transaction control
}

void tst_MergeWindow::conflictingChangeFailsAtOnce() {
    const QString path = makeShop("conflict");
    Db other(path);
    const QStringList before = other.all();
    TIB_Transaction pending;
    pending.SetIB_Connection(&other.connection);
    pending.StartTransaction();
    TIB_Query change;
    change.SetIB_Connection(&other.connection);
    change.SetIB_Transaction(&pending);
    change.SetSQL("UPDATE VENDAS SET TOTAL = 99 WHERE ID = 2"); // a sale of ANA's day
    change.ExecSQL();
    auto w = open(path);
    typeDate(*w, "10052024");
    press(*w); // would wait for ever with a waiting transaction
    QCOMPARE(boxes_.size(), 1);
    QCOMPARE(boxes_[0].kind, TApplication::BoxKind::Error);
    QVERIFY2(boxes_[0].text.startsWith("ISC ERROR CODE:"), qPrintable(boxes_[0].text));
    QVERIFY2(boxes_[0].text.contains("conflict"), qPrintable(boxes_[0].text));
    QVERIFY(w->isVisible());
    QVERIFY(!w->Button1->isEnabled());
    w.reset();
    pending.Rollback();
    QCOMPARE(other.all(), before);
}

void tst_MergeWindow::serverStoppedBeforeMerge() {
    // A server of this test's own, stopped while the window is open.
    const QString script = qEnvironmentVariable("VOSTRALO_FBSERVER");
    QVERIFY(!script.isEmpty());
    const QString dir = TestServer::NewDatabasePath("ownserver");
    QProcess start;
    start.start(script, {"start", dir + ".server", "quince"});
    QVERIFY(start.waitForFinished(60000));
    QCOMPARE(start.exitCode(), 0);
    const QStringList portPid = QString::fromUtf8(start.readAllStandardOutput()).split(' ');
    QCOMPARE(portPid.size(), 2);
    const QString host = "127.0.0.1/" + portPid[0];
    const QString pid = portPid[1].trimmed();
    const auto stop = qScopeGuard([&] { QProcess::execute(script, {"stop", pid}); });

    const QString path = dir;
    {
        TIB_Connection c;
        TestServer::Point(c, path);
        c.SetServer(host);
        c.CreateDatabase();
        TestServer::ExecuteScript(c, TestServer::ReadFile(TestServer::ShopSchemaPath()));
        TestServer::ExecuteScript(c, QString::fromLatin1(kShop));
    }
    auto w = open(path, host);
    QVERIFY(w->TBFuncionarios->Active());
    typeDate(*w, "10052024");
    QCOMPARE(QProcess::execute(script, {"stop", pid}), 0);
    press(*w);
    QCOMPARE(boxes_.size(), 1);
    QCOMPARE(boxes_[0].kind, TApplication::BoxKind::Error);
    QVERIFY2(boxes_[0].text.startsWith("ISC ERROR CODE:"), qPrintable(boxes_[0].text));
    QVERIFY(w->isVisible());
    QVERIFY(!w->Button1->isEnabled());
    w.reset(); // ends without a crash although the server is gone
}

QTEST_MAIN(tst_MergeWindow)
#include "tst_MergeWindow.moc"
