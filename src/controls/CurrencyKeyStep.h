#pragma once

#include <QChar>
#include <QString>

namespace currency {

// The control characters that keys type, as the key step and the control exchange them.
namespace typed {
inline constexpr char16_t Backspace = 8;
inline constexpr char16_t Tab = 9;
inline constexpr char16_t LineFeed = 10;
inline constexpr char16_t Enter = 13;
inline constexpr char16_t LastControlCode = 26; // Ctrl+Z; Ctrl+A to Ctrl+Z type 1 to 26
inline constexpr char16_t Escape = 27;
} // namespace typed

// The edit box as a typed character finds it.
struct EditState {
    QString text;     // the whole text, including any selected part
    int selStart = 0; // start of the selection, or the caret when nothing is selected
    int selLength = 0;
};

// Decides what becomes of a character typed into a currency edit: returns the character to let
// through (a typed '.' or ',' becomes the decimal separator) or a null QChar when it is refused.
//  - Admitted are the codes 1 to 26 (Backspace, Tab, line feed, Enter, Ctrl+letter), '&', '(',
//    ',', '-', '.' and the digits; everything else is refused.
//  - A separator is refused when the text already holds one; '-' when the text already holds a
//    '-' or the selection does not start at 0; Enter always passes this stage; any other
//    character when the text holds a '-', the selection starts at 0 and nothing is selected.
//  - Every character but Backspace is then refused when, in the text as it would become, more
//    characters follow the first decimal separator than decimalPlaces (one more when the text
//    holds ')'), or a '-' stands anywhere but first.
// What Enter itself does (reading the text, clicking default buttons) is up to the control.
QChar KeyStep(QChar typed, const EditState& edit, int decimalPlaces, QChar decimalSeparator);

} // namespace currency
