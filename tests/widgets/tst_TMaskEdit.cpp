#include "widgets/MessageBeep.h"
#include "widgets/RegionalDate.h"
#include "widgets/TApplication.h"
#include "widgets/TMaskEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString DateMask = QStringLiteral("!99/99/0000;1;_");
const QString Report = QStringLiteral("Invalid input value.  Use escape key to abandon changes.");

struct Box {
    TApplication::BoxKind kind;
    QString text;
};

} // namespace

class TMaskEditTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void defaultDate_data();
    void defaultDate();
    void assignedText_data();
    void assignedText();
    void localeChange();
    void typing_data();
    void typing();
    void paste_data();
    void paste();
    void plainEdit();
    void focusOutCheck_data();
    void focusOutCheck();
    void clickWhileInError_data();
    void clickWhileInError();
    void otherWindowIsNoExit();
    void errorBoxReportsOnce();
    void escapeAbandonsChanges();
    void enterPressesNothing_data();
    void enterPressesNothing();

private:
    void EnterField();
    void RunScript(const QString& script);

    QList<Box> boxes_;
    QDialog* dialog_ = nullptr;
    QLineEdit* before_ = nullptr;
    TMaskEdit* edit_ = nullptr;
    QLineEdit* after_ = nullptr;
    QPushButton* ok_ = nullptr;
    int clicks_ = 0;
};

void TMaskEditTest::initTestCase() {
    TApplication::SetBoxHook(
        [this](TApplication::BoxKind kind, const QString&, const QString& text) {
            boxes_.append({kind, text});
        });
}

void TMaskEditTest::cleanupTestCase() {
    TApplication::SetBoxHook({});
}

void TMaskEditTest::init() {
    boxes_.clear();
    clicks_ = 0;
    dialog_ = new QDialog;
    auto* layout = new QVBoxLayout(dialog_);
    before_ = new QLineEdit(dialog_);
    edit_ = new TMaskEdit(dialog_);
    edit_->setLocale(QLocale(QStringLiteral("pt_BR")));
    edit_->SetEditMask(DateMask);
    edit_->SetMaxLength(10);
    after_ = new QLineEdit(dialog_);
    ok_ = new QPushButton(QStringLiteral("OK"), dialog_);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, [this] { ++clicks_; });
    layout->addWidget(before_);
    layout->addWidget(edit_);
    layout->addWidget(after_);
    layout->addWidget(ok_);
    dialog_->show();
    dialog_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog_));
}

void TMaskEditTest::cleanup() {
    delete dialog_;
    dialog_ = nullptr;
}

// Tabs into the field from the edit before it, as a user does; the field's text is then selected.
void TMaskEditTest::EnterField() {
    before_->setFocus();
    QTRY_VERIFY(before_->hasFocus());
    QTest::keyClick(before_, Qt::Key_Tab);
    QTRY_VERIFY(edit_->hasFocus());
}

// Characters are typed; names in braces are keys: {BS} {Del} {Left} {Right} {Home} {End} {Esc}
// {KP5} (5 on the keypad) {Ctrl+K} {Ctrl+Z} {Ctrl+BS}.
void TMaskEditTest::RunScript(const QString& script) {
    for (qsizetype i = 0; i < script.size(); ++i) {
        if (script.at(i) != QLatin1Char('{')) {
            QTest::keyClick(edit_, script.at(i).toLatin1());
            continue;
        }
        const qsizetype close = script.indexOf(QLatin1Char('}'), i);
        const QString name = script.mid(i + 1, close - i - 1);
        i = close;
        if (name == QLatin1String("BS"))
            QTest::keyClick(edit_, Qt::Key_Backspace);
        else if (name == QLatin1String("Del"))
            QTest::keyClick(edit_, Qt::Key_Delete);
        else if (name == QLatin1String("Left"))
            QTest::keyClick(edit_, Qt::Key_Left);
        else if (name == QLatin1String("Right"))
            QTest::keyClick(edit_, Qt::Key_Right);
        else if (name == QLatin1String("Home"))
            QTest::keyClick(edit_, Qt::Key_Home);
        else if (name == QLatin1String("End"))
            QTest::keyClick(edit_, Qt::Key_End);
        else if (name == QLatin1String("Esc"))
            QTest::keyClick(edit_, Qt::Key_Escape);
        else if (name == QLatin1String("KP5"))
            QTest::keyClick(edit_, Qt::Key_5, Qt::KeypadModifier);
        else if (name == QLatin1String("Ctrl+K"))
            QTest::keyClick(edit_, Qt::Key_K, Qt::ControlModifier);
        else if (name == QLatin1String("Ctrl+Z"))
            QTest::keyClick(edit_, Qt::Key_Z, Qt::ControlModifier);
        else if (name == QLatin1String("Ctrl+BS"))
            QTest::keyClick(edit_, Qt::Key_Backspace, Qt::ControlModifier);
        else
            QFAIL(qPrintable(QStringLiteral("unknown key ") + name));
    }
}

