#pragma once

#include <QChar>
#include <QString>
#include <QtGlobal>

namespace currency {

// Ten-thousandths in one unit of a currency amount.
constexpr qint64 Scale = 10000;

// Shows a currency amount (a signed count of ten-thousandths) through a number pattern:
//  - up to three sections separated by ';' (not inside quotes): above zero; below zero (shown
//    without a sign); zero. A missing or empty section falls back to the first. An amount below
//    zero shown by the first section is preceded by '-'. An amount that rounds to zero at its
//    section's decimals is shown as zero by the zero section (or the first), without a sign;
//  - '0' is a digit position that is always filled, '#' one filled only by a significant digit;
//  - the first '.' places the decimal separator (shown only when a decimal digit follows it);
//    further '.' are ignored;
//  - any ',' groups the integer digits by threes with the thousands separator;
//  - 'E+', 'E-', 'e+' or 'e-' followed by '0's gives scientific notation ('+' always shows the
//    exponent's sign, '-' only a minus), the '0's being the least number of exponent digits;
//  - text in single or double quotes and every other character are shown as they stand.
// The digit positions after the '.' fix the decimals; the amount is rounded to them, halves away
// from zero, exactly on the integer count. An empty pattern or an empty first section shows the
// amount in general number form (up to 15 significant digits, no grouping).
QString FormatAmount(qint64 amount, const QString& pattern, QChar decimalSeparator,
                     QChar thousandSeparator);

} // namespace currency
