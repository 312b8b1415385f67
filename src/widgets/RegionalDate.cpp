#include "widgets/RegionalDate.h"

#include <QStringList>

namespace RegionalDate {

namespace {

// The first character of a date or time format outside quoted text that the predicate picks.
template <typename Pick> QChar FirstFormatChar(const QString& format, Pick pick) {
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (!quoted && pick(c))
            return c;
    }
    return QChar();
}

bool IsFiller(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('_') || c == QLatin1Char('\t');
}

// A part of the date text: a number with blanks or '_' around it. Gives the number and how many
// digits it was written with; false for anything else.
bool ScanNumber(const QString& part, int* value, int* digits) {
    qsizetype begin = 0;
    qsizetype end = part.size();
    while (begin < end && IsFiller(part.at(begin)))
        ++begin;
    while (end > begin && IsFiller(part.at(end - 1)))
        --end;
    const qsizetype count = end - begin;
    if (count == 0 || count > 9)
        return false;
    int number = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = part.at(i).unicode();
        if (c < u'0' || c > u'9')
            return false;
        number = number * 10 + (c - u'0');
    }
    *value = number;
    *digits = int(count);
    return true;
}

bool IsBlank(const QString& part) {
    for (const QChar c : part) {
        if (!IsFiller(c))
            return false;
    }
    return true;
}

} // namespace

QString DateToStr(const QDate& date, const QLocale& locale) {
    return locale.toString(date, QLocale::ShortFormat);
}

QChar DateSeparator(const QLocale& locale) {
    const QChar c = FirstFormatChar(locale.dateFormat(QLocale::ShortFormat),
                                    [](QChar ch) { return !ch.isLetter(); });
    return c.isNull() ? QLatin1Char('/') : c;
}

QChar TimeSeparator(const QLocale& locale) {
    const QChar c = FirstFormatChar(locale.timeFormat(QLocale::ShortFormat),
                                    [](QChar ch) { return !ch.isLetter() && !ch.isSpace(); });
    return c.isNull() ? QLatin1Char(':') : c;
}

DateOrder ShortDateOrder(const QLocale& locale) {
    const QChar c = FirstFormatChar(locale.dateFormat(QLocale::ShortFormat), [](QChar ch) {
        return ch == QLatin1Char('y') || ch == QLatin1Char('M') || ch == QLatin1Char('d');
    });
    if (c == QLatin1Char('y'))
        return DateOrder::YearMonthDay;
    if (c == QLatin1Char('M'))
        return DateOrder::MonthDayYear;
    return DateOrder::DayMonthYear;
}

int ExpandTwoDigitYear(int twoDigitYear, int currentYear) {
    const int base = currentYear - 50;
    int year = base / 100 * 100 + twoDigitYear;
    if (year < base)
        year += 100;
    return year;
}

bool StrToDate(const QString& text, const QLocale& locale, QDate* out) {
    return StrToDate(text, locale, out, QDate::currentDate().year());
}

bool StrToDate(const QString& text, const QLocale& locale, QDate* out, int currentYear) {
    const QChar separator = DateSeparator(locale);
    QStringList parts = text.split(separator);
    // A format that ends with its separator (as "yyyy. MM. dd.") writes one after the last part.
    const QString format = locale.dateFormat(QLocale::ShortFormat).trimmed();
    if (parts.size() == 4 && format.endsWith(separator) && IsBlank(parts.last()))
        parts.removeLast();
    if (parts.size() != 2 && parts.size() != 3)
        return false;

    int numbers[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (!ScanNumber(parts.at(i), &numbers[i], &digits[i]))
            return false;
    }

    int day = 0;
    int month = 0;
    int year = currentYear;
    int yearDigits = 4;
    const DateOrder order = ShortDateOrder(locale);
    if (parts.size() == 2) {
        if (order == DateOrder::DayMonthYear) {
            day = numbers[0];
            month = numbers[1];
        } else {
            month = numbers[0];
            day = numbers[1];
        }
    } else {
        switch (order) {
        case DateOrder::DayMonthYear:
            day = numbers[0];
            month = numbers[1];
            year = numbers[2];
            yearDigits = digits[2];
            break;
        case DateOrder::MonthDayYear:
            month = numbers[0];
            day = numbers[1];
            year = numbers[2];
            yearDigits = digits[2];
            break;
        case DateOrder::YearMonthDay:
            year = numbers[0];
            yearDigits = digits[0];
            month = numbers[1];
            day = numbers[2];
            break;
        }
        if (yearDigits <= 2)
            year = ExpandTwoDigitYear(year, currentYear);
    }

    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day))
        return false;
    if (out)
        *out = QDate(year, month, day);
    return true;
}

} // namespace RegionalDate
