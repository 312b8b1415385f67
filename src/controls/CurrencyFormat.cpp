#include "controls/CurrencyFormat.h"

#include <QList>
#include <QStringList>
#include <algorithm>
#include <cstdlib>

namespace currency {

namespace {

// Decimal digits of a count of ten-thousandths.
constexpr int ScaleDigits = 4;
// Significant digits of the general number form.
constexpr int GeneralDigits = 15;

quint64 PowerOfTen(int exponent) {
    quint64 result = 1;
    for (int i = 0; i < exponent; ++i) {
        result *= 10;
    }
    return result;
}

quint64 Magnitude(qint64 amount) {
    return amount < 0 ? quint64(0) - quint64(amount) : quint64(amount);
}

struct Token {
    enum Kind { Literal, IntDigit, FracDigit, Point, Exponent };
    Kind kind = Literal;
    QChar ch;                // '0' or '#' of a digit position; 'E' or 'e' of the exponent
    QString text;            // literal text
    bool alwaysSign = false; // exponent written 'E+'
    int minDigits = 0;       // least number of exponent digits
};

struct Section {
    QList<Token> tokens;
    bool grouping = false;
    bool scientific = false;
    int intPlaces = 0;
    int fracPlaces = 0;
};

// The digits to show: the integer digits without leading zeros (empty below one), exactly as many
// decimals as the section has decimal places, and the exponent of scientific notation.
struct Digits {
    QString integer;
    QString fraction;
    int exponent = 0;
};

bool IsQuote(QChar c) {
    return c == u'"' || c == u'\'';
}

QStringList SplitSections(const QString& pattern) {
    QStringList sections;
    QString current;
    QChar quote;
    for (QChar c : pattern) {
        if (!quote.isNull()) {
            current += c;
            if (c == quote) {
                quote = QChar();
            }
        } else if (IsQuote(c)) {
            quote = c;
            current += c;
        } else if (c == u';') {
            sections << current;
            current.clear();
            if (sections.size() == 3) {
                return sections; // anything after a third ';' is not part of the pattern
            }
        } else {
            current += c;
        }
    }
    sections << current;
    return sections;
}

void AddLiteral(Section& section, const QString& text) {
    if (!section.tokens.isEmpty() && section.tokens.last().kind == Token::Literal) {
        section.tokens.last().text += text;
        return;
    }
    Token token;
    token.text = text;
    section.tokens << token;
}

Section ParseSection(const QString& text) {
    Section section;
    bool seenPoint = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (IsQuote(c)) {
            qsizetype end = text.indexOf(c, i + 1);
            if (end < 0) {
                end = text.size();
            }
            AddLiteral(section, text.mid(i + 1, end - i - 1));
            i = end;
        } else if ((c == u'0' || c == u'#') && !section.scientific) {
            Token token;
            token.kind = seenPoint ? Token::FracDigit : Token::IntDigit;
            token.ch = c;
            section.tokens << token;
            ++(seenPoint ? section.fracPlaces : section.intPlaces);
        } else if (c == u'.') {
            if (!seenPoint && !section.scientific) {
                Token token;
                token.kind = Token::Point;
                section.tokens << token;
                seenPoint = true;
            }
        } else if (c == u',') {
            section.grouping = true;
        } else if ((c == u'E' || c == u'e') && !section.scientific && i + 2 < text.size() &&
                   (text[i + 1] == u'+' || text[i + 1] == u'-') && text[i + 2] == u'0') {
            qsizetype end = i + 2;
            while (end < text.size() && text[end] == u'0') {
                ++end;
            }
            Token token;
            token.kind = Token::Exponent;
            token.ch = c;
            token.alwaysSign = text[i + 1] == u'+';
            token.minDigits = int(end - (i + 2));
            section.tokens << token;
            section.scientific = true;
            i = end - 1;
        } else {
            AddLiteral(section, QString(c));
        }
    }
    return section;
}

// The magnitude rounded to the given number of decimals, halves away from zero.
Digits FixedDigits(quint64 magnitude, int decimals) {
    Digits digits;
    quint64 whole = 0;
    if (decimals >= ScaleDigits) {
        whole = magnitude / quint64(Scale);
        digits.fraction =
            QString::number(magnitude % quint64(Scale)).rightJustified(ScaleDigits, u'0') +
            QString(decimals - ScaleDigits, u'0');
    } else {
        const quint64 unit = PowerOfTen(ScaleDigits - decimals);
        quint64 rounded = magnitude / unit;
        if ((magnitude % unit) * 2 >= unit) {
            ++rounded;
        }
        const quint64 places = PowerOfTen(decimals);
        whole = rounded / places;
        if (decimals > 0) {
            digits.fraction = QString::number(rounded % places).rightJustified(decimals, u'0');
        }
    }
    if (whole != 0) {
        digits.integer = QString::number(whole);
    }
    return digits;
}

// Adds one to a string of decimal digits; returns true when it carries out of the first digit.
bool Increment(QString& digits) {
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != u'9') {
            digits[i] = QChar(digits[i].unicode() + 1);
            return false;
        }
        digits[i] = u'0';
    }
    return true;
}

