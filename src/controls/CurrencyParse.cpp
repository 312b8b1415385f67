#include "controls/CurrencyParse.h"

#include "controls/CurrencyFormat.h"

#include <algorithm>
#include <limits>

namespace currency {

namespace {

// More integer digits than this cannot fit the currency range.
constexpr int MaxIntegerDigits = 15;
constexpr int ScaleDigits = 4;

} // namespace

std::optional<qint64> ReadAmount(const QString& text, QChar decimalSeparator) {
    const bool negative = text.contains(u'-') || text.contains(u'(');

    QString integer;
    QString fraction;
    bool seenSeparator = false;
    for (QChar c : text) {
        if (c == decimalSeparator) {
            if (seenSeparator) {
                return std::nullopt;
            }
            seenSeparator = true;
        } else if (c >= u'0' && c <= u'9') {
            (seenSeparator ? fraction : integer) += c;
        }
    }

    while (!integer.isEmpty() && integer.front() == u'0') {
        integer.remove(0, 1);
    }
    if (integer.size() > MaxIntegerDigits) {
        return std::nullopt;
    }

    // Fits: at most 15 integer digits times 10 000 stays below 2^64.
    quint64 count = integer.isEmpty() ? 0 : integer.toULongLong() * quint64(Scale);
    const QString decimals = fraction.left(ScaleDigits).leftJustified(ScaleDigits, u'0');
    count += decimals.toULongLong();

    // Round what lies beyond the fourth decimal, halves to even.
    const QString rest = fraction.mid(ScaleDigits);
    if (!rest.isEmpty()) {
        const QChar first = rest.front();
        const bool aboveHalf =
            first > u'5' || (first == u'5' && std::any_of(rest.begin() + 1, rest.end(),
                                                          [](QChar c) { return c != u'0'; }));
        const bool exactlyHalf = first == u'5' && !aboveHalf;
        if (aboveHalf || (exactlyHalf && count % 2 == 1)) {
            ++count;
        }
    }

    if (count > quint64(std::numeric_limits<qint64>::max())) {
        return std::nullopt;
    }
    const qint64 amount = qint64(count);
    return negative ? -amount : amount;
}

} // namespace currency
