#include "db/TIniFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray Utf16WithMark(const QString& text) {
    QByteArray bytes("\xff\xfe");
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xff));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

} // namespace

class TIniFileTest : public QObject {
    Q_OBJECT

private slots:
    void readString_data();
    void readString();
    void missingFileIsNotCreated();
    void fileIsOnlyRead();

private:
    QTemporaryDir dir_;
};

void TIniFileTest::readString_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("defaultValue");
    QTest::addColumn<QString>("expected");

    const QString s = QStringLiteral("Quibrel");
    const QString k = QStringLiteral("Servidor");
    const QString d = QStringLiteral("localhost");

    QTest::newRow("value") << QByteArray("[Quibrel]\nServidor=db.example\nCaminho=C:\\x.fdb\n") << s
                           << k << d << "db.example";
    QTest::newRow("last line without line break")
        << QByteArray("[Quibrel]\nCaminho=c\nServidor=db") << s << k << d << "db";
    QTest::newRow("CR LF line ends")
        << QByteArray("[Quibrel]\r\nServidor=db\r\nCaminho=c\r\n") << s << k << d << "db";
    QTest::newRow("missing section")
        << QByteArray("[Outra]\nServidor=db\n") << s << k << d << "localhost";
    QTest::newRow("missing key") << QByteArray("[Quibrel]\nCaminho=c\n") << s << k << d
                                 << "localhost";
    QTest::newRow("empty file") << QByteArray() << s << k << d << "localhost";
    QTest::newRow("empty value") << QByteArray("[Quibrel]\nServidor=\n") << s << k << d << "";
    QTest::newRow("value of blanks")
        << QByteArray("[Quibrel]\nServidor=  \t \n") << s << k << d << "";
    QTest::newRow("empty quoted value")
        << QByteArray("[Quibrel]\nServidor=\"\"\n") << s << k << d << "";
    QTest::newRow("other letter case in the file")
        << QByteArray("[QUIBREL]\nSERVIDOR=db\n") << s << k << d << "db";
    QTest::newRow("other letter case asked") << QByteArray("[Quibrel]\nServidor=db\n") << "qUIBREL"
                                             << "servidor" << d << "db";
    QTest::newRow("letter case of the value kept")
        << QByteArray("[Quibrel]\nServidor=DB.Example\n") << s << k << d << "DB.Example";
    QTest::newRow("blanks around names and value")
        << QByteArray("  [ Quibrel ]  \n\t Servidor \t=  db server  \t\n") << s << k << d
        << "db server";
    QTest::newRow("blanks around the names asked")
        << QByteArray("[Quibrel]\nServidor=db\n") << " Quibrel "
        << " Servidor " << d << "db";
    QTest::newRow("double quotes removed")
        << QByteArray("[Quibrel]\nServidor=\"  db \"\n") << s << k << d << "  db ";
    QTest::newRow("single quotes removed")
        << QByteArray("[Quibrel]\nServidor='db'\n") << s << k << d << "db";
    QTest::newRow("quotes after blanks removed")
        << QByteArray("[Quibrel]\nServidor=  \"db\"  \n") << s << k << d << "db";
    QTest::newRow("one pair only")
        << QByteArray("[Quibrel]\nServidor=\"\"db\"\"\n") << s << k << d << "\"db\"";
    QTest::newRow("unmatched quotes kept")
        << QByteArray("[Quibrel]\nServidor=\"db'\n") << s << k << d << "\"db'";
    QTest::newRow("lone quote kept")
        << QByteArray("[Quibrel]\nServidor=\"\n") << s << k << d << "\"";
    QTest::newRow("inner quotes kept")
        << QByteArray("[Quibrel]\nServidor=a \"b\" c\n") << s << k << d << "a \"b\" c";
    QTest::newRow("equals sign in the value")
        << QByteArray("[Quibrel]\nServidor=a=b\n") << s << k << d << "a=b";
    QTest::newRow("comment line skipped")
        << QByteArray("[Quibrel]\n;Servidor=errado\nServidor=certo\n") << s << k << d << "certo";
    QTest::newRow("indented comment skipped")
        << QByteArray("[Quibrel]\n   ; Servidor=errado\n") << s << k << d << "localhost";
    QTest::newRow("commented section header")
        << QByteArray(";[Quibrel]\nServidor=errado\n") << s << k << d << "localhost";
    QTest::newRow("semicolon inside a value kept")
        << QByteArray("[Quibrel]\nServidor=db ; principal\n") << s << k << d << "db ; principal";
    QTest::newRow("text after the section header")
        << QByteArray("[Quibrel] ; banco\nServidor=db\n") << s << k << d << "db";
    QTest::newRow("line without equals sign")
        << QByteArray("[Quibrel]\nServidor\nServidor=db\n") << s << k << d << "db";
    QTest::newRow("first of duplicated keys")
        << QByteArray("[Quibrel]\nServidor=primeiro\nservidor=segundo\n") << s << k << d
        << "primeiro";
    QTest::newRow("first of duplicated sections")
        << QByteArray("[Quibrel]\nServidor=primeiro\n[Quibrel]\nServidor=segundo\n") << s << k << d
        << "primeiro";
    QTest::newRow("key in a later duplicated section only")
        << QByteArray("[Quibrel]\nCaminho=c\n[quibrel]\nServidor=segundo\n") << s << k << d
        << "localhost";
    QTest::newRow("key of another section")
        << QByteArray("[Outra]\nServidor=outro\n[Quibrel]\nCaminho=c\n") << s << k << d
        << "localhost";
    QTest::newRow("key before every section")
        << QByteArray("Servidor=solto\n[Quibrel]\nCaminho=c\n") << s << k << d << "localhost";
    QTest::newRow("section ends at the next header")
        << QByteArray("[Quibrel]\nCaminho=c\n[Outra]\nServidor=outro\n") << s << k << d
        << "localhost";
    QTest::newRow("key name is not a prefix")
        << QByteArray("[Quibrel]\nServidorB=b\nServ=a\n") << s << k << d << "localhost";

    const QByteArray longValue(3000, 'x');
    QTest::newRow("value longer than 2047 characters")
        << QByteArray("[Quibrel]\nServidor=" + longValue + "\n") << s << k << d
        << QString(2047, QChar('x'));
    QTest::newRow("value of exactly 2047 characters")
        << QByteArray("[Quibrel]\nServidor=" + QByteArray(2047, 'y') + "\n") << s << k << d
        << QString(2047, QChar('y'));
    QTest::newRow("long quoted value: quotes removed, then cut")
        << QByteArray("[Quibrel]\nServidor=\"" + QByteArray(2046, 'z') + "ab\"\n") << s << k << d
        << QString(2046, QChar('z')) + QChar('a');
    QTest::newRow("default loses its trailing blanks")
        << QByteArray("[Quibrel]\n") << s << k << " local host \t "
        << " local host";
    QTest::newRow("default cut at 2047 characters")
        << QByteArray() << s << k << QString(2100, QChar('d')) << QString(2047, QChar('d'));
    QTest::newRow("empty default") << QByteArray() << s << k << ""
                                   << "";

    QTest::newRow("UTF-8 value") << QByteArray("[Quibrel]\nCaminho=C:\\Dados\\Pre\xc3\xa7o.fdb\n")
                                 << s << "Caminho" << d
                                 << QString::fromUtf8("C:\\Dados\\Pre\xc3\xa7o.fdb");
    QTest::newRow("Latin-1 value")
        << QByteArray("[Quibrel]\nCaminho=C:\\Dados\\Pre\xe7o.fdb\n") << s << "Caminho" << d
        << QString::fromUtf8("C:\\Dados\\Pre\xc3\xa7o.fdb");
    QTest::newRow("UTF-8 byte-order mark")
        << QByteArray("\xef\xbb\xbf[Quibrel]\nServidor=db\n") << s << k << d << "db";
    QTest::newRow("UTF-16 with byte-order mark")
        << Utf16WithMark(QStringLiteral("[Quibrel]\r\nServidor=db\r\n")) << s << k << d << "db";
}

