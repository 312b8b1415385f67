#include "controls/CurrencyFormat.h"

#include <QTest>
#include <limits>

namespace {
constexpr qint64 Max = std::numeric_limits<qint64>::max();
constexpr qint64 Min = std::numeric_limits<qint64>::min();
const QString Default = QStringLiteral("R$ 0.00;(R$ 0.00)");
} // namespace

class TestCurrencyFormat : public QObject {
    Q_OBJECT
private slots:
    void pattern_data();
    void pattern();
    void separators_data();
    void separators();
};

void TestCurrencyFormat::pattern_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<qint64>("amount"); // ten-thousandths
    QTest::addColumn<QString>("expected");

    // The default pattern of the currency edit.
    QTest::newRow("default 1234.5") << Default << qint64(12345000) << "R$ 1234,50";
    QTest::newRow("default -50") << Default << qint64(-500000) << "(R$ 50,00)";
    QTest::newRow("default 0") << Default << qint64(0) << "R$ 0,00";
    QTest::newRow("default 0.125 half up") << Default << qint64(1250) << "R$ 0,13";
    QTest::newRow("default -0.125 half away") << Default << qint64(-1250) << "(R$ 0,13)";
    QTest::newRow("default 0.005") << Default << qint64(50) << "R$ 0,01";
    QTest::newRow("default 0.0049") << Default << qint64(49) << "R$ 0,00";
    QTest::newRow("default -0.004 is zero") << Default << qint64(-40) << "R$ 0,00";
    QTest::newRow("default -0.005") << Default << qint64(-50) << "(R$ 0,01)";
    QTest::newRow("default max") << Default << Max << "R$ 922337203685477,58";
    QTest::newRow("default min") << Default << Min << "(R$ 922337203685477,58)";
    QTest::newRow("default 0.995 carries") << Default << qint64(9950) << "R$ 1,00";

    // Sign: the first section shows a negative amount after '-', not when it rounds to zero.
    QTest::newRow("one section negative") << "R$ 0.00" << qint64(-50000) << "-R$ 5,00";
    QTest::newRow("one section -0.001") << "0.00" << qint64(-10) << "0,00";
    QTest::newRow("second section empty") << "0.00;;'zero'" << qint64(-12345) << "-1,23";
    QTest::newRow("second section no sign") << "0.00;0.00" << qint64(-12345) << "1,23";

    // Three sections: the third for zero and for amounts that round to zero.
    const QString three = QStringLiteral("0.0;(0.0);\"zero\"");
    QTest::newRow("three positive") << three << qint64(12345) << "1,2";
    QTest::newRow("three negative") << three << qint64(-12345) << "(1,2)";
    QTest::newRow("three zero") << three << qint64(0) << "zero";
    QTest::newRow("three rounds to zero") << three << qint64(400) << "zero";
    QTest::newRow("three negative rounds to zero") << three << qint64(-499) << "zero";
    QTest::newRow("three rounds to 0.1") << three << qint64(500) << "0,1";
    QTest::newRow("third section empty") << "0.00;(0.00);" << qint64(0) << "0,00";
    QTest::newRow("fourth section ignored") << "0;-0;z;x" << qint64(0) << "z";
    QTest::newRow("rounded zero in first section")
        << "0;(0);0.00" << qint64(-4000) << "0,00"; // rounds to zero at no decimals

    // Quotes and literal text.
    QTest::newRow("single quotes") << "'R$ '0.00" << qint64(12345) << "R$ 1,23";
    QTest::newRow("quoted specials") << "\"0.#,;E+0\"0" << qint64(50000) << "0.#,;E+05";
    QTest::newRow("quote inside other quote") << "'a\"b'0" << qint64(50000) << "a\"b5";
    QTest::newRow("unterminated quote") << "0 'kg" << qint64(50000) << "5 kg";
    QTest::newRow("literal letters") << "EUR 0.00 (x)" << qint64(12345) << "EUR 1,23 (x)";
    QTest::newRow("E without sign is literal") << "0E0" << qint64(50000) << "0E5";
    QTest::newRow("E+ without zeros is literal") << "0E+x" << qint64(50000) << "5E+x";
    QTest::newRow("literal between digits") << "0-00" << qint64(123450000) << "123-45";
    QTest::newRow("literal between zeros") << "0-00" << qint64(50000) << "0-05";
    QTest::newRow("no digit positions") << "abc" << qint64(50000) << "abc";

    // Digit positions.
    QTest::newRow("zeros pad") << "00000" << qint64(12340000) << "01234";
    QTest::newRow("hashes do not pad") << "#####" << qint64(12340000) << "1234";
    QTest::newRow("# decimals trim") << "#.##" << qint64(15000) << "1,5";
    QTest::newRow("# decimals round") << "#.##" << qint64(12345) << "1,23";
    QTest::newRow("# no decimals, no separator") << "#.##" << qint64(10000) << "1";
    QTest::newRow("# below one") << "#.##" << qint64(5000) << ",5";
    QTest::newRow("0.## below one") << "0.##" << qint64(5000) << "0,5";
    QTest::newRow("0.0#") << "0.0#" << qint64(10000) << "1,0";
    QTest::newRow("0.#0 keeps position") << "0.#0" << qint64(15000) << "1,50";
    QTest::newRow("no integer position") << ".00" << qint64(12345000) << "1234,50";
    QTest::newRow("more decimals than stored") << "0.000000" << qint64(1) << "0,000100";
    QTest::newRow("no decimals rounds half away") << "0" << qint64(25000) << "3";
    QTest::newRow("no decimals negative") << "0" << qint64(-25000) << "-3";
    QTest::newRow("further points ignored") << "0.0.0" << qint64(12345) << "1,23";

    // Grouping by threes.
    QTest::newRow("group millions") << "#,##0.00" << qint64(12345678900) << "1.234.567,89";
    QTest::newRow("group zero") << "#,##0.00" << qint64(0) << "0,00";
    QTest::newRow("group 999") << "#,##0.00" << qint64(9990000) << "999,00";
    QTest::newRow("group 1000") << "#,##0.00" << qint64(10000000) << "1.000,00";
    QTest::newRow("group negative") << "#,##0.00" << qint64(-12345678900) << "-1.234.567,89";
    QTest::newRow("group max") << "#,##0" << Max << "922.337.203.685.478";
    QTest::newRow("comma anywhere") << "0," << qint64(12340000) << "1.234";
    QTest::newRow("group padded zeros") << "000,000" << qint64(50000) << "000.005";

    // Scientific notation.
    QTest::newRow("sci E+") << "0.00E+00" << qint64(12345000) << "1,23E+03";
    QTest::newRow("sci rounds half away") << "0.00E+00" << qint64(12355000) << "1,24E+03";
    QTest::newRow("sci E- positive exponent") << "0.00E-00" << qint64(12345000) << "1,23E03";
    QTest::newRow("sci E- negative exponent") << "0.00E-00" << qint64(1250) << "1,25E-01";
    QTest::newRow("sci E+ negative exponent") << "0.00E+0" << qint64(1) << "1,00E-4";
    QTest::newRow("sci zero") << "0.00E+0" << qint64(0) << "0,00E+0";
    QTest::newRow("sci two integer digits") << "00.0e+000" << qint64(12345000) << "12,3e+002";
    QTest::newRow("sci carry") << "0E+0" << qint64(99990000) << "1E+4";
    QTest::newRow("sci negative") << "0.00E+00" << qint64(-12345000) << "-1,23E+03";
    QTest::newRow("sci # decimals") << "0.##E+00" << qint64(10000) << "1E+00";
    QTest::newRow("sci literal after") << "0.0E+0 x" << qint64(50000) << "5,0E+0 x";

    // General number form.
    QTest::newRow("empty 1234.5") << "" << qint64(12345000) << "1234,5";
    QTest::newRow("empty zero") << "" << qint64(0) << "0";
    QTest::newRow("empty negative") << "" << qint64(-1250) << "-0,125";
    QTest::newRow("empty smallest") << "" << qint64(1) << "0,0001";
    QTest::newRow("empty 15 digits") << "" << qint64(123456789012345678) << "12345678901234,6";
    QTest::newRow("empty max") << "" << Max << "922337203685478";
    QTest::newRow("empty min") << "" << Min << "-922337203685478";
    QTest::newRow("empty first section") << ";0.00" << qint64(-50000) << "-5";
}

void TestCurrencyFormat::pattern() {
    QFETCH(QString, pattern);
    QFETCH(qint64, amount);
    QFETCH(QString, expected);
    QCOMPARE(currency::FormatAmount(amount, pattern, u',', u'.'), expected);
}

void TestCurrencyFormat::separators_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QChar>("decimal");
    QTest::addColumn<QChar>("thousands");
    QTest::addColumn<QString>("expected");

    QTest::newRow("point and comma") << "#,##0.00" << QChar(u'.') << QChar(u',') << "1,234,567.89";
    QTest::newRow("no-break space")
        << "#,##0.00" << QChar(u',') << QChar(u'\u00a0') << "1\u00a0234\u00a0567,89";
    QTest::newRow("general form") << "" << QChar(u'.') << QChar(u',') << "1234567.89";
}

void TestCurrencyFormat::separators() {
    QFETCH(QString, pattern);
    QFETCH(QChar, decimal);
    QFETCH(QChar, thousands);
    QFETCH(QString, expected);
    QCOMPARE(currency::FormatAmount(qint64(12345678900), pattern, decimal, thousands), expected);
}

QTEST_APPLESS_MAIN(TestCurrencyFormat)
#include "tst_CurrencyFormat.moc"
