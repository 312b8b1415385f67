#pragma once

#include "ShopSnapshot.h"

#include <QDate>

// What the day-end merge should make of a shop-database state, worked out in C++ from the rules
// of the merge alone (not from its SQL): the operator's sessions opened on the day are replaced
// by one session on terminal 999 whose id is the generator's next value plus 10000, every row of
// the six tables that carried one of their keys carries the new key, and the new session opens
// and closes at the earliest and latest complete cash-book entry of those sessions.
namespace MergeModel {

struct Input {
    QDate date;
    qint64 operador = 0;
    qint64 openingChange = 0; // ten-thousandths
};

struct Outcome {
    ShopSnapshot expected;
    QStringList mergedSessions; // keys of the day's sessions; empty when there were none
    QString newSession;         // key of the new session, empty when there were none
    qint64 movedRows = 0;
};

Outcome Apply(const ShopSnapshot& before, const Input& input);

// The opening change as the two-decimal column holds it: hundredths, half to even ("12.34" for
// 12.345, "12.36" for 12.355).
QString OpeningChangeText(qint64 tenThousandths);

// The defaults the shop database gives the session columns the merge does not name.
const QMap<QString, QVariant>& SessionDefaults();

} // namespace MergeModel
