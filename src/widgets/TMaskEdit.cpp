#include "widgets/TMaskEdit.h"

#include "widgets/MessageBeep.h"
#include "widgets/RegionalDate.h"
#include "widgets/TApplication.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

namespace {

// The field whose focus-out report is on its way; while one is, other fields do not check, so
// that two fields cannot pull the focus from each other.
TMaskEdit* checkPending = nullptr;

bool IsAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

TMaskEdit::TMaskEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, [this] { modified_ = true; });
}

TMaskEdit::~TMaskEdit() {
    if (checkPending == this)
        checkPending = nullptr;
    DisarmPressSwallow();
}

QString TMaskEdit::InvalidInputMessage() {
    return QStringLiteral("Invalid input value.  Use escape key to abandon changes");
}

// ---- the mask ----

void TMaskEdit::SetEditMask(const QString& mask) {
    if (mask == editMask_)
        return;
    const QString current = Text();
    editMask_ = mask;
    ParseMask();
    if (IsMasked()) {
        QLineEdit::setMaxLength(32767);
        setAcceptDrops(false);
        SetDisplay(FitText(current));
    } else {
        QLineEdit::setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
        setAcceptDrops(true);
        SetDisplay(current);
    }
    oldText_ = text();
}

void TMaskEdit::ParseMask() {
    positions_.clear();
    leadingBlanks_ = false;
    saveLiterals_ = true;
    blank_ = QLatin1Char('_');
    if (editMask_.isEmpty())
        return;

    // The fields are separated by ';' outside escapes: mask, literals flag, blank character.
    QList<qsizetype> semicolons;
    for (qsizetype i = 0; i < editMask_.size(); ++i) {
        if (editMask_.at(i) == QLatin1Char('\\'))
            ++i;
        else if (editMask_.at(i) == QLatin1Char(';'))
            semicolons.append(i);
    }
    qsizetype maskEnd = editMask_.size();
    if (semicolons.size() >= 2) {
        const qsizetype last = semicolons.last();
        if (last + 1 < editMask_.size())
            blank_ = editMask_.at(last + 1);
        maskEnd = semicolons.at(semicolons.size() - 2);
        saveLiterals_ = editMask_.at(maskEnd + 1) != QLatin1Char('0');
    } else if (semicolons.size() == 1) {
        maskEnd = semicolons.first();
        saveLiterals_ = maskEnd + 1 >= editMask_.size() || editMask_.at(maskEnd + 1) != u'0';
    }

    Case letterCase = Case::Keep;
    for (qsizetype i = 0; i < maskEnd; ++i) {
        const QChar c = editMask_.at(i);
        Position p;
        p.letterCase = letterCase;
        switch (c.unicode()) {
        case u'!':
            leadingBlanks_ = true;
            continue;
        case u'>':
            letterCase = Case::Upper;
            continue;
        case u'<':
            if (i + 1 < maskEnd && editMask_.at(i + 1) == QLatin1Char('>')) {
                ++i;
                letterCase = Case::Keep;
            } else {
                letterCase = Case::Lower;
            }
            continue;
        case u'\\':
            if (++i >= maskEnd)
                continue;
            p.literal = editMask_.at(i);
            break;
        case u'0':
        case u'9':
            p.kind = Kind::Digit;
            p.required = c == QLatin1Char('0');
            break;
        case u'#':
            p.kind = Kind::DigitOrSign;
            break;
        case u'L':
        case u'l':
            p.kind = Kind::Letter;
            p.required = c == QLatin1Char('L');
            break;
        case u'A':
        case u'a':
            p.kind = Kind::LetterOrDigit;
            p.required = c == QLatin1Char('A');
            break;
        case u'C':
        case u'c':
            p.kind = Kind::Any;
            p.required = c == QLatin1Char('C');
            break;
        case u'/':
            p.separator = Separator::Date;
            break;
        case u':':
            p.separator = Separator::Time;
            break;
        case u'_':
            p.literal = QLatin1Char(' ');
            break;
        default:
            p.literal = c;
            break;
        }
        positions_.append(p);
    }
    ResolveSeparators();
}

