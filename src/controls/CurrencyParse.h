#pragma once

#include <QChar>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace currency {

// Reads a typed or pasted text as a currency amount (a signed count of ten-thousandths).
// The amount is negative when the text holds '-' or '(' anywhere. Of the text only the digits
// '0' to '9' and the decimal separator count, in their order; everything else is skipped. No
// digit and no separator reads as 0; a separator with digits on one side only is valid. The
// number is rounded to ten-thousandths, halves to even.
// Returns nothing when the text cannot be read: more than one decimal separator, or a number
// beyond the currency range (above 922337203685477.5807 before its sign is applied).
std::optional<qint64> ReadAmount(const QString& text, QChar decimalSeparator);

} // namespace currency
