#include "PostgresServer.h"
#include "ResultsDatabase.h"

#include "JsonFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <set>

namespace {

struct Run
{
    int status = -1;
    QString errors; // standard error
};

Run adcapture(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(ADCAPTURE_PATH), arguments);
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

// The rows of test_record and their distinct uids.
std::pair<int, int> storedCounts(const QString &url)
{
    ResultsDatabase database;
    if (!database.open(*parseDatabaseUrl(url), ResultsDatabase::Access::ReadOnly).isEmpty())
        return {-1, -1};
    const LoadResult loaded = database.load();
    std::set<std::string> uids;
    for (const TestRecord &record : loaded.records)
        uids.insert(record.uid);
    return {int(loaded.records.size()), int(uids.size())};
}

} // namespace

// Stations writing to one database at once: every adcapture process keeps
// its record, with the SHA-256 of the files it wrote.
class TestStationDatabase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QFile histogram(m_dir.filePath("ramp.csv"));
        QVERIFY(histogram.open(QIODevice::WriteOnly));
        histogram.write("code,count\n");
        for (int code = 0; code < 4096; ++code)
            histogram.write(
                QByteArray::number(code) + ',' + QByteArray::number(900 + code % 7 * 30) + '\n');
    }

    void concurrentStations_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<int>("processes");
        QTest::newRow("postgresql, eight stations") << "postgresql" << 8;
        QTest::newRow("sqlite, sixteen stations") << "sqlite" << 16;
    }
    void concurrentStations()
    {
        QFETCH(QString, backend);
        QFETCH(int, processes);
        QString url;
        PostgresServer server;
        if (backend == QLatin1String("postgresql")) {
            if (PostgresServer::binaries().isEmpty())
                QSKIP("PostgreSQL is not installed (make test installs it)");
            const QString error = server.start();
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QString createError;
            url = server.createDatabase(QStringLiteral("floor"), &createError);
            QVERIFY2(!url.isEmpty(), qPrintable(createError));
        } else {
            url = QStringLiteral("sqlite:") + m_dir.filePath("floor.sqlite");
        }

        constexpr int rounds = 3;
        std::set<QString> serials;
        for (int round = 0; round < rounds; ++round) {
            std::vector<std::unique_ptr<QProcess>> stations;
            for (int i = 0; i < processes; ++i) {
                const QString serial = QStringLiteral("SN%1-%2").arg(round).arg(i);
                serials.insert(serial);
                auto process = std::make_unique<QProcess>();
                process->start(QStringLiteral(ADCAPTURE_PATH),
                    {"--analyze", m_dir.filePath("ramp.csv"), "--serial", serial, "--lot", "L1",
                        "--station", QStringLiteral("station-%1").arg(i), "--max-missing", "0",
                        "--db", url, "--json", m_dir.filePath(serial + ".json")});
                stations.push_back(std::move(process));
            }
            for (const auto &process : stations) {
                QVERIFY(process->waitForFinished(60000));
                QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
            }
        }

        ResultsDatabase database;
        const QString error
            = database.open(*parseDatabaseUrl(url), ResultsDatabase::Access::ReadOnly);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const LoadResult loaded = database.load({std::string("L1"), std::nullopt});
        QVERIFY2(loaded.error.isEmpty(), qPrintable(loaded.error));
        QCOMPARE(int(loaded.records.size()), processes * rounds);
        std::set<QString> stored;
        std::set<std::string> uids;
        for (const TestRecord &record : loaded.records) {
            stored.insert(QString::fromStdString(record.identity.serial));
            uids.insert(record.uid);
            QVERIFY(record.pass == true && record.origin == "analysis");
            QCOMPARE(record.limits.size(), 1u);
            QCOMPARE(record.limits[0].figure, "missing_code_count");
            QCOMPARE(record.outputs.size(), 1u);
            QFile json(QString::fromStdString(record.outputs[0].path));
            QVERIFY(json.open(QIODevice::ReadOnly));
            QCOMPARE(QCryptographicHash::hash(json.readAll(), QCryptographicHash::Sha256).toHex(),
                QByteArray::fromStdString(record.outputs[0].sha256));
        }
        QVERIFY(stored == serials);
        QCOMPARE(uids.size(), loaded.records.size());
    }

    // A server with fewer connections than stations, stopped and started
    // again while they run: every result is stored or spooled, and once the
    // spool is sent every one is stored, none twice.
    void nothingLostNothingDoubled()
    {
        if (PostgresServer::binaries().isEmpty())
            QSKIP("PostgreSQL is not installed (make test installs it)");
        PostgresServer server;
        QString error = server.start({"max_connections=5", "superuser_reserved_connections=0"});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QString url = server.createDatabase(QStringLiteral("line"), &error);
        QVERIFY2(!url.isEmpty(), qPrintable(error));
        const QString spool = m_dir.filePath("line-spool");

        constexpr int rounds = 4;
        constexpr int atOnce = 6;
        int spooled = 0;
        for (int round = 0; round < rounds; ++round) {
            std::vector<std::unique_ptr<QProcess>> stations;
            for (int i = 0; i < atOnce; ++i) {
                auto process = std::make_unique<QProcess>();
                process->start(QStringLiteral(ADCAPTURE_PATH),
                    {"--analyze", m_dir.filePath("ramp.csv"), "--serial",
                        QStringLiteral("R%1-%2").arg(round).arg(i), "--max-missing", "0", "--db",
                        url, "--spool", spool, "--db-wait", "5"});
                stations.push_back(std::move(process));
            }
            // The server goes away while the second and the last round run:
            // the third sends the second's spool, --send-spool the last's.
            const bool halted = round % 2 == 1;
            if (halted)
                QCOMPARE(server.halt(), QString());
            for (const auto &process : stations) {
                QVERIFY(process->waitForFinished(120000));
                const QByteArray errors = process->readAllStandardError();
                QVERIFY2(process->exitCode() == 0, errors.constData());
                spooled += errors.contains("adcapture: spooled to ");
            }
            if (halted)
                QCOMPARE(server.resume(), QString());
        }
        const int waiting = int(QDir(spool).entryList({"*.json"}, QDir::Files).size());
        const auto [beforeRows, beforeUids] = storedCounts(url);
        const Run send = adcapture({"--send-spool", "--db", url, "--spool", spool});
        QVERIFY2(send.status == 0, qPrintable(send.errors));
        const auto [rows, uids] = storedCounts(url);
        qInfo("%d results: %d spooled, %d stored and %d waiting in the spool before "
              "--send-spool; after it %d stored, %d distinct uids, %d doubled, %d left in the "
              "spool",
            rounds * atOnce, spooled, beforeRows, waiting, rows, uids, rows - uids,
            int(QDir(spool).entryList({"*.json"}, QDir::Files).size()));
        QVERIFY(spooled > 0 && waiting > 0);
        QCOMPARE(beforeRows + waiting, rounds * atOnce);
        QCOMPARE(rows, rounds * atOnce);
        QCOMPARE(uids, rows);
        QVERIFY(QDir(spool).entryList(QDir::Files).isEmpty());
    }

    // A lock another program holds: adcapture says it waits, gives up after
    // --db-wait and keeps the result in the spool, with the board's verdict
    // as its exit status; --send-spool stores it once the lock is gone.
    void lockedDatabaseSpools()
    {
        const QString file = m_dir.filePath("locked.sqlite");
        const QString url = QStringLiteral("sqlite:") + file;
        const QString spool = m_dir.filePath("lock-spool");
        QCOMPARE(storedCounts(url).first, -1);
        const QStringList analysis {"--analyze", m_dir.filePath("ramp.csv"), "--max-missing", "0",
            "--db", url, "--spool", spool, "--db-wait", "3"};
        QCOMPARE(adcapture(analysis + QStringList {"--serial", "L0"}).status, 0);
        Run run;
        {
            QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
            holder.setDatabaseName(file);
            QVERIFY(holder.open());
            QSqlQuery lock(holder);
            QVERIFY(lock.exec("BEGIN EXCLUSIVE"));
            run = adcapture(analysis
                + QStringList {"--serial", "L1", "--json", m_dir.filePath("locked.json"), "--junit",
                    m_dir.filePath("locked.xml")});
            QVERIFY(lock.exec("ROLLBACK"));
        }
        QSqlDatabase::removeDatabase("holder");
        QCOMPARE(run.status, 0);
        const QStringList lines = run.errors.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].endsWith("the results database is unreachable now: the result will be "
                                   "spooled if it still is at the end"),
            qPrintable(lines[0]));
        QCOMPARE(lines[1],
            "adcapture: waiting for the results database " + file + ": locked by another program");
        QVERIFY2(lines[2].startsWith("adcapture: spooled to " + spool + '/'), qPrintable(lines[2]));
        const QJsonObject report = readJsonFile(m_dir.filePath("locked.json"));
        QVERIFY(report["spooled"].toString().startsWith(spool));
        QVERIFY(!report.contains("output_failures") && report["exit_status"].toInt() == 0);
        QFile junit(m_dir.filePath("locked.xml"));
        QVERIFY(junit.open(QIODevice::ReadOnly));
        const QByteArray xml = junit.readAll();
        QVERIFY(xml.contains("<property name=\"spooled\"") && !xml.contains("<error"));

        QCOMPARE(storedCounts(url), std::make_pair(1, 1));
        const Run send = adcapture({"--send-spool", "--db", url, "--spool", spool});
        QVERIFY2(send.status == 0, qPrintable(send.errors));
        QCOMPARE(storedCounts(url), std::make_pair(2, 2));
    }

    // A database that could never take the result stops the run before the
    // test, in one line, with no file written and nothing spooled.
    void configurationFaultStopsFirst_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong password") << "password"
                                        << "refused the password of user adtest";
        QTest::newRow("unknown database") << "database"
                                          << "database \"absent\" does not exist";
        QTest::newRow("no right to insert") << "rights"
                                            << "user reader may not insert into";
        QTest::newRow("newer schema") << "schema"
                                      << "schema version 99, newer than";
        QTest::newRow("a folder") << "folder"
                                  << "Is a directory";
    }
    void configurationFaultStopsFirst()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QTemporaryDir dir;
        PostgresServer server;
        QString url = "sqlite:" + dir.filePath("results.sqlite");
        if (fault == "password" || fault == "database" || fault == "rights") {
            if (PostgresServer::binaries().isEmpty())
                QSKIP("PostgreSQL is not installed (make test installs it)");
            QString error = server.start();
            QVERIFY2(error.isEmpty(), qPrintable(error));
            url = server.createDatabase("station", &error);
            QVERIFY2(!url.isEmpty(), qPrintable(error));
        }
        if (fault == "password")
            url.replace(PostgresServer::password(), "wrong");
        else if (fault == "database")
            url.replace("/station", "/absent");
        else if (fault == "folder")
            url = "sqlite:" + dir.path();
        if (fault == "rights" || fault == "schema") {
            QCOMPARE(ResultsDatabase().open(*parseDatabaseUrl(url)), QString()); // the schema
            QSqlDatabase db
                = QSqlDatabase::addDatabase(fault == "rights" ? "QPSQL" : "QSQLITE", "admin");
            const DatabaseUrl where = *parseDatabaseUrl(url);
            db.setDatabaseName(fault == "rights" ? where.database : where.path);
            db.setHostName(where.host);
            db.setPort(where.port);
            db.setUserName(where.user);
            db.setPassword(where.password);
            QVERIFY(db.open());
            QSqlQuery query(db);
            for (const char *sql : fault == "rights"
                    ? std::vector<const char *> {"CREATE ROLE reader LOGIN PASSWORD 'reader-pw'",
                        "GRANT SELECT ON ALL TABLES IN SCHEMA public TO reader"}
                    : std::vector<const char *> {
                        "UPDATE schema_info SET value = '99' WHERE key = 'schema_version'"})
                QVERIFY2(query.exec(sql), sql);
            db.close();
            db = {};
            QSqlDatabase::removeDatabase("admin");
            if (fault == "rights")
                url.replace("adtest:" + PostgresServer::password(), "reader:reader-pw");
        }
        const QString json = dir.filePath("r.json");
        const Run run = adcapture({"--analyze", m_dir.filePath("ramp.csv"), "--serial", "C1",
            "--db", url, "--spool", dir.filePath("spool"), "--json", json});
        QCOMPARE(run.status, 2);
        QCOMPARE(run.errors.count(u'\n'), 1);
        QVERIFY2(run.errors.contains(message), qPrintable(run.errors));
        QVERIFY(!QFile::exists(json) && !QFile::exists(dir.filePath("spool")));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestStationDatabase)
#include "tst_station_database.moc"