void TMaskEdit::ResolveSeparators() {
    const QLocale loc = locale();
    for (Position& p : positions_) {
        if (p.separator == Separator::Date)
            p.literal = RegionalDate::DateSeparator(loc);
        else if (p.separator == Separator::Time)
            p.literal = RegionalDate::TimeSeparator(loc);
    }
}

bool TMaskEdit::IsEditable(int index) const {
    return positions_.at(index).kind != Kind::Literal;
}

int TMaskEdit::NextEditable(int from) const {
    for (int i = qMax(from, 0); i < positions_.size(); ++i) {
        if (IsEditable(i))
            return i;
    }
    return -1;
}

int TMaskEdit::PreviousEditable(int before) const {
    for (int i = qMin<int>(before, positions_.size()) - 1; i >= 0; --i) {
        if (IsEditable(i))
            return i;
    }
    return -1;
}

bool TMaskEdit::Accepts(int index, QChar c, QChar* stored) const {
    const Position& p = positions_.at(index);
    if (p.kind == Kind::Literal || c == QLatin1Char(' ') || c == blank_ || !c.isPrint())
        return false;
    if (p.letterCase == Case::Upper)
        c = c.toUpper();
    else if (p.letterCase == Case::Lower)
        c = c.toLower();
    bool ok = false;
    switch (p.kind) {
    case Kind::Digit:
        ok = IsAsciiDigit(c);
        break;
    case Kind::DigitOrSign:
        ok = IsAsciiDigit(c) || c == QLatin1Char('+') || c == QLatin1Char('-');
        break;
    case Kind::Letter:
        ok = c.isLetter();
        break;
    case Kind::LetterOrDigit:
        ok = c.isLetterOrNumber();
        break;
    case Kind::Any:
        ok = true;
        break;
    case Kind::Literal:
        break;
    }
    if (ok)
        *stored = c;
    return ok;
}

QString TMaskEdit::BlankDisplay() const {
    QString display(positions_.size(), blank_);
    for (int i = 0; i < positions_.size(); ++i) {
        if (!IsEditable(i))
            display[i] = positions_.at(i).literal;
    }
    return display;
}

void TMaskEdit::FitPart(QString& display, int begin, int end, QStringView part) const {
    const int length = end - begin;
    if (part.size() > length)
        part = leadingBlanks_ ? part.right(length) : part.left(length);
    const int start = leadingBlanks_ ? end - int(part.size()) : begin;
    for (int k = 0; k < part.size(); ++k) {
        QChar c;
        if (Accepts(start + k, part.at(k), &c))
            display[start + k] = c;
    }
}

QString TMaskEdit::FitText(const QString& text) const {
    QString display = BlankDisplay();
    const int n = int(positions_.size());
    if (!saveLiterals_) {
        // The text holds the characters of the editable positions only.
        QList<int> editable;
        for (int i = 0; i < n; ++i) {
            if (IsEditable(i))
                editable.append(i);
        }
        QStringView chars(text);
        const qsizetype count = editable.size();
        if (chars.size() > count)
            chars = leadingBlanks_ ? chars.right(count) : chars.left(count);
        const qsizetype offset = leadingBlanks_ ? count - chars.size() : 0;
        for (qsizetype k = 0; k < chars.size(); ++k) {
            const int index = editable.at(offset + k);
            QChar c;
            if (Accepts(index, chars.at(k), &c))
                display[index] = c;
        }
        return display;
    }

    // Each segment of editable positions takes the part of the text up to the literals that
    // follow the segment in the mask.
    qsizetype from = 0;
    int i = 0;
    while (i < n) {
        int j = i;
        if (!IsEditable(i)) {
            while (j < n && !IsEditable(j))
                ++j;
            const QString run = display.mid(i, j - i);
            if (QStringView(text).mid(from).startsWith(run))
                from += run.size();
            i = j;
            continue;
        }
        while (j < n && IsEditable(j))
            ++j;
        qsizetype partEnd = text.size();
        if (j < n) {
            int k = j;
            while (k < n && !IsEditable(k))
                ++k;
            const qsizetype found = text.indexOf(display.mid(j, k - j), from);
            if (found >= 0)
                partEnd = found;
        }
        FitPart(display, i, j, QStringView(text).mid(from, partEnd - from));
        from = partEnd;
        i = j;
    }
    return display;
}

