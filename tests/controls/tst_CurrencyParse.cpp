#include "controls/CurrencyParse.h"

#include <QTest>
#include <limits>
#include <optional>

namespace {
constexpr qint64 Max = std::numeric_limits<qint64>::max();
} // namespace

class TestCurrencyParse : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
};

void TestCurrencyParse::read_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("decimal");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<qint64>("amount"); // ten-thousandths

    const QChar comma(u',');
    const QChar point(u'.');

    // The shown forms read back.
    QTest::newRow("shown zero") << "R$ 0,00" << comma << true << qint64(0);
    QTest::newRow("shown amount") << "R$ 1234,50" << comma << true << qint64(12345000);
    QTest::newRow("shown negative") << "(R$ 50,00)" << comma << true << qint64(-500000);

    // Nothing to read is zero.
    QTest::newRow("empty") << "" << comma << true << qint64(0);
    QTest::newRow("symbol only") << "R$" << comma << true << qint64(0);
    QTest::newRow("lone separator") << "," << comma << true << qint64(0);
    QTest::newRow("minus only") << "-" << comma << true << qint64(0);

    // A separator with digits on one side only.
    QTest::newRow("leading separator") << ",5" << comma << true << qint64(5000);
    QTest::newRow("trailing separator") << "5," << comma << true << qint64(50000);

    // The sign: '-' or '(' anywhere.
    QTest::newRow("parenthesis after") << "5(" << comma << true << qint64(-50000);
    QTest::newRow("minus first") << "-5" << comma << true << qint64(-50000);
    QTest::newRow("minus last") << "5-" << comma << true << qint64(-50000);
    QTest::newRow("closing parenthesis only") << "5)" << comma << true << qint64(50000);

    // Everything but digits and the separator is dropped.
    QTest::newRow("thousands point dropped") << "1.234,56" << comma << true << qint64(12345600);
    QTest::newRow("ampersands") << "&1&2" << comma << true << qint64(120000);
    QTest::newRow("letters and line break") << "R$\n12,3x" << comma << true << qint64(123000);
    QTest::newRow("non-ASCII digit dropped")
        << QString::fromUtf8("5\u0665") << comma << true << qint64(50000);
    QTest::newRow("leading zeros") << "000000000000000000001" << comma << true << qint64(10000);

    // Two separators cannot be read.
    QTest::newRow("two separators") << "1,5,0" << comma << false << qint64(0);
    QTest::newRow("two lone separators") << ",," << comma << false << qint64(0);

    // Rounding to ten-thousandths, halves to even.
    QTest::newRow("above half") << "1,23456" << comma << true << qint64(12346);
    QTest::newRow("below half") << "1,23454" << comma << true << qint64(12345);
    QTest::newRow("half to even down") << "0,00005" << comma << true << qint64(0);
    QTest::newRow("half to even up") << "0,00015" << comma << true << qint64(2);
    QTest::newRow("half 2.5 down") << "0,000250" << comma << true << qint64(2);
    QTest::newRow("just above half") << "0,0002501" << comma << true << qint64(3);
    QTest::newRow("half 3.5 up") << "0,00035" << comma << true << qint64(4);
    QTest::newRow("negative half") << "-0,00015" << comma << true << qint64(-2);
    QTest::newRow("rounding carries") << "0,99999" << comma << true << qint64(10000);

    // The currency range.
    QTest::newRow("largest whole amount")
        << "922337203685477" << comma << true << qint64(9223372036854770000);
    QTest::newRow("largest amount") << "922337203685477,5807" << comma << true << Max;
    QTest::newRow("largest negated") << "-922337203685477,5807" << comma << true << -Max;
    QTest::newRow("rounds down to largest") << "922337203685477,58074" << comma << true << Max;
    QTest::newRow("beyond largest") << "922337203685477,5808" << comma << false << qint64(0);
    QTest::newRow("half to even beyond") << "922337203685477,58075" << comma << false << qint64(0);
    QTest::newRow("beyond before sign") << "(922337203685477,5808)" << comma << false << qint64(0);
    QTest::newRow("fifteen nines") << "999999999999999" << comma << false << qint64(0);
    QTest::newRow("twenty digits") << "12345678901234567890" << comma << false << qint64(0);

    // Another regional decimal separator.
    QTest::newRow("point separator") << "1,234.56" << point << true << qint64(12345600);
    QTest::newRow("point: comma dropped") << "1,5" << point << true << qint64(150000);
    QTest::newRow("point: two separators") << "1.5.0" << point << false << qint64(0);
}

void TestCurrencyParse::read() {
    QFETCH(QString, text);
    QFETCH(QChar, decimal);
    QFETCH(bool, readable);
    QFETCH(qint64, amount);
    const std::optional<qint64> result = currency::ReadAmount(text, decimal);
    QCOMPARE(result.has_value(), readable);
    if (readable) {
        QCOMPARE(*result, amount);
    }
}

QTEST_APPLESS_MAIN(TestCurrencyParse)
#include "tst_CurrencyParse.moc"
