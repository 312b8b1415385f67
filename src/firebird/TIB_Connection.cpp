#include "firebird/TIB_Connection.h"

#include "firebird/EIB_Error.h"
#include "firebird/IB_Client.h"
#include "firebird/IB_Status.h"
#include "firebird/TIB_Query.h"
#include "firebird/TIB_Transaction.h"

namespace {
void appendString(QByteArray& dpb, char tag, const QByteArray& value) {
    if (value.size() > 255)
        throw EIB_Error(QStringLiteral("Parâmetro de conexão longo demais"));
    dpb.append(tag);
    dpb.append(static_cast<char>(value.size()));
    dpb.append(value);
}
void appendInt(QByteArray& dpb, char tag, quint32 value) {
    dpb.append(tag);
    dpb.append(char(4));
    for (int i = 0; i < 4; ++i)
        dpb.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}
} // namespace

TIB_Connection::TIB_Connection(QObject* parent) : QObject(parent) {
    params_.insert(QStringLiteral("PROTOCOL"), QStringLiteral("TCP/IP"));
    params_.insert(QStringLiteral("USER NAME"), QStringLiteral("SYSDBA"));
    params_.insert(QStringLiteral("PAGE SIZE"), QStringLiteral("8192"));
    params_.insert(QStringLiteral("CHARACTER SET"), QStringLiteral("ISO8859_1"));
}

TIB_Connection::~TIB_Connection() {
    try {
        Close();
    } catch (const EIB_Error&) {
        // errors while closing at the end are of no use to anyone
    }
    for (TIB_Transaction* t : transactions_)
        t->ConnectionGone();
    for (TIB_Query* q : queries_)
        q->ConnectionGone();
}

void TIB_Connection::RefuseWhileConnected(const char* what) const {
    if (Connected())
        throw EIB_Error(QStringLiteral("Não é possível alterar %1 com a conexão aberta")
                            .arg(QLatin1String(what)));
}

void TIB_Connection::SetParam(const QString& name, const QString& value) {
    const QString key = name.toUpper();
    if (params_.value(key) == value && params_.contains(key))
        return;
    RefuseWhileConnected("os parâmetros");
    params_.insert(key, value);
}

void TIB_Connection::SetServer(const QString& server) {
    if (Server() == server)
        return;
    RefuseWhileConnected("Server");
    params_.insert(QStringLiteral("SERVER"), server);
}

void TIB_Connection::SetPath(const QString& path) {
    if (Path() == path)
        return;
    RefuseWhileConnected("Path");
    params_.insert(QStringLiteral("PATH"), path);
}

void TIB_Connection::SetPassword(const QString& password) {
    if (password_ == password)
        return;
    RefuseWhileConnected("Password");
    password_ = password;
}

void TIB_Connection::SetSQLDialect(int dialect) {
    if (dialect_ == dialect)
        return;
    RefuseWhileConnected("SQLDialect");
    dialect_ = dialect;
}

QString TIB_Connection::DatabaseName() const {
    return Server() + QLatin1Char(':') + Path();
}

void TIB_Connection::SetDefaultTransaction(TIB_Transaction* transaction) {
    defaultTransaction_ = transaction;
}

void TIB_Connection::CheckPath(const QString& path) {
    const qsizetype colon = path.indexOf(QLatin1Char(':'));
    if (colon < 0 || colon + 1 >= path.size())
        return; // no ':' or one at the very end
    const QChar after = path[colon + 1];
    bool refused = after != QLatin1Char('/') && after != QLatin1Char('\\');
    // "server:/folder/file" and "server:C:\file" name a server in front of the path; a plain
    // path starts with its folder or with a one-letter drive.
    const QChar first = path[0];
    const bool plainStart =
        first == QLatin1Char('/') || first == QLatin1Char('\\') || (colon == 1 && first.isLetter());
    if (!plainStart)
        refused = true;
    if (refused)
        throw EIB_Error(QStringLiteral("Caminho de conexão inválido"));
}

