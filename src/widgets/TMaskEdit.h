#pragma once

#include <QLineEdit>
#include <QList>
#include <QString>

// An edit box with an edit mask in the classic desktop notation, such as "!99/99/0000;1;_".
//
// The mask is made of position characters, flags and literals, optionally followed by ";1" or
// ";0" (whether the literals are part of Text) and ";c" (the character shown for an unfilled
// position, '_' by default):
//   0 digit, required         9 digit, optional        # digit, '+' or '-', optional
//   L letter, required        l letter, optional
//   A letter or digit, req.   a letter or digit, optional
//   C any character, req.     c any character, optional
//   /  the regional date separator    :  the regional time separator
//   _  a blank literal        \x the character x as a literal     any other character: literal
//   !  optional positions left blank count as leading blanks (assigned parts are right-aligned)
//   >  following letters upper case, <  lower case, <> no conversion
// The separators come from the widget's locale (its short date and time formats) and follow it
// when the locale changes.
//
// Typing overwrites the position at the caret and moves past literals; characters the position
// does not take are refused. Backspace and Delete blank positions without moving the others.
// When the user has changed the text and the focus leaves the field with a required position
// blank, the field beeps, takes the focus back with the caret on that position and reports the
// error through the default error box. Escape abandons the user's changes. Enter is taken by the
// field and presses no button.
//
// With an empty mask the field is a plain edit box whose length MaxLength limits (0: no limit).
// Text set by QLineEdit::setText bypasses the mask: the program assigns text with SetText.
class TMaskEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString EditMask READ EditMask WRITE SetEditMask)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
    Q_PROPERTY(QString Text READ Text WRITE SetText)

public:
    explicit TMaskEdit(QWidget* parent = nullptr);
    ~TMaskEdit() override;

    QString EditMask() const { return editMask_; }
    void SetEditMask(const QString& mask);

    // Limits a plain edit's length (0: no limit). With a mask, the mask fixes the length.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int length);

    // The field's text: with a mask, an unfilled position reads as a blank (' ') and the
    // literals are included when the mask says so (";1", the default).
    QString Text() const;
    // Assigns text as the program does: the text is split at the mask's literals and each part
    // goes into its segment; with '!' a short part is right-aligned and a long one keeps its
    // right-most characters, without it a short part is left-aligned and a long one keeps its
    // left-most characters. Characters a position does not take leave it blank. Clears Modified.
    void SetText(const QString& text);
    // The text as shown, with the blank character in unfilled positions.
    QString EditText() const { return text(); }

    bool IsMasked() const { return !positions_.isEmpty(); }

    // Whether the user has changed the text since the program last assigned it or since the
    // changes were abandoned.
    bool Modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }

    // The first required position that is blank; -1 when there is none (and without a mask).
    int FirstInvalidPosition() const;

    // Abandons the user's changes: the text from before them comes back and Modified is cleared.
    void Reset();

    // The message of the focus-out check.
    static QString InvalidInputMessage();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Kind { Literal, Digit, DigitOrSign, Letter, LetterOrDigit, Any };
    enum class Separator { None, Date, Time };
    enum class Case { Keep, Upper, Lower };
    struct Position {
        Kind kind = Kind::Literal;
        bool required = false;
        Case letterCase = Case::Keep;
        Separator separator = Separator::None;
        QChar literal;
    };

    void ParseMask();
    void ResolveSeparators();
    QString BlankDisplay() const;
    QString FitText(const QString& text) const;
    void FitPart(QString& display, int begin, int end, QStringView part) const;
    bool IsEditable(int index) const;
    int NextEditable(int from) const;
    int PreviousEditable(int before) const;
    bool Accepts(int index, QChar c, QChar* stored) const;
    bool PutChar(QString& display, int& cursor, QChar c) const;
    void BlankRange(QString& display, int from, int to) const;

    void SetDisplay(const QString& display);
    void ApplyUserEdit(const QString& display, int cursor);
    void TypeText(const QString& text);
    void PasteText(const QString& text);
    void BlankSelectionOr(bool backwards);
    void CutSelection();
    void MoveCaret(int key);
    void ReportInvalidExit();
    void DisarmPressSwallow();

    QString editMask_;
    QList<Position> positions_;
    bool leadingBlanks_ = false;
    bool saveLiterals_ = true;
    QChar blank_ = QLatin1Char('_');
    int maxLength_ = 0;
    bool modified_ = false;
    QString oldText_;
    bool refocusing_ = false;
    bool swallowPress_ = false;
};
