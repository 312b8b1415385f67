#include "widgets/TIB_LookupCombo.h"

#include "firebird/TIB_DataSource.h"
#include "firebird/TIB_Query.h"
#include "widgets/TIB_LookupList.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace {

constexpr int kFrame = 2;        // sunken border of the box
constexpr int kButtonWidth = 17; // the drop-down button, as wide as a scroll bar
constexpr int kTextMargin = 2;   // between the focus rectangle and the text

Qt::KeyboardModifiers plainModifiers(const QKeyEvent* e) {
    return e->modifiers() &
           (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

} // namespace

TIB_LookupCombo::TIB_LookupCombo(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAttribute(Qt::WA_KeyCompression, false);
    list_ = new TIB_LookupList(this);
    connect(list_, &TIB_LookupList::Hidden, this, &TIB_LookupCombo::ListHidden);
}

TIB_LookupCombo::~TIB_LookupCombo() {
    if (list_)
        list_->hide();
}

// ---- settings ----------------------------------------------------------------------------------

void TIB_LookupCombo::SetDataSource(TIB_DataSource* dataSource) {
    if (dataSource_ == dataSource)
        return;
    CloseUp();
    if (dataSource_)
        disconnect(dataSource_, nullptr, this, nullptr);
    dataSource_ = dataSource;
    if (dataSource_) {
        connect(dataSource_, &TIB_DataSource::DataChanged, this, &TIB_LookupCombo::DataChanged);
        connect(dataSource_, &TIB_DataSource::RowChanged, this, &TIB_LookupCombo::RowChanged);
        connect(dataSource_, &QObject::destroyed, this, &TIB_LookupCombo::DataChanged);
    }
    DataChanged();
}

void TIB_LookupCombo::SetDisplayField(const QString& field) {
    if (displayField_ == field)
        return;
    displayField_ = field;
    update();
}

void TIB_LookupCombo::SetShowButton(bool show) {
    if (showButton_ == show)
        return;
    showButton_ = show;
    update();
}

void TIB_LookupCombo::SetDefaultRowHeight(int height) {
    height = qMax(1, height);
    if (defaultRowHeight_ == height)
        return;
    defaultRowHeight_ = height;
    if (DroppedDown())
        list_->Relayout();
}

void TIB_LookupCombo::SetDropDownCount(int count) {
    count = qMax(1, count);
    if (dropDownCount_ == count)
        return;
    dropDownCount_ = count;
    if (DroppedDown())
        list_->Relayout();
}

void TIB_LookupCombo::SetDropDownWidth(int width) {
    width = qMax(0, width);
    if (dropDownWidth_ == width)
        return;
    dropDownWidth_ = width;
    if (DroppedDown())
        list_->Relayout();
}

// ---- state -------------------------------------------------------------------------------------

TIB_Query* TIB_LookupCombo::Dataset() const {
    return dataSource_ ? dataSource_->Dataset() : nullptr;
}

QString TIB_LookupCombo::Text() const {
    TIB_Query* q = Dataset();
    if (!q || !q->Active() || !q->HasCurrentRow())
        return QString();
    const int column = q->FieldIndex(displayField_);
    if (column < 0)
        return QString();
    const QVariant value = q->Value(q->RowNum(), column);
    return value.isNull() ? QString() : value.toString();
}

bool TIB_LookupCombo::DroppedDown() const {
    return list_ && list_->isVisible();
}

void TIB_LookupCombo::SetDroppedDown(bool dropped) {
    if (dropped == DroppedDown())
        return;
    if (dropped) {
        TIB_Query* q = Dataset();
        if (!isVisible() || !isEnabled() || !q || !q->Active())
            return;
        list_->Popup();
    } else {
        list_->hide();
    }
    update();
}

void TIB_LookupCombo::ListHidden() {
    update();
}

void TIB_LookupCombo::DataChanged() {
    TIB_Query* q = Dataset();
    if (!q || !q->Active()) {
        CloseUp();
        list_->Reset();
    } else if (DroppedDown()) {
        list_->Relayout();
    }
    update();
}

void TIB_LookupCombo::RowChanged() {
    if (DroppedDown())
        list_->Relayout();
    update();
}

// ---- geometry and painting ---------------------------------------------------------------------

QRect TIB_LookupCombo::ButtonRect() const {
    if (!showButton_)
        return QRect();
    const QRect inner = rect().adjusted(kFrame, kFrame, -kFrame, -kFrame);
    return QRect(inner.right() - kButtonWidth + 1, inner.top(), kButtonWidth, inner.height());
}

QRect TIB_LookupCombo::TextRect() const {
    QRect inner = rect().adjusted(kFrame + 1, kFrame + 1, -kFrame - 1, -kFrame - 1);
    if (showButton_)
        inner.setRight(ButtonRect().left() - 2);
    return inner;
}

QSize TIB_LookupCombo::sizeHint() const {
    const QFontMetrics fm(font());
    return QSize(fm.averageCharWidth() * 20 + kButtonWidth + 2 * kFrame,
                 fm.height() + 2 * (kFrame + 1 + kTextMargin));
}

QSize TIB_LookupCombo::minimumSizeHint() const {
    const QFontMetrics fm(font());
    return QSize(kButtonWidth + 2 * kFrame + 8, fm.height() + 2 * (kFrame + 1));
}

void TIB_LookupCombo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();

    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.state &= ~QStyle::State_HasFocus; // the focus look is our own
    frame.state |= QStyle::State_Sunken;
    frame.lineWidth = kFrame;
    frame.midLineWidth = 0;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &p, this);

    if (showButton_) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = ButtonRect();
        button.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        button.state |= DroppedDown() ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawControl(QStyle::CE_PushButtonBevel, &button, &p, this);
        QStyleOption arrow;
        arrow.initFrom(this);
        const QRect r = button.rect;
        const int side = qMin(r.width(), r.height()) / 2;
        arrow.rect = QRect(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
        arrow.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &p, this);
    }

    const QRect textRect = TextRect();
    const bool focused = hasFocus();
    QColor textColor = pal.color(QPalette::Text);
    if (!isEnabled()) {
        textColor = pal.color(QPalette::Disabled, QPalette::Text);
    } else if (focused) {
        p.fillRect(textRect, pal.color(QPalette::Highlight));
        textColor = pal.color(QPalette::HighlightedText);
        QPen pen(pal.color(QPalette::HighlightedText), 1, Qt::DotLine);
        p.setPen(pen);
        p.drawRect(textRect.adjusted(0, 0, -1, -1));
    }
    p.setPen(textColor);
    p.setFont(font());
    p.drawText(textRect.adjusted(kTextMargin, 0, -kTextMargin, 0),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Text());
}

