#include "controls/qtvCurrencyEdit.h"

#include "controls/CurrencyFormat.h"
#include "controls/CurrencyKeyStep.h"
#include "controls/CurrencyParse.h"
#include "widgets/MessageBeep.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QList>
#include <QLocale>
#include <QPalette>
#include <QPointer>
#include <QPushButton>

namespace {

using namespace currency::typed;

QChar FirstOf(const QString& text, QChar fallback) {
    return text.isEmpty() ? fallback : text.front();
}

QChar DecimalSeparator() {
    return FirstOf(QLocale().decimalPoint(), u'.');
}

QChar ThousandSeparator() {
    return FirstOf(QLocale().groupSeparator(), u',');
}

// The character that a key event types, as a Windows edit box would receive it: Backspace 8,
// Tab 9, Enter 13 (Ctrl+Enter: line feed 10), Escape 27, Ctrl+A to Ctrl+Z the codes 1 to 26
// (whatever text the platform reports for them), otherwise the printable text of the event.
// Empty for keys that type nothing (arrows, Home, Delete, function keys, other Ctrl keys).
QString TypedCharacters(const QKeyEvent& e) {
    const Qt::KeyboardModifiers modifiers = e.modifiers();
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool altOrMeta = modifiers & (Qt::AltModifier | Qt::MetaModifier);
    const int key = e.key();
    switch (key) {
    case Qt::Key_Backspace:
        return ctrl || altOrMeta ? QString() : QString(QChar(Backspace));
    case Qt::Key_Tab:
        return ctrl || altOrMeta ? QString() : QString(QChar(Tab));
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return altOrMeta ? QString() : QString(QChar(ctrl ? LineFeed : Enter));
    case Qt::Key_Escape:
        return ctrl || altOrMeta ? QString() : QString(QChar(Escape));
    default:
        break;
    }
    if (ctrl && !altOrMeta) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z) {
            return QString(QChar(char16_t(key - Qt::Key_A + 1)));
        }
        return {};
    }
    const QString text = e.text();
    for (QChar c : text) {
        if (c.unicode() < 32 || c.unicode() == 127) {
            return {};
        }
    }
    return text;
}

