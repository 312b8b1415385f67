// The operator picker against the real private Firebird server, driven by key and mouse events
// through the window system (X under Xvfb).
#include "firebird/EIB_Error.h"
#include "firebird/TIB_Connection.h"
#include "firebird/TIB_DataSource.h"
#include "firebird/TIB_Query.h"
#include "firebird/TIB_Transaction.h"
#include "support/TestServer.h"
#include "widgets/TIB_LookupCombo.h"
#include "widgets/TIB_LookupList.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

namespace {

const QString kOperatorSql =
    QStringLiteral("SELECT CODIGO\n     , NOME\nFROM FUNCIONARIOS\nORDER BY NOME");

const QString kLongName = QStringLiteral("CARLOS EDUARDO PEREIRA DOS SANTOS DE ALBUQUERQUE");

// The operators of the shared database, in the server's NOME order. Rows 7 and 8 share a name
// (codes 7 and 12, in either order); row 1 has no code; the last row has code 0.
const QStringList kNames = {
    "ANA LIMA",    "BRUNO SEM CODIGO", kLongName,      "DANIELA ROCHA", "EDUARDO MELO",
    "FABIO RAMOS", "GABRIELA CRUZ",    "JOAO SILVA",   "JOAO SILVA",    "MARIA SOUZA",
    "PEDRO ALVES", "RITA MOURA",       "SERGIO DIAS",  "TANIA REIS",    "ULISSES COSTA",
    "VERA NUNES",  "WAGNER LOPES",     "XAVIER PINTO", "YARA GOMES",    "ZELIA ZERO",
};
constexpr int kLast = 19;

void exec(TIB_Connection& connection, const QString& sql) {
    TIB_Query q;
    q.SetIB_Connection(&connection);
    q.SetSQL(sql);
    q.ExecSQL();
}

// Opening the list grabs the keyboard, which X reports as a move of the focus to the list's
// window. A key that closes the list before that report has been read would have the report
// arrive afterwards and take the window's activation away for a moment, so the tests wait for it
// as a user's next key would.
[[nodiscard]] bool ListHasKeyboard(const TIB_LookupCombo* combo) {
    return QTest::qWaitFor([combo] {
        return QGuiApplication::focusWindow() == combo->DropDownList()->windowHandle();
    });
}

// The operator part of the main window: the picker with the query behind it, and the controls
// after it in the tab order.
struct PickerWindow {
    TIB_Connection connection;
    TIB_Transaction transaction;
    TIB_Query query;
    TIB_DataSource source;
    QWidget window;
    TIB_LookupCombo* combo;
    QLineEdit* date;
    QLineEdit* money;
    QPushButton* button;

    explicit PickerWindow(const QString& path) {
        transaction.SetIB_Connection(&connection);
        transaction.SetAutoCommit(true);
        transaction.SetIsolation(tiCommitted);
        connection.SetDefaultTransaction(&transaction);
        TestServer::Point(connection, path);
        connection.Connect();
        query.SetIB_Connection(&connection);
        query.SetSQL(kOperatorSql);
        source.SetDataset(&query);

        window.setWindowTitle(QStringLiteral("Operador"));
        window.setFixedSize(541, 142);
        QFont bold(QStringLiteral("Liberation Sans"));
        bold.setPixelSize(16);
        bold.setBold(true);
        combo = new TIB_LookupCombo(&window);
        combo->setGeometry(8, 66, 289, 28);
        combo->setFont(bold);
        combo->SetDataSource(&source);
        combo->SetDisplayField(QStringLiteral("NOME"));
        combo->SetShowButton(true);
        combo->SetDefaultRowHeight(22);
        date = new QLineEdit(&window);
        date->setGeometry(304, 66, 113, 28);
        money = new QLineEdit(&window);
        money->setGeometry(424, 66, 113, 28);
        button = new QPushButton(QStringLiteral("Unificar o Caixa"), &window);
        button->setGeometry(328, 106, 209, 29);
        QWidget::setTabOrder(combo, date);
        QWidget::setTabOrder(date, money);
        QWidget::setTabOrder(money, button);
        window.move(369, 441);
    }
    ~PickerWindow() { window.hide(); }

    [[nodiscard]] bool show() {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        combo->setFocus(Qt::OtherFocusReason);
        return QTest::qWaitFor([&] { return combo->hasFocus(); });
    }

    TIB_LookupList* list() const { return combo->DropDownList(); }

