#include "firebird/IB_Client.h"

#include "firebird/EIB_Error.h"
#include "firebird/IB_Status.h"

#include <QByteArray>
#include <dlfcn.h>

IB_Client& IB_Client::Instance() {
    static IB_Client client;
    return client;
}

IB_Client::IB_Client() : names_(DefaultLibraryNames()) {}

QStringList IB_Client::DefaultLibraryNames() {
#ifdef _WIN32
    return {QStringLiteral("fbclient.dll"), QStringLiteral("gds32.dll")};
#else
    return {QStringLiteral("libfbclient.so.2"), QStringLiteral("libfbclient.so"),
            QStringLiteral("libgds.so")};
#endif
}

const char* IB_Client::NotInstalledMessage() {
    return "O cliente InterBase (GDS32.DLL) não está instalado";
}

void IB_Client::Load() {
    if (master_)
        return;
    for (const QString& name : names_) {
        void* handle = dlopen(name.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            continue;
        using MasterFn = Firebird::IMaster* (*)();
        auto getMaster = reinterpret_cast<MasterFn>(dlsym(handle, "fb_get_master_interface"));
        auto interpret = reinterpret_cast<InterpretFn>(dlsym(handle, "fb_interpret"));
        auto sqlcode = reinterpret_cast<SqlCodeFn>(dlsym(handle, "isc_sqlcode"));
        if (!getMaster || !interpret || !sqlcode) {
            dlclose(handle); // not a Firebird 3 client: try the next name
            continue;
        }
        // Kept loaded for the rest of the run; the master interface is never released.
        handle_ = handle;
        interpret_ = interpret;
        sqlcode_ = sqlcode;
        master_ = getMaster();
        return;
    }
    throw EIB_Error(QString::fromUtf8(NotInstalledMessage()));
}

Firebird::IMaster* IB_Client::Master() {
    Load();
    return master_;
}

Firebird::IUtil* IB_Client::Util() {
    return Master()->getUtilInterface();
}

Firebird::IProvider* IB_Client::Provider() {
    if (!provider_)
        provider_ = Master()->getDispatcher();
    return provider_;
}

void IB_Client::Raise(Firebird::IStatus* status) {
    // Copy everything out of the vector at once: its strings belong to the status.
    const intptr_t* vector = status->getErrors();
    const qint64 code = (vector[0] == isc_arg_gds) ? static_cast<qint64>(vector[1]) : 0;
    int sqlCode = 0;
    QStringList lines;
    if (sqlcode_)
        sqlCode = sqlcode_(reinterpret_cast<const long*>(vector));
    if (interpret_) {
        const long* cursor = reinterpret_cast<const long*>(vector);
        char buffer[1024];
        while (interpret_(buffer, sizeof buffer, &cursor) > 0)
            lines << QString::fromLatin1(buffer); // the connection's character set
    }
    throw EIB_Error(code, sqlCode, lines);
}

void IB_Status::checkException(IB_Status* status) {
    if (status->dirty && (status->getState() & Firebird::IStatus::STATE_ERRORS))
        IB_Client::Instance().Raise(status->status);
}

IB_StatusHolder::IB_StatusHolder()
    : status_(IB_Client::Instance().Master()->getStatus()), wrapper_(status_) {}

IB_StatusHolder::~IB_StatusHolder() {
    status_->dispose();
}
