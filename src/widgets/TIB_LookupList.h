#pragma once

#include <QVector>
#include <QWidget>

class QScrollBar;
class TIB_LookupCombo;
class TIB_Query;

// The drop-down list of a TIB_LookupCombo: a popup window showing DropDownCount rows of the
// combo's query, every column, no titles and no grid lines, with the current row highlighted.
// It fetches only the rows it shows. It never takes the keyboard focus: keys that reach it go to
// the combo.
class TIB_LookupList : public QWidget {
    Q_OBJECT
public:
    explicit TIB_LookupList(TIB_LookupCombo* owner);

    // Places the list below the combo (above it when it would pass the bottom of the screen)
    // and shows it.
    void Popup();

    // The query row shown in the first line, and how many lines show rows.
    int TopRow() const { return top_; }
    int VisibleRows() const { return visible_; }
    // The text a cell shows (empty for NULL), and where a shown row or cell is drawn.
    QString CellText(int row, int column) const;
    QRect RowRect(int row) const;
    QRect CellRect(int row, int column) const;
    // The query row under a point of the list, or -1.
    int RowAt(const QPoint& pos) const;
    QScrollBar* ScrollBar() const { return scrollBar_; }

    // Keeps the current row in view and the rows in view fetched; resizes to fit.
    void Relayout();
    // Forgets the scroll position (the query behind the list changed).
    void Reset();

signals:
    void Hidden();

protected:
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    TIB_Query* Query() const;
    int RowHeight() const;
    int Lines() const;
    // Fetches what lines [top_, top_ + Lines()) need and settles top_ and visible_.
    void SettleRows();
    void MeasureColumns();
    void UpdateScrollBar();
    QRect PlacedGeometry() const;
    void ScrolledTo(int value);

    TIB_LookupCombo* owner_;
    QScrollBar* scrollBar_;
    int top_ = 0;
    int visible_ = 0;
    QVector<int> columnWidths_;
    bool pressed_ = false;
    bool settling_ = false;
};