// ---- text ----

QString TMaskEdit::Text() const {
    if (!IsMasked())
        return text();
    const QString display = text();
    QString result;
    result.reserve(display.size());
    for (int i = 0; i < positions_.size() && i < display.size(); ++i) {
        if (!IsEditable(i)) {
            if (saveLiterals_)
                result += display.at(i);
        } else {
            result += display.at(i) == blank_ ? QLatin1Char(' ') : display.at(i);
        }
    }
    return result;
}

void TMaskEdit::SetText(const QString& text) {
    SetDisplay(IsMasked() ? FitText(text) : text);
    modified_ = false;
    oldText_ = this->text();
}

void TMaskEdit::SetMaxLength(int length) {
    length = qMax(length, 0);
    if (length == maxLength_)
        return;
    maxLength_ = length;
    if (!IsMasked())
        QLineEdit::setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
}

int TMaskEdit::FirstInvalidPosition() const {
    const QString display = text();
    for (int i = 0; i < positions_.size(); ++i) {
        if (positions_.at(i).required && (i >= display.size() || display.at(i) == blank_))
            return i;
    }
    return -1;
}

void TMaskEdit::Reset() {
    if (!modified_)
        return;
    SetDisplay(oldText_);
    modified_ = false;
}

void TMaskEdit::SetDisplay(const QString& display) {
    QLineEdit::setText(display);
}

void TMaskEdit::ApplyUserEdit(const QString& display, int cursor) {
    if (display != text()) {
        SetDisplay(display);
        modified_ = true;
        emit textEdited(text());
    } else {
        deselect();
    }
    setCursorPosition(cursor);
}

// ---- editing ----

bool TMaskEdit::PutChar(QString& display, int& cursor, QChar c) const {
    const int index = NextEditable(cursor);
    QChar stored;
    if (index < 0 || !Accepts(index, c, &stored))
        return false;
    display[index] = stored;
    const int next = NextEditable(index + 1);
    cursor = next < 0 ? int(positions_.size()) : next;
    return true;
}

void TMaskEdit::BlankRange(QString& display, int from, int to) const {
    for (int i = qMax(from, 0); i < to && i < positions_.size(); ++i) {
        if (IsEditable(i))
            display[i] = blank_;
    }
}

void TMaskEdit::TypeText(const QString& typed) {
    QString display = text();
    int cursor = cursorPosition();
    if (hasSelectedText()) {
        // The selection is replaced only when the first character is taken.
        const int start = selectionStart();
        QString cleared = display;
        BlankRange(cleared, start, selectionEnd());
        int at = start;
        if (typed.isEmpty() || !PutChar(cleared, at, typed.front()))
            return;
        display = cleared;
        cursor = at;
        for (qsizetype k = 1; k < typed.size(); ++k)
            PutChar(display, cursor, typed.at(k));
    } else {
        bool any = false;
        for (const QChar c : typed)
            any = PutChar(display, cursor, c) || any;
        if (!any)
            return;
    }
    ApplyUserEdit(display, cursor);
}

void TMaskEdit::PasteText(const QString& pasted) {
    QString display = text();
    int cursor = cursorPosition();
    if (hasSelectedText()) {
        cursor = selectionStart();
        BlankRange(display, cursor, selectionEnd());
    }
    // A literal of the pasted text moves on to the next segment, unless the caret has just
    // passed over that literal after filling the end of a segment.
    QString passed;
    for (const QChar c : pasted) {
        if (!passed.isEmpty() && c == passed.front()) {
            passed.remove(0, 1);
            continue;
        }
        passed.clear();
        const int before = NextEditable(cursor);
        if (PutChar(display, cursor, c)) {
            for (int i = before + 1; i < cursor; ++i)
                passed += positions_.at(i).literal;
            continue;
        }
        for (int i = qMax(cursor, 0); i < positions_.size(); ++i) {
            if (!IsEditable(i) && positions_.at(i).literal == c) {
                const int next = NextEditable(i + 1);
                cursor = next < 0 ? int(positions_.size()) : next;
                break;
            }
        }
    }
    ApplyUserEdit(display, cursor);
}

