// The main window in-process, under Xvfb with real window-system events: its look, the date it
// starts with, and what showing it does with the settings file and the shop database.
#include "app/UVostralo.h"
#include "controls/qtvCurrencyEdit.h"
#include "firebird/TIB_Connection.h"
#include "firebird/TIB_Query.h"
#include "firebird/TIB_Transaction.h"
#include "support/TestServer.h"
#include "widgets/TApplication.h"
#include "widgets/TIB_LookupCombo.h"
#include "widgets/TMaskEdit.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

struct Box {
    TApplication::BoxKind kind;
    QString caption;
    QString text;
};

QString pad(const QString& part, int width) {
    return part.size() >= width ? part.right(width) : QString(width - part.size(), '_') + part;
}

} // namespace

class tst_MainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowSettings();
    void controls_data();
    void controls();
    void creationOrderAndTabOrder();
    void textsFitTheirPlaces();
    void defaultDate_data();
    void defaultDate();
    void showConnects_data();
    void showConnects();
    void operatorQueryFailure();
    void centredAndFocusInPicker();
    void enterInDateFieldPressesNothing();
    void dateFieldCheckOnLeaving();
    void programEndRollsBackUnfinishedMerge();

private:
    void writeSettings(const QString& server, const QString& path);
    std::unique_ptr<TFrmVostralo> showWindow();
    QList<Box> boxes_;
};

void tst_MainWindow::initTestCase() {
    TApplication::SetBoxHook(
        [this](TApplication::BoxKind kind, const QString& caption, const QString& text) {
            boxes_.append({kind, caption, text});
        });
}

void tst_MainWindow::init() {
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    boxes_.clear();
}

void tst_MainWindow::cleanup() {
    QFile::remove(QCoreApplication::applicationDirPath() + "/quibrel.ini");
}

void tst_MainWindow::writeSettings(const QString& server, const QString& path) {
    QFile file(QCoreApplication::applicationDirPath() + "/quibrel.ini");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("[Quibrel]\nServidor=%1\nCaminho=%2\n").arg(server, path).toUtf8());
}

std::unique_ptr<TFrmVostralo> tst_MainWindow::showWindow() {
    auto w = std::make_unique<TFrmVostralo>();
    w->show();
    if (!QTest::qWaitForWindowActive(w.get()))
        qWarning("the window did not become active");
    return w;
}

