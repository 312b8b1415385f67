#include "merge/MergeCommand.h"

#include "controls/qtvCurrencyEdit.h"
#include "firebird/EIB_Error.h"
#include "firebird/TIB_Query.h"
#include "firebird/TIB_Transaction.h"
#include "widgets/RegionalDate.h"
#include "widgets/TApplication.h"
#include "widgets/TBusyCursor.h"
#include "widgets/TMaskEdit.h"

#include <QLocale>
#include <QPushButton>

namespace {

bool readDate(const TMaskEdit& field, QDate* date) {
    return RegionalDate::StrToDate(field.Text(), QLocale(), date);
}

int readOperator(TIB_Query& operators) {
    return operators.FieldByName(QStringLiteral("CODIGO")).AsInteger();
}

// Enables the button again after a failed check. Disabling a focused button makes the toolkit
// hand the focus on to the next control; the focus goes back to the button, where the user left
// it, as the check itself moves no focus.
void enableAgain(QPushButton* button, bool hadFocus) {
    button->setEnabled(true);
    if (hadFocus)
        button->setFocus(Qt::OtherFocusReason);
}

} // namespace

void RunMergeCommand(const MergeCommandParts& p) {
    const bool buttonHadFocus = p.button->hasFocus();
    p.button->setEnabled(false);

    QDate date;
    if (!readDate(*p.dateField, &date)) {
        TApplication::ShowMessage(QStringLiteral("Data Inválida!!!"));
        enableAgain(p.button, false);
        p.dateField->setFocus();
        return;
    }
    if (readOperator(*p.operators) == 0) {
        TApplication::ShowMessage(QStringLiteral("Selecione um operador de caixa!!!"));
        enableAgain(p.button, buttonHadFocus);
        return;
    }
    if (p.openingChange->Value() < 0) {
        TApplication::ShowMessage(QStringLiteral("Valor do troco inicial Inválido!!!"));
        enableAgain(p.button, buttonHadFocus);
        return;
    }

    {
        TBusyCursor busy;
        p.mergeTransaction->StartTransaction();
        if (!p.merge->Prepared())
            p.merge->Prepare();
        p.merge->BeginUpdate();
        // Each input is read again for its binding.
        if (!readDate(*p.dateField, &date))
            throw EIB_Error(QStringLiteral("Data Inválida"));
        p.merge->ParamByName(QStringLiteral("DATA")).SetAsDate(date);
        p.merge->ParamByName(QStringLiteral("OPERADOR")).SetAsInteger(readOperator(*p.operators));
        p.merge->ParamByName(QStringLiteral("TROCOINICIAL"))
            .SetAsCurrency(p.openingChange->Value());
        p.merge->EndUpdate();
        p.merge->ExecSQL();
        p.mergeTransaction->Commit();
    }

    TApplication::ShowMessage(QStringLiteral("Caixa unificado com sucesso!!!"));
    p.window->close();
}
