#include "controls/qtvCurrencyEdit.h"
#include "widgets/MessageBeep.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QGroupBox>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr qint64 Units = 10000; // ten-thousandths in one real

QColor TextColour(const QLineEdit* edit) {
    return edit->palette().color(QPalette::Active, QPalette::Text);
}

} // namespace

// The control in a window under a real X display, with the Brazilian regional settings.
class TestQtvCurrencyEdit : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void newControl();
    void focusSelectsWholeText();
    void leavingReadsAndShows();
    void typingStopsAtTwoDecimals();
    void pointTypesComma();
    void minusOnlyAtStart();
    void parenthesisMakesNegative();
    void refusedCharacters();
    void controlKeysCountAsCharacters();
    void unreadablePasteBeepsPerRead();
    void contextMenuPasteIsReadOnLeaving();
    void anotherWindowIsNoLeaving();
    void settingValueRounds();
    void settersActOnlyOnNewValues();
    void enterReadsAndClicksEnabledDefaults();
    void enterAndEscapeInDialog();
    void decimalPlacesZeroAndThree();

private:
    void enterEdit();
    void leaveEdit();

    QWidget* window_ = nullptr;
    TqtvCurrencyEdit* edit_ = nullptr;
    QLineEdit* other_ = nullptr;
};

void TestQtvCurrencyEdit::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
}

void TestQtvCurrencyEdit::init() {
    window_ = new QWidget;
    auto* layout = new QVBoxLayout(window_);
    edit_ = new TqtvCurrencyEdit(window_);
    other_ = new QLineEdit(window_);
    layout->addWidget(edit_);
    layout->addWidget(other_);
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_));
    other_->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(other_->hasFocus());
}

void TestQtvCurrencyEdit::cleanup() {
    delete window_;
    window_ = nullptr;
}

// Tab from the other edit into the control.
void TestQtvCurrencyEdit::enterEdit() {
    QTest::keyClick(other_, Qt::Key_Tab);
    QTRY_VERIFY(edit_->hasFocus());
}

// Tab out of the control.
void TestQtvCurrencyEdit::leaveEdit() {
    QTest::keyClick(edit_, Qt::Key_Tab);
    QTRY_VERIFY(other_->hasFocus());
}

void TestQtvCurrencyEdit::newControl() {
    QCOMPARE(edit_->Text(), "R$ 0,00");
    QCOMPARE(edit_->Alignment(), TqtvCurrencyEdit::taRightJustify);
    QVERIFY(edit_->alignment() & Qt::AlignRight);
    QCOMPARE(edit_->DecimalPlaces(), quint16(2));
    QCOMPARE(edit_->DisplayFormat(), "R$ 0.00;(R$ 0.00)");
    QCOMPARE(edit_->NegColor(), QColor(255, 0, 0));
    QCOMPARE(edit_->PosColor(), edit_->palette().color(QPalette::Active, QPalette::WindowText));
    QCOMPARE(TextColour(edit_), edit_->PosColor());
    QCOMPARE(edit_->CharCase(), quint8(0));
    QCOMPARE(edit_->PasswordChar(), quint8(0));
    QCOMPARE(edit_->Value(), qint64(0));

    // The properties a form description can set, and the three it cannot.
    QVERIFY(edit_->setProperty("Value", qint64(5 * Units)));
    QCOMPARE(edit_->Text(), "R$ 5,00");
    QVERIFY(!edit_->setProperty("Text", QStringLiteral("9")));
    QVERIFY(!edit_->setProperty("CharCase", 1));
    QVERIFY(!edit_->setProperty("PasswordChar", 42));
    QCOMPARE(edit_->Text(), "R$ 5,00");
}

void TestQtvCurrencyEdit::focusSelectsWholeText() {
    // Not by Tab, which QLineEdit would select for by itself.
    edit_->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(edit_->hasFocus());
    QCOMPARE(edit_->selectedText(), "R$ 0,00");
}

void TestQtvCurrencyEdit::leavingReadsAndShows() {
    enterEdit();
    QTest::keyClicks(edit_, "1234,5");
    QCOMPARE(edit_->Text(), "1234,5");
    leaveEdit();
    QCOMPARE(edit_->Text(), "R$ 1234,50");
    QCOMPARE(edit_->Value(), qint64(12345000));
}

void TestQtvCurrencyEdit::typingStopsAtTwoDecimals() {
    enterEdit();
    QTest::keyClicks(edit_, "1,2,3");
    QCOMPARE(edit_->Text(), "1,23");
    QTest::keyClick(edit_, Qt::Key_4);
    QCOMPARE(edit_->Text(), "1,23");
    QCOMPARE(edit_->Value(), qint64(12300));
}