void tst_MainWindow::windowSettings() {
    TFrmVostralo w;
    QCOMPARE(w.objectName(), QStringLiteral("FrmVostralo"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Unificação do Caixa Diário"));
    QCOMPARE(w.size(), QSize(541, 142));
    QCOMPARE(w.minimumSize(), QSize(541, 142));
    QCOMPARE(w.maximumSize(), QSize(541, 142));
    const Qt::WindowFlags flags = w.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    QCOMPARE(w.font().family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(w.font().pixelSize(), 11);
    QVERIFY(!w.Button1->isDefault());
    QVERIFY(!w.Button1->autoDefault());
    QCOMPARE(TApplication::TitleFromPath("/opt/x/VOSTRALO.EXE"), QStringLiteral("Vostralo"));
}

void tst_MainWindow::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("color");
    QTest::newRow("GroupBox1") << "GroupBox1" << QRect(8, 0, 529, 41) << "" << QColor();
    QTest::newRow("Label1") << "Label1" << QRect(8, 13, 513, 20)
                            << "Esta rotina deve ser executada no final de turno de cada caixa"
                            << QColor(0, 0, 128);
    QTest::newRow("Label4") << "Label4" << QRect(16, 41, -1, -1) << "Operador de Caixa"
                            << QColor(Qt::red);
    QTest::newRow("Label2") << "Label2" << QRect(312, 45, -1, -1) << "Data Mov." << QColor(Qt::red);
    QTest::newRow("Label3") << "Label3" << QRect(432, 45, -1, -1) << "Troco Inicial"
                            << QColor(Qt::red);
    QTest::newRow("IB_LookupCombo1")
        << "IB_LookupCombo1" << QRect(8, 66, 289, 28) << "" << QColor(Qt::black);
    QTest::newRow("MaskEdit1") << "MaskEdit1" << QRect(304, 66, 113, 28) << "" << QColor();
    QTest::newRow("qtvCurrencyEdit1")
        << "qtvCurrencyEdit1" << QRect(424, 66, 113, 28) << "R$ 0,00" << QColor();
    QTest::newRow("Button1") << "Button1" << QRect(328, 106, 209, 29) << "Unificar o Caixa"
                             << QColor();
}

void tst_MainWindow::controls() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(QColor, color);
    TFrmVostralo w;
    auto* c = w.findChild<QWidget*>(name);
    QVERIFY(c);
    QCOMPARE(c->pos(), geometry.topLeft());
    if (geometry.width() > 0)
        QCOMPARE(c->size(), geometry.size());
    else { // labels size themselves to their text
        QCOMPARE(c->size(), c->sizeHint());
        QVERIFY(c->width() >= c->fontMetrics().horizontalAdvance(text));
    }
    if (name != "GroupBox1") {
        QCOMPARE(c->font().family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(c->font().pixelSize(), 16);
        QVERIFY(c->font().bold());
    } else {
        QCOMPARE(c->font().pixelSize(), 11);
    }
    if (auto* label = qobject_cast<QLabel*>(c))
        QCOMPARE(label->text(), text);
    if (auto* button = qobject_cast<QPushButton*>(c))
        QCOMPARE(button->text(), text);
    if (auto* edit = qobject_cast<TqtvCurrencyEdit*>(c))
        QCOMPARE(edit->text(), text);
    if (color.isValid())
        QCOMPARE(c->palette().color(QPalette::WindowText), color);
    // The right edges of the group box, the opening-change field and the button are at 537.
    if (name == "GroupBox1" || name == "qtvCurrencyEdit1" || name == "Button1")
        QCOMPARE(c->geometry().right() + 1, 537);
}

void tst_MainWindow::creationOrderAndTabOrder() {
    TFrmVostralo w;
    QStringList order;
    for (QObject* child : w.children())
        if (!child->objectName().isEmpty())
            order << child->objectName();
    QCOMPARE(order,
             (QStringList{"Label2", "Label3", "Label4", "MaskEdit1", "qtvCurrencyEdit1",
                          "GroupBox1", "Button1", "IB_LookupCombo1", "IB_Quibrel", "IBTQuibrel",
                          "QExec", "TBFuncionarios", "DSFuncionarios", "IBTQExec"}));
    QCOMPARE(w.Label1->parent(), w.GroupBox1);
    // Tab moves picker → date → opening change → button → picker.
    QWidget* next = w.IB_LookupCombo1;
    QStringList chain;
    for (int i = 0; i < 4; ++i) {
        do
            next = next->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus));
        chain << next->objectName();
    }
    QCOMPARE(chain, (QStringList{"MaskEdit1", "qtvCurrencyEdit1", "Button1", "IB_LookupCombo1"}));
    QCOMPARE(w.GroupBox1->focusPolicy(), Qt::NoFocus);
    QCOMPARE(w.Label1->focusPolicy(), Qt::NoFocus);
}

void tst_MainWindow::textsFitTheirPlaces() {
    TFrmVostralo w;
    const QFontMetrics notice(w.Label1->font());
    QVERIFY2(notice.horizontalAdvance(w.Label1->text()) <= w.Label1->width(),
             "the notice must stand on one line");
    QVERIFY(notice.height() <= w.Label1->height());
    QVERIFY(w.Label4->width() <= 150 + 8);
    QVERIFY(w.Label2->geometry().right() < w.MaskEdit1->geometry().right());
    QVERIFY(w.Label3->geometry().right() <= 541);
    QVERIFY(w.Button1->fontMetrics().horizontalAdvance(w.Button1->text()) < w.Button1->width());
}

