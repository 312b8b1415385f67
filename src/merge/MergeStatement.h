#pragma once

#include <QString>
#include <QStringList>

// The day-end session merge: one EXECUTE BLOCK run on the server. Given a movement date, an
// operator code and an opening change, it moves every row of that operator's sessions of the
// day (sales, purchase instalments, cash book, receipts, withdrawals, top-ups) to one new session
// on terminal 999, deletes the old sessions and stores the new one, whose opening and closing
// time are the day's earliest and latest cash-book entry.
namespace MergeStatement {

// The statement as the program holds it, with the named placeholders :DATA, :OPERADOR and
// :TROCOINICIAL in the block's header (48 lines).
QStringList Lines();
QString Text();

} // namespace MergeStatement