    // Keys and clicks go to the window as the window system delivers them; while the list is
    // open, Qt hands them to the list as the X grab would.
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(window.windowHandle(), k, mods);
        settle();
    }
    void click(QWidget* w, const QPoint& pos) {
        QWindow* handle = w->window()->windowHandle();
        QTest::mouseClick(handle, Qt::LeftButton, Qt::NoModifier, w->mapTo(w->window(), pos));
        settle();
    }
    void settle() {
        if (combo->DroppedDown() && !ListHasKeyboard(combo))
            QTest::qFail("the open list did not get the keyboard", __FILE__, __LINE__);
    }
    void clickButton() { click(combo, combo->ButtonRect().center()); }

    int codeOfCurrent() { return query.FieldByName(QStringLiteral("CODIGO")).AsInteger(); }
    bool currentInView() const {
        const int row = query.RowNum();
        return list()->TopRow() <= row && row < list()->TopRow() + list()->VisibleRows();
    }
};

} // namespace

class tst_TIB_LookupCombo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void firstOperatorSelectedWhenOpened();
    void keyboard_data();
    void keyboard();
    void tabClosesListAndMovesFocus_data();
    void tabClosesListAndMovesFocus();
    void enterAndEscapeStayInPicker_data();
    void enterAndEscapeStayInPicker();
    void buttonOpensAndClosesList();
    void listShowsBothColumnsAsWideAsNeeded();
    void pressOnRowChoosesReleaseCloses();
    void clickOnTextTakesFocusAndCloses();
    void clickOutsideOrFocusLossKeepsRow();
    void escapeAfterBrowsingKeepsRow();
    void deleteThenUpSelectsFirstAgain();
    void sameNameToldApartByCode();
    void zeroAndNullCodesCanBeChosen();
    void listAboveNearScreenBottom();
    void focusLook();
    void fetchesOnlyWhatIsShown();
    void emptyTable();
    void queryThatFailedToOpen();
    void screenshotOfOpenList();

private:
    QString path_;
};

void tst_TIB_LookupCombo::initTestCase() {
    path_ = TestServer::CreateShopDatabase(QStringLiteral("lookup"));
    TIB_Connection connection;
    TestServer::Point(connection, path_);
    connection.Connect();
    QStringList script;
    const QList<QPair<QString, QString>> rows = {
        {"5", "MARIA SOUZA"},         {"3", "ANA LIMA"},      {"8", kLongName},
        {"12", "JOAO SILVA"},         {"7", "JOAO SILVA"},    {"0", "ZELIA ZERO"},
        {"NULL", "BRUNO SEM CODIGO"}, {"20", "PEDRO ALVES"},  {"21", "RITA MOURA"},
        {"22", "SERGIO DIAS"},        {"23", "TANIA REIS"},   {"24", "ULISSES COSTA"},
        {"25", "VERA NUNES"},         {"26", "WAGNER LOPES"}, {"27", "XAVIER PINTO"},
        {"28", "YARA GOMES"},         {"2", "DANIELA ROCHA"}, {"4", "EDUARDO MELO"},
        {"6", "FABIO RAMOS"},         {"9", "GABRIELA CRUZ"},
    };
    for (const auto& [code, name] : rows)
        script << QStringLiteral("INSERT INTO FUNCIONARIOS (CODIGO, NOME) VALUES (%1, '%2');")
                      .arg(code, name);
    TestServer::ExecuteScript(connection, script.join(QLatin1Char('\n')));
}

void tst_TIB_LookupCombo::firstOperatorSelectedWhenOpened() {
    PickerWindow w(path_);
    // Before the window opens the query, the picker is empty.
    QCOMPARE(w.combo->Text(), QString());
    w.query.Open();
    QCOMPARE(w.query.ServerFetches(), qint64(1));
    QCOMPARE(w.combo->Text(), "ANA LIMA");
    QCOMPARE(w.codeOfCurrent(), 3);
    w.window.show();
    w.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    // First in the tab order, the picker has the focus when the window becomes active.
    QTRY_VERIFY(w.combo->hasFocus());
    QVERIFY(!w.combo->DroppedDown());
    QCOMPARE(w.query.ServerFetches(), qint64(1));
}

