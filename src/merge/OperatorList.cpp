#include "merge/OperatorList.h"

namespace OperatorList {

QStringList SqlLines() {
    return {"SELECT CODIGO", "     , NOME", "FROM FUNCIONARIOS", "ORDER BY NOME"};
}

} // namespace OperatorList
