#pragma once

#include <QStringList>

// The operator query: every row of FUNCIONARIOS, code and name, in the server's name order.
namespace OperatorList {

QStringList SqlLines();

} // namespace OperatorList
