#pragma once

#include <QChar>
#include <QDate>
#include <QLocale>
#include <QString>

// Date-to-text and text-to-date conversion under the user's regional settings: the short date
// format of the locale decides the order of day, month and year and the date separator.
namespace RegionalDate {

enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

// The date as the locale's short date format writes it.
QString DateToStr(const QDate& date, const QLocale& locale = QLocale());

// The date separator: the first character of the short date format that is not a letter
// ('/' when the format has none).
QChar DateSeparator(const QLocale& locale = QLocale());

// The time separator: the first character of the short time format that is neither a letter nor
// a blank (':' when the format has none).
QChar TimeSeparator(const QLocale& locale = QLocale());

// The order of the date's parts, decided by the first of 'y', 'M' and 'd' in the short format.
DateOrder ShortDateOrder(const QLocale& locale = QLocale());

// Converts a text to a date. The text is split at the date separator into its parts, in the
// order of the short date format; blanks and '_' around each number are ignored, and each part
// must be a number. Three parts give day, month and year; two parts give day and month (in the
// format's order) of the current year. A missing or blank part fails, and so does any other
// text. A year written with one or two digits is expanded by ExpandTwoDigitYear. The date must
// exist, with a year from 1 to 9999. On success the date is stored in *out (when out is not
// null) and true is returned; on failure *out is left as it was.
bool StrToDate(const QString& text, const QLocale& locale, QDate* out);
bool StrToDate(const QString& text, const QLocale& locale, QDate* out, int currentYear);

// The year with these last two digits (0 to 99) within the hundred years that begin fifty years
// before the current year: with 2025 as the current year, 75 gives 1975 and 74 gives 2074.
int ExpandTwoDigitYear(int twoDigitYear, int currentYear);

} // namespace RegionalDate
