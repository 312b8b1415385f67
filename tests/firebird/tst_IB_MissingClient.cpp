// Without a loadable client library a connection attempt fails with the layer's message, and the
// next attempt tries to load it again. Runs in its own process: once loaded, the library stays.
#include "firebird/EIB_Error.h"
#include "firebird/IB_Client.h"
#include "firebird/TIB_Connection.h"
#include "support/TestServer.h"

#include <QtTest>

class tst_IB_MissingClient : public QObject {
    Q_OBJECT
private slots:
    void missingThenFound();
};

void tst_IB_MissingClient::missingThenFound() {
    QCOMPARE(IB_Client::DefaultLibraryNames(),
             (QStringList{"libfbclient.so.2", "libfbclient.so", "libgds.so"}));
    const QString path = TestServer::NewDatabasePath("missing");
    IB_Client::Instance().SetLibraryNames({"libnaoexiste-fbclient.so.9", "libm.so.6"});
    TIB_Connection c;
    TestServer::Point(c, path);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            c.Connect();
            QFAIL("connected without a client library");
        } catch (const EIB_Error& e) {
            QCOMPARE(e.Message(),
                     QStringLiteral("O cliente InterBase (GDS32.DLL) não está instalado"));
        }
        QVERIFY(!IB_Client::Instance().Loaded());
    }
    IB_Client::Instance().SetLibraryNames(IB_Client::DefaultLibraryNames());
    // The library is there now: this attempt loads it and reaches the server, which answers
    // that the database does not exist yet.
    try {
        c.Connect();
        QFAIL("connected to a database that does not exist");
    } catch (const EIB_Error& e) {
        QVERIFY2(e.FromServer(), qPrintable(e.Message()));
    }
    QVERIFY(IB_Client::Instance().Loaded());
    TestServer::CreateShopDatabaseAt(path);
    c.Connect();
    QVERIFY(c.Connected());
    c.Close();
}

QTEST_GUILESS_MAIN(tst_IB_MissingClient)
#include "tst_IB_MissingClient.moc"
