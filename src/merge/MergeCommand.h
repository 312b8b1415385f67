#pragma once

class QPushButton;
class QWidget;
class TMaskEdit;
class TqtvCurrencyEdit;
class TIB_Query;
class TIB_Transaction;

// What the merge command works with, all owned by the main window.
struct MergeCommandParts {
    QPushButton* button = nullptr;  // "Unificar o Caixa"
    TMaskEdit* dateField = nullptr; // the movement date
    TIB_Query* operators = nullptr; // its current row is the chosen operator
    TqtvCurrencyEdit* openingChange = nullptr;
    TIB_Query* merge = nullptr; // the session merge statement
    TIB_Transaction* mergeTransaction = nullptr;
    QWidget* window = nullptr; // closed after a merge
};

// The click of "Unificar o Caixa": disables the button, checks the date, the operator and the
// opening change in that order (stopping with a message at the first that fails and enabling
// the button again), then runs the merge once in its own transaction, commits, confirms and
// closes the window. A database error leaves here as an exception, with the button disabled and
// the transaction still started; it is rolled back when the program ends.
void RunMergeCommand(const MergeCommandParts& parts);
