#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <exception>

// The one exception type of the database layer: the layer's own refusals (Portuguese texts) and
// failures reported by the server (error code, SQL code and message lines).
class EIB_Error : public std::exception {
public:
    // A refusal of the layer itself.
    explicit EIB_Error(const QString& message);
    // A failure reported by the server.
    EIB_Error(qint64 errorCode, int sqlCode, const QStringList& lines);

    const QString& Message() const { return message_; }
    qint64 ErrorCode() const { return errorCode_; }
    int SqlCode() const { return sqlCode_; }
    const QStringList& Lines() const { return lines_; }
    bool FromServer() const { return fromServer_; }

    const char* what() const noexcept override { return utf8_.constData(); }

    // The message of a server failure:
    // "ISC ERROR CODE:<code>\n\nISC ERROR MESSAGE:\n<line>\n..." with each line trimmed and a
    // line equal to the one before left out; for a user-defined exception (SQL code -836) only
    // the exception's own text. Longer than 255 characters: the first 250 and "(...)".
    static QString FormatServerMessage(qint64 errorCode, int sqlCode, const QStringList& lines);
    // The text line of a user-defined exception among the server's lines.
    static QString UserExceptionText(const QStringList& lines);
    static QString CutLongMessage(const QString& message);

private:
    QString message_;
    qint64 errorCode_ = 0;
    int sqlCode_ = 0;
    QStringList lines_;
    bool fromServer_ = false;
    QByteArray utf8_;
};
