#include "PostgresServer.h"
#include "ResultsDatabase.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <set>

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

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestStationDatabase)
#include "tst_station_database.moc"