void tst_TIB_LookupCombo::keyboard_data() {
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("openAfter");

    const int none = Qt::NoModifier;
    const int alt = Qt::AltModifier;
    const int ctrl = Qt::ControlModifier;
    for (const bool open : {false, true}) {
        const char* state = open ? "open" : "closed";
        auto row = [&](const char* name) -> QTestData& {
            return QTest::addRow("%s: %s", state, name) << open;
        };
        row("Down") << 0 << int(Qt::Key_Down) << none << 1 << open;
        row("Down at last") << kLast << int(Qt::Key_Down) << none << kLast << open;
        row("Up") << 5 << int(Qt::Key_Up) << none << 4 << open;
        row("Up at first") << 0 << int(Qt::Key_Up) << none << 0 << open;
        row("Page Down") << 0 << int(Qt::Key_PageDown) << none << 7 << open;
        row("Page Down near last") << 15 << int(Qt::Key_PageDown) << none << kLast << open;
        row("Page Up") << 10 << int(Qt::Key_PageUp) << none << 3 << open;
        row("Page Up near first") << 3 << int(Qt::Key_PageUp) << none << 0 << open;
        row("Delete") << 4 << int(Qt::Key_Delete) << none << -1 << false;
        row("Down after Delete") << -1 << int(Qt::Key_Down) << none << 0 << open;
        row("Up after Delete") << -1 << int(Qt::Key_Up) << none << 0 << open;
        row("letter") << 4 << int(Qt::Key_Z) << none << 4 << open;
        row("digit") << 4 << int(Qt::Key_5) << none << 4 << open;
        row("space") << 4 << int(Qt::Key_Space) << none << 4 << open;
        row("Backspace") << 4 << int(Qt::Key_Backspace) << none << 4 << open;
    }
    // Where the two states differ.
    QTest::newRow("closed: Home") << false << 10 << int(Qt::Key_Home) << none << 10 << false;
    QTest::newRow("closed: End") << false << 10 << int(Qt::Key_End) << none << 10 << false;
    QTest::newRow("open: Home") << true << 10 << int(Qt::Key_Home) << none << 0 << true;
    QTest::newRow("open: End") << true << 3 << int(Qt::Key_End) << none << kLast << true;
    QTest::newRow("closed: Alt+Down") << false << 4 << int(Qt::Key_Down) << alt << 4 << true;
    QTest::newRow("closed: Ctrl+Down") << false << 4 << int(Qt::Key_Down) << ctrl << 4 << true;
    QTest::newRow("open: Alt+Down") << true << 4 << int(Qt::Key_Down) << alt << 4 << true;
    QTest::newRow("open: Ctrl+Down") << true << 4 << int(Qt::Key_Down) << ctrl << 4 << true;
    QTest::newRow("closed: Alt+Up") << false << 4 << int(Qt::Key_Up) << alt << 4 << false;
    QTest::newRow("closed: Ctrl+Up") << false << 4 << int(Qt::Key_Up) << ctrl << 4 << false;
    QTest::newRow("open: Alt+Up") << true << 4 << int(Qt::Key_Up) << alt << 4 << false;
    QTest::newRow("open: Ctrl+Up") << true << 4 << int(Qt::Key_Up) << ctrl << 4 << false;
    QTest::newRow("closed: Enter") << false << 4 << int(Qt::Key_Return) << none << 4 << false;
    QTest::newRow("closed: keypad Enter") << false << 4 << int(Qt::Key_Enter) << none << 4 << false;
    QTest::newRow("closed: Escape") << false << 4 << int(Qt::Key_Escape) << none << 4 << false;
    QTest::newRow("open: Enter") << true << 4 << int(Qt::Key_Return) << none << 4 << false;
    QTest::newRow("open: keypad Enter") << true << 4 << int(Qt::Key_Enter) << none << 4 << false;
    QTest::newRow("open: Escape") << true << 4 << int(Qt::Key_Escape) << none << 4 << false;
}

void tst_TIB_LookupCombo::keyboard() {
    QFETCH(bool, open);
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, row);
    QFETCH(bool, openAfter);

    PickerWindow w(path_);
    w.query.Open();
    QVERIFY(w.show());
    if (start < 0)
        w.query.BeforeFirst();
    else
        w.query.MoveTo(start);
    if (open) {
        w.combo->DropDown();
        QVERIFY(w.combo->DroppedDown());
        QVERIFY(ListHasKeyboard(w.combo));
        QVERIFY(w.currentInView() || start < 0);
    }

    w.key(Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(w.query.RowNum(), row);
    QCOMPARE(w.combo->DroppedDown(), openAfter);
    QCOMPARE(w.combo->Text(), row < 0 ? QString() : kNames[row]);
    QVERIFY(w.combo->hasFocus());
    QCOMPARE(QApplication::focusWidget(), w.combo);
    if (openAfter && row >= 0) {
        QVERIFY(w.currentInView());
        QVERIFY(w.list()->RowRect(row).isValid());
    }
}

