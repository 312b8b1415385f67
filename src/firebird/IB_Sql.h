#pragma once

#include <QString>
#include <QStringList>

// A statement's text as the server receives it: named placeholders turned into '?'.
struct IB_ParsedSql {
    QString serverSql;      // the text sent to the server
    QStringList paramNames; // one name per '?', in order (upper case unless quoted)
};

// Turns the named placeholders (":NAME") of a statement into positional markers. String
// literals, quoted names and comments never hold placeholders. In an EXECUTE BLOCK only the
// placeholders of the block's input list are client parameters; everything after the list
// (the block's declarations and body, whose ":NAME"s are its own variables) is left unchanged.
IB_ParsedSql IB_ParseSql(const QString& sql);

// The index just past the string literal ('..' with doubled quotes), quoted name ("..") or
// comment ("--" to the line's end, "/* */") that starts at i; i itself when none starts there.
qsizetype IB_SkipLiteral(const QString& sql, qsizetype i);
