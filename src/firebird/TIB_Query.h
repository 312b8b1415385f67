#pragma once

#include "firebird/IB_Sql.h"
#include "firebird/TIB_Connection.h"
#include "firebird/TIB_Transaction.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <vector>

namespace Firebird {
class IStatement;
class IMessageMetadata;
class IResultSet;
} // namespace Firebird

// One column of a query's current row. A NULL value, as with no current row, reads as 0.
class TIB_Field {
public:
    TIB_Field(QString name, QVariant value) : name_(std::move(name)), value_(std::move(value)) {}
    const QString& FieldName() const { return name_; }
    bool IsNull() const { return !value_.isValid() || value_.isNull(); }
    const QVariant& Value() const { return value_; }
    // As a 32-bit integer; NULL reads as 0. Throws EIB_Error when the value is no such integer.
    int AsInteger() const;
    QString AsString() const;

private:
    QString name_;
    QVariant value_;
};

// One named parameter of a statement. The value is kept as it was given and converted to the
// parameter's own type when the statement runs.
class TIB_Param {
public:
    enum class Kind { Null, Date, DateTime, Integer, Currency, String };
    explicit TIB_Param(QString name) : name_(std::move(name)) {}

    const QString& ParamName() const { return name_; }
    Kind ValueKind() const { return kind_; }
    bool IsNull() const { return kind_ == Kind::Null; }

    // A date; any time of day is dropped.
    void SetAsDate(const QDate& date);
    void SetAsDate(const QDateTime& dateTime) { SetAsDate(dateTime.date()); }
    void SetAsDateTime(const QDateTime& dateTime);
    void SetAsInteger(qint64 value);
    // A currency amount: the signed 64-bit count of ten-thousandths.
    void SetAsCurrency(qint64 tenThousandths);
    void SetAsString(const QString& value);
    void Clear() { kind_ = Kind::Null; }

    qint64 IntValue() const { return int_; }
    const QDate& DateValue() const { return date_; }
    const QDateTime& DateTimeValue() const { return dateTime_; }
    const QString& StringValue() const { return string_; }

private:
    QString name_;
    Kind kind_ = Kind::Null;
    qint64 int_ = 0;
    QDate date_;
    QDateTime dateTime_;
    QString string_;
};

// A statement with named placeholders. As a select it is a dataset: opening fetches the first
// row and makes it current; further rows are fetched only when a move needs them.
class TIB_Query : public QObject {
    Q_OBJECT
public:
    explicit TIB_Query(QObject* parent = nullptr);
    ~TIB_Query() override;

    TIB_Connection* IB_Connection() const { return connection_; }
    void SetIB_Connection(TIB_Connection* connection);
    // The statement's own transaction; without one it runs in the connection's default.
    TIB_Transaction* IB_Transaction() const { return transaction_; }
    void SetIB_Transaction(TIB_Transaction* transaction);

    QString SQL() const { return sql_; }
    void SetSQL(const QString& sql);
    void SetSQL(const QStringList& lines) { SetSQL(lines.join(QLatin1Char('\n'))); }
    // The text the server receives.
    QString ServerSQL() const { return parsed_.serverSql; }

    bool Prepared() const { return statement_ != nullptr; }
    void Prepare();
    void Unprepare();

    // Parameters, by name (case-insensitive). A name the statement lacks raises
    // "Campo: %s não encontrado". Looking a parameter up prepares the statement.
    TIB_Param& ParamByName(const QString& name);
    QStringList ParamNames() const;
    // One batch of parameter assignments; ending it announces that they changed.
    void BeginUpdate() { ++updateDepth_; }
    void EndUpdate();

    // Runs the statement once; no rows come back.
    void ExecSQL();

    // Dataset.
    void Open();
    void Close();
    bool Active() const { return active_; }
    void SetActive(bool active);

    int FieldCount() const { return static_cast<int>(columns_.size()); }
    QString FieldName(int index) const { return columns_.value(index); }
    int FieldIndex(const QString& name) const;
    // The column of the current row; the statement is prepared first when it is not.
    TIB_Field FieldByName(const QString& name);
    QVariant Value(int row, int column) const;

    // Rows fetched so far, and whether the server has no more.
    int FetchedRows() const { return static_cast<int>(rows_.size()); }
    bool AllFetched() const { return allFetched_; }
    // Fetches until the row exists or the server has no more; true when it exists.
    bool FetchTo(int row);
    void FetchAll();
    // Rows fetched from the server since the query was opened.
    qint64 ServerFetches() const { return serverFetches_; }

    // The current row: -1 before the first row (and when not open), else its index.
    int RowNum() const { return current_; }
    bool HasCurrentRow() const { return current_ >= 0 && current_ < rows_.size(); }
    bool Bof() const { return current_ <= 0; }
    bool Eof() const { return eof_; }
    void First();
    void Last();
    bool Next();
    bool Prior();
    void BeforeFirst();
    // Moves to the row (fetching as needed), clamped to the rows that exist.
    void MoveTo(int row);

    // Called by the transaction before it ends, and by the connection when it goes away.
    void CloseCursor();
    void TransactionGone(TIB_Transaction* transaction);
    void ConnectionGone();

signals:
    void ActiveChanged(bool active);
    void RowChanged();
    void RowsFetched();
    void ParamsChanged();

private:
    TIB_Transaction* EffectiveTransaction() const;
    TIB_Transaction* RequireTransaction() const;
    // Where each value of a message lies, read from the metadata once, when preparing.
    struct Column {
        unsigned type = 0; // without the nullable bit
        int scale = 0;
        unsigned length = 0;
        unsigned offset = 0;
        unsigned nullOffset = 0;
    };
    struct Layout {
        std::vector<Column> columns;
        unsigned length = 0;
    };
    static Layout ReadLayout(Firebird::IMessageMetadata* metadata);
    // Message buffers are 8-byte aligned, as the metadata's offsets assume.
    using MessageBuffer = std::vector<quint64>;
    static MessageBuffer NewMessage(unsigned length);
    static unsigned char* Bytes(MessageBuffer& buffer);

    MessageBuffer BuildInputMessage();
    bool FetchOne();
    void SetCurrent(int row);
    static QVariant ReadColumn(const unsigned char* buffer, const Column& column);

    QPointer<TIB_Connection> connection_;
    QPointer<TIB_Transaction> transaction_;
    TIB_Transaction* cursorTransaction_ = nullptr;
    QString sql_;
    IB_ParsedSql parsed_;
    Firebird::IStatement* statement_ = nullptr;
    Firebird::IMessageMetadata* inMeta_ = nullptr;
    Firebird::IMessageMetadata* outMeta_ = nullptr;
    Layout inLayout_;
    Layout outLayout_;
    Firebird::IResultSet* cursor_ = nullptr;
    QList<TIB_Param> params_;
    QStringList columns_;
    int updateDepth_ = 0;

    bool active_ = false;
    bool allFetched_ = true;
    bool eof_ = false;
    int current_ = -1;
    qint64 serverFetches_ = 0;
    QVector<QVector<QVariant>> rows_;
    MessageBuffer rowBuffer_;
};
