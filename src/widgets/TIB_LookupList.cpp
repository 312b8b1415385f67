#include "widgets/TIB_LookupList.h"

#include "firebird/TIB_Query.h"
#include "widgets/TIB_LookupCombo.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

namespace {

constexpr int kFrame = 1;   // plain one-pixel border of the list
constexpr int kCellPad = 3; // space left and right of a cell's text

bool isNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

} // namespace

TIB_LookupList::TIB_LookupList(TIB_LookupCombo* owner)
    : QWidget(owner, Qt::Popup), owner_(owner), scrollBar_(new QScrollBar(Qt::Vertical, this)) {
    // The list is a window of its own but looks like the combo: font and palette follow it.
    setAttribute(Qt::WA_WindowPropagation);
    // The focus stays on the combo while the list is open.
    setFocusPolicy(Qt::NoFocus);
    scrollBar_->setFocusPolicy(Qt::NoFocus);
    scrollBar_->hide();
    connect(scrollBar_, &QScrollBar::valueChanged, this, &TIB_LookupList::ScrolledTo);
}

TIB_Query* TIB_LookupList::Query() const {
    return owner_->Dataset();
}

int TIB_LookupList::RowHeight() const {
    return owner_->DefaultRowHeight();
}

int TIB_LookupList::Lines() const {
    return owner_->DropDownCount();
}

void TIB_LookupList::Reset() {
    top_ = 0;
    visible_ = 0;
    columnWidths_.clear();
}

// ---- rows --------------------------------------------------------------------------------------

void TIB_LookupList::SettleRows() {
    TIB_Query* q = Query();
    if (!q || !q->Active()) {
        top_ = 0;
        visible_ = 0;
        return;
    }
    const int lines = Lines();
    top_ = qMax(0, top_);
    // Only the rows in view are fetched: those from the top line to the last line.
    q->FetchTo(top_ + lines - 1);
    const int fetched = q->FetchedRows();
    if (top_ + lines > fetched)
        top_ = qMax(0, fetched - lines);
    visible_ = qMin(lines, fetched - top_);
}

void TIB_LookupList::MeasureColumns() {
    TIB_Query* q = Query();
    const int columns = q && q->Active() ? q->FieldCount() : 0;
    if (columnWidths_.size() != columns)
        columnWidths_ = QVector<int>(columns, 2 * kCellPad);
    const QFontMetrics fm(font());
    // Columns grow to what the rows in view need and never shrink while the list is open.
    for (int i = 0; i < visible_; ++i) {
        for (int c = 0; c < columns; ++c) {
            const int need = fm.horizontalAdvance(CellText(top_ + i, c)) + 2 * kCellPad;
            columnWidths_[c] = qMax(columnWidths_[c], need);
        }
    }
}

void TIB_LookupList::UpdateScrollBar() {
    TIB_Query* q = Query();
    const int lines = Lines();
    const bool needed = q && q->Active() && (!q->AllFetched() || q->FetchedRows() > lines);
    const QSignalBlocker block(scrollBar_);
    if (needed) {
        // One step past the rows fetched so far, while the server may have more: scrolling
        // there fetches the next row.
        const int max = qMax(0, q->FetchedRows() - lines) + (q->AllFetched() ? 0 : 1);
        scrollBar_->setRange(0, max);
        scrollBar_->setPageStep(lines);
        scrollBar_->setSingleStep(1);
        scrollBar_->setValue(top_);
    }
    scrollBar_->setVisible(needed);
}

QRect TIB_LookupList::PlacedGeometry() const {
    const int barWidth =
        scrollBar_->isVisibleTo(this) ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
    int width = 2 * kFrame + barWidth;
    for (int w : columnWidths_)
        width += w;
    if (owner_->DropDownWidth() > 0)
        width = owner_->DropDownWidth();
    width = qMax(width, owner_->width());
    const int height = qMax(visible_, 1) * RowHeight() + 2 * kFrame;

    const QPoint below = owner_->mapToGlobal(QPoint(0, owner_->height()));
    QPoint at = below;
    QScreen* screen = owner_->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    if (area.isValid()) {
        if (at.y() + height > area.bottom() + 1)
            at.setY(owner_->mapToGlobal(QPoint(0, 0)).y() - height);
        if (at.x() + width > area.right() + 1)
            at.setX(qMax(area.left(), area.right() + 1 - width));
    }
    return QRect(at, QSize(width, height));
}

void TIB_LookupList::Popup() {
    columnWidths_.clear();
    pressed_ = false;
    Relayout();
    show();
    raise();
}

void TIB_LookupList::Relayout() {
    if (settling_)
        return;
    settling_ = true;
    TIB_Query* q = Query();
    const int current = q && q->Active() ? q->RowNum() : -1;
    // The current row comes into view with as little scrolling as possible.
    if (current >= 0) {
        if (current < top_)
            top_ = current;
        else if (current >= top_ + Lines())
            top_ = current - Lines() + 1;
    }
    SettleRows();
    MeasureColumns();
    UpdateScrollBar();
    const QRect placed = PlacedGeometry();
    const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    scrollBar_->setGeometry(placed.width() - kFrame - barWidth, kFrame, barWidth,
                            placed.height() - 2 * kFrame);
    if (geometry() != placed)
        setGeometry(placed);
    update();
    settling_ = false;
}