void TIniFileTest::readString() {
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, defaultValue);
    QFETCH(QString, expected);

    QVERIFY(dir_.isValid());
    const QString path = dir_.filePath(QStringLiteral("quibrel.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
    file.close();

    const TIniFile ini(path);
    const QString value = ini.ReadString(section, key, defaultValue);
    QCOMPARE(value.size(), expected.size());
    QCOMPARE(value, expected);
}

void TIniFileTest::missingFileIsNotCreated() {
    QVERIFY(dir_.isValid());
    const QString missing = dir_.filePath(QStringLiteral("ausente.ini"));
    const QString inMissingFolder = dir_.filePath(QStringLiteral("pasta/quibrel.ini"));
    for (const QString& path : {missing, inMissingFolder}) {
        const TIniFile ini(path);
        QCOMPARE(ini.FileName(), path);
        QCOMPARE(ini.ReadString(QStringLiteral("Quibrel"), QStringLiteral("Servidor"),
                                QStringLiteral("localhost")),
                 QStringLiteral("localhost"));
        QCOMPARE(ini.ReadString(QStringLiteral("Quibrel"), QStringLiteral("Caminho"),
                                QStringLiteral("/app/QUIBREL.FDB")),
                 QStringLiteral("/app/QUIBREL.FDB"));
        QVERIFY(!QFileInfo::exists(path));
    }
    QVERIFY(!QFileInfo::exists(dir_.filePath(QStringLiteral("pasta"))));

    // A folder in the file's place reads as a missing file.
    const TIniFile folder(dir_.path());
    QCOMPARE(folder.ReadString(QStringLiteral("Quibrel"), QStringLiteral("Servidor"),
                               QStringLiteral("localhost")),
             QStringLiteral("localhost"));
}

void TIniFileTest::fileIsOnlyRead() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("somente-leitura.ini"));
    const QByteArray content("[Quibrel]\nServidor=db\n");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const QDateTime written = QFileInfo(path).lastModified();
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));

    const TIniFile ini(path);
    QCOMPARE(ini.ReadString(QStringLiteral("Quibrel"), QStringLiteral("Servidor"), QString()),
             QStringLiteral("db"));
    QCOMPARE(ini.ReadString(QStringLiteral("Quibrel"), QStringLiteral("Caminho"),
                            QStringLiteral("padrao")),
             QStringLiteral("padrao"));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
    QCOMPARE(QFileInfo(path).lastModified(), written);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("somente-leitura.ini")});
}

QTEST_GUILESS_MAIN(TIniFileTest)
#include "tst_TIniFile.moc"