void TMaskEditTest::defaultDate_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("readBack"); // the date the field's text converts to

    QTest::newRow("Brazil, dd/MM/yyyy fills the mask")
        << "pt_BR" << QDate(2024, 5, 1) << "01/05/2024"
        << "01/05/2024" << QDate(2024, 5, 1);
    QTest::newRow("Finland, d.M.yyyy: short parts right-aligned")
        << "fi_FI" << QDate(2024, 5, 1) << "_1._5.2024"
        << " 1. 5.2024" << QDate(2024, 5, 1);
    QTest::newRow("Finland, two-digit day and month")
        << "fi_FI" << QDate(2024, 12, 25) << "25.12.2024"
        << "25.12.2024" << QDate(2024, 12, 25);
    QTest::newRow("United States, M/d/yy: required year positions blank")
        << "en_US" << QDate(2024, 5, 1) << "_5/_1/__24"
        << " 5/ 1/  24" << QDate(2024, 5, 1);
    QTest::newRow("Germany, dd.MM.yy") << "de_DE" << QDate(2024, 12, 25) << "25.12.__24"
                                       << "25.12.  24" << QDate(2024, 12, 25);
    QTest::newRow("Sweden, yyyy-MM-dd: year cut to its right-most digits")
        << "sv_SE" << QDate(2024, 5, 1) << "24-05-__01"
        << "24-05-  01" << QDate(2024, 5, 1);
    QTest::newRow("United States, year outside the two-digit window reads back otherwise")
        << "en_US" << QDate(1960, 5, 1) << "_5/_1/__60"
        << " 5/ 1/  60" << QDate(2060, 5, 1);

    const QLocale br(QStringLiteral("pt_BR"));
    const QString today = RegionalDate::DateToStr(QDate::currentDate(), br);
    QTest::newRow("Brazil, today")
        << "pt_BR" << QDate::currentDate() << today << today << QDate::currentDate();
}

void TMaskEditTest::defaultDate() {
    QFETCH(QString, locale);
    QFETCH(QDate, date);
    QFETCH(QString, shown);
    QFETCH(QString, text);
    QFETCH(QDate, readBack);

    const QLocale loc(locale);
    TMaskEdit field(dialog_);
    field.setLocale(loc);
    field.SetEditMask(DateMask);
    field.SetMaxLength(10);
    field.SetText(RegionalDate::DateToStr(date, loc));
    QCOMPARE(field.EditText(), shown);
    QCOMPARE(field.Text(), text);
    QVERIFY(!field.Modified());

    QDate converted;
    QVERIFY(RegionalDate::StrToDate(field.Text(), loc, &converted));
    QCOMPARE(converted, readBack);
}