void TIB_LookupList::ScrolledTo(int value) {
    if (settling_)
        return;
    settling_ = true;
    top_ = value;
    SettleRows();
    MeasureColumns();
    UpdateScrollBar();
    settling_ = false;
    const QRect placed = PlacedGeometry();
    if (geometry() != placed)
        setGeometry(placed);
    update();
}

// ---- what is shown where -----------------------------------------------------------------------

QString TIB_LookupList::CellText(int row, int column) const {
    TIB_Query* q = Query();
    if (!q)
        return QString();
    const QVariant value = q->Value(row, column);
    return value.isNull() ? QString() : value.toString();
}

QRect TIB_LookupList::RowRect(int row) const {
    if (row < top_ || row >= top_ + visible_)
        return QRect();
    const int right = scrollBar_->isVisibleTo(this) ? scrollBar_->x() : width() - kFrame;
    return QRect(kFrame, kFrame + (row - top_) * RowHeight(), right - kFrame, RowHeight());
}

QRect TIB_LookupList::CellRect(int row, int column) const {
    const QRect r = RowRect(row);
    if (r.isNull() || column < 0 || column >= columnWidths_.size())
        return QRect();
    int x = r.left();
    for (int c = 0; c < column; ++c)
        x += columnWidths_[c];
    // The last column takes what is left of the row.
    const int width =
        column == columnWidths_.size() - 1 ? r.right() + 1 - x : columnWidths_[column];
    return QRect(x, r.top(), width, r.height());
}

int TIB_LookupList::RowAt(const QPoint& pos) const {
    for (int i = 0; i < visible_; ++i) {
        if (RowRect(top_ + i).contains(pos))
            return top_ + i;
    }
    return -1;
}

void TIB_LookupList::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Base));
    p.setPen(pal.color(QPalette::WindowText));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    TIB_Query* q = Query();
    if (!q)
        return;
    const int current = q->RowNum();
    p.setFont(font());
    for (int i = 0; i < visible_; ++i) {
        const int row = top_ + i;
        const bool highlighted = row == current;
        if (highlighted)
            p.fillRect(RowRect(row), pal.color(QPalette::Highlight));
        p.setPen(pal.color(highlighted ? QPalette::HighlightedText : QPalette::Text));
        for (int c = 0; c < columnWidths_.size(); ++c) {
            const QRect cell = CellRect(row, c).adjusted(kCellPad, 0, -kCellPad, 0);
            const Qt::Alignment align = isNumber(q->Value(row, c)) ? Qt::AlignRight : Qt::AlignLeft;
            p.drawText(cell, align | Qt::AlignVCenter | Qt::TextSingleLine, CellText(row, c));
        }
    }
}

// ---- input -------------------------------------------------------------------------------------

void TIB_LookupList::keyPressEvent(QKeyEvent* e) {
    // Keys reach the list while it is open; they belong to the combo.
    e->accept();
    if (e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) {
        const bool next = e->key() == Qt::Key_Tab && !(e->modifiers() & Qt::ShiftModifier);
        owner_->TabFromList(next);
        return;
    }
    owner_->HandleKey(e);
}

void TIB_LookupList::keyReleaseEvent(QKeyEvent* e) {
    e->accept();
}

void TIB_LookupList::mousePressEvent(QMouseEvent* e) {
    e->accept();
    if (!rect().contains(e->position().toPoint())) {
        // A press outside closes the list. On the combo itself it must not reach the combo
        // afterwards: the button would open the list again.
        const QPoint onOwner = owner_->mapFromGlobal(e->globalPosition().toPoint());
        if (owner_->rect().contains(onOwner))
            setAttribute(Qt::WA_NoMouseReplay);
        owner_->CloseUp();
        return;
    }
    if (e->button() != Qt::LeftButton)
        return;
    const int row = RowAt(e->position().toPoint());
    if (row < 0)
        return;
    pressed_ = true;
    if (TIB_Query* q = Query())
        q->MoveTo(row);
}

void TIB_LookupList::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
    // Only the release of a press on a row closes the list (not that of the press on the
    // button that opened it).
    if (pressed_ && e->button() == Qt::LeftButton) {
        pressed_ = false;
        owner_->CloseUp();
    }
}

void TIB_LookupList::mouseMoveEvent(QMouseEvent* e) {
    e->accept();
}

void TIB_LookupList::wheelEvent(QWheelEvent* e) {
    e->accept();
    if (!scrollBar_->isVisibleTo(this))
        return;
    const int steps = e->angleDelta().y() / 120;
    if (steps != 0)
        scrollBar_->setValue(scrollBar_->value() - 3 * steps);
}

void TIB_LookupList::showEvent(QShowEvent* e) {
    setAttribute(Qt::WA_NoMouseReplay, false);
    QWidget::showEvent(e);
}

void TIB_LookupList::hideEvent(QHideEvent* e) {
    pressed_ = false;
    QWidget::hideEvent(e);
    emit Hidden();
}
