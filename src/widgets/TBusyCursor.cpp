#include "widgets/TBusyCursor.h"

#include <QApplication>
#include <QCursor>

TBusyCursor::TBusyCursor() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

TBusyCursor::~TBusyCursor() {
    QApplication::restoreOverrideCursor();
}