void TMaskEdit::BlankSelectionOr(bool backwards) {
    QString display = text();
    int cursor = cursorPosition();
    if (hasSelectedText()) {
        const int start = selectionStart();
        BlankRange(display, start, selectionEnd());
        const int next = NextEditable(start);
        cursor = next < 0 ? start : next;
    } else {
        const int index = backwards ? PreviousEditable(cursor) : NextEditable(cursor);
        if (index < 0)
            return;
        display[index] = blank_;
        cursor = index;
    }
    ApplyUserEdit(display, cursor);
}

void TMaskEdit::CutSelection() {
    if (!hasSelectedText())
        return;
    copy();
    BlankSelectionOr(false);
}

void TMaskEdit::MoveCaret(int key) {
    const int n = int(positions_.size());
    int cursor = cursorPosition();
    if (key == Qt::Key_Home) {
        const int first = NextEditable(0);
        cursor = first < 0 ? 0 : first;
    } else if (key == Qt::Key_End) {
        cursor = n;
    } else if (hasSelectedText()) {
        cursor = key == Qt::Key_Left ? selectionStart() : selectionEnd();
    } else if (key == Qt::Key_Left) {
        const int previous = PreviousEditable(cursor);
        cursor = previous < 0 ? cursor : previous;
    } else if (key == Qt::Key_Right) {
        if (cursor < n) {
            const int next = NextEditable(cursor + 1);
            cursor = next < 0 ? n : next;
        }
    }
    deselect();
    setCursorPosition(cursor);
}

// ---- events ----

void TMaskEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Taken here, so that no default button of the window is pressed.
        event->accept();
        return;
    }
    if (!IsMasked()) {
        QLineEdit::keyPressEvent(event);
        return;
    }

    const Qt::KeyboardModifiers mods =
        event->modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    const bool editable = !isReadOnly();
    event->accept();

    if (key == Qt::Key_Escape) {
        if (modified_ && editable)
            Reset();
        else
            event->ignore();
        return;
    }
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        if (editable)
            CutSelection();
        else
            copy();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        if (editable)
            PasteText(QGuiApplication::clipboard()->text());
        return;
    }
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo))
        return;
    if (event->matches(QKeySequence::DeleteEndOfLine) ||
        event->matches(QKeySequence::DeleteCompleteLine)) {
        if (editable) {
            QString display = text();
            const int from =
                event->matches(QKeySequence::DeleteCompleteLine) ? 0 : cursorPosition();
            BlankRange(display, from, int(positions_.size()));
            ApplyUserEdit(display, cursorPosition());
        }
        return;
    }
    if (key == Qt::Key_Backspace || event->matches(QKeySequence::DeleteStartOfWord)) {
        if (editable)
            BlankSelectionOr(true);
        return;
    }
    if (key == Qt::Key_Delete || event->matches(QKeySequence::DeleteEndOfWord)) {
        if (editable)
            BlankSelectionOr(false);
        return;
    }
    if ((key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home ||
         key == Qt::Key_End) &&
        mods == Qt::NoModifier) {
        MoveCaret(key);
        return;
    }

    const QString typed = event->text();
    const bool altGr = (mods & Qt::ControlModifier) && (mods & Qt::AltModifier);
    const bool plainText = !(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (!typed.isEmpty() && typed.front().isPrint() && (plainText || altGr)) {
        if (editable)
            TypeText(typed);
        return;
    }

    // Navigation, selection and the keys of the surroundings; a change of the text by any
    // other key is undone.
    const QString before = text();
    QLineEdit::keyPressEvent(event);
    if (text() != before)
        SetDisplay(before);
    else if (!hasSelectedText() && cursorPosition() < positions_.size() &&
             !IsEditable(cursorPosition())) {
        const int next = NextEditable(cursorPosition());
        setCursorPosition(next < 0 ? int(positions_.size()) : next);
    }
}

void TMaskEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (!IsMasked()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    if (!isReadOnly() && !event->commitString().isEmpty())
        TypeText(event->commitString());
    event->accept();
}

void TMaskEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (IsMasked() && event->button() == Qt::MiddleButton) {
        // The X11 selection paste goes through the mask like any other paste.
        if (!isReadOnly() && QGuiApplication::clipboard()->supportsSelection())
            PasteText(QGuiApplication::clipboard()->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TMaskEdit::contextMenuEvent(QContextMenuEvent* event) {
    if (!IsMasked()) {
        QLineEdit::contextMenuEvent(event);
        return;
    }
    // The standard menu edits the text around the mask; this one goes through it.
    const bool editable = !isReadOnly();
    const bool selected = hasSelectedText();
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* action = menu->addAction(QLineEdit::tr("Cu&t"), this, [this] { CutSelection(); });
    action->setEnabled(editable && selected);
    action = menu->addAction(QLineEdit::tr("&Copy"), this, [this] { copy(); });
    action->setEnabled(selected);
    action = menu->addAction(QLineEdit::tr("&Paste"), this,
                             [this] { PasteText(QGuiApplication::clipboard()->text()); });
    action->setEnabled(editable && !QGuiApplication::clipboard()->text().isEmpty());
    action = menu->addAction(QLineEdit::tr("Delete"), this, [this] { BlankSelectionOr(false); });
    action->setEnabled(editable && selected);
    menu->addSeparator();
    action = menu->addAction(QLineEdit::tr("Select All"), this, [this] { selectAll(); });
    action->setEnabled(!text().isEmpty());
    menu->popup(event->globalPos());
    event->accept();
}

void TMaskEdit::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange && IsMasked()) {
        const int cursor = cursorPosition();
        ResolveSeparators();
        QString display = text();
        QString old = oldText_;
        for (int i = 0; i < positions_.size(); ++i) {
            if (!IsEditable(i)) {
                if (i < display.size())
                    display[i] = positions_.at(i).literal;
                if (i < old.size())
                    old[i] = positions_.at(i).literal;
            }
        }
        SetDisplay(display);
        oldText_ = old;
        setCursorPosition(cursor);
    }
    QLineEdit::changeEvent(event);
}

void TMaskEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (refocusing_ || reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    // A new visit of the field: Escape will come back to this text.
    oldText_ = text();
    if (IsMasked() && reason == Qt::OtherFocusReason && !hasSelectedText())
        selectAll();
}

void TMaskEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    // Focus lost to a popup or to another window (the error box among them) is no exit.
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
        return;
    if (!IsMasked() || !modified_ || refocusing_ || checkPending != nullptr ||
        FirstInvalidPosition() < 0)
        return;
    checkPending = this;
    if (reason == Qt::MouseFocusReason && !swallowPress_) {
        // The click that took the focus away goes no further: a button clicked with the field in
        // error is not pressed.
        swallowPress_ = true;
        qApp->installEventFilter(this);
    }
    QTimer::singleShot(0, this, &TMaskEdit::ReportInvalidExit);
}

bool TMaskEdit::eventFilter(QObject* watched, QEvent* event) {
    if (swallowPress_ && (event->type() == QEvent::MouseButtonPress ||
                          event->type() == QEvent::MouseButtonDblClick)) {
        DisarmPressSwallow();
        return true;
    }
    return QLineEdit::eventFilter(watched, event);
}

void TMaskEdit::DisarmPressSwallow() {
    if (!swallowPress_)
        return;
    swallowPress_ = false;
    if (qApp)
        qApp->removeEventFilter(this);
}

void TMaskEdit::ReportInvalidExit() {
    DisarmPressSwallow();
    const int invalid = FirstInvalidPosition();
    if (!modified_ || invalid < 0 || !isVisible() || !isEnabled()) {
        checkPending = nullptr;
        return;
    }
    vcl::MessageBeep(vcl::MB_OK);
    refocusing_ = true;
    setFocus(Qt::OtherFocusReason);
    refocusing_ = false;
    deselect();
    setCursorPosition(invalid);
    TApplication::ShowErrorText(InvalidInputMessage());
    checkPending = nullptr;
}