void TestQtvCurrencyEdit::pointTypesComma() {
    enterEdit();
    QTest::keyClicks(edit_, "5.5");
    QCOMPARE(edit_->Text(), "5,5");
    QTest::keyClick(edit_, Qt::Key_Period);
    QTest::keyClick(edit_, Qt::Key_Comma);
    QCOMPARE(edit_->Text(), "5,5");
    // Even over the selected separator.
    QTest::keyClick(edit_, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(edit_, Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(edit_->selectedText(), ",5");
    QTest::keyClick(edit_, Qt::Key_Period);
    QCOMPARE(edit_->Text(), "5,5");
}

void TestQtvCurrencyEdit::minusOnlyAtStart() {
    enterEdit();
    QTest::keyClicks(edit_, "5-");
    QCOMPARE(edit_->Text(), "5");
    QTest::keyClick(edit_, Qt::Key_Home);
    QTest::keyClick(edit_, Qt::Key_Minus);
    QCOMPARE(edit_->Text(), "-5");
    QCOMPARE(edit_->cursorPosition(), 1);

    // Nothing in front of the leading minus, Backspace included; no second minus.
    QTest::keyClick(edit_, Qt::Key_Home);
    QTest::keyClick(edit_, Qt::Key_7);
    QTest::keyClick(edit_, Qt::Key_Backspace);
    QTest::keyClick(edit_, Qt::Key_Minus);
    QCOMPARE(edit_->Text(), "-5");
    QTest::keyClick(edit_, Qt::Key_End);
    QTest::keyClick(edit_, Qt::Key_Minus);
    QCOMPARE(edit_->Text(), "-5");
    QTest::keyClick(edit_, Qt::Key_Home);
    QTest::keyClick(edit_, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(edit_, Qt::Key_Minus); // the selected minus would be replaced
    QCOMPARE(edit_->Text(), "-5");

    leaveEdit();
    QCOMPARE(edit_->Text(), "(R$ 5,00)");
    QCOMPARE(TextColour(edit_), QColor(Qt::red));

    // Keys that type nothing go to the edit box as usual.
    enterEdit();
    QTest::keyClick(edit_, Qt::Key_Home);
    QTest::keyClick(edit_, Qt::Key_Delete);
    QCOMPARE(edit_->Text(), "R$ 5,00)");
}

void TestQtvCurrencyEdit::parenthesisMakesNegative() {
    enterEdit();
    QTest::keyClicks(edit_, "5(");
    QCOMPARE(edit_->Text(), "5(");
    leaveEdit();
    QCOMPARE(edit_->Text(), "(R$ 5,00)");
    QCOMPARE(TextColour(edit_), edit_->NegColor());
    QCOMPARE(edit_->Value(), qint64(-5 * Units));

    enterEdit();
    QTest::keyClicks(edit_, "7");
    leaveEdit();
    QCOMPARE(edit_->Text(), "R$ 7,00");
    QCOMPARE(TextColour(edit_), edit_->PosColor());
}

void TestQtvCurrencyEdit::refusedCharacters() {
    QSignalSpy edits(edit_, &QLineEdit::textEdited);
    enterEdit();
    QTest::keyClicks(edit_, "a 1)&xE");
    QCOMPARE(edit_->Text(), "1&");
    QCOMPARE(edits.count(), 2);
    QTest::keyClick(edit_, Qt::Key_Escape);
    QCOMPARE(edit_->Text(), "1&");
    QVERIFY(edit_->hasFocus());
    leaveEdit();
    QCOMPARE(edit_->Text(), "R$ 1,00");
}

void TestQtvCurrencyEdit::controlKeysCountAsCharacters() {
    QApplication::clipboard()->setText(QStringLiteral("9"));
    enterEdit();
    QTest::keyClicks(edit_, "5,00");
    // After the last allowed decimal even Ctrl+V is refused...
    QTest::keyClick(edit_, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit_->Text(), "5,00");
    // ...while at the start it pastes.
    QTest::keyClick(edit_, Qt::Key_Home);
    QTest::keyClick(edit_, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit_->Text(), "95,00");
    // Ctrl+X over the last decimal leaves room for its own code: it cuts.
    QTest::keyClick(edit_, Qt::Key_End);
    QTest::keyClick(edit_, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(edit_, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(edit_->Text(), "95,0");
    QCOMPARE(QApplication::clipboard()->text(), "0");
    // Ctrl+Z undoes the cut; in front of a leading minus it is refused.
    QTest::keyClick(edit_, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(edit_->Text(), "95,00");
    QTest::keyClick(edit_, Qt::Key_Home);
    QTest::keyClick(edit_, Qt::Key_Minus);
    QCOMPARE(edit_->Text(), "-95,00");
    QTest::keyClick(edit_, Qt::Key_Home);
    QTest::keyClick(edit_, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(edit_, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit_->Text(), "-95,00");
}

void TestQtvCurrencyEdit::unreadablePasteBeepsPerRead() {
    edit_->SetValue(1 * Units);
    QApplication::clipboard()->setText(QStringLiteral("1,5,0"));
    enterEdit();
    QCOMPARE(edit_->selectedText(), "R$ 1,00");
    QTest::keyClick(edit_, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit_->Text(), "1,5,0");

    const int beeps = vcl::BeepCount();
    QCOMPARE(edit_->Value(), qint64(1 * Units));
    QCOMPARE(vcl::BeepCount(), beeps + 1);
    QCOMPARE(edit_->Value(), qint64(1 * Units));
    QCOMPARE(vcl::BeepCount(), beeps + 2);
    QCOMPARE(edit_->Text(), "1,5,0");

    leaveEdit();
    QCOMPARE(vcl::BeepCount(), beeps + 3);
    QCOMPARE(edit_->Text(), "R$ 1,00");
}

void TestQtvCurrencyEdit::contextMenuPasteIsReadOnLeaving() {
    edit_->SetValue(1 * Units);
    QApplication::clipboard()->setText(QStringLiteral("1,5,0"));
    enterEdit();
    QTest::keyClicks(edit_, "2");
    const int beeps = vcl::BeepCount();

    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                edit_->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(edit_, &menuEvent);
    QMenu* menu = nullptr;
    QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
    QTest::keyClick(menu, Qt::Key_P); // "&Paste"
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QTRY_VERIFY(edit_->hasFocus());

    // The trip to the menu was no leaving: nothing read, nothing rewritten, nothing selected.
    QCOMPARE(edit_->Text(), "21,5,0");
    QCOMPARE(vcl::BeepCount(), beeps);
    QVERIFY(!edit_->hasSelectedText());

    leaveEdit();
    QCOMPARE(vcl::BeepCount(), beeps + 1);
    QCOMPARE(edit_->Text(), "R$ 1,00");
}

void TestQtvCurrencyEdit::anotherWindowIsNoLeaving() {
    enterEdit();
    QTest::keyClicks(edit_, "7");
    const int beeps = vcl::BeepCount();
    {
        QWidget box;
        box.show();
        box.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QCOMPARE(edit_->Text(), "7");
    }
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_));
    QTRY_VERIFY(edit_->hasFocus());
    QCOMPARE(edit_->Text(), "7");
    QVERIFY(!edit_->hasSelectedText());
    QCOMPARE(vcl::BeepCount(), beeps);

    leaveEdit();
    QCOMPARE(edit_->Text(), "R$ 7,00");
}

void TestQtvCurrencyEdit::settingValueRounds() {
    edit_->SetValue(1250); // 0.125
    QCOMPARE(edit_->Text(), "R$ 0,13");
    QCOMPARE(edit_->Value(), qint64(1300));

    edit_->SetValue(-40); // -0.004
    QCOMPARE(edit_->Text(), "R$ 0,00");
    QCOMPARE(TextColour(edit_), edit_->NegColor());
    QCOMPARE(edit_->Value(), qint64(0));
    // Only the display sets the colour; the read left it alone.
    QCOMPARE(TextColour(edit_), edit_->NegColor());
}

void TestQtvCurrencyEdit::settersActOnlyOnNewValues() {
    enterEdit();
    QTest::keyClicks(edit_, "12");

    // The same values: the unread typing stays.
    edit_->SetValue(0);
    edit_->SetDecimalPlaces(2);
    edit_->SetDisplayFormat(QStringLiteral("R$ 0.00;(R$ 0.00)"));
    edit_->SetNegColor(QColor(Qt::red));
    edit_->SetPosColor(edit_->PosColor());
    edit_->SetAlignment(TqtvCurrencyEdit::taRightJustify);
    QCOMPARE(edit_->Text(), "12");

    // A new alignment leaves the text too.
    edit_->SetAlignment(TqtvCurrencyEdit::taCenter);
    QVERIFY(edit_->alignment() & Qt::AlignHCenter);
    edit_->SetAlignment(TqtvCurrencyEdit::taLeftJustify);
    QVERIFY(edit_->alignment() & Qt::AlignLeft);
    QCOMPARE(edit_->Text(), "12");

    // Every other new value rewrites the text from the stored amount.
    edit_->SetValue(2 * Units);
    QCOMPARE(edit_->Text(), "R$ 2,00");
    QTest::keyClicks(edit_, "7");
    edit_->SetDecimalPlaces(3);
    QCOMPARE(edit_->Text(), "R$ 2,00");
    QTest::keyClicks(edit_, "7");
    edit_->SetDisplayFormat(QStringLiteral("0.000"));
    QCOMPARE(edit_->Text(), "2,000");
    QTest::keyClicks(edit_, "7");
    edit_->SetNegColor(QColor(Qt::blue));
    QCOMPARE(edit_->Text(), "2,000");
    QTest::keyClicks(edit_, "7");
    edit_->SetPosColor(QColor(Qt::darkGreen));
    QCOMPARE(edit_->Text(), "2,000");
    QCOMPARE(TextColour(edit_), QColor(Qt::darkGreen));
}

void TestQtvCurrencyEdit::enterReadsAndClicksEnabledDefaults() {
    // A form whose widgets are created in the order of its tree, as a form description does.
    QWidget form;
    QStringList clicks;
    auto addButton = [&](QWidget* parent, const QString& name, bool isDefault) {
        auto* button = new QPushButton(name, parent);
        button->setDefault(isDefault);
        QObject::connect(button, &QPushButton::clicked, [&clicks, name] { clicks << name; });
        parent->layout()->addWidget(button);
        return button;
    };
    auto* layout = new QVBoxLayout(&form);
    auto* edit = new TqtvCurrencyEdit(&form);
    layout->addWidget(edit);
    addButton(&form, "first", true);
    auto* group = new QGroupBox(&form);
    new QVBoxLayout(group);
    layout->addWidget(group);
    addButton(group, "disabled", true)->setEnabled(false);
    addButton(group, "inner", true);
    addButton(group, "plain", false);
    addButton(&form, "hidden", true)->setVisible(false);
    // A window of its own, though a child of the form: not one of the form's buttons.
    auto* dialog = new QDialog(&form);
    dialog->setLayout(new QVBoxLayout);
    addButton(dialog, "dialog", true);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    edit->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(edit->hasFocus());

    QTest::keyClicks(edit, "50");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(clicks, QStringList({"first", "inner", "hidden"}));
    QCOMPARE(edit->Text(), "50");
    // Enter already stored 50: setting it again is no change and leaves the text alone.
    edit->SetValue(50 * Units);
    QCOMPARE(edit->Text(), "50");

    // Once each per Enter, the keypad's Enter as well.
    QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(clicks, QStringList({"first", "inner", "hidden", "first", "inner", "hidden"}));

    // Ctrl+Enter is a line feed: no Enter, nothing inserted.
    QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(clicks.size(), 6);
    QCOMPARE(edit->Text(), "50");
}

void TestQtvCurrencyEdit::enterAndEscapeInDialog() {
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* edit = new TqtvCurrencyEdit(&dialog);
    layout->addWidget(edit);
    auto* ok = new QPushButton("OK", &dialog);
    ok->setDefault(true);
    layout->addWidget(ok);
    // A cancel command of the window on Escape.
    auto* cancel = new QAction(&dialog);
    cancel->setShortcut(Qt::Key_Escape);
    dialog.addAction(cancel);
    QSignalSpy okClicks(ok, &QPushButton::clicked);
    QSignalSpy cancels(cancel, &QAction::triggered);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    edit->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(edit->hasFocus());

    // Through the window, as the platform delivers keys, so that shortcuts have their say.
    QWindow* window = dialog.windowHandle();
    QTest::keyClicks(edit, "3");
    QTest::keyClick(window, Qt::Key_Return);
    QCOMPARE(okClicks.count(), 1); // the control's click, not also the dialog's
    QCOMPARE(edit->Value(), qint64(3 * Units));

    QTest::keyClick(window, Qt::Key_Escape);
    QCOMPARE(cancels.count(), 0);
    QCOMPARE(finished.count(), 0);
    QVERIFY(dialog.isVisible());
    QCOMPARE(edit->Text(), "3");
}

void TestQtvCurrencyEdit::decimalPlacesZeroAndThree() {
    edit_->SetDecimalPlaces(0);
    enterEdit();
    QTest::keyClicks(edit_, "5,1");
    QCOMPARE(edit_->Text(), "5,");
    leaveEdit();
    QCOMPARE(edit_->Text(), "R$ 5,00");

    edit_->SetDecimalPlaces(3);
    enterEdit();
    QTest::keyClicks(edit_, "1,2345");
    QCOMPARE(edit_->Text(), "1,234");
    QCOMPARE(edit_->Value(), qint64(12340));
    leaveEdit();
    QCOMPARE(edit_->Text(), "R$ 1,23");
    QCOMPARE(edit_->Value(), qint64(12300));
}

QTEST_MAIN(TestQtvCurrencyEdit)
#include "tst_qtvCurrencyEdit.moc"
