#include "firebird/TIB_Query.h"

#include "firebird/EIB_Error.h"
#include "firebird/IB_Status.h"
#include "firebird/IB_Values.h"
#include "firebird/TIB_Connection.h"
#include "firebird/TIB_Transaction.h"

#include <cstring>
#include <limits>
#include <vector>

namespace {

// The server's SQL types (without the nullable bit).
enum SqlType : unsigned {
    kVarying = 448,
    kText = 452,
    kDouble = 480,
    kFloat = 482,
    kLong = 496,
    kShort = 500,
    kTimestamp = 510,
    kTime = 560,
    kDate = 570,
    kInt64 = 580,
    kBoolean = 32764,
};

EIB_Error notFound(const QString& name) {
    return EIB_Error(QStringLiteral("Campo: %1 não encontrado").arg(name));
}

template <typename T> void put(unsigned char* at, T value) {
    std::memcpy(at, &value, sizeof value);
}
template <typename T> T get(const unsigned char* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void releaseQuietly(Firebird::IReferenceCounted* p) {
    if (p)
        p->release();
}

} // namespace

// ---- TIB_Field -------------------------------------------------------------------------------

int TIB_Field::AsInteger() const {
    if (IsNull())
        return 0;
    bool ok = false;
    const qlonglong v = value_.toLongLong(&ok);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        throw EIB_Error(QStringLiteral("Campo: %1 não é um número inteiro").arg(name_));
    return static_cast<int>(v);
}

QString TIB_Field::AsString() const {
    return IsNull() ? QString() : value_.toString();
}

// ---- TIB_Param -------------------------------------------------------------------------------

void TIB_Param::SetAsDate(const QDate& date) {
    kind_ = date.isValid() ? Kind::Date : Kind::Null;
    date_ = date;
}
void TIB_Param::SetAsDateTime(const QDateTime& dateTime) {
    kind_ = dateTime.isValid() ? Kind::DateTime : Kind::Null;
    dateTime_ = dateTime;
}
void TIB_Param::SetAsInteger(qint64 value) {
    kind_ = Kind::Integer;
    int_ = value;
}
void TIB_Param::SetAsCurrency(qint64 tenThousandths) {
    kind_ = Kind::Currency;
    int_ = tenThousandths;
}
void TIB_Param::SetAsString(const QString& value) {
    kind_ = Kind::String;
    string_ = value;
}

// ---- TIB_Query -------------------------------------------------------------------------------

TIB_Query::TIB_Query(QObject* parent) : QObject(parent) {}

TIB_Query::~TIB_Query() {
    try {
        Unprepare();
    } catch (const EIB_Error&) {
    }
    if (transaction_)
        transaction_->Unregister(this);
    if (cursorTransaction_ && cursorTransaction_ != transaction_)
        cursorTransaction_->Unregister(this);
    if (connection_)
        connection_->Unregister(this);
}

void TIB_Query::SetIB_Connection(TIB_Connection* connection) {
    if (connection_ == connection)
        return;
    Unprepare();
    if (connection_)
        connection_->Unregister(this);
    connection_ = connection;
    if (connection_)
        connection_->Register(this);
}

void TIB_Query::SetIB_Transaction(TIB_Transaction* transaction) {
    if (transaction_ == transaction)
        return;
    Unprepare();
    if (transaction_)
        transaction_->Unregister(this);
    transaction_ = transaction;
    if (transaction_)
        transaction_->Register(this);
}

void TIB_Query::SetSQL(const QString& sql) {
    if (sql == sql_)
        return;
    Unprepare();
    sql_ = sql;
    parsed_ = IB_ParseSql(sql_);
    params_.clear();
    for (const QString& name : parsed_.paramNames) {
        const bool known = std::any_of(params_.cbegin(), params_.cend(),
                                       [&](const TIB_Param& p) { return p.ParamName() == name; });
        if (!known)
            params_.append(TIB_Param(name));
    }
}

TIB_Transaction* TIB_Query::EffectiveTransaction() const {
    if (transaction_)
        return transaction_;
    return connection_ ? connection_->DefaultTransaction() : nullptr;
}

TIB_Transaction* TIB_Query::RequireTransaction() const {
    if (!connection_)
        throw EIB_Error(QStringLiteral("Comando sem conexão"));
    TIB_Transaction* t = EffectiveTransaction();
    if (!t)
        throw EIB_Error(QStringLiteral("Comando sem transação"));
    return t;
}

void TIB_Query::Prepare() {
    if (statement_)
        return;
    TIB_Transaction* transaction = RequireTransaction();
    Firebird::IAttachment* attachment = connection_->Attachment();
    const QByteArray text = parsed_.serverSql.toLatin1();
    IB_StatusHolder status;
    Firebird::IStatement* statement =
        attachment->prepare(status.get(), transaction->Handle(), static_cast<unsigned>(text.size()),
                            text.constData(), static_cast<unsigned>(connection_->SQLDialect()),
                            Firebird::IStatement::PREPARE_PREFETCH_METADATA);
    Firebird::IMessageMetadata* in = nullptr;
    Firebird::IMessageMetadata* out = nullptr;
    try {
        in = statement->getInputMetadata(status.get());
        out = statement->getOutputMetadata(status.get());
        const unsigned inCount = in->getCount(status.get());
        if (inCount != static_cast<unsigned>(parsed_.paramNames.size()))
            throw EIB_Error(QStringLiteral("O comando tem %1 parâmetros, o servidor espera %2")
                                .arg(parsed_.paramNames.size())
                                .arg(inCount));
        inLayout_ = ReadLayout(in);
        outLayout_ = ReadLayout(out);
        QStringList columns;
        const unsigned outCount = out->getCount(status.get());
        for (unsigned i = 0; i < outCount; ++i) {
            const char* alias = out->getAlias(status.get(), i);
            columns << QString::fromLatin1(alias).trimmed().toUpper();
        }
        columns_ = columns;
    } catch (...) {
        releaseQuietly(in);
        releaseQuietly(out);
        statement->release();
        throw;
    }
    statement_ = statement;
    inMeta_ = in;
    outMeta_ = out;
    if (connection_)
        connection_->Register(this);
}

void TIB_Query::Unprepare() {
    Close();
    if (!statement_)
        return;
    releaseQuietly(std::exchange(inMeta_, nullptr));
    releaseQuietly(std::exchange(outMeta_, nullptr));
    Firebird::IStatement* statement = std::exchange(statement_, nullptr);
    columns_.clear();
    inLayout_ = {};
    outLayout_ = {};
    IB_StatusHolder status;
    try {
        statement->free(status.get()); // consumes the reference
    } catch (const EIB_Error&) {
        statement->release();
        throw;
    }
}

QStringList TIB_Query::ParamNames() const {
    QStringList names;
    for (const TIB_Param& p : params_)
        names << p.ParamName();
    return names;
}

TIB_Param& TIB_Query::ParamByName(const QString& name) {
    Prepare();
    const QString key = name.toUpper();
    for (TIB_Param& p : params_) {
        if (p.ParamName() == key)
            return p;
    }
    throw notFound(name);
}

void TIB_Query::EndUpdate() {
    if (updateDepth_ > 0 && --updateDepth_ == 0)
        emit ParamsChanged();
}

TIB_Query::Layout TIB_Query::ReadLayout(Firebird::IMessageMetadata* metadata) {
    IB_StatusHolder status;
    Layout layout;
    layout.length = metadata->getMessageLength(status.get());
    const unsigned count = metadata->getCount(status.get());
    layout.columns.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        Column column;
        column.type = metadata->getType(status.get(), i) & ~1u;
        column.scale = metadata->getScale(status.get(), i);
        column.length = metadata->getLength(status.get(), i);
        column.offset = metadata->getOffset(status.get(), i);
        column.nullOffset = metadata->getNullOffset(status.get(), i);
        layout.columns.push_back(column);
    }
    return layout;
}