void TMaskEditTest::assignedText_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("assigned");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("firstInvalid");

    QTest::newRow("parts right-aligned") << DateMask << "1/5/2024"
                                         << "_1/_5/2024"
                                         << " 1/ 5/2024" << -1;
    QTest::newRow("parts too long keep their right-most characters") << DateMask << "123/456/20245"
                                                                     << "23/56/0245"
                                                                     << "23/56/0245" << -1;
    QTest::newRow("missing year") << DateMask << "01/05"
                                  << "01/05/____"
                                  << "01/05/    " << 6;
    QTest::newRow("no separator: all in the first segment") << DateMask << "2024"
                                                            << "24/__/____"
                                                            << "24/  /    " << 6;
    QTest::newRow("letters leave positions blank") << DateMask << "ab/05/2024"
                                                   << "__/05/2024"
                                                   << "  /05/2024" << -1;
    QTest::newRow("blanks and underscores") << DateMask << " 1/_5/20_4"
                                            << "_1/_5/20_4"
                                            << " 1/ 5/20 4" << 8;
    QTest::newRow("empty") << DateMask << ""
                           << "__/__/____"
                           << "  /  /    " << 6;
    QTest::newRow("blank date as stored in the window") << DateMask << "  /  /    "
                                                        << "__/__/____"
                                                        << "  /  /    " << 6;
    QTest::newRow("own text read back") << DateMask << " 1/ 5/  24"
                                        << "_1/_5/__24"
                                        << " 1/ 5/  24" << 6;
    QTest::newRow("without '!': parts left-aligned") << "99/99/0000;1;_"
                                                     << "1/5/2024"
                                                     << "1_/5_/2024"
                                                     << "1 /5 /2024" << -1;
    QTest::newRow("without '!': parts too long keep their left-most characters")
        << "99/99/0000;1;_"
        << "123/456/20245"
        << "12/45/2024"
        << "12/45/2024" << -1;
    QTest::newRow("literals not kept in the text") << "!99/99/0000;0;_"
                                                   << "01052024"
                                                   << "01/05/2024"
                                                   << "01052024" << -1;
    QTest::newRow("literals not kept, short text right-aligned") << "!99/99/0000;0;_"
                                                                 << "52024"
                                                                 << "__/_5/2024"
                                                                 << "   52024" << -1;
    QTest::newRow("other blank character") << "!99/99/0000;1;*"
                                           << "1/5/2024"
                                           << "*1/*5/2024"
                                           << " 1/ 5/2024" << -1;
    QTest::newRow("time separator") << "!00:00;1;_"
                                    << "9:30"
                                    << "_9:30"
                                    << " 9:30" << 0;
    QTest::newRow("leading literals") << "(999) 000-0000;1;_"
                                      << "(11) 555-1234"
                                      << "(11_) 555-1234"
                                      << "(11 ) 555-1234" << -1;
    QTest::newRow("upper-case letters") << ">LL-00;1;_"
                                        << "ab-12"
                                        << "AB-12"
                                        << "AB-12" << -1;
    QTest::newRow("letter positions refuse digits") << "LL-00;1;_"
                                                    << "a1-2x"
                                                    << "a_-2_"
                                                    << "a -2 " << 1;
    QTest::newRow("escaped slash is no date separator") << "00\\/00;1;_"
                                                        << "12/34"
                                                        << "12/34"
                                                        << "12/34" << -1;
}

void TMaskEditTest::assignedText() {
    QFETCH(QString, mask);
    QFETCH(QString, assigned);
    QFETCH(QString, shown);
    QFETCH(QString, text);
    QFETCH(int, firstInvalid);

    edit_->SetEditMask(mask);
    edit_->SetText(assigned);
    QCOMPARE(edit_->EditText(), shown);
    QCOMPARE(edit_->Text(), text);
    QCOMPARE(edit_->FirstInvalidPosition(), firstInvalid);
    QVERIFY(!edit_->Modified());
}

void TMaskEditTest::localeChange() {
    edit_->SetText(QStringLiteral("1/5/2024"));
    QCOMPARE(edit_->EditText(), QStringLiteral("_1/_5/2024"));
    edit_->setLocale(QLocale(QStringLiteral("de_DE")));
    QCOMPARE(edit_->EditText(), QStringLiteral("_1._5.2024"));
    QCOMPARE(edit_->Text(), QStringLiteral(" 1. 5.2024"));
    edit_->SetText(QStringLiteral("25.12.2024"));
    QCOMPARE(edit_->EditText(), QStringLiteral("25.12.2024"));

    // A mask set under a locale takes its separator at once.
    TMaskEdit field(dialog_);
    field.setLocale(QLocale(QStringLiteral("sv_SE")));
    field.SetEditMask(DateMask);
    QCOMPARE(field.EditText(), QStringLiteral("__-__-____"));
}

