// Where the program looks for the shop database, and the two-password connection sequence.
#include "db/ConnectionStartup.h"
#include "firebird/TIB_Connection.h"
#include "support/TestServer.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_ConnectionStartup : public QObject {
    Q_OBJECT
private slots:
    void settings_data();
    void settings();
    void settingsFileIsNeverCreated();
    void passwords_data();
    void passwords();
};

void tst_ConnectionStartup::settings_data() {
    QTest::addColumn<QString>("ini"); // null: no file
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("path"); // "<dir>" stands for the folder
    QTest::addColumn<QString>("database");
    const QString def = "<dir>QUIBREL.FDB";
    QTest::newRow("no file") << QString() << "localhost" << def << "localhost:" + def;
    QTest::newRow("no section") << "[Outra]\nServidor=srv\nCaminho=/x.fdb\n"
                                << "localhost" << def << "localhost:" + def;
    QTest::newRow("no keys") << "[Quibrel]\nOutra=1\n"
                             << "localhost" << def << "localhost:" + def;
    QTest::newRow("both keys") << "[Quibrel]\nServidor=10.0.0.5/3051\nCaminho=/dados/QUIBREL.FDB\n"
                               << "10.0.0.5/3051"
                               << "/dados/QUIBREL.FDB"
                               << "10.0.0.5/3051:/dados/QUIBREL.FDB";
    QTest::newRow("only the server") << "[Quibrel]\nServidor=caixa01\n"
                                     << "caixa01" << def << "caixa01:" + def;
    QTest::newRow("empty server stays empty") << "[Quibrel]\nServidor=\nCaminho=/d.fdb\n"
                                              << ""
                                              << "/d.fdb"
                                              << ":/d.fdb";
    QTest::newRow("empty path stays empty") << "[Quibrel]\nCaminho=\n"
                                            << "localhost"
                                            << ""
                                            << "localhost:";
    QTest::newRow("other letter case") << "[QUIBREL]\nservidor=srv\nCAMINHO=C:\\Q\\QUIBREL.FDB\n"
                                       << "srv"
                                       << "C:\\Q\\QUIBREL.FDB"
                                       << "srv:C:\\Q\\QUIBREL.FDB";
    const QString longPath = "/" + QString(3000, QLatin1Char('p'));
    QTest::newRow("long value cut at 2047")
        << "[Quibrel]\nCaminho=" + longPath + "\n"
        << "localhost" << longPath.left(2047) << "localhost:" + longPath.left(2047);
}

void tst_ConnectionStartup::settings() {
    QFETCH(QString, ini);
    QFETCH(QString, server);
    QFETCH(QString, path);
    QFETCH(QString, database);
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    if (!ini.isNull()) {
        QFile file(folder + "quibrel.ini");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini.toUtf8());
    }
    const ConnectionStartup::Settings settings = ConnectionStartup::ReadSettings(folder);
    QCOMPARE(settings.server, server);
    QCOMPARE(settings.path, QString(path).replace("<dir>", folder));
    TIB_Connection connection;
    connection.SetServer(settings.server);
    connection.SetPath(settings.path);
    QCOMPARE(connection.DatabaseName(), QString(database).replace("<dir>", folder));
}

void tst_ConnectionStartup::settingsFileIsNeverCreated() {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    ConnectionStartup::Settings settings = ConnectionStartup::ReadSettings(folder);
    settings.server = "127.0.0.1/1"; // nothing listens there
    TIB_Connection connection;
    QVERIFY(!ConnectionStartup::Connect(connection, settings));
    QVERIFY(!QFile::exists(folder + "quibrel.ini"));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void tst_ConnectionStartup::passwords_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("connects");
    QTest::addColumn<QString>("password"); // the one left set
    QTest::newRow("first password accepted") << "quince" << true << "quince";
    QTest::newRow("second password accepted") << "bluefinch" << true << "bluefinch";
    QTest::newRow("both rejected") << "sem-acesso" << false << "bluefinch";
}

void tst_ConnectionStartup::passwords() {
    QFETCH(QString, server);
    QFETCH(bool, connects);
    QFETCH(QString, password);
    const QString path = TestServer::CreateShopDatabase("startup", server);
    TIB_Connection connection;
    QCOMPARE(ConnectionStartup::Connect(connection, {TestServer::Host(server), path}), connects);
    QCOMPARE(connection.Connected(), connects);
    QCOMPARE(connection.Password(), password);
    // A path with a server in front is refused by both attempts.
    TIB_Connection refused;
    QVERIFY(!ConnectionStartup::Connect(refused, {TestServer::Host(server), "localhost:" + path}));
}

QTEST_GUILESS_MAIN(tst_ConnectionStartup)
#include "tst_ConnectionStartup.moc"
