#pragma once

#include <QString>

class TIB_Connection;

// Where the shop database is, and the connection to it with the program's two fixed passwords.
namespace ConnectionStartup {

inline constexpr const char* kFirstPassword = "quince";
inline constexpr const char* kSecondPassword = "bluefinch";
inline constexpr const char* kDefaultServer = "localhost";

struct Settings {
    QString server;
    QString path;
};

// The executable's folder, ending with the path separator.
QString ExecutableFolder();

// The local machine and "QUIBREL.FDB" in the given folder (which ends with the separator).
Settings Defaults(const QString& folder);

// Reads quibrel.ini in the given folder (which ends with the separator): section Quibrel, keys
// Servidor and Caminho, defaulting to the local machine and the folder followed by
// "QUIBREL.FDB". The file is only read, never created.
Settings ReadSettings(const QString& folder);

// Points the closed connection at the settings and tries the first password, then the second.
// The failures are dropped; true when one attempt connected.
bool Connect(TIB_Connection& connection, const Settings& settings);

} // namespace ConnectionStartup