void tst_MainWindow::defaultDate_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");
    const QDate today = QDate::currentDate();
    const QString d = QString::number(today.day()), m = QString::number(today.month());
    const QString y = QString::number(today.year());
    const QString yy = y.right(2);
    QTest::newRow("pt_BR dd/MM/yyyy")
        << QLocale(QLocale::Portuguese, QLocale::Brazil)
        << pad(d.rightJustified(2, '0'), 2) + "/" + m.rightJustified(2, '0') + "/" + y;
    // M/d/yy: one-digit parts stand right-aligned; the two-digit year leaves two year
    // positions unfilled.
    QTest::newRow("en_US M/d/yy") << QLocale(QLocale::English, QLocale::UnitedStates)
                                  << pad(m, 2) + "/" + pad(d, 2) + "/" + pad(yy, 4);
    // yyyy-MM-dd: the year keeps its two right-most digits in the first segment.
    QTest::newRow("sv_SE yyyy-MM-dd")
        << QLocale(QLocale::Swedish, QLocale::Sweden)
        << yy + "-" + m.rightJustified(2, '0') + "-" + pad(d.rightJustified(2, '0'), 4);
    QTest::newRow("de_DE dd.MM.yy")
        << QLocale(QLocale::German, QLocale::Germany)
        << d.rightJustified(2, '0') + "." + m.rightJustified(2, '0') + "." + pad(yy, 4);
}

void tst_MainWindow::defaultDate() {
    QFETCH(QLocale, locale);
    QFETCH(QString, expected);
    QLocale::setDefault(locale);
    TFrmVostralo w;
    QCOMPARE(w.MaskEdit1->text(), expected);
}

void tst_MainWindow::showConnects_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("connects");
    QTest::newRow("first password") << "quince" << true;
    QTest::newRow("second password, no message") << "bluefinch" << true;
    QTest::newRow("both rejected") << "sem-acesso" << false;
}

void tst_MainWindow::showConnects() {
    QFETCH(QString, server);
    QFETCH(bool, connects);
    const QString path = TestServer::CreateShopDatabase("show", server);
    {
        TIB_Connection c;
        TestServer::Point(c, path, server);
        c.Connect();
        TestServer::ExecuteScript(c, "INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (2, 'ZECA');"
                                     "INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (1, 'ANA');");
    }
    writeSettings(TestServer::Host(server), path);
    auto w = std::make_unique<TFrmVostralo>();
    QVERIFY(!w->TBFuncionarios->Active()); // nothing connects while the window is made
    QVERIFY(!w->IB_Quibrel->Connected());
    w->show();
    QCOMPARE(w->IB_Quibrel->Connected(), connects);
    QCOMPARE(w->TBFuncionarios->Active(), connects);
    if (connects) {
        QVERIFY(boxes_.isEmpty());
        QCOMPARE(w->IB_Quibrel->Password(), server);
        QCOMPARE(w->TBFuncionarios->FieldByName("NOME").AsString(), QStringLiteral("ANA"));
        QCOMPARE(w->IB_LookupCombo1->Text(), QStringLiteral("ANA"));
        QTest::qWait(50);
        QVERIFY(w->isVisible());
    } else {
        QCOMPARE(boxes_.size(), 1);
        QCOMPARE(boxes_[0].kind, TApplication::BoxKind::Message);
        QCOMPARE(boxes_[0].text, QStringLiteral("Falha na conexão com o banco de dados!!!"));
        QTRY_VERIFY(!w->isVisible()); // closed once the message is confirmed
    }
}

void tst_MainWindow::operatorQueryFailure() {
    const QString path = TestServer::CreateShopDatabase("noquery");
    {
        TIB_Connection c;
        TestServer::Point(c, path);
        c.Connect();
        TestServer::ExecuteScript(c, "DROP TABLE FUNCIONARIOS;");
    }
    writeSettings(TestServer::Host("quince"), path);
    auto w = showWindow();
    QCOMPARE(boxes_.size(), 1);
    QCOMPARE(boxes_[0].kind, TApplication::BoxKind::Error);
    QVERIFY2(boxes_[0].text.startsWith("ISC ERROR CODE:335544569\n\nISC ERROR MESSAGE:\n"),
             qPrintable(boxes_[0].text));
    QVERIFY(boxes_[0].text.contains("FUNCIONARIOS"));
    QTest::qWait(100);
    QVERIFY(w->isVisible());
    QVERIFY(!w->TBFuncionarios->Active());
    QCOMPARE(w->IB_LookupCombo1->Text(), QString());
    QTest::keyClick(w->IB_LookupCombo1, Qt::Key_Down); // nothing to choose, nothing breaks
    QCOMPARE(w->IB_LookupCombo1->Text(), QString());
}