Qt::Alignment QtAlignment(TqtvCurrencyEdit::TAlignment alignment) {
    switch (alignment) {
    case TqtvCurrencyEdit::taRightJustify:
        return Qt::AlignRight | Qt::AlignVCenter;
    case TqtvCurrencyEdit::taCenter:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case TqtvCurrencyEdit::taLeftJustify:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace

TqtvCurrencyEdit::TqtvCurrencyEdit(QWidget* parent) : QLineEdit(parent) {
    SetAlignment(taRightJustify);
    decimalPlaces_ = 2;
    negColor_ = QColor(Qt::red);
    posColor_ = palette().color(QPalette::Active, QPalette::WindowText);
    displayFormat_ = DefaultDisplayFormat;
    amount_ = 0;
    RefreshDisplay();
}

TqtvCurrencyEdit::~TqtvCurrencyEdit() = default;

void TqtvCurrencyEdit::SetAlignment(TAlignment value) {
    if (value == alignment_) {
        return;
    }
    alignment_ = value;
    setAlignment(QtAlignment(value));
}

void TqtvCurrencyEdit::SetDecimalPlaces(quint16 value) {
    if (value == decimalPlaces_) {
        return;
    }
    decimalPlaces_ = value;
    RefreshDisplay();
}

void TqtvCurrencyEdit::SetDisplayFormat(const QString& value) {
    if (value == displayFormat_) {
        return;
    }
    displayFormat_ = value;
    RefreshDisplay();
}

void TqtvCurrencyEdit::SetNegColor(const QColor& value) {
    if (value == negColor_) {
        return;
    }
    negColor_ = value;
    RefreshDisplay();
}

void TqtvCurrencyEdit::SetPosColor(const QColor& value) {
    if (value == posColor_) {
        return;
    }
    posColor_ = value;
    RefreshDisplay();
}

qint64 TqtvCurrencyEdit::Value() {
    ParseText();
    return amount_;
}

void TqtvCurrencyEdit::SetValue(qint64 value) {
    if (value == amount_) {
        return;
    }
    amount_ = value;
    RefreshDisplay();
}

void TqtvCurrencyEdit::RefreshDisplay() {
    QLineEdit::setText(
        currency::FormatAmount(amount_, displayFormat_, DecimalSeparator(), ThousandSeparator()));
    // The disabled colour group is left alone so that a disabled control still looks disabled.
    const QColor colour = amount_ < 0 ? negColor_ : posColor_;
    QPalette p = palette();
    p.setColor(QPalette::Active, QPalette::Text, colour);
    p.setColor(QPalette::Inactive, QPalette::Text, colour);
    setPalette(p);
}

void TqtvCurrencyEdit::ParseText() {
    const std::optional<qint64> amount = currency::ReadAmount(text(), DecimalSeparator());
    if (!amount) {
        vcl::MessageBeep(vcl::MB_ICONASTERISK);
        return;
    }
    amount_ = *amount;
}

bool TqtvCurrencyEdit::event(QEvent* e) {
    // Escape and Enter belong to the control: no shortcut of the window takes them first.
    if (e->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(e);
        const bool altOrMeta = key->modifiers() & (Qt::AltModifier | Qt::MetaModifier);
        if (!altOrMeta && (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return ||
                           key->key() == Qt::Key_Enter)) {
            e->accept();
            return true;
        }
    }
    return QLineEdit::event(e);
}

void TqtvCurrencyEdit::keyPressEvent(QKeyEvent* e) {
    const QString typed = TypedCharacters(*e);
    if (typed.isEmpty()) {
        QLineEdit::keyPressEvent(e);
        return;
    }

    const QPointer<TqtvCurrencyEdit> self(this);
    // Refused characters, Enter and Escape end here and reach neither the window nor its buttons.
    bool accepted = true;
    for (QChar c : typed) {
        if (c == QChar(Enter)) {
            PressEnter();
            if (!self) {
                return;
            }
        }
        const currency::EditState state{
            text(), hasSelectedText() ? selectionStart() : cursorPosition(), selectionLength()};
        const QChar out = currency::KeyStep(c, state, decimalPlaces_, DecimalSeparator());
        if (out.isNull()) {
            continue;
        }
        if (out == QChar(Enter) || out == QChar(LineFeed)) {
            // A single-line edit box inserts nothing for them; QLineEdit still signals Return.
            if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
                QLineEdit::keyPressEvent(e);
            }
            continue;
        }
        if (typed.size() == 1 && out == c) {
            QLineEdit::keyPressEvent(e);
            accepted = e->isAccepted();
            continue;
        }
        const int key = out.unicode() < 128 ? out.toUpper().unicode() : e->key();
        QKeyEvent replaced(QEvent::KeyPress, key, e->modifiers(), QString(out), e->isAutoRepeat());
        QLineEdit::keyPressEvent(&replaced);
    }
    e->setAccepted(accepted);
}

void TqtvCurrencyEdit::PressEnter() {
    ParseText();
    ClickDefaultButtons();
}

// Clicks every enabled default push button of the window, in the order of the window's widget
// tree (each widget before its children, siblings in the order they were added), once each.
// A disabled button is one the window has forbidden, so it is left alone. A control that is its
// own window has no buttons to click.
void TqtvCurrencyEdit::ClickDefaultButtons() {
    QWidget* form = window();
    if (form == this) {
        return;
    }
    QList<QPointer<QPushButton>> buttons;
    for (QPushButton* button : form->findChildren<QPushButton*>()) {
        if (button->window() == form && button->isDefault()) {
            buttons << button;
        }
    }
    const QPointer<TqtvCurrencyEdit> self(this);
    for (const QPointer<QPushButton>& button : buttons) {
        if (!self) {
            return;
        }
        // A click before may have removed, disabled or demoted a later button.
        if (button && button->isDefault() && button->isEnabled()) {
            button->click();
        }
    }
}

void TqtvCurrencyEdit::focusInEvent(QFocusEvent* e) {
    if (!entered_) {
        entered_ = true;
        selectAll();
    }
    QLineEdit::focusInEvent(e);
}

void TqtvCurrencyEdit::focusOutEvent(QFocusEvent* e) {
    // The focus that only goes to a popup (the context menu) or to another window (a message
    // box, another program) comes back to an edit that the user is still in.
    if (e->reason() != Qt::PopupFocusReason && e->reason() != Qt::ActiveWindowFocusReason) {
        entered_ = false;
        ParseText();
        RefreshDisplay();
    }
    QLineEdit::focusOutEvent(e);
}