TIB_Query::MessageBuffer TIB_Query::NewMessage(unsigned length) {
    return MessageBuffer((length + 7) / 8 + 1, 0);
}

unsigned char* TIB_Query::Bytes(MessageBuffer& buffer) {
    return reinterpret_cast<unsigned char*>(buffer.data());
}

TIB_Query::MessageBuffer TIB_Query::BuildInputMessage() {
    MessageBuffer message = NewMessage(inLayout_.length);
    unsigned char* buffer = Bytes(message);
    for (std::size_t i = 0; i < inLayout_.columns.size(); ++i) {
        const QString& name = parsed_.paramNames[static_cast<qsizetype>(i)];
        const TIB_Param* param = nullptr;
        for (const TIB_Param& p : params_)
            if (p.ParamName() == name)
                param = &p;
        const Column& column = inLayout_.columns[i];
        const unsigned type = column.type;
        const int scale = column.scale;
        const unsigned size = column.length;
        unsigned char* at = buffer + column.offset;
        unsigned char* nullAt = buffer + column.nullOffset;
        if (!param || param->IsNull()) {
            put<qint16>(nullAt, -1);
            continue;
        }
        put<qint16>(nullAt, 0);
        const auto mismatch = [&] {
            return EIB_Error(
                QStringLiteral("Tipo de valor incompatível com o parâmetro %1").arg(name));
        };
        using K = TIB_Param::Kind;
        const K kind = param->ValueKind();
        switch (type) {
        case kShort:
        case kLong:
        case kInt64: {
            qint64 scaled = 0;
            if (kind == K::Integer)
                scaled = IB_Values::IntegerToScaled(param->IntValue(), scale);
            else if (kind == K::Currency)
                scaled = IB_Values::CurrencyToScaled(param->IntValue(), scale);
            else
                throw mismatch();
            if (type == kInt64) {
                put<qint64>(at, scaled);
            } else {
                const qint64 low = type == kShort ? std::numeric_limits<qint16>::min()
                                                  : std::numeric_limits<qint32>::min();
                const qint64 high = type == kShort ? std::numeric_limits<qint16>::max()
                                                   : std::numeric_limits<qint32>::max();
                if (scaled < low || scaled > high)
                    throw EIB_Error(
                        QStringLiteral("Valor fora da faixa do parâmetro %1").arg(name));
                if (type == kShort)
                    put<qint16>(at, static_cast<qint16>(scaled));
                else
                    put<qint32>(at, static_cast<qint32>(scaled));
            }
            break;
        }
        case kDouble:
        case kFloat: {
            double v = 0;
            if (kind == K::Integer)
                v = static_cast<double>(param->IntValue());
            else if (kind == K::Currency)
                v = static_cast<double>(param->IntValue()) / 10000.0;
            else
                throw mismatch();
            if (type == kDouble)
                put<double>(at, v);
            else
                put<float>(at, static_cast<float>(v));
            break;
        }
        case kDate:
            if (kind == K::Date)
                put<qint32>(at, IB_Values::DateToIsc(param->DateValue()));
            else if (kind == K::DateTime)
                put<qint32>(at, IB_Values::DateToIsc(param->DateTimeValue().date()));
            else
                throw mismatch();
            break;
        case kTimestamp:
            if (kind == K::Date) {
                put<qint32>(at, IB_Values::DateToIsc(param->DateValue()));
                put<quint32>(at + 4, 0);
            } else if (kind == K::DateTime) {
                put<qint32>(at, IB_Values::DateToIsc(param->DateTimeValue().date()));
                put<quint32>(at + 4, IB_Values::TimeToIsc(param->DateTimeValue().time()));
            } else {
                throw mismatch();
            }
            break;
        case kTime:
            if (kind != K::DateTime)
                throw mismatch();
            put<quint32>(at, IB_Values::TimeToIsc(param->DateTimeValue().time()));
            break;
        case kVarying:
        case kText: {
            QByteArray bytes;
            if (kind == K::String)
                bytes = param->StringValue().toLatin1();
            else if (kind == K::Integer)
                bytes = QByteArray::number(param->IntValue());
            else if (kind == K::Currency)
                bytes = IB_Values::ScaledToText(param->IntValue(), -4).toLatin1();
            else if (kind == K::Date)
                bytes = param->DateValue().toString(Qt::ISODate).toLatin1();
            else
                bytes = param->DateTimeValue()
                            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                            .toLatin1();
            if (static_cast<unsigned>(bytes.size()) > size)
                throw EIB_Error(QStringLiteral("Texto longo demais para o parâmetro %1").arg(name));
            if (type == kVarying) {
                put<quint16>(at, static_cast<quint16>(bytes.size()));
                std::memcpy(at + 2, bytes.constData(), static_cast<size_t>(bytes.size()));
            } else {
                std::memset(at, ' ', size);
                std::memcpy(at, bytes.constData(), static_cast<size_t>(bytes.size()));
            }
            break;
        }
        default:
            throw EIB_Error(QStringLiteral("Tipo de parâmetro não suportado: %1").arg(name));
        }
    }
    return message;
}