// ---- keyboard ----------------------------------------------------------------------------------

bool TIB_LookupCombo::OwnsKey(const QKeyEvent* e) {
    const Qt::KeyboardModifiers mods = plainModifiers(e);
    const bool altOrCtrl = mods & (Qt::AltModifier | Qt::ControlModifier);
    switch (e->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
    case Qt::Key_Space:
        return !altOrCtrl;
    default:
        return !altOrCtrl && !e->text().isEmpty() && e->text().at(0).isPrint();
    }
}

void TIB_LookupCombo::MoveBy(int rows) {
    TIB_Query* q = Dataset();
    if (!q || !q->Active())
        return;
    const int current = q->RowNum();
    if (current < 0) {
        // Before the first row: any move forward counts from there, any move back finds the
        // first row.
        if (rows > 0)
            q->MoveTo(rows - 1);
        else
            q->First();
        return;
    }
    if (rows == 1)
        q->Next();
    else if (rows == -1)
        q->Prior();
    else
        q->MoveTo(qMax(0, current + rows));
}

bool TIB_LookupCombo::HandleKey(QKeyEvent* e) {
    if (!OwnsKey(e))
        return false;
    const Qt::KeyboardModifiers mods = plainModifiers(e);
    const bool altOrCtrl = mods & (Qt::AltModifier | Qt::ControlModifier);
    const bool open = DroppedDown();
    TIB_Query* q = Dataset();
    switch (e->key()) {
    case Qt::Key_Up:
        if (altOrCtrl)
            CloseUp();
        else
            MoveBy(-1);
        break;
    case Qt::Key_Down:
        if (altOrCtrl)
            DropDown();
        else
            MoveBy(1);
        break;
    case Qt::Key_PageUp:
        MoveBy(-dropDownCount_);
        break;
    case Qt::Key_PageDown:
        MoveBy(dropDownCount_);
        break;
    case Qt::Key_Home:
        if (open && q)
            q->First();
        break;
    case Qt::Key_End:
        if (open && q)
            q->Last();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        CloseUp();
        break;
    case Qt::Key_Delete:
        CloseUp();
        if (q)
            q->BeforeFirst();
        break;
    default:
        break; // typed text: no search, no effect
    }
    return true;
}

void TIB_LookupCombo::TabFromList(bool next) {
    CloseUp();
    focusNextPrevChild(next);
}

bool TIB_LookupCombo::event(QEvent* e) {
    switch (e->type()) {
    case QEvent::ShortcutOverride:
        // Enter, Escape, Delete and the moving keys are ours even where the window has a
        // shortcut or a default button on them.
        if (OwnsKey(static_cast<QKeyEvent*>(e))) {
            e->accept();
            return true;
        }
        break;
    case QEvent::KeyPress: {
        const auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab)
            CloseUp();
        break;
    }
    default:
        break;
    }
    return QWidget::event(e);
}

void TIB_LookupCombo::keyPressEvent(QKeyEvent* e) {
    if (HandleKey(e))
        e->accept();
    else
        QWidget::keyPressEvent(e);
}

// ---- mouse and focus ---------------------------------------------------------------------------

void TIB_LookupCombo::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(e);
        return;
    }
    e->accept();
    if (showButton_ && ButtonRect().contains(e->position().toPoint()))
        SetDroppedDown(!DroppedDown());
    else
        CloseUp();
}

void TIB_LookupCombo::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
}

void TIB_LookupCombo::mouseDoubleClickEvent(QMouseEvent* e) {
    mousePressEvent(e);
}

void TIB_LookupCombo::focusInEvent(QFocusEvent* e) {
    QWidget::focusInEvent(e);
    update();
}

void TIB_LookupCombo::focusOutEvent(QFocusEvent* e) {
    // Our own list opening takes the focus only in name (popup focus); any other loss of the
    // focus closes the list.
    if (e->reason() != Qt::PopupFocusReason)
        CloseUp();
    QWidget::focusOutEvent(e);
    update();
}

void TIB_LookupCombo::hideEvent(QHideEvent* e) {
    CloseUp();
    QWidget::hideEvent(e);
}

void TIB_LookupCombo::changeEvent(QEvent* e) {
    if (e->type() == QEvent::EnabledChange && !isEnabled())
        CloseUp();
    QWidget::changeEvent(e);
}