void tst_MainWindow::centredAndFocusInPicker() {
    const QString path = TestServer::CreateShopDatabase("centre");
    writeSettings(TestServer::Host("quince"), path);
    auto w = showWindow();
    const QRect screen = w->screen()->geometry();
    const QRect frame = w->frameGeometry();
    QCOMPARE(frame.left(), (screen.width() - frame.width()) / 2);
    QCOMPARE(frame.top(), (screen.height() - frame.height()) / 2);
    QCOMPARE(QApplication::focusWidget(), w->IB_LookupCombo1);
    w->hide();
    w->move(0, 0);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QCOMPARE(w->frameGeometry().left(), (screen.width() - frame.width()) / 2);
}

void tst_MainWindow::enterInDateFieldPressesNothing() {
    const QString path = TestServer::CreateShopDatabase("enter");
    writeSettings(TestServer::Host("quince"), path);
    auto w = showWindow();
    QSignalSpy clicked(w->Button1, &QPushButton::clicked);
    w->MaskEdit1->setFocus();
    QTest::keyClick(w->MaskEdit1, Qt::Key_Return);
    QTest::keyClick(w->MaskEdit1, Qt::Key_Enter);
    QTest::keyClick(w->qtvCurrencyEdit1, Qt::Key_Return);
    QCOMPARE(clicked.count(), 0);
    QVERIFY(boxes_.isEmpty());
    QVERIFY(w->isVisible());
}

void tst_MainWindow::dateFieldCheckOnLeaving() {
    const QString path = TestServer::CreateShopDatabase("datecheck");
    writeSettings(TestServer::Host("quince"), path);
    auto w = showWindow();
    w->MaskEdit1->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), w->MaskEdit1);
    w->MaskEdit1->setCursorPosition(6); // the first year position
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(w->MaskEdit1, Qt::Key_Delete);
    QTest::keyClick(w->MaskEdit1, Qt::Key_Tab);
    QTRY_COMPARE(boxes_.size(), 1);
    QCOMPARE(boxes_[0].kind, TApplication::BoxKind::Error);
    QCOMPARE(boxes_[0].text,
             QStringLiteral("Invalid input value.  Use escape key to abandon changes."));
    QTRY_COMPARE(QApplication::focusWidget(), w->MaskEdit1);
    QCOMPARE(w->MaskEdit1->cursorPosition(), 6);
    // Escape abandons the change: today's date is back and leaving is allowed.
    QTest::keyClick(w->MaskEdit1, Qt::Key_Escape);
    QVERIFY(!w->MaskEdit1->text().contains('_'));
    QTest::keyClick(w->MaskEdit1, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), w->qtvCurrencyEdit1);
    QCOMPARE(boxes_.size(), 1);
}

void tst_MainWindow::programEndRollsBackUnfinishedMerge() {
    const QString path = TestServer::CreateShopDatabase("rollback");
    writeSettings(TestServer::Host("quince"), path);
    {
        auto w = showWindow();
        QVERIFY(w->IB_Quibrel->Connected());
        // A merge that failed after its transaction started leaves it started.
        w->IBTQExec->StartTransaction();
        TIB_Query insert;
        insert.SetIB_Connection(w->IB_Quibrel);
        insert.SetIB_Transaction(w->IBTQExec);
        insert.SetSQL("INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (9, 'NOVE')");
        insert.ExecSQL();
        insert.Unprepare();
    }
    TIB_Connection c;
    TIB_Transaction t;
    t.SetIB_Connection(&c);
    c.SetDefaultTransaction(&t);
    TestServer::Point(c, path);
    c.Connect();
    TIB_Query count;
    count.SetIB_Connection(&c);
    count.SetSQL("SELECT COUNT(*) FROM FUNCIONARIOS");
    count.Open();
    QCOMPARE(count.Value(0, 0).toInt(), 0);
}

QTEST_MAIN(tst_MainWindow)
#include "tst_MainWindow.moc"