void TMaskEditTest::typing_data() {
    QTest::addColumn<QString>("initial");
    QTest::addColumn<int>("caret"); // -1: the whole text selected, as after Tab
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("caretAfter");
    QTest::addColumn<bool>("modified");

    const QString date = QStringLiteral("01/05/2024");
    QTest::newRow("typing over the selected text") << date << -1 << "15082023"
                                                   << "15/08/2023" << 10 << true;
    QTest::newRow("first digit blanks the selection") << date << -1 << "3"
                                                      << "3_/__/____" << 1 << true;
    QTest::newRow("digits overwrite and skip the separator") << date << 1 << "98"
                                                             << "09/85/2024" << 4 << true;
    QTest::newRow("digit at the separator goes after it") << date << 2 << "7"
                                                          << "01/75/2024" << 4 << true;
    QTest::newRow("fills a blank field") << "" << 0 << "01052024"
                                         << "01/05/2024" << 10 << true;
    QTest::newRow("keypad digit") << date << 0 << "{KP5}"
                                  << "51/05/2024" << 1 << true;
    QTest::newRow("non-digits refused") << date << 0 << "a/ -x." << date << 0 << false;
    QTest::newRow("non-digit over a selection keeps it")
        << date << -1 << "x" << date << 10 << false;
    QTest::newRow("nothing after the last position") << date << 10 << "5" << date << 10 << false;
    QTest::newRow("same digit again changes nothing") << date << 0 << "0" << date << 1 << false;
    QTest::newRow("backspace blanks the position before") << date << 4 << "{BS}"
                                                          << "01/_5/2024" << 3 << true;
    QTest::newRow("backspace skips the separator") << date << 3 << "{BS}"
                                                   << "0_/05/2024" << 1 << true;
    QTest::newRow("backspace at the start") << date << 0 << "{BS}" << date << 0 << false;
    QTest::newRow("backspace over the selection") << date << -1 << "{BS}"
                                                  << "__/__/____" << 0 << true;
    QTest::newRow("delete blanks the position at the caret") << date << 6 << "{Del}"
                                                             << "01/05/_024" << 6 << true;
    QTest::newRow("delete at the separator") << date << 2 << "{Del}"
                                             << "01/_5/2024" << 3 << true;
    QTest::newRow("delete keeps the other positions") << date << 0 << "{Del}{Del}"
                                                      << "_1/05/2024" << 0 << true;
    QTest::newRow("delete at the end") << date << 10 << "{Del}" << date << 10 << false;
    QTest::newRow("right skips the separator") << date << 1 << "{Right}4"
                                               << "01/45/2024" << 4 << true;
    QTest::newRow("left skips the separator") << date << 3 << "{Left}9"
                                              << "09/05/2024" << 3 << true;
    QTest::newRow("home over the selection") << date << -1 << "{Home}3"
                                             << "31/05/2024" << 1 << true;
    QTest::newRow("left over the selection goes to its start") << date << -1 << "{Left}3"
                                                               << "31/05/2024" << 1 << true;
    QTest::newRow("right over the selection goes to its end")
        << date << -1 << "{Right}3" << date << 10 << false;
    QTest::newRow("home and end") << date << 5 << "{Home}7{End}8"
                                  << "71/05/2024" << 10 << true;
    QTest::newRow("word delete blanks") << date << 4 << "{Ctrl+BS}"
                                        << "01/_5/2024" << 3 << true;
    QTest::newRow("delete to the end of the line") << date << 3 << "{Ctrl+K}"
                                                   << "01/__/____" << 3 << true;
    QTest::newRow("undo key changes nothing") << date << 0 << "9{Ctrl+Z}"
                                              << "91/05/2024" << 1 << true;
}