void TIB_Query::ExecSQL() {
    Close();
    TIB_Transaction* transaction = RequireTransaction();
    Prepare();
    MessageBuffer message = BuildInputMessage();
    IB_StatusHolder status;
    // A statement that returns values (a singleton select, a procedure) gets somewhere to put
    // them; nothing is read back.
    const bool hasOutput = !outLayout_.columns.empty();
    MessageBuffer out = NewMessage(outLayout_.length);
    statement_->execute(status.get(), transaction->Handle(), inMeta_, Bytes(message),
                        hasOutput ? outMeta_ : nullptr, hasOutput ? Bytes(out) : nullptr);
    transaction->StatementExecuted();
}

// ---- dataset ---------------------------------------------------------------------------------

void TIB_Query::SetActive(bool active) {
    if (active)
        Open();
    else
        Close();
}

void TIB_Query::Open() {
    if (active_)
        return;
    TIB_Transaction* transaction = RequireTransaction();
    Prepare();
    MessageBuffer message = BuildInputMessage();
    IB_StatusHolder status;
    cursor_ = statement_->openCursor(status.get(), transaction->Handle(), inMeta_, Bytes(message),
                                     outMeta_, 0);
    cursorTransaction_ = transaction;
    transaction->Register(this);
    rowBuffer_ = NewMessage(outLayout_.length);
    rows_.clear();
    allFetched_ = false;
    eof_ = false;
    current_ = -1;
    serverFetches_ = 0;
    active_ = true;
    try {
        FetchOne(); // the first row is fetched and made current
    } catch (...) {
        Close();
        throw;
    }
    current_ = rows_.isEmpty() ? -1 : 0;
    eof_ = rows_.isEmpty();
    emit ActiveChanged(true);
    emit RowsFetched();
    emit RowChanged();
}

