#include "widgets/RegionalDate.h"

#include <QTest>

class RegionalDateTest : public QObject {
    Q_OBJECT

private slots:
    void separators_data();
    void separators();
    void strToDate_data();
    void strToDate();
    void strToDateUsesCurrentYear();
    void expandTwoDigitYear_data();
    void expandTwoDigitYear();
    void roundTrip_data();
    void roundTrip();
};

void RegionalDateTest::separators_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QChar>("dateSeparator");
    QTest::addColumn<QChar>("timeSeparator");

    QTest::newRow("Brazil") << "pt_BR"
                            << "01/05/2024" << QChar('/') << QChar(':');
    QTest::newRow("United States") << "en_US"
                                   << "5/1/24" << QChar('/') << QChar(':');
    QTest::newRow("Germany") << "de_DE"
                             << "01.05.24" << QChar('.') << QChar(':');
    QTest::newRow("Sweden") << "sv_SE"
                            << "2024-05-01" << QChar('-') << QChar(':');
    QTest::newRow("Finland") << "fi_FI"
                             << "1.5.2024" << QChar('.') << QChar('.');
    QTest::newRow("Korea, time after the day period") << "ko_KR"
                                                      << "24. 5. 1." << QChar('.') << QChar(':');
}

void RegionalDateTest::separators() {
    QFETCH(QString, locale);
    QFETCH(QString, date);
    QFETCH(QChar, dateSeparator);
    QFETCH(QChar, timeSeparator);
    const QLocale loc(locale);
    QCOMPARE(RegionalDate::DateToStr(QDate(2024, 5, 1), loc), date);
    QCOMPARE(RegionalDate::DateSeparator(loc), dateSeparator);
    QCOMPARE(RegionalDate::TimeSeparator(loc), timeSeparator);
}

void RegionalDateTest::strToDate_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected"); // invalid: the conversion fails

    const QString br = QStringLiteral("pt_BR");
    QTest::newRow("full date") << br << "01/05/2024" << QDate(2024, 5, 1);
    QTest::newRow("one-digit day and month") << br << "1/5/2024" << QDate(2024, 5, 1);
    QTest::newRow("underscores before") << br << "_1/_5/2024" << QDate(2024, 5, 1);
    QTest::newRow("blanks around") << br << " 1 / 5 /2024 " << QDate(2024, 5, 1);
    QTest::newRow("trailing underscores") << br << "1_/5_/2024" << QDate(2024, 5, 1);
    QTest::newRow("30 April") << br << "30/04/2024" << QDate(2024, 4, 30);
    QTest::newRow("31 April") << br << "31/04/2024" << QDate();
    QTest::newRow("29 February, common year") << br << "29/02/2023" << QDate();
    QTest::newRow("29 February, leap year") << br << "29/02/2024" << QDate(2024, 2, 29);
    QTest::newRow("29 February 1900") << br << "29/02/1900" << QDate();
    QTest::newRow("29 February 2000") << br << "29/02/2000" << QDate(2000, 2, 29);
    QTest::newRow("day 0") << br << "00/05/2024" << QDate();
    QTest::newRow("month 13") << br << "01/13/2024" << QDate();
    QTest::newRow("year 0") << br << "01/05/0000" << QDate();
    QTest::newRow("day and month blank") << br << "__/__/2024" << QDate();
    QTest::newRow("day and month spaces") << br << "  /  /2024" << QDate();
    QTest::newRow("day blank") << br << "__/05/2024" << QDate();
    QTest::newRow("month blank") << br << "01/  /2024" << QDate();
    QTest::newRow("year blank") << br << "01/05/    " << QDate();
    QTest::newRow("year blank, underscores") << br << "01/05/____" << QDate();
    QTest::newRow("year only") << br << "2024" << QDate();
    QTest::newRow("empty") << br << "" << QDate();
    QTest::newRow("all blank") << br << "__/__/____" << QDate();
    QTest::newRow("two-digit year") << br << "01/05/24" << QDate(2024, 5, 1);
    QTest::newRow("two year digits in a four-digit field")
        << br << "01/05/__24" << QDate(2024, 5, 1);
    QTest::newRow("two-digit year at the window's end") << br << "01/05/74" << QDate(2074, 5, 1);
    QTest::newRow("two-digit year at the window's start") << br << "01/05/75" << QDate(1975, 5, 1);
    QTest::newRow("three-digit year taken as written") << br << "01/05/024" << QDate(24, 5, 1);
    QTest::newRow("letter in the day") << br << "1a/05/2024" << QDate();
    QTest::newRow("blank inside a number") << br << "1 2/05/2024" << QDate();
    QTest::newRow("negative day") << br << "-1/05/2024" << QDate();
    QTest::newRow("four parts") << br << "01/05/2024/1" << QDate();
    QTest::newRow("trailing separator") << br << "01/05/2024/" << QDate();
    QTest::newRow("other separator") << br << "01.05.2024" << QDate();
    QTest::newRow("huge number") << br << "01/05/99999999999" << QDate();
    QTest::newRow("day and month only") << br << "15/08" << QDate(2025, 8, 15);
    QTest::newRow("day and month only, trailing separator") << br << "15/08/" << QDate();

    QTest::newRow("month first") << "en_US"
                                 << "5/1/2024" << QDate(2024, 5, 1);
    QTest::newRow("month first, 31 December") << "en_US"
                                              << "12/31/2024" << QDate(2024, 12, 31);
    QTest::newRow("month first, day first text") << "en_US"
                                                 << "31/12/2024" << QDate();
    QTest::newRow("month first, two-digit year") << "en_US"
                                                 << "_5/_1/__24" << QDate(2024, 5, 1);
    QTest::newRow("year first") << "sv_SE"
                                << "2024-05-01" << QDate(2024, 5, 1);
    QTest::newRow("year first, two-digit year") << "sv_SE"
                                                << "24-05-01" << QDate(2024, 5, 1);
    QTest::newRow("year first, day first text") << "sv_SE"
                                                << "01-05-2024" << QDate();
    QTest::newRow("year first, 31 April") << "sv_SE"
                                          << "2024-04-31" << QDate();
    QTest::newRow("dotted, two-digit year") << "de_DE"
                                            << "25.12.24" << QDate(2024, 12, 25);
    QTest::newRow("format ending in its separator") << "hu_HU"
                                                    << "2024. 05. 01." << QDate(2024, 5, 1);
}

