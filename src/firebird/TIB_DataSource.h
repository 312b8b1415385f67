#pragma once

#include <QObject>
#include <QPointer>

#include "firebird/TIB_Query.h"

class TIB_Query;

// The link between a query and the controls that show it: controls listen here, not to the
// query itself, so that the query behind them can be swapped.
class TIB_DataSource : public QObject {
    Q_OBJECT
public:
    explicit TIB_DataSource(QObject* parent = nullptr) : QObject(parent) {}

    TIB_Query* Dataset() const { return dataset_; }
    void SetDataset(TIB_Query* dataset);

signals:
    void DatasetChanged();
    // The dataset was opened or closed, or more rows arrived.
    void DataChanged();
    // The dataset's current row moved.
    void RowChanged();

private:
    QPointer<TIB_Query> dataset_;
};
