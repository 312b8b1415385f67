#include "controls/CurrencyKeyStep.h"

namespace currency {

namespace {

using namespace typed;

bool Admitted(QChar c) {
    const char16_t code = c.unicode();
    return (code >= 1 && code <= LastControlCode) || c == u'&' || c == u'(' || c == u',' ||
           c == u'-' || c == u'.' || (c >= u'0' && c <= u'9');
}

} // namespace

QChar KeyStep(QChar typed, const EditState& edit, int decimalPlaces, QChar decimalSeparator) {
    if (!Admitted(typed)) {
        return {};
    }
    const QString& text = edit.text;
    QChar c = typed;
    if (c == u'.' || c == u',') {
        c = decimalSeparator;
        if (text.contains(decimalSeparator)) {
            return {};
        }
    } else if (c == u'-') {
        if (text.contains(u'-') || edit.selStart != 0) {
            return {};
        }
    } else if (c != QChar(Enter)) {
        // Nothing goes in front of a leading minus sign.
        if (text.contains(u'-') && edit.selStart == 0 && edit.selLength == 0) {
            return {};
        }
    }

    if (c == QChar(Backspace)) {
        return c;
    }
    const QString prospective =
        text.left(edit.selStart) + c + text.mid(edit.selStart + edit.selLength);
    const qsizetype separator = prospective.indexOf(decimalSeparator);
    if (separator >= 0) {
        const qsizetype after = prospective.size() - separator - 1;
        const int allowed = decimalPlaces + (prospective.contains(u')') ? 1 : 0);
        if (after > allowed) {
            return {};
        }
    }
    if (prospective.indexOf(u'-') > 0) {
        return {};
    }
    return c;
}

} // namespace currency