void TMaskEditTest::typing() {
    QFETCH(QString, initial);
    QFETCH(int, caret);
    QFETCH(QString, script);
    QFETCH(QString, shown);
    QFETCH(int, caretAfter);
    QFETCH(bool, modified);

    edit_->SetText(initial);
    EnterField();
    QCOMPARE(edit_->selectedText(), edit_->EditText());
    if (caret >= 0)
        edit_->setCursorPosition(caret);
    RunScript(script);
    QCOMPARE(edit_->EditText(), shown);
    QCOMPARE(edit_->cursorPosition(), caretAfter);
    QCOMPARE(edit_->Modified(), modified);
    QCOMPARE(edit_->Text(), QString(shown).replace(QLatin1Char('_'), QLatin1Char(' ')));
    QVERIFY(edit_->hasFocus());
}

void TMaskEditTest::paste_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("shown");

    QTest::newRow("full date over the selection") << "25/12/2023" << -1 << "25/12/2023";
    QTest::newRow("short parts") << "1/5/2024" << -1 << "1_/5_/2024";
    QTest::newRow("characters that fit no position skipped") << "ab12" << 0 << "12/05/2024";
    QTest::newRow("text too long cut at the end") << "3112202499" << 0 << "31/12/2024";
    QTest::newRow("year at the caret") << "1999" << 6 << "01/05/1999";
}

void TMaskEditTest::paste() {
    QFETCH(QString, clipboard);
    QFETCH(int, caret);
    QFETCH(QString, shown);

    edit_->SetText(QStringLiteral("01/05/2024"));
    EnterField();
    if (caret >= 0)
        edit_->setCursorPosition(caret);
    QGuiApplication::clipboard()->setText(clipboard);
    QTest::keyClick(edit_, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit_->EditText(), shown);
    QVERIFY(edit_->Modified());
}

void TMaskEditTest::plainEdit() {
    TMaskEdit field(dialog_);
    QCOMPARE(field.EditMask(), QString());
    QVERIFY(!field.IsMasked());
    field.SetMaxLength(5);
    field.show();
    field.setFocus();
    QTRY_VERIFY(field.hasFocus());
    QTest::keyClicks(&field, QStringLiteral("ab1/efg"));
    QCOMPARE(field.Text(), QStringLiteral("ab1/e"));
    QVERIFY(field.Modified());
    QTest::keyClick(&field, Qt::Key_Backspace);
    QCOMPARE(field.Text(), QStringLiteral("ab1/"));
    field.SetText(QStringLiteral("xy"));
    QCOMPARE(field.Text(), QStringLiteral("xy"));
    QVERIFY(!field.Modified());

    // Giving the plain field a mask fits its text.
    field.SetText(QStringLiteral("1/5/2"));
    field.setLocale(QLocale(QStringLiteral("pt_BR")));
    field.SetEditMask(DateMask);
    QCOMPARE(field.EditText(), QStringLiteral("_1/_5/___2"));
    field.SetEditMask(QString());
    QCOMPARE(field.Text(), QStringLiteral(" 1/ 5/   2").left(5));
}

void TMaskEditTest::focusOutCheck_data() {
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("script"); // typed after tabbing in (text selected)
    QTest::addColumn<bool>("reported");
    QTest::addColumn<int>("caret"); // where the caret is put back

    QTest::newRow("year blank after typing") << "01/05/2024"
                                             << "1" << true << 6;
    QTest::newRow("year partly blank") << "01/05/2024"
                                       << "{End}{BS}{BS}" << true << 8;
    QTest::newRow("last year position blank") << "01/05/2024"
                                              << "{End}{BS}" << true << 9;
    QTest::newRow("all blank") << "01/05/2024"
                               << "{Del}" << true << 6;
    QTest::newRow("day and month blank pass")
        << "01/05/2024"
        << "{Home}{Del}{Right}{Del}{Right}{Del}{Right}{Del}" << false << -1;
    QTest::newRow("changed and complete") << "01/05/2024"
                                          << "{Home}2" << false << -1;
    QTest::newRow("assigned text with blank year positions, unchanged") << "5/1/24"
                                                                        << "" << false << -1;
    QTest::newRow("assigned text, caret moved only") << "5/1/24"
                                                     << "{Home}{Right}{Right}" << false << -1;
    QTest::newRow("refused characters change nothing") << "5/1/24"
                                                       << "{Home}ab" << false << -1;
    QTest::newRow("changes abandoned with escape") << "01/05/2024"
                                                   << "1{Esc}" << false << -1;
}

