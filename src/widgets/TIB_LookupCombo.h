#pragma once

#include "firebird/TIB_DataSource.h"
#include "firebird/TIB_Query.h" // TIB_DataSource's inline Dataset() needs the whole class

#include <QPointer>
#include <QString>
#include <QWidget>

class TIB_LookupList;

// A data-aware lookup combo. It holds no value of its own: the box shows the DisplayField of
// the current row of its data source's query, and every choice moves that query at once. The
// text cannot be typed into; the drop-down list shows all columns of the query around the
// current row and fetches only the rows it shows.
//
// Keys (the focus stays here while the list is open; the list forwards its keys):
//   Up/Down, Page Up/Down  previous/next row or page, stopping at the first and the last
//   Home/End               first/last row while the list is open, nothing otherwise
//   Alt/Ctrl+Down          opens the list; Alt/Ctrl+Up closes it
//   Enter, Escape          close the list (nothing while it is closed)
//   Tab, Shift+Tab         close the list, then move the focus
//   Delete                 closes the list and moves the query before its first row
//   text, Backspace        nothing (no search by typed text)
class TIB_LookupCombo : public QWidget {
    Q_OBJECT
public:
    explicit TIB_LookupCombo(QWidget* parent = nullptr);
    ~TIB_LookupCombo() override;

    TIB_DataSource* DataSource() const { return dataSource_; }
    void SetDataSource(TIB_DataSource* dataSource);
    // The column whose value of the current row the box shows.
    QString DisplayField() const { return displayField_; }
    void SetDisplayField(const QString& field);
    // The drop-down button inside the right edge.
    bool ShowButton() const { return showButton_; }
    void SetShowButton(bool show);
    // Pixel height of a row of the drop-down list.
    int DefaultRowHeight() const { return defaultRowHeight_; }
    void SetDefaultRowHeight(int height);
    // Most rows the drop-down list shows at once; also the page of Page Up and Page Down.
    int DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int count);
    // Width of the drop-down list; 0 makes it as wide as its columns need (at least as wide as
    // the box).
    int DropDownWidth() const { return dropDownWidth_; }
    void SetDropDownWidth(int width);

    // The data source's query, when there is one.
    TIB_Query* Dataset() const;
    // The text the box shows: the DisplayField of the current row, or empty.
    QString Text() const;

    bool DroppedDown() const;
    // Opening needs a visible box and an open query; closing keeps the current row.
    void SetDroppedDown(bool dropped);
    void DropDown() { SetDroppedDown(true); }
    void CloseUp() { SetDroppedDown(false); }

    // The drop-down list (a popup window), and the box's two areas in its own coordinates.
    TIB_LookupList* DropDownList() const { return list_; }
    QRect ButtonRect() const;
    QRect TextRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    friend class TIB_LookupList;

    // Acts on a key; true when the key belongs to the box (nothing else may act on it).
    bool HandleKey(QKeyEvent* e);
    // Whether a key is one the box keeps for itself (it overrides shortcuts on it).
    static bool OwnsKey(const QKeyEvent* e);
    void MoveBy(int rows);
    void TabFromList(bool next);
    void ListHidden();
    void DataChanged();
    void RowChanged();

    QPointer<TIB_DataSource> dataSource_;
    QString displayField_;
    bool showButton_ = true;
    int defaultRowHeight_ = 22;
    int dropDownCount_ = 7;
    int dropDownWidth_ = 0;
    TIB_LookupList* list_ = nullptr;
};
