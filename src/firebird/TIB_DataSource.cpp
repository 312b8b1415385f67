#include "firebird/TIB_DataSource.h"

#include "firebird/TIB_Query.h"

void TIB_DataSource::SetDataset(TIB_Query* dataset) {
    if (dataset_ == dataset)
        return;
    if (dataset_)
        disconnect(dataset_, nullptr, this, nullptr);
    dataset_ = dataset;
    if (dataset_) {
        connect(dataset_, &TIB_Query::ActiveChanged, this, &TIB_DataSource::DataChanged);
        connect(dataset_, &TIB_Query::RowsFetched, this, &TIB_DataSource::DataChanged);
        connect(dataset_, &TIB_Query::RowChanged, this, &TIB_DataSource::RowChanged);
        connect(dataset_, &QObject::destroyed, this, [this] {
            dataset_ = nullptr;
            emit DatasetChanged();
            emit DataChanged();
        });
    }
    emit DatasetChanged();
    emit DataChanged();
    emit RowChanged();
}