void TMaskEditTest::focusOutCheck() {
    QFETCH(QString, initial);
    QFETCH(QString, script);
    QFETCH(bool, reported);
    QFETCH(int, caret);

    edit_->SetText(initial);
    EnterField();
    RunScript(script);
    const QString shown = edit_->EditText();
    const int beeps = vcl::BeepCount();
    QTest::keyClick(edit_, Qt::Key_Tab);

    if (reported) {
        QTRY_COMPARE(boxes_.size(), 1);
        QCOMPARE(boxes_.first().kind, TApplication::BoxKind::Error);
        QCOMPARE(boxes_.first().text, Report);
        QCOMPARE(vcl::BeepCount(), beeps + 1);
        QVERIFY(edit_->hasFocus());
        QCOMPARE(edit_->cursorPosition(), caret);
        QVERIFY(!edit_->hasSelectedText());
        QVERIFY(edit_->Modified());
        QCOMPARE(edit_->EditText(), shown);
        // Leaving again reports again.
        QTest::keyClick(edit_, Qt::Key_Tab);
        QTRY_COMPARE(boxes_.size(), 2);
        QCOMPARE(vcl::BeepCount(), beeps + 2);
        QVERIFY(edit_->hasFocus());
    } else {
        QTRY_VERIFY(after_->hasFocus());
        QTest::qWait(50);
        QVERIFY(boxes_.isEmpty());
        QCOMPARE(vcl::BeepCount(), beeps);
        QVERIFY(after_->hasFocus());
    }
}

void TMaskEditTest::clickWhileInError_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("reported");
    QTest::newRow("year blank: the button is not pressed") << "1" << true;
    QTest::newRow("complete: the button is pressed") << "{Home}2" << false;
}

void TMaskEditTest::clickWhileInError() {
    QFETCH(QString, script);
    QFETCH(bool, reported);

    edit_->SetText(QStringLiteral("01/05/2024"));
    EnterField();
    RunScript(script);
    const int beeps = vcl::BeepCount();
    QTest::mouseClick(ok_, Qt::LeftButton);
    if (reported) {
        QTRY_COMPARE(boxes_.size(), 1);
        QCOMPARE(boxes_.first().text, Report);
        QCOMPARE(vcl::BeepCount(), beeps + 1);
        QVERIFY(edit_->hasFocus());
        QCOMPARE(edit_->cursorPosition(), 6);
        QCOMPARE(clicks_, 0);
        // The next click is an ordinary one again, and is checked again.
        QTest::mouseClick(before_, Qt::LeftButton);
        QTRY_COMPARE(boxes_.size(), 2);
        QVERIFY(edit_->hasFocus());
    } else {
        QTRY_COMPARE(clicks_, 1);
        QVERIFY(boxes_.isEmpty());
        QCOMPARE(vcl::BeepCount(), beeps);
    }
}

void TMaskEditTest::otherWindowIsNoExit() {
    edit_->SetText(QStringLiteral("01/05/2024"));
    EnterField();
    RunScript(QStringLiteral("1"));
    const int beeps = vcl::BeepCount();

    QWidget other;
    other.resize(200, 100);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(!edit_->hasFocus());
    dialog_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog_));
    QTRY_VERIFY(edit_->hasFocus());
    QTest::qWait(50);
    QVERIFY(boxes_.isEmpty());
    QCOMPARE(vcl::BeepCount(), beeps);

    // The changes are still there and are still checked when the field is left.
    QTest::keyClick(edit_, Qt::Key_Tab);
    QTRY_COMPARE(boxes_.size(), 1);
}