void RegionalDateTest::strToDate() {
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    const QDate untouched(1999, 9, 9);
    QDate result = untouched;
    const bool ok = RegionalDate::StrToDate(text, QLocale(locale), &result, 2025);
    QCOMPARE(ok, expected.isValid());
    QCOMPARE(result, ok ? expected : untouched);
    // Without a place for the result, only the check is made.
    QCOMPARE(RegionalDate::StrToDate(text, QLocale(locale), nullptr, 2025), ok);
}

void RegionalDateTest::strToDateUsesCurrentYear() {
    const int year = QDate::currentDate().year();
    const QLocale br(QStringLiteral("pt_BR"));
    QDate result;
    QVERIFY(RegionalDate::StrToDate(QStringLiteral("15/08"), br, &result));
    QCOMPARE(result, QDate(year, 8, 15));
    QVERIFY(RegionalDate::StrToDate(QStringLiteral("15/08/%1").arg(year % 100, 2, 10, QChar('0')),
                                    br, &result));
    QCOMPARE(result, QDate(year, 8, 15));
}

void RegionalDateTest::expandTwoDigitYear_data() {
    QTest::addColumn<int>("twoDigits");
    QTest::addColumn<int>("currentYear");
    QTest::addColumn<int>("expected");
    QTest::newRow("this year") << 25 << 2025 << 2025;
    QTest::newRow("last year in the window") << 74 << 2025 << 2074;
    QTest::newRow("first year in the window") << 75 << 2025 << 1975;
    QTest::newRow("99") << 99 << 2025 << 1999;
    QTest::newRow("00") << 0 << 2025 << 2000;
    QTest::newRow("window across a century") << 0 << 2099 << 2100;
    QTest::newRow("window start in the century's last year") << 49 << 2000 << 2049;
    QTest::newRow("year 2000, 50") << 50 << 2000 << 1950;
}

void RegionalDateTest::expandTwoDigitYear() {
    QFETCH(int, twoDigits);
    QFETCH(int, currentYear);
    QFETCH(int, expected);
    QCOMPARE(RegionalDate::ExpandTwoDigitYear(twoDigits, currentYear), expected);
}

void RegionalDateTest::roundTrip_data() {
    QTest::addColumn<QString>("locale");
    for (const char* name : {"pt_BR", "en_US", "de_DE", "sv_SE", "fi_FI", "ja_JP", "hu_HU"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void RegionalDateTest::roundTrip() {
    QFETCH(QString, locale);
    const QLocale loc(locale);
    const int year = QDate::currentDate().year();
    for (const QDate& date :
         {QDate(year, 1, 31), QDate(year, 12, 1), QDate(2024, 2, 29), QDate::currentDate()}) {
        QDate back;
        const QString text = RegionalDate::DateToStr(date, loc);
        QVERIFY2(RegionalDate::StrToDate(text, loc, &back), qPrintable(text));
        QCOMPARE(back, date);
    }
}

QTEST_GUILESS_MAIN(RegionalDateTest)
#include "tst_RegionalDate.moc"
