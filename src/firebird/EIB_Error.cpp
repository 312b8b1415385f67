#include "firebird/EIB_Error.h"

namespace {
constexpr int kUserExceptionSqlCode = -836;
constexpr qsizetype kMaxMessage = 255;
constexpr qsizetype kCutMessage = 250;
} // namespace

EIB_Error::EIB_Error(const QString& message) : message_(message), utf8_(message.toUtf8()) {}

EIB_Error::EIB_Error(qint64 errorCode, int sqlCode, const QStringList& lines)
    : message_(FormatServerMessage(errorCode, sqlCode, lines)), errorCode_(errorCode),
      sqlCode_(sqlCode), lines_(lines), fromServer_(true), utf8_(message_.toUtf8()) {}

QString EIB_Error::CutLongMessage(const QString& message) {
    if (message.size() > kMaxMessage)
        return message.left(kCutMessage) + QStringLiteral("(...)");
    return message;
}

QString EIB_Error::UserExceptionText(const QStringList& lines) {
    // The server words a user-defined exception as "exception <number>", "<NAME>", "<text>",
    // then the position in the block. The text is the third line.
    for (qsizetype i = 0; i + 2 < lines.size(); ++i) {
        if (lines[i].trimmed().startsWith(QLatin1String("exception "), Qt::CaseInsensitive))
            return lines[i + 2].trimmed();
    }
    return lines.isEmpty() ? QString() : lines.last().trimmed();
}

QString EIB_Error::FormatServerMessage(qint64 errorCode, int sqlCode, const QStringList& lines) {
    if (sqlCode == kUserExceptionSqlCode)
        return CutLongMessage(UserExceptionText(lines));
    QString text = QStringLiteral("ISC ERROR CODE:%1\n\nISC ERROR MESSAGE:\n").arg(errorCode);
    QString previous;
    bool first = true;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (!first && line == previous)
            continue;
        text += line + QLatin1Char('\n');
        previous = line;
        first = false;
    }
    return CutLongMessage(text);
}