// With the real error box, taking the focus back for the box and returning it afterwards do
// not report again.
void TMaskEditTest::errorBoxReportsOnce() {
    TApplication::SetBoxHook({});
    QStringList shown;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown.append(box->text());
            box->accept();
        }
    });
    closer.start(20);

    edit_->SetText(QStringLiteral("01/05/2024"));
    EnterField();
    RunScript(QStringLiteral("{End}{BS}"));
    const int beeps = vcl::BeepCount();
    QTest::keyClick(edit_, Qt::Key_Tab);
    QTRY_COMPARE(shown.size(), 1);
    QCOMPARE(shown.first(), Report);
    QCOMPARE(dialog_->focusWidget(), edit_);
    QCOMPARE(edit_->cursorPosition(), 9);

    // Without a window manager nothing activates the window again when the box closes.
    dialog_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog_));
    QTRY_VERIFY(edit_->hasFocus());
    QTest::qWait(200);
    closer.stop();
    initTestCase();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(vcl::BeepCount(), beeps + 1);
    QCOMPARE(edit_->cursorPosition(), 9);
}

void TMaskEditTest::escapeAbandonsChanges() {
    edit_->SetText(QStringLiteral("01/05/2024"));
    EnterField();
    RunScript(QStringLiteral("1"));
    QTest::keyClick(edit_, Qt::Key_Tab);
    QTRY_COMPARE(boxes_.size(), 1);

    // Escape after the report brings back the text from before the changes.
    QTest::keyClick(edit_, Qt::Key_Escape);
    QCOMPARE(edit_->EditText(), QStringLiteral("01/05/2024"));
    QVERIFY(!edit_->Modified());
    QVERIFY(dialog_->isVisible());
    QTest::keyClick(edit_, Qt::Key_Tab);
    QTRY_VERIFY(after_->hasFocus());
    QTest::qWait(50);
    QCOMPARE(boxes_.size(), 1);

    // A valid change kept on leaving; Escape on the next visit goes back to the text the visit
    // began with.
    EnterField();
    RunScript(QStringLiteral("{Home}2"));
    QTest::keyClick(edit_, Qt::Key_Tab);
    QTRY_VERIFY(after_->hasFocus());
    EnterField();
    RunScript(QStringLiteral("{Home}3"));
    QCOMPARE(edit_->EditText(), QStringLiteral("31/05/2024"));
    QTest::keyClick(edit_, Qt::Key_Escape);
    QCOMPARE(edit_->EditText(), QStringLiteral("21/05/2024"));
    QVERIFY(!edit_->Modified());
    QVERIFY(dialog_->isVisible());

    // Text assigned by the program is the new starting point.
    RunScript(QStringLiteral("{Home}9"));
    edit_->SetText(QStringLiteral("02/06/2025"));
    QVERIFY(!edit_->Modified());
    RunScript(QStringLiteral("{Home}1{Esc}"));
    QCOMPARE(edit_->EditText(), QStringLiteral("02/06/2025"));
}

void TMaskEditTest::enterPressesNothing_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<int>("key");
    QTest::newRow("date mask, Return") << DateMask << int(Qt::Key_Return);
    QTest::newRow("date mask, keypad Enter") << DateMask << int(Qt::Key_Enter);
    QTest::newRow("plain, Return") << QString() << int(Qt::Key_Return);
}

void TMaskEditTest::enterPressesNothing() {
    QFETCH(QString, mask);
    QFETCH(int, key);

    // Enter in an ordinary edit presses the dialog's default button.
    after_->setFocus();
    QTRY_VERIFY(after_->hasFocus());
    QTest::keyClick(after_, Qt::Key(key));
    QTRY_COMPARE(clicks_, 1);
    dialog_->show();
    dialog_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog_));

    edit_->SetEditMask(mask);
    edit_->SetText(QStringLiteral("01/05/2024"));
    EnterField();
    QTest::keyClick(edit_, Qt::Key(key));
    QTest::qWait(50);
    QCOMPARE(clicks_, 1);
    QVERIFY(dialog_->isVisible());
    QVERIFY(edit_->hasFocus());
    QCOMPARE(edit_->EditText(), QStringLiteral("01/05/2024"));
}

QTEST_MAIN(TMaskEditTest)
#include "tst_TMaskEdit.moc"
