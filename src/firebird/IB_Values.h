#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

// Conversions between the program's values and the server's wire formats.
namespace IB_Values {

// Divides by 10^shift, rounding half to even.
qint64 DivideHalfEven(qint64 value, int shift);

// A currency amount (signed 64-bit count of ten-thousandths) as the integer of a numeric with
// the given scale (-2 for NUMERIC(15,2)), rounded half to even when digits are dropped.
// Throws EIB_Error when the result does not fit.
qint64 CurrencyToScaled(qint64 tenThousandths, int scale);
// An integer as the integer of a numeric with the given scale. Throws when it does not fit.
qint64 IntegerToScaled(qint64 value, int scale);
// The text of a scaled integer: 1234 at scale -2 gives "12.34".
QString ScaledToText(qint64 value, int scale);
// A scaled integer as a currency amount, half to even; throws when it does not fit.
qint64 ScaledToCurrency(qint64 value, int scale);

// ISC_DATE: days since 1858-11-17.
int DateToIsc(const QDate& date);
QDate IscToDate(int days);
// ISC_TIME: ten-thousandths of a second since midnight.
unsigned TimeToIsc(const QTime& time);
QTime IscToTime(unsigned fractions);

} // namespace IB_Values