// The magnitude rounded to as many significant digits as the section has digit positions,
// halves away from zero, with the integer positions filled by the leading digits.
Digits ScientificDigits(quint64 magnitude, int intPlaces, int fracPlaces) {
    Digits digits;
    const int significant = intPlaces + fracPlaces;
    if (magnitude == 0) {
        digits.fraction = QString(fracPlaces, u'0');
        return digits;
    }
    const QString all = QString::number(magnitude);
    int exponent = int(all.size()) - ScaleDigits; // the amount is 0.<all> times 10^exponent
    QString kept;
    if (all.size() > significant) {
        kept = all.left(significant);
        if (all[significant] >= u'5' && Increment(kept)) {
            kept = u'1' + kept.left(significant - 1);
            ++exponent;
        }
    } else {
        kept = all + QString(significant - all.size(), u'0');
    }
    digits.integer = kept.left(intPlaces);
    digits.fraction = kept.mid(intPlaces);
    digits.exponent = exponent - intPlaces;
    return digits;
}

Digits DigitsFor(const Section& section, quint64 magnitude) {
    return section.scientific ? ScientificDigits(magnitude, section.intPlaces, section.fracPlaces)
                              : FixedDigits(magnitude, section.fracPlaces);
}

bool IsZero(const Digits& digits) {
    return digits.integer.isEmpty() && std::all_of(digits.fraction.begin(), digits.fraction.end(),
                                                   [](QChar c) { return c == u'0'; });
}

QString Render(const Section& section, const Digits& digits, QChar decimalSeparator,
               QChar thousandSeparator) {
    QString out;

    // Integer digits, padded with zeros to the number of integer positions. Digits beyond the
    // positions all go to the first one.
    const int intPlaces = section.intPlaces;
    const QString& integer = digits.integer;
    const QString all =
        integer.size() >= intPlaces ? integer : QString(intPlaces - integer.size(), u'0') + integer;
    const int total = int(all.size());
    const int firstSignificant = total - int(integer.size());
    bool shownAny = false;
    auto showInteger = [&](int index, QChar placeholder) {
        if (index < firstSignificant && placeholder != u'0' && !shownAny) {
            return;
        }
        out += all[index];
        shownAny = true;
        const int position = total - 1 - index; // digits to its right
        if (section.grouping && position > 0 && position % 3 == 0) {
            out += thousandSeparator;
        }
    };

    // Decimals are shown up to the last '0' position or the last significant digit.
    int shownDecimals = 0;
    int fracIndex = 0;
    for (const Token& token : section.tokens) {
        if (token.kind == Token::FracDigit) {
            if (token.ch == u'0' || digits.fraction[fracIndex] != u'0') {
                shownDecimals = fracIndex + 1;
            }
            ++fracIndex;
        }
    }

    int intSeen = 0;
    int nextInteger = 0;
    int fracSeen = 0;
    for (const Token& token : section.tokens) {
        switch (token.kind) {
        case Token::Literal:
            out += token.text;
            break;
        case Token::IntDigit:
            if (intSeen++ == 0) {
                for (; nextInteger <= total - intPlaces; ++nextInteger) {
                    showInteger(nextInteger, token.ch);
                }
            } else {
                showInteger(nextInteger++, token.ch);
            }
            break;
        case Token::Point:
            if (intPlaces == 0) {
                for (int i = 0; i < total; ++i) {
                    showInteger(i, u'#');
                }
            }
            if (shownDecimals > 0) {
                out += decimalSeparator;
            }
            break;
        case Token::FracDigit:
            if (fracSeen < shownDecimals) {
                out += digits.fraction[fracSeen];
            }
            ++fracSeen;
            break;
        case Token::Exponent:
            out += token.ch;
            if (digits.exponent < 0) {
                out += u'-';
            } else if (token.alwaysSign) {
                out += u'+';
            }
            out += QString::number(std::abs(digits.exponent)).rightJustified(token.minDigits, u'0');
            break;
        }
    }
    return out;
}

QString GeneralForm(qint64 amount, QChar decimalSeparator) {
    quint64 magnitude = Magnitude(amount);
    const qsizetype length = QString::number(magnitude).size();
    if (length > GeneralDigits) {
        const quint64 unit = PowerOfTen(int(length) - GeneralDigits);
        quint64 rounded = magnitude / unit;
        if ((magnitude % unit) * 2 >= unit) {
            ++rounded;
        }
        magnitude = rounded * unit;
    }
    QString out = QString::number(magnitude / quint64(Scale));
    QString fraction =
        QString::number(magnitude % quint64(Scale)).rightJustified(ScaleDigits, u'0');
    while (!fraction.isEmpty() && fraction.back() == u'0') {
        fraction.chop(1);
    }
    if (!fraction.isEmpty()) {
        out += decimalSeparator + fraction;
    }
    return amount < 0 ? u'-' + out : out;
}

} // namespace

QString FormatAmount(qint64 amount, const QString& pattern, QChar decimalSeparator,
                     QChar thousandSeparator) {
    const QStringList sections = SplitSections(pattern);
    if (sections.first().isEmpty()) {
        return GeneralForm(amount, decimalSeparator);
    }
    auto sectionFor = [&](int index) {
        return index < sections.size() && !sections[index].isEmpty() ? index : 0;
    };

    const int used = sectionFor(amount > 0 ? 0 : amount < 0 ? 1 : 2);
    Section section = ParseSection(sections[used]);
    Digits digits = DigitsFor(section, Magnitude(amount));
    bool minus = amount < 0 && used == 0;
    if (amount != 0 && IsZero(digits)) {
        section = ParseSection(sections[sectionFor(2)]);
        digits = DigitsFor(section, 0);
        minus = false;
    }
    const QString text = Render(section, digits, decimalSeparator, thousandSeparator);
    return minus ? u'-' + text : text;
}

} // namespace currency