QByteArray TIB_Connection::BuildDpb(bool forCreate) const {
    QByteArray dpb;
    dpb.append(char(isc_dpb_version1));
    appendString(dpb, isc_dpb_user_name, Param(QStringLiteral("USER NAME")).toLatin1());
    appendString(dpb, isc_dpb_password, password_.toLatin1());
    appendString(dpb, isc_dpb_lc_ctype, Param(QStringLiteral("CHARACTER SET")).toLatin1());
    appendInt(dpb, isc_dpb_sql_dialect, static_cast<quint32>(dialect_));
    if (forCreate) {
        appendString(dpb, isc_dpb_set_db_charset,
                     Param(QStringLiteral("CHARACTER SET")).toLatin1());
        bool ok = false;
        const uint pageSize = Param(QStringLiteral("PAGE SIZE")).toUInt(&ok);
        if (ok && pageSize > 0)
            appendInt(dpb, isc_dpb_page_size, pageSize);
    }
    return dpb;
}

void TIB_Connection::Connect() {
    if (Connected())
        return;
    Attach(false);
}

void TIB_Connection::CreateDatabase() {
    if (Connected())
        throw EIB_Error(QStringLiteral("A conexão já está aberta"));
    Attach(true);
}

void TIB_Connection::Attach(bool create) {
    CheckPath(Path()); // before any contact with the server
    IB_Client& client = IB_Client::Instance();
    client.Load();
    const QByteArray dpb = BuildDpb(create);
    const QByteArray name = DatabaseName().toLocal8Bit();
    const auto* dpbBytes = reinterpret_cast<const unsigned char*>(dpb.constData());
    const auto dpbLength = static_cast<unsigned>(dpb.size());
    IB_StatusHolder status;
    try {
        Firebird::IProvider* provider = client.Provider();
        attachment_ =
            create ? provider->createDatabase(status.get(), name.constData(), dpbLength, dpbBytes)
                   : provider->attachDatabase(status.get(), name.constData(), dpbLength, dpbBytes);
    } catch (...) {
        emit AttemptFinished(false);
        throw;
    }
    emit ConnectedChanged(true);
    emit AttemptFinished(true);
}

Firebird::IAttachment* TIB_Connection::Attachment() const {
    if (!attachment_)
        throw EIB_Error(QStringLiteral("A conexão com o banco de dados não está aberta"));
    return attachment_;
}

void TIB_Connection::EndDependents() {
    for (TIB_Query* q : queries_) {
        try {
            q->Unprepare();
        } catch (const EIB_Error&) {
        }
    }
    for (TIB_Transaction* t : transactions_) {
        try {
            if (t->Started())
                t->Rollback();
        } catch (const EIB_Error&) {
        }
        t->Abandon(); // whatever is left of a failed rollback goes with the attachment
    }
}

void TIB_Connection::Close() {
    if (!attachment_)
        return;
    EndDependents();
    Firebird::IAttachment* attachment = std::exchange(attachment_, nullptr);
    emit ConnectedChanged(false);
    IB_StatusHolder status;
    try {
        attachment->detach(status.get()); // consumes the reference
    } catch (const EIB_Error&) {
        attachment->release(); // a lost connection cannot be detached: drop it anyway
        throw;
    }
}

void TIB_Connection::DropDatabase() {
    if (!attachment_)
        return;
    EndDependents();
    IB_StatusHolder status;
    attachment_->dropDatabase(status.get()); // consumes the reference on success
    attachment_ = nullptr;
    emit ConnectedChanged(false);
}

void TIB_Connection::Register(TIB_Transaction* transaction) {
    if (!transactions_.contains(transaction))
        transactions_.append(transaction);
}
void TIB_Connection::Unregister(TIB_Transaction* transaction) {
    transactions_.removeAll(transaction);
}
void TIB_Connection::Register(TIB_Query* query) {
    if (!queries_.contains(query))
        queries_.append(query);
}
void TIB_Connection::Unregister(TIB_Query* query) {
    queries_.removeAll(query);
}
