#pragma once

#include <QStringList>

namespace Firebird {
class IMaster;
class IStatus;
class IUtil;
class IProvider;
} // namespace Firebird

// The Firebird client library, loaded by name at the first connection attempt and kept loaded for
// the rest of the run. When none of the names loads, the attempt fails with the layer's message
// and the next attempt tries again.
class IB_Client {
public:
    static IB_Client& Instance();

    // Loads the library if it is not loaded yet; throws EIB_Error when it cannot be loaded.
    void Load();
    bool Loaded() const { return master_ != nullptr; }

    Firebird::IMaster* Master();
    Firebird::IUtil* Util();
    Firebird::IProvider* Provider();

    // Turns a status vector into the layer's exception (throws EIB_Error).
    [[noreturn]] void Raise(Firebird::IStatus* status);

    // The names tried, in order, through the system's library search.
    static QStringList DefaultLibraryNames();
    // Replaces the names tried by later loads (tests use it to simulate a missing library).
    void SetLibraryNames(const QStringList& names) { names_ = names; }

    static const char* NotInstalledMessage();

private:
    IB_Client();

    QStringList names_;
    void* handle_ = nullptr;
    Firebird::IMaster* master_ = nullptr;
    Firebird::IProvider* provider_ = nullptr;
    using InterpretFn = int (*)(char*, unsigned, const long**);
    using SqlCodeFn = int (*)(const long*);
    InterpretFn interpret_ = nullptr;
    SqlCodeFn sqlcode_ = nullptr;
};
