#include "firebird/IB_Values.h"

#include "firebird/EIB_Error.h"

#include <limits>

namespace IB_Values {

namespace {
constexpr qint64 kJulianOffset = 2400001; // Julian day of 1858-11-17

qint64 power10(int n) {
    qint64 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

EIB_Error overflow() {
    return EIB_Error(QStringLiteral("Valor fora da faixa do parâmetro"));
}

qint64 multiplyChecked(qint64 value, int shift) {
    if (shift > 18 && value != 0)
        throw overflow();
    qint64 result = 0;
    if (__builtin_mul_overflow(value, power10(shift), &result))
        throw overflow();
    return result;
}
} // namespace

qint64 DivideHalfEven(qint64 value, int shift) {
    if (shift <= 0)
        return value;
    if (shift > 18)
        return 0;
    const qint64 divisor = power10(shift);
    qint64 quotient = value / divisor; // truncates toward zero
    const qint64 remainder = value % divisor;
    // Compare |remainder| with half the divisor without overflowing.
    const qint64 absRem = remainder < 0 ? -remainder : remainder;
    const qint64 twice = absRem * 2; // absRem < 10^18, fits
    const bool roundAway = twice > divisor || (twice == divisor && (quotient % 2 != 0));
    if (roundAway)
        quotient += value < 0 ? -1 : 1;
    return quotient;
}

qint64 CurrencyToScaled(qint64 tenThousandths, int scale) {
    const int decimals = -scale;
    if (decimals < 4)
        return DivideHalfEven(tenThousandths, 4 - decimals);
    return multiplyChecked(tenThousandths, decimals - 4);
}

qint64 IntegerToScaled(qint64 value, int scale) {
    if (scale >= 0)
        return DivideHalfEven(value, scale);
    return multiplyChecked(value, -scale);
}

QString ScaledToText(qint64 value, int scale) {
    if (scale >= 0) {
        QString text = QString::number(value);
        if (value != 0)
            text += QString(scale, QLatin1Char('0'));
        return text;
    }
    const int decimals = -scale;
    const bool negative = value < 0;
    // Work on the magnitude as unsigned so that the minimum value has one too.
    quint64 magnitude = negative ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    QString digits = QString::number(magnitude).rightJustified(decimals + 1, QLatin1Char('0'));
    digits.insert(digits.size() - decimals, QLatin1Char('.'));
    return negative ? QLatin1Char('-') + digits : digits;
}

qint64 ScaledToCurrency(qint64 value, int scale) {
    const int decimals = -scale;
    if (decimals >= 4)
        return DivideHalfEven(value, decimals - 4);
    return multiplyChecked(value, 4 - decimals);
}

int DateToIsc(const QDate& date) {
    return static_cast<int>(date.toJulianDay() - kJulianOffset);
}

QDate IscToDate(int days) {
    return QDate::fromJulianDay(days + kJulianOffset);
}

unsigned TimeToIsc(const QTime& time) {
    return static_cast<unsigned>(time.msecsSinceStartOfDay()) * 10u;
}

QTime IscToTime(unsigned fractions) {
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(fractions / 10u));
}

} // namespace IB_Values