void TIB_Query::CloseCursor() {
    if (!cursor_)
        return;
    Firebird::IResultSet* cursor = std::exchange(cursor_, nullptr);
    allFetched_ = true; // what has been fetched stays; nothing more can come
    IB_StatusHolder status;
    try {
        cursor->close(status.get()); // consumes the reference
    } catch (const EIB_Error&) {
        cursor->release();
    }
}

void TIB_Query::Close() {
    CloseCursor();
    if (!active_)
        return;
    active_ = false;
    rows_.clear();
    current_ = -1;
    eof_ = false;
    allFetched_ = true;
    emit ActiveChanged(false);
    emit RowsFetched();
    emit RowChanged();
}

void TIB_Query::TransactionGone(TIB_Transaction* transaction) {
    if (cursorTransaction_ == transaction) {
        CloseCursor();
        cursorTransaction_ = nullptr;
    }
}

void TIB_Query::ConnectionGone() {
    // The attachment is gone: whatever the server held for us went with it.
    cursor_ = nullptr;
    releaseQuietly(std::exchange(inMeta_, nullptr));
    releaseQuietly(std::exchange(outMeta_, nullptr));
    releaseQuietly(std::exchange(statement_, nullptr));
    connection_ = nullptr;
    Close();
}

bool TIB_Query::FetchOne() {
    if (allFetched_ || !cursor_)
        return false;
    IB_StatusHolder status;
    unsigned char* buffer = Bytes(rowBuffer_);
    // The row buffer is overwritten by every fetch: the values are copied out at once.
    const int result = cursor_->fetchNext(status.get(), buffer);
    if (result != Firebird::IStatus::RESULT_OK) {
        allFetched_ = true;
        return false;
    }
    ++serverFetches_;
    QVector<QVariant> row;
    row.reserve(static_cast<qsizetype>(outLayout_.columns.size()));
    for (const Column& column : outLayout_.columns)
        row.append(ReadColumn(buffer, column));
    rows_.append(std::move(row));
    return true;
}

