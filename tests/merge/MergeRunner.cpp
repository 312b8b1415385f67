#include "MergeRunner.h"

#include "merge/MergeStatement.h"

MergeRunner::MergeRunner(TIB_Connection& connection) {
    IBTQExec.SetIB_Connection(&connection);
    QExec.SetIB_Connection(&connection);
    QExec.SetIB_Transaction(&IBTQExec);
    QExec.SetSQL(MergeStatement::Lines());
}

QString MergeRunner::StepName(Step step) {
    switch (step) {
    case Step::None:
        return QStringLiteral("none");
    case Step::Start:
        return QStringLiteral("start");
    case Step::Prepare:
        return QStringLiteral("prepare");
    case Step::Bind:
        return QStringLiteral("bind");
    case Step::Execute:
        return QStringLiteral("execute");
    case Step::Commit:
        return QStringLiteral("commit");
    }
    return QString();
}

void MergeRunner::Run(const QDate& date, int operador, qint64 openingChangeTenThousandths) {
    failedStep_ = Step::Start;
    IBTQExec.StartTransaction();
    failedStep_ = Step::Prepare;
    if (!QExec.Prepared())
        QExec.Prepare();
    failedStep_ = Step::Bind;
    QExec.BeginUpdate();
    QExec.ParamByName(QStringLiteral("DATA")).SetAsDate(date);
    QExec.ParamByName(QStringLiteral("OPERADOR")).SetAsInteger(operador);
    QExec.ParamByName(QStringLiteral("TROCOINICIAL")).SetAsCurrency(openingChangeTenThousandths);
    QExec.EndUpdate();
    if (beforeExecute)
        beforeExecute();
    failedStep_ = Step::Execute;
    QExec.ExecSQL();
    failedStep_ = Step::Commit;
    IBTQExec.Commit();
    failedStep_ = Step::None;
}
