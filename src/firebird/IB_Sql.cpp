#include "firebird/IB_Sql.h"

namespace {

bool isNameStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_');
}
bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Next word (letters, digits, '_', '$') at or after i, skipping blanks, literals and comments.
// Returns its start, or -1 when something else comes first; 'end' is set past it.
qsizetype nextToken(const QString& s, qsizetype i, qsizetype& end) {
    const qsizetype n = s.size();
    while (i < n) {
        if (s[i].isSpace()) {
            ++i;
            continue;
        }
        const qsizetype skipped = IB_SkipLiteral(s, i);
        if (skipped != i && s[i] != QLatin1Char('\'') && s[i] != QLatin1Char('"')) {
            i = skipped; // a comment
            continue;
        }
        break;
    }
    end = i;
    while (end < n && isNameChar(s[end]))
        ++end;
    return i;
}

// For an EXECUTE BLOCK with an input list, the index just past the list's closing parenthesis;
// -1 for any other statement. 0 when the block has no input list.
qsizetype executeBlockHeaderEnd(const QString& s) {
    qsizetype end = 0;
    qsizetype start = nextToken(s, 0, end);
    if (s.mid(start, end - start).compare(QLatin1String("EXECUTE"), Qt::CaseInsensitive) != 0)
        return -1;
    start = nextToken(s, end, end);
    if (s.mid(start, end - start).compare(QLatin1String("BLOCK"), Qt::CaseInsensitive) != 0)
        return -1;
    start = nextToken(s, end, end);
    if (start >= s.size() || s[start] != QLatin1Char('('))
        return 0;
    int depth = 0;
    for (qsizetype i = start; i < s.size();) {
        const qsizetype skipped = IB_SkipLiteral(s, i);
        if (skipped != i) {
            i = skipped;
            continue;
        }
        if (s[i] == QLatin1Char('('))
            ++depth;
        else if (s[i] == QLatin1Char(')') && --depth == 0)
            return i + 1;
        ++i;
    }
    return s.size();
}

} // namespace

IB_ParsedSql IB_ParseSql(const QString& sql) {
    IB_ParsedSql parsed;
    const qsizetype headerEnd = executeBlockHeaderEnd(sql);
    const qsizetype limit = headerEnd < 0 ? sql.size() : headerEnd;
    QString& out = parsed.serverSql;
    out.reserve(sql.size());
    qsizetype i = 0;
    while (i < limit) {
        const qsizetype skipped = IB_SkipLiteral(sql, i);
        if (skipped != i) {
            out += QStringView(sql).mid(i, skipped - i);
            i = skipped;
            continue;
        }
        const QChar c = sql[i];
        if (c == QLatin1Char(':') && i + 1 < limit) {
            const QChar next = sql[i + 1];
            if (isNameStart(next)) {
                qsizetype j = i + 1;
                while (j < limit && isNameChar(sql[j]))
                    ++j;
                parsed.paramNames << sql.mid(i + 1, j - i - 1).toUpper();
                out += QLatin1Char('?');
                i = j;
                continue;
            }
            if (next == QLatin1Char('"')) {
                const qsizetype j = IB_SkipLiteral(sql, i + 1);
                parsed.paramNames << sql.mid(i + 2, j - i - 3)
                                         .replace(QLatin1String("\"\""), QLatin1String("\""));
                out += QLatin1Char('?');
                i = j;
                continue;
            }
        }
        out += c;
        ++i;
    }
    out += QStringView(sql).mid(limit);
    return parsed;
}

qsizetype IB_SkipLiteral(const QString& s, qsizetype i) {
    const qsizetype n = s.size();
    const QChar c = s[i];
    if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
        qsizetype j = i + 1;
        while (j < n) {
            if (s[j] == c) {
                if (j + 1 < n && s[j + 1] == c) { // doubled quote
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    }
    if (c == QLatin1Char('-') && i + 1 < n && s[i + 1] == QLatin1Char('-')) {
        const qsizetype end = s.indexOf(QLatin1Char('\n'), i);
        return end < 0 ? n : end + 1;
    }
    if (c == QLatin1Char('/') && i + 1 < n && s[i + 1] == QLatin1Char('*')) {
        const qsizetype end = s.indexOf(QLatin1String("*/"), i + 2);
        return end < 0 ? n : end + 2;
    }
    return i;
}