void tst_TIB_LookupCombo::tabClosesListAndMovesFocus_data() {
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("back");
    QTest::newRow("closed: Tab") << false << false;
    QTest::newRow("closed: Shift+Tab") << false << true;
    QTest::newRow("open: Tab") << true << false;
    QTest::newRow("open: Shift+Tab") << true << true;
}

void tst_TIB_LookupCombo::tabClosesListAndMovesFocus() {
    QFETCH(bool, open);
    QFETCH(bool, back);
    PickerWindow w(path_);
    w.query.Open();
    QVERIFY(w.show());
    w.query.MoveTo(2);
    if (open)
        w.key(Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(w.combo->DroppedDown(), open);

    if (back)
        w.key(Qt::Key_Backtab, Qt::ShiftModifier);
    else
        w.key(Qt::Key_Tab);

    QVERIFY(!w.combo->DroppedDown());
    // The tab chain wraps: before the picker comes the command button.
    QWidget* expected = back ? static_cast<QWidget*>(w.button) : w.date;
    QTRY_COMPARE(QApplication::focusWidget(), expected);
    QCOMPARE(w.query.RowNum(), 2);
}

void tst_TIB_LookupCombo::enterAndEscapeStayInPicker_data() {
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("key");
    for (const bool open : {false, true}) {
        const char* state = open ? "open" : "closed";
        QTest::addRow("%s: Enter", state) << open << int(Qt::Key_Return);
        QTest::addRow("%s: keypad Enter", state) << open << int(Qt::Key_Enter);
        QTest::addRow("%s: Escape", state) << open << int(Qt::Key_Escape);
    }
}

void tst_TIB_LookupCombo::enterAndEscapeStayInPicker() {
    QFETCH(bool, open);
    QFETCH(int, key);
    // A dialog presses its default button on Enter and closes on Escape when a control leaves
    // those keys to it; the picker does not.
    PickerWindow w(path_);
    w.query.Open();
    QDialog dialog;
    auto* combo = new TIB_LookupCombo(&dialog);
    combo->setGeometry(8, 8, 289, 28);
    combo->SetDataSource(&w.source);
    combo->SetDisplayField(QStringLiteral("NOME"));
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setGeometry(8, 50, 80, 28);
    ok->setDefault(true);
    int clicks = 0;
    connect(ok, &QPushButton::clicked, this, [&] { ++clicks; });
    dialog.resize(320, 90);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    combo->setFocus();
    QTRY_VERIFY(combo->hasFocus());
    if (open) {
        combo->DropDown();
        QVERIFY(ListHasKeyboard(combo));
    }
    QCOMPARE(combo->DroppedDown(), open);

    QTest::keyClick(dialog.windowHandle(), Qt::Key(key));

    QVERIFY(!combo->DroppedDown());
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    QCOMPARE(clicks, 0);
    QVERIFY(combo->hasFocus());
    QCOMPARE(w.query.RowNum(), 0);
}

void tst_TIB_LookupCombo::buttonOpensAndClosesList() {
    PickerWindow w(path_);
    w.query.Open();
    QVERIFY(w.show());
    w.date->setFocus();
    QTRY_VERIFY(w.date->hasFocus());

    w.clickButton();
    QVERIFY(w.combo->DroppedDown());
    // The focus is on the picker and stays there; the list never takes it.
    QCOMPARE(QApplication::focusWidget(), w.combo);
    QVERIFY(w.combo->hasFocus());
    QVERIFY(!w.list()->hasFocus());
    QCOMPARE(QApplication::activePopupWidget(), w.list());

    // Below the picker, left-aligned, seven rows of 22 pixels, the current row in view.
    const QRect placed = w.list()->geometry();
    QCOMPARE(placed.topLeft(), w.combo->mapToGlobal(QPoint(0, w.combo->height())));
    QCOMPARE(w.list()->VisibleRows(), 7);
    QCOMPARE(w.list()->RowRect(0).height(), 22);
    QVERIFY(placed.height() >= 7 * 22 && placed.height() <= 7 * 22 + 4);
    QCOMPARE(w.list()->TopRow(), 0);
    QVERIFY(w.currentInView());

    w.clickButton();
    QVERIFY(!w.combo->DroppedDown());
    QVERIFY(w.combo->hasFocus());
    QCOMPARE(w.query.RowNum(), 0);

    // And again: the button toggles every time.
    w.clickButton();
    QVERIFY(w.combo->DroppedDown());
    w.clickButton();
    QVERIFY(!w.combo->DroppedDown());
}

void tst_TIB_LookupCombo::listShowsBothColumnsAsWideAsNeeded() {
    PickerWindow w(path_);
    w.query.Open();
    QVERIFY(w.show());
    w.key(Qt::Key_Down, Qt::AltModifier);
    TIB_LookupList* list = w.list();
    QVERIFY(w.combo->DroppedDown());

    // Code, then name; no title row above the first operator.
    QCOMPARE(list->CellText(0, 0), "3");
    QCOMPARE(list->CellText(0, 1), "ANA LIMA");
    QVERIFY(list->CellRect(0, 0).right() < list->CellRect(0, 1).left());
    QVERIFY(list->RowRect(0).top() <= 2);
    for (int row = 0; row < 7; ++row)
        QCOMPARE(list->CellText(row, 1), kNames[row]);

    // As wide as the columns need, and never narrower than the picker.
    const QFontMetrics fm(w.combo->font());
    QVERIFY(list->CellRect(2, 1).width() >= fm.horizontalAdvance(kLongName));
    QVERIFY(list->width() > w.combo->width());
    for (int row = 0; row < 7; ++row) {
        for (int column = 0; column < 2; ++column) {
            QVERIFY(list->CellRect(row, column).width() >
                    fm.horizontalAdvance(list->CellText(row, column)));
        }
    }

    // A list of short names is still as wide as the picker.
    w.key(Qt::Key_Escape);
    w.query.MoveTo(kLast);
    w.key(Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(list->TopRow(), kLast - 6);
    QCOMPARE(list->width(), w.combo->width());
}

void tst_TIB_LookupCombo::pressOnRowChoosesReleaseCloses() {
    PickerWindow w(path_);
    w.query.Open();
    QVERIFY(w.show());
    w.clickButton();
    TIB_LookupList* list = w.list();
    QVERIFY(w.combo->DroppedDown());

    const QPoint onRow = list->RowRect(4).center();
    QTest::mousePress(list->windowHandle(), Qt::LeftButton, Qt::NoModifier, onRow);
    // Current at once, while the button is still down.
    QCOMPARE(w.query.RowNum(), 4);
    QCOMPARE(w.combo->Text(), "EDUARDO MELO");
    QVERIFY(w.combo->DroppedDown());
    QTest::mouseRelease(list->windowHandle(), Qt::LeftButton, Qt::NoModifier, onRow);
    QVERIFY(!w.combo->DroppedDown());
    QCOMPARE(w.query.RowNum(), 4);
    QCOMPARE(w.codeOfCurrent(), 4);
    QCOMPARE(QApplication::focusWidget(), w.combo);
}

void tst_TIB_LookupCombo::clickOnTextTakesFocusAndCloses() {
    PickerWindow w(path_);
    w.query.Open();
    QVERIFY(w.show());
    const QPoint onText = w.combo->TextRect().center();

    // Closed: the click takes the focus and does not open the list.
    w.money->setFocus();
    QTRY_VERIFY(w.money->hasFocus());
    w.click(w.combo, onText);
    QTRY_VERIFY(w.combo->hasFocus());
    QVERIFY(!w.combo->DroppedDown());

    // Open: the click closes the list, the row stays.
    w.key(Qt::Key_Down, Qt::AltModifier);
    w.key(Qt::Key_Down);
    QVERIFY(w.combo->DroppedDown());
    w.click(w.combo, onText);
    QVERIFY(!w.combo->DroppedDown());
    QVERIFY(w.combo->hasFocus());
    QCOMPARE(w.query.RowNum(), 1);
}

void tst_TIB_LookupCombo::clickOutsideOrFocusLossKeepsRow() {
    PickerWindow w(path_);
    w.query.Open();
    QVERIFY(w.show());
    w.key(Qt::Key_Down, Qt::AltModifier);
    w.key(Qt::Key_Down);
    w.key(Qt::Key_Down);
    QVERIFY(w.combo->DroppedDown());

    // An empty spot of the window, above the picker (the list covers the part below it).
    const QPoint spot(450, 20);
    QVERIFY(!w.list()->geometry().contains(w.window.mapToGlobal(spot)));
    QVERIFY(!w.window.childAt(spot));
    w.click(&w.window, spot);
    QVERIFY(!w.combo->DroppedDown());
    QCOMPARE(w.query.RowNum(), 2);
    QCOMPARE(w.combo->Text(), kLongName);

    // The focus going elsewhere closes the list too.
    w.key(Qt::Key_Down, Qt::AltModifier);
    w.key(Qt::Key_Down);
    QVERIFY(w.combo->DroppedDown());
    w.date->setFocus();
    QTRY_VERIFY(w.date->hasFocus());
    QVERIFY(!w.combo->DroppedDown());
    QCOMPARE(w.query.RowNum(), 3);
}

void tst_TIB_LookupCombo::escapeAfterBrowsingKeepsRow() {
    PickerWindow w(path_);
    w.query.Open();
    QVERIFY(w.show());
    w.key(Qt::Key_Down, Qt::AltModifier);
    for (int i = 0; i < 8; ++i)
        w.key(Qt::Key_Down);
    w.key(Qt::Key_Up);
    QCOMPARE(w.query.RowNum(), 7);
    QVERIFY(w.currentInView());
    w.key(Qt::Key_Escape);
    QVERIFY(!w.combo->DroppedDown());
    QCOMPARE(w.query.RowNum(), 7);
    QCOMPARE(w.combo->Text(), "JOAO SILVA");
}

void tst_TIB_LookupCombo::deleteThenUpSelectsFirstAgain() {
    PickerWindow w(path_);
    w.query.Open();
    QVERIFY(w.show());
    w.key(Qt::Key_Down);
    w.key(Qt::Key_Down);
    w.key(Qt::Key_Delete);
    QCOMPARE(w.combo->Text(), QString());
    QVERIFY(!w.query.HasCurrentRow());
    QVERIFY(w.query.FieldByName("CODIGO").IsNull());
    QCOMPARE(w.codeOfCurrent(), 0);

    // The open list has no highlighted row then.
    w.key(Qt::Key_Down, Qt::AltModifier);
    QVERIFY(w.combo->DroppedDown());
    QCOMPARE(w.list()->TopRow(), 0);
    w.key(Qt::Key_Escape);

    w.key(Qt::Key_Up);
    QCOMPARE(w.query.RowNum(), 0);
    QCOMPARE(w.combo->Text(), "ANA LIMA");
    QCOMPARE(w.codeOfCurrent(), 3);
}

void tst_TIB_LookupCombo::sameNameToldApartByCode() {
    PickerWindow w(path_);
    w.query.Open();
    QVERIFY(w.show());
    w.query.MoveTo(6);
    w.key(Qt::Key_Down, Qt::AltModifier);
    w.key(Qt::Key_PageDown); // brings rows 7 and 8 into view
    TIB_LookupList* list = w.list();
    QVERIFY(list->RowRect(7).isValid() && list->RowRect(8).isValid());
    QCOMPARE(list->CellText(7, 1), "JOAO SILVA");
    QCOMPARE(list->CellText(8, 1), "JOAO SILVA");
    const QSet<QString> codes = {list->CellText(7, 0), list->CellText(8, 0)};
    QCOMPARE(codes, (QSet<QString>{"7", "12"}));

    QSet<int> chosen;
    for (const int row : {7, 8}) {
        if (!w.combo->DroppedDown())
            w.key(Qt::Key_Down, Qt::AltModifier);
        QVERIFY(list->RowRect(row).isValid());
        w.click(list, list->RowRect(row).center());
        QVERIFY(!w.combo->DroppedDown());
        QCOMPARE(w.combo->Text(), "JOAO SILVA");
        chosen << w.codeOfCurrent();
    }
    QCOMPARE(chosen, (QSet<int>{7, 12}));
}

void tst_TIB_LookupCombo::zeroAndNullCodesCanBeChosen() {
    PickerWindow w(path_);
    w.query.Open();
    QVERIFY(w.show());
    w.key(Qt::Key_Down, Qt::AltModifier);
    TIB_LookupList* list = w.list();
    // NULL shows as an empty code.
    QCOMPARE(list->CellText(1, 0), QString());
    QCOMPARE(list->CellText(1, 1), "BRUNO SEM CODIGO");
    w.click(list, list->RowRect(1).center());
    QCOMPARE(w.combo->Text(), "BRUNO SEM CODIGO");
    QVERIFY(w.query.FieldByName("CODIGO").IsNull());
    QCOMPARE(w.codeOfCurrent(), 0);

    // Code 0 shows as "0".
    w.key(Qt::Key_Down, Qt::AltModifier);
    w.key(Qt::Key_End);
    QCOMPARE(list->CellText(kLast, 0), "0");
    w.key(Qt::Key_Return);
    QCOMPARE(w.combo->Text(), "ZELIA ZERO");
    QVERIFY(!w.query.FieldByName("CODIGO").IsNull());
    QCOMPARE(w.codeOfCurrent(), 0);
}

void tst_TIB_LookupCombo::listAboveNearScreenBottom() {
    PickerWindow w(path_);
    w.query.Open();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // The picker's bottom 40 pixels above the bottom of the screen: seven rows do not fit.
    w.window.move(100, screen.bottom() + 1 - 40 - 94);
    QVERIFY(w.show());
    QCOMPARE(w.combo->mapToGlobal(QPoint(0, w.combo->height())).y(), screen.bottom() + 1 - 40);
    w.clickButton();
    QVERIFY(w.combo->DroppedDown());
    const QRect placed = w.list()->geometry();
    QCOMPARE(placed.bottom() + 1, w.combo->mapToGlobal(QPoint(0, 0)).y());
    QCOMPARE(placed.left(), w.combo->mapToGlobal(QPoint(0, 0)).x());
    QCOMPARE(w.list()->VisibleRows(), 7);
    w.clickButton();
    QVERIFY(!w.combo->DroppedDown());
}

void tst_TIB_LookupCombo::focusLook() {
    PickerWindow w(path_);
    w.query.Open();
    QVERIFY(w.show());
    const QRect text = w.combo->TextRect();
    const QPoint empty(text.right() - 4, text.center().y()); // right of the short name
    const QPalette& pal = w.combo->palette();

    QImage focused = w.combo->grab().toImage();
    const qreal dpr = focused.devicePixelRatio();
    auto pixel = [&](const QImage& image, const QPoint& p) {
        return QColor(image.pixel(QPoint(int(p.x() * dpr), int(p.y() * dpr))));
    };
    QCOMPARE(pixel(focused, empty), pal.color(QPalette::Highlight));
    // The focus rectangle: dots in the highlighted-text colour along the top edge.
    bool dotted = false;
    for (int x = text.left(); x <= text.right(); ++x)
        dotted =
            dotted || pixel(focused, QPoint(x, text.top())) == pal.color(QPalette::HighlightedText);
    QVERIFY(dotted);
    // The name is drawn in the highlighted-text colour.
    bool written = false;
    for (int x = text.left() + 2; x < text.left() + 40; ++x)
        written = written || pixel(focused, QPoint(x, text.center().y())) ==
                                 pal.color(QPalette::HighlightedText);
    QVERIFY(written);

    w.date->setFocus();
    QTRY_VERIFY(!w.combo->hasFocus());
    const QImage unfocused = w.combo->grab().toImage();
    QCOMPARE(pixel(unfocused, empty), pal.color(QPalette::Base));
}

void tst_TIB_LookupCombo::fetchesOnlyWhatIsShown() {
    const QString path = TestServer::CreateShopDatabase(QStringLiteral("lookup-big"));
    {
        TIB_Connection connection;
        TIB_Transaction transaction;
        transaction.SetIB_Connection(&connection);
        transaction.SetAutoCommit(true);
        connection.SetDefaultTransaction(&transaction);
        TestServer::Point(connection, path);
        connection.Connect();
        exec(connection, "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN "
                         "WHILE (I <= 100000) DO BEGIN "
                         "INSERT INTO FUNCIONARIOS (CODIGO, NOME) "
                         "VALUES (:I, 'OPERADOR ' || LPAD(:I, 6, '0')); "
                         "I = I + 1; END END");
    }
    PickerWindow w(path);
    w.query.Open();
    QCOMPARE(w.query.ServerFetches(), qint64(1));
    QVERIFY(w.show());
    QCOMPARE(w.combo->Text(), "OPERADOR 000001");
    QCOMPARE(w.query.ServerFetches(), qint64(1));

    // Down at the last fetched row fetches the next one.
    w.key(Qt::Key_Down);
    QCOMPARE(w.query.ServerFetches(), qint64(2));
    QCOMPARE(w.combo->Text(), "OPERADOR 000002");

    // Opening the list fetches the rows it shows.
    w.key(Qt::Key_Down, Qt::AltModifier);
    QVERIFY(w.combo->DroppedDown());
    QVERIFY2(w.query.ServerFetches() <= 7 + 2,
             qPrintable(QString::number(w.query.ServerFetches())));
    QCOMPARE(w.list()->VisibleRows(), 7);

    // Browsing fetches a row per step past the fetched ones, a page for Page Down.
    for (int i = 0; i < 10; ++i)
        w.key(Qt::Key_Down);
    QCOMPARE(w.query.RowNum(), 11);
    QCOMPARE(w.query.ServerFetches(), qint64(12));
    w.key(Qt::Key_PageDown);
    QCOMPARE(w.query.RowNum(), 18);
    QCOMPARE(w.query.ServerFetches(), qint64(19));
    // Scrolling the list fetches what comes into view.
    w.list()->ScrollBar()->setValue(w.list()->ScrollBar()->maximum());
    QCOMPARE(w.list()->TopRow(), 13);
    QCOMPARE(w.query.ServerFetches(), qint64(20));
    w.key(Qt::Key_Escape);
    w.key(Qt::Key_PageDown);
    QCOMPARE(w.query.RowNum(), 25);
    QVERIFY(!w.query.AllFetched());
    QVERIFY(w.query.FetchedRows() < 40);

    // End fetches them all: that is its meaning.
    w.key(Qt::Key_Down, Qt::AltModifier);
    w.key(Qt::Key_End);
    QVERIFY(w.query.AllFetched());
    QCOMPARE(w.query.ServerFetches(), qint64(100000));
    QCOMPARE(w.combo->Text(), "OPERADOR 100000");
    QVERIFY(w.currentInView());
    QCOMPARE(w.list()->TopRow(), 100000 - 7);
}

void tst_TIB_LookupCombo::emptyTable() {
    PickerWindow w(TestServer::CreateShopDatabase(QStringLiteral("lookup-empty")));
    w.query.Open();
    QVERIFY(w.query.Active());
    QVERIFY(w.show());
    QCOMPARE(w.combo->Text(), QString());
    w.key(Qt::Key_Down);
    w.key(Qt::Key_PageDown);
    QVERIFY(!w.query.HasCurrentRow());
    w.clickButton();
    QVERIFY(w.combo->DroppedDown());
    QCOMPARE(w.list()->VisibleRows(), 0);
    QVERIFY(!w.list()->RowRect(0).isValid());
    w.key(Qt::Key_End);
    w.key(Qt::Key_Home);
    QVERIFY(!w.query.HasCurrentRow());
    w.click(w.list(), QPoint(w.list()->width() / 2, w.list()->height() / 2));
    QVERIFY(!w.query.HasCurrentRow());
    w.key(Qt::Key_Escape);
    QVERIFY(!w.combo->DroppedDown());
    QCOMPARE(w.combo->Text(), QString());
}

void tst_TIB_LookupCombo::queryThatFailedToOpen() {
    // A database without the operator table.
    const QString path = TestServer::NewDatabasePath(QStringLiteral("lookup-bare"));
    {
        TIB_Connection connection;
        TestServer::Point(connection, path);
        connection.CreateDatabase();
        connection.Close();
    }
    PickerWindow w(path);
    QVERIFY_THROWS_EXCEPTION(EIB_Error, w.query.Open());
    QVERIFY(!w.query.Active());
    QVERIFY(w.show());
    QCOMPARE(w.combo->Text(), QString());
    for (const Qt::Key k :
         {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Delete, Qt::Key_A})
        w.key(k);
    w.key(Qt::Key_Down, Qt::AltModifier);
    QVERIFY(!w.combo->DroppedDown());
    w.clickButton();
    QVERIFY(!w.combo->DroppedDown());
    QVERIFY(w.combo->hasFocus());
    QCOMPARE(w.combo->Text(), QString());
    QVERIFY(!w.query.Active());
    QCOMPARE(w.query.RowNum(), -1);
}

void tst_TIB_LookupCombo::screenshotOfOpenList() {
    PickerWindow w(path_);
    w.query.Open();
    QVERIFY(w.show());
    w.key(Qt::Key_Down);
    w.key(Qt::Key_Down, Qt::AltModifier);
    w.key(Qt::Key_Down);
    QVERIFY(w.combo->DroppedDown());
    QVERIFY(QTest::qWaitForWindowExposed(w.list()));
    QTest::qWait(100); // let both windows finish drawing before the X server is read
    const QRect area =
        w.window.frameGeometry().united(w.list()->geometry()).adjusted(-10, -10, 10, 10);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(),
                                                                      area.width(), area.height());
    QVERIFY(!shot.isNull());
    QVERIFY(shot.save(QStringLiteral("/tmp/lookup-shot.png")));
}

QTEST_MAIN(tst_TIB_LookupCombo)
#include "tst_TIB_LookupCombo.moc"
