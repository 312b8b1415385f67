// Times the day-end merge on a large shop database: run the program's way through our database
// layer (prepare, bind, execute, commit) beside the same block run by isql-fb, each on a fresh
// copy of the same data, for several numbers of moved rows. scripts/bench starts the server
// and runs it.
//   vostralo_bench [MOVED_ROWS ...]      (default: 10000 100000 1000000)
// Environment: VOSTRALO_FB_QUINCE (the server), VOSTRALO_TEST_DBDIR (where databases go),
// VOSTRALO_ISQL (default isql-fb).
#include "ShopFixture.h"
#include "firebird/EIB_Error.h"
#include "firebird/TIB_Connection.h"
#include "firebird/TIB_Query.h"
#include "firebird/TIB_Transaction.h"
#include "merge/MergeStatement.h"
#include "support/TestServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTextStream>
#include <cstdio>
#include <stdexcept>

namespace {

const QDate kDay(2024, 2, 29);
constexpr int kOperator = 7;
constexpr qint64 kOpeningChange = 1500000; // 150.00 in ten-thousandths
constexpr int kDaySessions = 50;
constexpr int kNoiseSessions = 200;
constexpr qint64 kTotalRows = 1000000;
constexpr qint64 kMinNoiseRows = 100000;

QTextStream out(stdout);

void say(const QString& text) {
    out << text << Qt::endl;
}

// How the rows of a group spread over the six tables (per thousand).
struct Share {
    const char* table;
    int perMille;
};
const Share kShares[] = {{"VENDAS", 400},       {"CAIXA", 250},    {"PARCELADECOMPRA", 100},
                         {"RECEBIMENTOS", 100}, {"RETIRADAS", 75}, {"REFORCO", 75}};

QString valuesFor(const QString& table, const QString& day) {
    // :I numbers the row within its group, :K its session within the group.
    if (table == QLatin1String("VENDAS"))
        return QStringLiteral("DATEADD(MOD(:I, 50000) SECOND TO TIMESTAMP '%1 06:00'), "
                              "MOD(:I, 99999) * 0.01, 'N'")
            .arg(day);
    if (table == QLatin1String("CAIXA"))
        return QStringLiteral("DATE '%1', TIME '06:00' + MOD(:I, 57600), 'venda', "
                              "MOD(:I, 99999) * 0.01, 'E'")
            .arg(day);
    if (table == QLatin1String("PARCELADECOMPRA"))
        return QStringLiteral("DATE '%1' + MOD(:I, 90), MOD(:I, 99999) * 0.01, 'N'").arg(day);
    if (table == QLatin1String("RECEBIMENTOS"))
        return QStringLiteral("MOD(:I, 99999) * 0.01, 'DINHEIRO'");
    return QStringLiteral("MOD(:I, 99999) * 0.01, 'motivo'");
}

QString columnsFor(const QString& table) {
    if (table == QLatin1String("VENDAS"))
        return QStringLiteral("DATAVENDA, TOTAL, CANCELADA");
    if (table == QLatin1String("CAIXA"))
        return QStringLiteral("DATA, HORA, HISTORICO, VALOR, TIPO");
    if (table == QLatin1String("PARCELADECOMPRA"))
        return QStringLiteral("VENCIMENTO, VALOR, PAGA");
    if (table == QLatin1String("RECEBIMENTOS"))
        return QStringLiteral("VALOR, FORMA");
    return QStringLiteral("VALOR, MOTIVO");
}

// Session k of a group: terminal 1 + k mod 10, id firstId + k / 10.
QString sessionsBlock(int count, int firstId, const QString& opened, const QString& operador) {
    return QStringLiteral("EXECUTE BLOCK AS DECLARE K INTEGER = 0; BEGIN\n"
                          "  WHILE (K < %1) DO BEGIN\n"
                          "    INSERT INTO SESSAOCAIXA (TERMINAL, IDSESSAO, ABERTURA, FECHAMENTO,\n"
                          "        TROCOINICIAL, OPERADOR, SITUACAO)\n"
                          "    VALUES (1 + MOD(:K, 10), %2 + :K / 10, %3, NULL, 50, %4, 'F');\n"
                          "    K = K + 1;\n"
                          "  END\n"
                          "END")
        .arg(count)
        .arg(firstId)
        .arg(opened, operador);
}

QString rowsBlock(const QString& table, qint64 count, qint64 firstRowId, int sessions,
                  int firstSessionId, const QString& day) {
    return QStringLiteral("EXECUTE BLOCK AS DECLARE I INTEGER = 0; DECLARE K INTEGER; BEGIN\n"
                          "  WHILE (I < %1) DO BEGIN\n"
                          "    K = MOD(:I, %2);\n"
                          "    INSERT INTO %3 (ID, TERMINAL, IDSESSAO, %4)\n"
                          "    VALUES (%5 + :I, 1 + MOD(:K, 10), %6 + :K / 10, %7);\n"
                          "    I = I + 1;\n"
                          "  END\n"
                          "END")
        .arg(count)
        .arg(sessions)
        .arg(table, columnsFor(table))
        .arg(firstRowId)
        .arg(firstSessionId)
        .arg(valuesFor(table, day));
}

// A shop database with `moved` rows on the operator's 50 sessions of the day and the rest of
// about a million rows on 200 other sessions (other operators, other days, no opening time).
void buildData(const QString& path, qint64 moved, qint64 noise) {
    TestServer::CreateShopDatabaseAt(path);
    TIB_Connection connection;
    TestServer::Point(connection, path);
    connection.Connect();
    const QString day = kDay.toString(Qt::ISODate);
    QStringList blocks;
    blocks << sessionsBlock(kDaySessions, 1000,
                            QStringLiteral("DATEADD(:K MINUTE TO TIMESTAMP '%1 06:00')").arg(day),
                            QString::number(kOperator));
    blocks << sessionsBlock(
        kNoiseSessions, 2000,
        QStringLiteral("CASE MOD(:K, 4) WHEN 3 THEN NULL ELSE DATEADD(MOD(:K, 4) - 1 DAY TO "
                       "TIMESTAMP '%1 06:00') END")
            .arg(day),
        QStringLiteral("IIF(MOD(:K, 4) = 1, %1, %2)").arg(kOperator + 1).arg(kOperator));
    // What the rounding leaves of each group goes to the sales.
    qint64 dayLeft = moved, noiseLeft = noise;
    for (const Share& share : kShares) {
        dayLeft -= moved * share.perMille / 1000;
        noiseLeft -= noise * share.perMille / 1000;
    }
    for (const Share& share : kShares) {
        const QString table = QString::fromLatin1(share.table);
        const bool sales = table == QLatin1String("VENDAS");
        const qint64 dayRows = moved * share.perMille / 1000 + (sales ? dayLeft : 0);
        const qint64 noiseRows = noise * share.perMille / 1000 + (sales ? noiseLeft : 0);
        blocks << rowsBlock(table, dayRows, 1, kDaySessions, 1000, day);
        blocks << rowsBlock(table, noiseRows, 1 + dayRows, kNoiseSessions, 2000, day);
    }
    for (const QString& block : blocks)
        TestServer::ExecuteStatement(connection, block);
    connection.Close();
}

qint64 countRows(TIB_Connection& connection, const QString& where) {
    qint64 n = 0;
    for (const Share& share : kShares)
        n += TestServer::Scalar(connection, QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2")
                                                .arg(QLatin1String(share.table), where))
                 .toLongLong();
    return n;
}

// After a merge: all moved rows on the one new session, the day's sessions gone.
void verifyMerged(const QString& path, qint64 moved) {
    TIB_Connection connection;
    TestServer::Point(connection, path);
    connection.Connect();
    const qint64 atNew =
        countRows(connection, QStringLiteral("TERMINAL = 999 AND IDSESSAO = 10001"));
    const qint64 sessions =
        TestServer::Scalar(connection,
                           QStringLiteral("SELECT COUNT(*) FROM SESSAOCAIXA WHERE OPERADOR = %1 "
                                          "AND CAST(ABERTURA AS DATE) = DATE '%2'")
                               .arg(kOperator)
                               .arg(kDay.toString(Qt::ISODate)))
            .toLongLong();
    connection.Close();
    if (atNew != moved || sessions != 1)
        throw std::runtime_error(QStringLiteral("%1: %2 rows on the new session (expected %3), "
                                                "%4 sessions of the day (expected 1)")
                                     .arg(path)
                                     .arg(atNew)
                                     .arg(moved)
                                     .arg(sessions)
                                     .toStdString());
}

struct LayerTimes {
    qint64 prepare = 0, execute = 0, commit = 0;
};

// The program's way: start, prepare, bind in one batch, execute once, commit.
LayerTimes runThroughLayer(const QString& path) {
    TIB_Connection connection;
    TestServer::Point(connection, path);
    connection.Connect();
    TIB_Transaction IBTQExec;
    IBTQExec.SetIB_Connection(&connection);
    TIB_Query QExec;
    QExec.SetIB_Connection(&connection);
    QExec.SetIB_Transaction(&IBTQExec);
    QExec.SetSQL(MergeStatement::Lines());

    LayerTimes t;
    QElapsedTimer timer;
    timer.start();
    IBTQExec.StartTransaction();
    if (!QExec.Prepared())
        QExec.Prepare();
    QExec.BeginUpdate();
    QExec.ParamByName(QStringLiteral("DATA")).SetAsDate(kDay);
    QExec.ParamByName(QStringLiteral("OPERADOR")).SetAsInteger(kOperator);
    QExec.ParamByName(QStringLiteral("TROCOINICIAL")).SetAsCurrency(kOpeningChange);
    QExec.EndUpdate();
    t.prepare = timer.restart();
    QExec.ExecSQL();
    t.execute = timer.restart();
    IBTQExec.Commit();
    t.commit = timer.restart();
    QExec.Unprepare();
    connection.Close();
    return t;
}

// The same block for isql: its three inputs become variables holding constants (isql gives an
// EXECUTE BLOCK's input list no values), the body stays as it is.
QString isqlBlock() {
    QStringList lines = MergeStatement::Lines();
    const QStringList header{"EXECUTE BLOCK(DATA DATE = :DATA",
                             "             , OPERADOR INTEGER = :OPERADOR",
                             "             , TROCOINICIAL NUMERIC(15,2) = :TROCOINICIAL)", "AS"};
    if (lines.mid(0, 4) != header)
        throw std::runtime_error("the merge statement's header is not the expected one");
    lines.erase(lines.begin(), lines.begin() + 4);
    lines.prepend(QStringLiteral("DECLARE VARIABLE TROCOINICIAL NUMERIC(15,2) = %1.%2;")
                      .arg(kOpeningChange / 10000)
                      .arg(kOpeningChange / 100 % 100, 2, 10, QLatin1Char('0')));
    lines.prepend(QStringLiteral("DECLARE VARIABLE OPERADOR INTEGER = %1;").arg(kOperator));
    lines.prepend(
        QStringLiteral("DECLARE VARIABLE DATA DATE = '%1';").arg(kDay.toString(Qt::ISODate)));
    lines.prepend(QStringLiteral("AS"));
    lines.prepend(QStringLiteral("EXECUTE BLOCK"));
    return lines.join(QLatin1Char('\n'));
}

struct IsqlTimes {
    qint64 execute = 0, commit = 0, process = 0;
};

IsqlTimes runThroughIsql(const QString& path, const QString& scriptPath) {
    QFile script(scriptPath);
    if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + scriptPath.toStdString());
    script.write(
        ("SET STATS ON;\nSET TERM ^ ;\n" + isqlBlock() + "^\nSET TERM ; ^\nCOMMIT;\nQUIT;\n")
            .toLatin1());
    script.close();
    const QString isql = qEnvironmentVariable("VOSTRALO_ISQL", QStringLiteral("isql-fb"));
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(isql, {QStringLiteral("-q"), QStringLiteral("-user"), QStringLiteral("SYSDBA"),
                         QStringLiteral("-password"), QStringLiteral("quince"),
                         TestServer::Host(QStringLiteral("quince")) + QLatin1Char(':') + path,
                         QStringLiteral("-i"), scriptPath});
    if (!process.waitForFinished(3600000))
        throw std::runtime_error("isql did not finish");
    IsqlTimes t;
    t.process = timer.elapsed();
    const QString output =
        QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    if (process.exitCode() != 0 || output.contains(QLatin1String("Statement failed")))
        throw std::runtime_error("isql failed: " + output.toStdString());
    QList<qint64> elapsed;
    const QRegularExpression re(QStringLiteral("Elapsed time\\s*=\\s*([0-9.]+) sec"));
    for (auto it = re.globalMatch(output); it.hasNext();)
        elapsed << qRound64(it.next().captured(1).toDouble() * 1000);
    if (elapsed.size() != 2)
        throw std::runtime_error("unexpected isql output: " + output.toStdString());
    t.execute = elapsed[0];
    t.commit = elapsed[1];
    return t;
}

