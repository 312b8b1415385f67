#include "db/ConnectionStartup.h"

#include "db/TIniFile.h"
#include "firebird/EIB_Error.h"
#include "firebird/TIB_Connection.h"

#include <QCoreApplication>
#include <QDir>

namespace ConnectionStartup {

QString ExecutableFolder() {
    QString folder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

Settings Defaults(const QString& folder) {
    return {QString::fromLatin1(kDefaultServer), folder + QStringLiteral("QUIBREL.FDB")};
}

Settings ReadSettings(const QString& folder) {
    const TIniFile ini(folder + QStringLiteral("quibrel.ini"));
    const Settings defaults = Defaults(folder);
    Settings settings;
    settings.server =
        ini.ReadString(QStringLiteral("Quibrel"), QStringLiteral("Servidor"), defaults.server);
    settings.path =
        ini.ReadString(QStringLiteral("Quibrel"), QStringLiteral("Caminho"), defaults.path);
    return settings;
}

bool Connect(TIB_Connection& connection, const Settings& settings) {
    connection.Close(); // it is closed here; this makes sure the settings below are accepted
    connection.SetServer(settings.server);
    connection.SetPath(settings.path);
    connection.SetPassword(QString::fromLatin1(kFirstPassword));
    try {
        connection.Connect();
        return true;
    } catch (const std::exception&) {
        // the first password was not accepted, or the server not reached: try the second
    }
    try {
        connection.Close();
    } catch (const std::exception&) {
    }
    connection.SetPassword(QString::fromLatin1(kSecondPassword));
    try {
        connection.Connect();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace ConnectionStartup
