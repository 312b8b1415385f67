#include "controls/CurrencyKeyStep.h"

#include <QTest>

namespace {
// Control characters as typed.
constexpr char16_t CtrlA = 1;
constexpr char16_t CtrlC = 3;
constexpr char16_t Backspace = 8;
constexpr char16_t Tab = 9;
constexpr char16_t LineFeed = 10;
constexpr char16_t Enter = 13;
constexpr char16_t CtrlV = 22;
constexpr char16_t CtrlX = 24;
constexpr char16_t CtrlZ = 26;
constexpr char16_t Escape = 27;
constexpr char16_t Refused = 0;
} // namespace

class TestCurrencyKeyStep : public QObject {
    Q_OBJECT
private slots:
    void step_data();
    void step();
};

void TestCurrencyKeyStep::step_data() {
    QTest::addColumn<QChar>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<int>("decimalPlaces");
    QTest::addColumn<QChar>("decimal");
    QTest::addColumn<QChar>("expected"); // null: refused

    auto row = [&](const char* name, char16_t typed, const QString& text, int selStart,
                   int selLength, char16_t expected, int decimalPlaces = 2,
                   QChar decimal = QChar(u',')) {
        QTest::newRow(name) << QChar(typed) << text << selStart << selLength << decimalPlaces
                            << decimal << QChar(expected);
    };

    // Admission.
    row("digit", u'5', "", 0, 0, u'5');
    row("ampersand", u'&', "", 0, 0, u'&');
    row("open parenthesis", u'(', "5", 1, 0, u'(');
    row("letter", u'a', "", 0, 0, Refused);
    row("capital E", u'E', "", 0, 0, Refused);
    row("space", u' ', "", 0, 0, Refused);
    row("close parenthesis", u')', "5", 1, 0, Refused);
    row("plus", u'+', "", 0, 0, Refused);
    row("escape", Escape, "", 0, 0, Refused);
    row("delete code", 127, "", 0, 0, Refused);
    row("non-ASCII digit", 0x0665, "", 0, 0, Refused);
    row("ctrl+A", CtrlA, "5", 1, 0, CtrlA);
    row("ctrl+Z", CtrlZ, "5", 1, 0, CtrlZ);
    row("tab", Tab, "5", 1, 0, Tab);
    row("line feed", LineFeed, "5", 1, 0, LineFeed);
    row("enter", Enter, "5", 1, 0, Enter);

    // The separator: ',' and '.' both give it; never a second one, even over a selected one.
    row("comma", u',', "1", 1, 0, u',');
    row("point becomes comma", u'.', "1", 1, 0, u',');
    row("second comma", u',', "1,2", 3, 0, Refused);
    row("point after comma", u'.', "1,2", 3, 0, Refused);
    row("comma over selected comma", u',', "1,2", 1, 1, Refused);
    row("comma over whole text", u',', "R$ 0,00", 0, 7, Refused);
    row("comma with too many after", u',', "1234", 1, 0, Refused);
    row("comma in front of two digits", u',', "123", 1, 0, u',');

    // The minus sign: only at the very start, never a second one.
    row("minus into empty", u'-', "", 0, 0, u'-');
    row("minus at start", u'-', "5", 0, 0, u'-');
    row("minus after start", u'-', "5", 1, 0, Refused);
    row("minus over whole text", u'-', "R$ 0,00", 0, 7, u'-');
    row("minus selection not at start", u'-', "56", 1, 1, Refused);
    row("second minus", u'-', "-5", 2, 0, Refused);
    row("minus over selected minus", u'-', "-5", 0, 1, Refused);

    // Nothing in front of a leading minus while nothing is selected.
    row("digit before minus", u'5', "-5", 0, 0, Refused);
    row("backspace before minus", Backspace, "-5", 0, 0, Refused);
    row("ctrl+V before minus", CtrlV, "-5", 0, 0, Refused);
    row("parenthesis before minus", u'(', "-5", 0, 0, Refused);
    row("digit after minus", u'5', "-5", 1, 0, u'5');
    row("digit over selected minus", u'5', "-5", 0, 1, u'5');
    row("digit at start, minus later", u'5', "5-", 0, 0, Refused);
    row("backspace after minus", Backspace, "-5", 2, 0, Backspace);

    // Final check a: decimals, one more when the text holds ')'.
    row("second decimal", u'3', "1,2", 3, 0, u'3');
    row("third decimal", u'4', "1,23", 4, 0, Refused);
    row("digit before separator", u'4', "1,23", 0, 0, u'4');
    row("digit over a decimal", u'4', "1,23", 3, 1, u'4');
    row("ctrl+C after two decimals", CtrlC, "5,00", 4, 0, Refused);
    row("ctrl+V after two decimals", CtrlV, "5,00", 4, 0, Refused);
    row("ctrl+X after two decimals", CtrlX, "5,00", 4, 0, Refused);
    row("enter after two decimals", Enter, "5,00", 4, 0, Refused);
    row("enter at start of decimals", Enter, "5,00", 0, 0, Enter);
    row("backspace after two decimals", Backspace, "5,00", 4, 0, Backspace);
    row("parentheses: before separator", u'9', "(R$ 5,00)", 5, 0, u'9');
    row("parentheses: after separator", u'9', "(R$ 5,00)", 6, 0, Refused);
    row("parentheses: one more decimal", u'1', "5,0)", 3, 0, u'1');
    row("no decimal places: separator", u',', "5", 1, 0, u',', 0);
    row("no decimal places: digit after", u'1', "5,", 2, 0, Refused, 0);
    row("three places: third decimal", u'4', "1,23", 4, 0, u'4', 3);
    row("three places: fourth decimal", u'5', "1,234", 5, 0, Refused, 3);

    // Final check b: a '-' anywhere but first.
    row("digit in front of later minus", u'5', "a-b", 0, 1, Refused);
    row("digit after later minus", u'5', "5-", 2, 0, Refused);
    row("backspace with later minus", Backspace, "5-", 2, 0, Backspace);
    row("enter before leading minus", Enter, "-5", 0, 0, Refused);

    // A regional decimal separator other than ','.
    const QChar point(u'.');
    row("point locale: point", u'.', "1", 1, 0, u'.', 2, point);
    row("point locale: comma becomes point", u',', "1", 1, 0, u'.', 2, point);
    row("point locale: second separator", u',', "1.2", 3, 0, Refused, 2, point);
    row("point locale: comma text is no separator", u'5', "1,23", 4, 0, u'5', 2, point);
    row("point locale: third decimal", u'5', "1.23", 4, 0, Refused, 2, point);
}

void TestCurrencyKeyStep::step() {
    QFETCH(QChar, typed);
    QFETCH(QString, text);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(int, decimalPlaces);
    QFETCH(QChar, decimal);
    QFETCH(QChar, expected);
    const currency::EditState state{text, selStart, selLength};
    QCOMPARE(currency::KeyStep(typed, state, decimalPlaces, decimal), expected);
}

QTEST_APPLESS_MAIN(TestCurrencyKeyStep)
#include "tst_CurrencyKeyStep.moc"