QVariant TIB_Query::ReadColumn(const unsigned char* buffer, const Column& column) {
    if (get<qint16>(buffer + column.nullOffset) != 0)
        return QVariant();
    const unsigned type = column.type;
    const int scale = column.scale;
    const unsigned char* at = buffer + column.offset;
    switch (type) {
    case kShort:
    case kLong:
    case kInt64: {
        const qint64 v = type == kShort  ? get<qint16>(at)
                         : type == kLong ? get<qint32>(at)
                                         : get<qint64>(at);
        if (scale == 0)
            return QVariant::fromValue<qlonglong>(v);
        return IB_Values::ScaledToText(v, scale);
    }
    case kDouble:
        return get<double>(at);
    case kFloat:
        return static_cast<double>(get<float>(at));
    case kDate:
        return IB_Values::IscToDate(get<qint32>(at));
    case kTime:
        return IB_Values::IscToTime(get<quint32>(at));
    case kTimestamp:
        return QDateTime(IB_Values::IscToDate(get<qint32>(at)),
                         IB_Values::IscToTime(get<quint32>(at + 4)));
    case kBoolean:
        return get<quint8>(at) != 0;
    case kVarying: {
        const quint16 length = get<quint16>(at);
        return QString::fromLatin1(reinterpret_cast<const char*>(at + 2), length);
    }
    case kText: {
        const unsigned length = column.length;
        QString text = QString::fromLatin1(reinterpret_cast<const char*>(at), length);
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text;
    }
    default:
        return QVariant(); // blobs and arrays are not read by this layer
    }
}

bool TIB_Query::FetchTo(int row) {
    if (row < 0)
        return false;
    bool fetched = false;
    while (rows_.size() <= row && FetchOne())
        fetched = true;
    if (fetched)
        emit RowsFetched();
    return row < rows_.size();
}

void TIB_Query::FetchAll() {
    bool fetched = false;
    while (FetchOne())
        fetched = true;
    if (fetched)
        emit RowsFetched();
}

int TIB_Query::FieldIndex(const QString& name) const {
    return static_cast<int>(columns_.indexOf(name.toUpper()));
}

TIB_Field TIB_Query::FieldByName(const QString& name) {
    Prepare();
    const int index = FieldIndex(name);
    if (index < 0)
        throw notFound(name);
    return TIB_Field(columns_[index], HasCurrentRow() ? rows_[current_][index] : QVariant());
}

QVariant TIB_Query::Value(int row, int column) const {
    if (row < 0 || row >= rows_.size() || column < 0 || column >= rows_[row].size())
        return QVariant();
    return rows_[row][column];
}

void TIB_Query::SetCurrent(int row) {
    if (row == current_)
        return;
    current_ = row;
    emit RowChanged();
}

void TIB_Query::First() {
    if (!active_)
        return;
    eof_ = !FetchTo(0);
    SetCurrent(eof_ ? -1 : 0);
}

void TIB_Query::Last() {
    if (!active_)
        return;
    FetchAll();
    eof_ = rows_.isEmpty();
    SetCurrent(static_cast<int>(rows_.size()) - 1);
}

bool TIB_Query::Next() {
    if (!active_)
        return false;
    if (FetchTo(current_ + 1)) {
        eof_ = false;
        SetCurrent(current_ + 1);
        return true;
    }
    eof_ = true;
    return false;
}

bool TIB_Query::Prior() {
    if (!active_ || current_ <= 0)
        return false;
    eof_ = false;
    SetCurrent(current_ - 1);
    return true;
}

void TIB_Query::BeforeFirst() {
    if (!active_)
        return;
    eof_ = false;
    SetCurrent(-1);
}

void TIB_Query::MoveTo(int row) {
    if (!active_)
        return;
    if (row < 0) {
        First();
        return;
    }
    FetchTo(row);
    const int last = static_cast<int>(rows_.size()) - 1;
    eof_ = rows_.isEmpty();
    SetCurrent(row > last ? last : row);
}