void copyFile(const QString& from, const QString& to) {
    QFile::remove(to);
    if (!QFile::copy(from, to))
        throw std::runtime_error("cannot copy " + from.toStdString() + " to " + to.toStdString());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QList<qint64> sizes;
    for (const QString& arg : app.arguments().mid(1)) {
        bool ok = false;
        const qint64 n = arg.toLongLong(&ok);
        if (!ok || n <= 0) {
            std::fprintf(stderr, "usage: vostralo_bench [MOVED_ROWS ...]\n");
            return 2;
        }
        sizes << n;
    }
    if (sizes.isEmpty())
        sizes = {10000, 100000, 1000000};

    struct Result {
        qint64 moved, total;
        LayerTimes layer;
        IsqlTimes isql;
        qint64 buildMs;
    };
    QList<Result> results;
    try {
        for (const qint64 moved : sizes) {
            const qint64 noise = std::max(kTotalRows - moved, kMinNoiseRows);
            const QString master =
                TestServer::NewDatabasePath(QStringLiteral("bench-%1").arg(moved));
            say(QStringLiteral("building %1 rows to move and %2 others ...").arg(moved).arg(noise));
            QElapsedTimer build;
            build.start();
            buildData(master, moved, noise);
            const qint64 buildMs = build.elapsed();
            // Detached, the server has closed the file: each run gets a copy of its own.
            const QString layerCopy = master + QStringLiteral(".layer.fdb");
            const QString isqlCopy = master + QStringLiteral(".isql.fdb");
            copyFile(master, layerCopy);
            copyFile(master, isqlCopy);

            say(QStringLiteral("merging through the layer ..."));
            const LayerTimes layer = runThroughLayer(layerCopy);
            verifyMerged(layerCopy, moved);
            say(QStringLiteral("merging through isql ..."));
            const IsqlTimes isql = runThroughIsql(isqlCopy, master + QStringLiteral(".sql"));
            verifyMerged(isqlCopy, moved);
            for (const QString& path : {master, layerCopy, isqlCopy, master + ".sql"})
                QFile::remove(path);
            results << Result{moved, moved + noise, layer, isql, buildMs};
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vostralo_bench: %s\n", e.what());
        return 1;
    }

    say(QString());
    say(QStringLiteral("Day-end merge of one operator's %1 sessions (times in ms; layer = "
                       "prepare+bind / execute / commit)")
            .arg(kDaySessions));
    const QString format = QStringLiteral("%1 %2 | %3 %4 %5 %6 | %7 %8 %9 %10");
    say(format.arg("moved", 9)
            .arg("total", 9)
            .arg("prep", 6)
            .arg("exec", 7)
            .arg("commit", 6)
            .arg("layer", 7)
            .arg("exec", 7)
            .arg("commit", 6)
            .arg("isql", 7)
            .arg("process", 7));
    for (const Result& r : results) {
        const qint64 layerTotal = r.layer.prepare + r.layer.execute + r.layer.commit;
        say(format.arg(r.moved, 9)
                .arg(r.total, 9)
                .arg(r.layer.prepare, 6)
                .arg(r.layer.execute, 7)
                .arg(r.layer.commit, 6)
                .arg(layerTotal, 7)
                .arg(r.isql.execute, 7)
                .arg(r.isql.commit, 6)
                .arg(r.isql.execute + r.isql.commit, 7)
                .arg(r.isql.process, 7));
    }
    say(QStringLiteral("(isql: execute and commit from its SET STATS, process = the whole isql run "
                       "including its connection; data built in %1 s)")
            .arg([&] {
                qint64 ms = 0;
                for (const Result& r : results)
                    ms += r.buildMs;
                return ms / 1000;
            }()));
    return 0;
}
