#pragma once

#include "firebird/TIB_Query.h"
#include "firebird/TIB_Transaction.h"

#include <QDate>
#include <functional>

class TIB_Connection;

// The day-end merge run the way the main window runs it, at the level of the database layer: the
// merge transaction (read committed, record version, no wait, no auto-commit) and the statement
// holding MergeStatement::Lines(); then start, prepare when not prepared, bind DATA, OPERADOR
// and TROCOINICIAL in one update batch, execute once and commit. The statement stays prepared
// from one run to the next. A failure leaves the transaction as the program leaves it: started.
class MergeRunner {
public:
    enum class Step { None, Start, Prepare, Bind, Execute, Commit };

    explicit MergeRunner(TIB_Connection& connection);

    // Throws the layer's EIB_Error; FailedStep() then tells which step raised it.
    void Run(const QDate& date, int operador, qint64 openingChangeTenThousandths);
    Step FailedStep() const { return failedStep_; }
    static QString StepName(Step step);

    // Called after binding, right before the execution (fault tests stop the server there).
    std::function<void()> beforeExecute;

    TIB_Transaction& Transaction() { return IBTQExec; }
    TIB_Query& Query() { return QExec; }

private:
    TIB_Transaction IBTQExec;
    TIB_Query QExec;
    Step failedStep_ = Step::None;
};
