#pragma once

#include <QColor>
#include <QLineEdit>
#include <QString>

class QFocusEvent;
class QKeyEvent;

// An edit box for money amounts. It holds an amount (Value, a signed count of ten-thousandths),
// shows it through a number pattern (DisplayFormat) in a colour that follows its sign, filters
// what is typed so that little but an amount can be entered, and reads the text back into the
// amount when it loses the focus, when Value is read and on Enter. Unreadable text is reported
// by the system beep alone. The decimal and thousands separators are those of QLocale().
class TqtvCurrencyEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(quint16 DecimalPlaces READ DecimalPlaces WRITE SetDecimalPlaces)
    Q_PROPERTY(QString DisplayFormat READ DisplayFormat WRITE SetDisplayFormat)
    Q_PROPERTY(QColor NegColor READ NegColor WRITE SetNegColor)
    Q_PROPERTY(QColor PosColor READ PosColor WRITE SetPosColor)
    Q_PROPERTY(qint64 Value READ Value WRITE SetValue)
    Q_PROPERTY(quint8 CharCase READ CharCase)
    Q_PROPERTY(quint8 PasswordChar READ PasswordChar)
    Q_PROPERTY(QString Text READ Text)

public:
    enum TAlignment : quint8 { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };
    Q_ENUM(TAlignment)

    static inline const QString DefaultDisplayFormat = QStringLiteral("R$ 0.00;(R$ 0.00)");

    explicit TqtvCurrencyEdit(QWidget* parent = nullptr);
    ~TqtvCurrencyEdit() override;

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);

    // How many characters may follow the decimal separator while typing.
    quint16 DecimalPlaces() const { return decimalPlaces_; }
    void SetDecimalPlaces(quint16 value);

    QString DisplayFormat() const { return displayFormat_; }
    void SetDisplayFormat(const QString& value);

    QColor NegColor() const { return negColor_; }
    void SetNegColor(const QColor& value);

    QColor PosColor() const { return posColor_; }
    void SetPosColor(const QColor& value);

    // The amount in ten-thousandths. Reading reads the text first (ParseText) without rewriting
    // it; setting a new amount stores it and rewrites the text.
    qint64 Value();
    void SetValue(qint64 value);

    // The edit box keeps normal case and never masks its text; neither can be set.
    quint8 CharCase() const { return spare_; }
    quint8 PasswordChar() const { return spare_; }
    // The text as the user sees it; it is typed, pasted or produced from the amount only.
    QString Text() const { return text(); }

    // Shows the stored amount through DisplayFormat, coloured by its sign.
    void RefreshDisplay();
    // Reads the text into the stored amount; an unreadable text beeps and keeps the amount.
    void ParseText();

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    // Through this class the text and echo mode are not writable.
    using QLineEdit::setEchoMode;
    using QLineEdit::setText;

    void PressEnter();
    void ClickDefaultButtons();
    void Deliver(QKeyEvent* original, const QString& typed, QChar c);

    quint8 spare_ = 0; // never written
    TAlignment alignment_ = taLeftJustify;
    quint16 decimalPlaces_ = 0;
    QString displayFormat_;
    QColor negColor_;
    QColor posColor_;
    qint64 amount_ = 0;
    // Between a focus received and the matching focus lost; a focus that only leaves for a popup
    // or another window does not end it.
    bool entered_ = false;
};
