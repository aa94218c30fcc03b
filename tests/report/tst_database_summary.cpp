#include "DatabaseSummary.h"
#include "LimitCatalog.h"
#include "PostgresServer.h"
#include "ReportCharts.h"
#include "ReportCsv.h"
#include "ReportHtml.h"
#include "ReportJson.h"
#include "ReportText.h"
#include "ResultsDatabase.h"
#include "TestHelpers.h"
#include "TrendCharts.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// A floor's records drawn from a seeded generator: three lots, three
// stations, retests, analyses of files, boards without a serial, verdicts
// unknown, values that are not finite and a figure key the catalog lacks.
std::vector<TestRecord> seededRecords(unsigned seed, int count)
{
    std::mt19937 random(seed);
    const auto pick = [&random](int n) { return int(random() % unsigned(n)); };
    std::vector<TestRecord> records;
    for (int i = 0; i < count; ++i) {
        TestRecord record;
        const int board = pick(40);
        record.identity = {board < 3 ? "" : "SN" + std::to_string(board),
            std::string("LOT-") + char('A' + board % 3), "ADC12", "op",
            "station-" + std::to_string(pick(3))};
        record.program = "adcapture";
        record.startTime = QStringLiteral("2026-03-%1T08:%2:00Z")
                               .arg(1 + pick(28), 2, 10, QChar('0'))
                               .arg(pick(60), 2, 10, QChar('0'))
                               .toStdString();
        record.kind = "ramp";
        const int origin = pick(10);
        record.origin = origin < 7 ? "capture" : origin < 9 ? "analysis" : "";
        record.inputFile = record.origin == "analysis" ? "/data/b.csv" : "";
        record.frames = 1000 + i;
        record.exitStatus = pick(4);
        bool pass = true;
        std::size_t k = 0;
        for (const LimitDefinition &definition : limitCatalog()) {
            if (++k > 4)
                break;
            const double limit = definition.direction == LimitDirection::AtMost ? 1.0 : 0.2;
            const double value
                = pick(25) == 0 ? notANumber : 0.9 * std::sin(i * 1.7 + double(k)) + 0.5;
            const bool held = std::isfinite(value)
                && (definition.direction == LimitDirection::AtMost ? value <= limit
                                                                   : value >= limit);
            pass = pass && held;
            record.figures.push_back({std::string(definition.figureKey), value});
            const bool uncertain = pick(3) > 0;
            record.limits.push_back({std::string(definition.key), std::string(definition.figureKey),
                limit + 0.05 * pick(2), definition.direction == LimitDirection::AtMost,
                std::isfinite(value) ? std::optional(value) : std::nullopt, held, "file",
                uncertain ? std::optional(0.05) : std::nullopt,
                uncertain && std::fabs(value - limit) < 0.05});
        }
        record.figures.push_back({"site_temperature", 20 + pick(100) / 10.0});
        record.pass = pick(12) == 0 ? std::nullopt : std::optional(pass);
        records.push_back(record);
    }
    return records;
}

// Every board of one serial tested `tests` times at one station, a minute apart.
std::vector<TestRecord> retestedBoard(int tests)
{
    std::vector<TestRecord> records;
    for (int i = 0; i < tests; ++i) {
        TestRecord record;
        record.identity = {"SN-RETEST", "LOT-R", "ADC12", "op", "station-1"};
        record.startTime
            = QStringLiteral("2026-04-01T08:%1:00Z").arg(i, 2, 10, QChar('0')).toStdString();
        record.origin = "capture";
        const LimitDefinition &definition = limitCatalog().front();
        const double value = 0.1 * i;
        record.figures.push_back({std::string(definition.figureKey), value});
        record.limits.push_back({std::string(definition.key), std::string(definition.figureKey), 10,
            definition.direction == LimitDirection::AtMost, value, true, "file", {}, false});
        record.pass = i % 2 == 0;
        records.push_back(record);
    }
    return records;
}

// Equal, numbers to 12 digits.
bool sameJson(const QJsonValue &a, const QJsonValue &b)
{
    if (a.isDouble() && b.isDouble())
        return std::fabs(a.toDouble() - b.toDouble()) <= 1e-12 * std::fabs(b.toDouble()) + 1e-15;
    if (a.isArray() && b.isArray()) {
        const QJsonArray x = a.toArray(), y = b.toArray();
        for (qsizetype i = 0; i < x.size() && x.size() == y.size(); ++i) {
            if (!sameJson(x[i], y[i]))
                return false;
        }
        return x.size() == y.size();
    }
    if (a.isObject() && b.isObject()) {
        const QJsonObject x = a.toObject(), y = b.toObject();
        if (x.keys() != y.keys())
            return false;
        for (const QString &key : x.keys()) {
            if (!sameJson(x[key], y[key])) {
                qWarning("%s differs", qPrintable(key));
                return false;
            }
        }
        return true;
    }
    return a == b;
}

} // namespace

class TestDatabaseSummary : public QObject
{
    Q_OBJECT

    PostgresServer m_server;
    QString m_serverError;
    QTemporaryDir m_folder;
    int m_databases = 0;

    // A new database of the row's backend holding `records`.
    bool fill(ResultsDatabase &database, const std::vector<TestRecord> &records)
    {
        QFETCH(bool, sqlite);
        QString text, error;
        if (sqlite)
            text = QStringLiteral("sqlite:%1/db%2.sqlite").arg(m_folder.path()).arg(++m_databases);
        else if (m_serverError.isEmpty())
            text = m_server.createDatabase(QStringLiteral("db%1").arg(++m_databases), &error);
        const std::optional<DatabaseUrl> url = parseDatabaseUrl(text);
        if (!url || !(error = database.open(*url)).isEmpty()) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        for (const TestRecord &record : records) {
            if (const InsertResult stored = database.insert(record); !stored.error.isEmpty()) {
                qWarning("%s", qPrintable(stored.error));
                return false;
            }
        }
        // A report reads a database it may not write.
        database.close();
        return database.open(*url, ResultsDatabase::Access::ReadOnly).isEmpty();
    }

    void skipWithoutServer()
    {
        QFETCH(bool, sqlite);
        if (!sqlite && !m_serverError.isEmpty())
            QSKIP(qPrintable(m_serverError));
    }

    static void backends()
    {
        QTest::addColumn<bool>("sqlite");
        QTest::newRow("sqlite") << true;
        QTest::newRow("postgresql") << false;
    }

private slots:
    void initTestCase()
    {
        m_serverError = PostgresServer::binaries().isEmpty()
            ? QStringLiteral("PostgreSQL is not installed (Debian package postgresql)")
            : m_server.start();
    }

    void cleanupTestCase() { m_server.stop(); }

    void sameAsInMemory_data()
    {
        QTest::addColumn<bool>("sqlite");
        QTest::addColumn<QString>("lot");
        QTest::addColumn<QString>("since");
        for (const bool sqlite : {true, false}) {
            const char *backend = sqlite ? "sqlite" : "postgresql";
            QTest::addRow("%s, every lot", backend) << sqlite << QString() << QString();
            QTest::addRow("%s, one lot", backend) << sqlite << "LOT-B" << QString();
            QTest::addRow("%s, since", backend) << sqlite << QString() << "2026-03-15";
        }
    }

    // The counts, figures, histograms, lists and charts the database gives
    // are those the records give in memory; every output reads the same.
    void sameAsInMemory()
    {
        skipWithoutServer();
        QFETCH(QString, lot);
        QFETCH(QString, since);
        ResultsDatabase database;
        QVERIFY(fill(database, seededRecords(20261208, 400)));
        RecordFilter filter;
        if (!lot.isEmpty())
            filter.lot = lot.toStdString();
        if (!since.isEmpty())
            filter.since = since.toStdString();
        const LoadResult loaded = database.load(filter);
        QVERIFY(loaded.error.isEmpty());
        const std::vector<LotSummary> expected = summarizeLots(loaded.records);
        const DatabaseSummary counted
            = summarizeDatabase(database.connection(), filter, ReportBounds {});
        QVERIFY2(counted.error.isEmpty(), qPrintable(counted.error));
        QCOMPARE(counted.lots.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const LotSummary &want = expected[i], &got = counted.lots[i];
            QCOMPARE(got.figures.size(), want.figures.size());
            for (std::size_t k = 0; k < want.figures.size(); ++k) {
                const FigureStatistics &a = want.figures[k], &b = got.figures[k];
                QCOMPARE(b.name, a.name);
                QCOMPARE(b.count, a.count);
                QVERIFY(std::fabs(b.mean - a.mean) <= 1e-12 * std::fabs(a.mean) + 1e-15);
                QCOMPARE(b.sigma.has_value(), a.sigma.has_value());
                QVERIFY(std::fabs(b.sigma.value_or(0) - a.sigma.value_or(0)) <= 1e-12);
                QCOMPARE(b.lowerLimit, a.lowerLimit);
                QCOMPARE(b.upperLimit, a.upperLimit);
                QCOMPARE(histogramChart(b), histogramChart(a));
            }
            QCOMPARE(got.runs.size(), want.runs.size());
            for (std::size_t k = 0; k < want.runs.size(); ++k)
                QCOMPARE(runChart(got.runs[k]), runChart(want.runs[k]));
        }
        QCOMPARE(reportText(counted.lots), reportText(expected));
        QCOMPARE(reportCsv(counted.lots), reportCsv(expected));
        const ReportScope scope {lot.toStdString(), since.toStdString(), "now", "1"};
        QCOMPARE(reportHtml(counted.lots, scope), reportHtml(expected, scope));
        // The database adds the values in an order of its own: the means and
        // what follows from them may differ in the last bits.
        QVERIFY(sameJson(
            QJsonDocument::fromJson(QByteArray::fromStdString(reportJson(counted.lots, scope)))
                .object(),
            QJsonDocument::fromJson(QByteArray::fromStdString(reportJson(expected, scope)))
                .object()));
    }

    void noRecord_data() { backends(); }
    void noRecord()
    {
        skipWithoutServer();
        ResultsDatabase database;
        QVERIFY(fill(database, {}));
        const DatabaseSummary counted
            = summarizeDatabase(database.connection(), RecordFilter {}, ReportBounds {});
        QVERIFY(counted.error.isEmpty());
        QVERIFY(counted.lots.empty());
    }

    void pointsWithoutLimit_data() { backends(); }
    // Results that hold no limit on a charted figure: their points and
    // histogram counts have no verdict, as in memory; the others keep theirs.
    void pointsWithoutLimit()
    {
        skipWithoutServer();
        ResultsDatabase database;
        std::vector<TestRecord> records = seededRecords(11, 90);
        for (std::size_t i = 0; i < records.size(); i += 3)
            records[i].limits.clear();
        QVERIFY(fill(database, records));
        const LoadResult loaded = database.load({});
        const std::vector<LotSummary> expected = summarizeLots(loaded.records);
        const DatabaseSummary counted = summarizeDatabase(database.connection(), {}, {});
        QVERIFY2(counted.error.isEmpty(), qPrintable(counted.error));
        QCOMPARE(counted.lots.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const LotSummary &want = expected[i], &got = counted.lots[i];
            QVERIFY(!want.runs.empty());
            QCOMPARE(got.runs.size(), want.runs.size());
            for (std::size_t k = 0; k < want.runs.size(); ++k)
                QCOMPARE(runChart(got.runs[k]), runChart(want.runs[k]));
            QCOMPARE(got.figures.size(), want.figures.size());
            for (std::size_t k = 0; k < want.figures.size(); ++k)
                QCOMPARE(histogramChart(got.figures[k]), histogramChart(want.figures[k]));
        }
        QCOMPARE(reportText(counted.lots), reportText(expected));
    }

    void bounded_data() { backends(); }
    // A board tested more often than a history holds shows its last results
    // and the report says so; the run chart and the lists likewise.
    void bounded()
    {
        skipWithoutServer();
        ResultsDatabase database;
        std::vector<TestRecord> records = retestedBoard(7);
        for (TestRecord &other : seededRecords(7, 30)) {
            other.identity.lot = "LOT-R";
            records.push_back(other);
        }
        QVERIFY(fill(database, records));
        const ReportBounds bounds {4, 3, 2};
        const DatabaseSummary counted
            = summarizeDatabase(database.connection(), RecordFilter {}, bounds);
        QVERIFY2(counted.error.isEmpty(), qPrintable(counted.error));
        QCOMPARE(counted.lots.size(), std::size_t(1));
        const LotSummary &lot = counted.lots.front();
        QCOMPARE(lot.histories.size(), std::size_t(2));
        QVERIFY(lot.total.boards > 2);
        const auto retest = std::ranges::find(
            lot.retested, "SN-RETEST", [](const RetestedBoard &b) { return b.board.serial; });
        QVERIFY(retest != lot.retested.end() || lot.retestedBoards > lot.retested.size());
        QVERIFY(lot.retested.size() <= 2);
        for (const RetestedBoard &board : lot.histories) {
            QVERIFY(board.attempts.size() <= 3);
            QCOMPARE(board.attempts.size(), std::min<std::size_t>(board.results, 3));
            // The last results, oldest first.
            QVERIFY(std::ranges::is_sorted(board.attempts, {}, &BoardAttempt::time));
        }
        QVERIFY(lot.failedBoards.size() <= 2);
        QVERIFY(lot.reanalyses.size() <= 2);
        for (const FigureRun &run : lot.runs) {
            QVERIFY(run.points.size() <= 4);
            if (run.tests > 4)
                QVERIFY(runChart(run).find("the last 4 of " + std::to_string(run.tests))
                    != std::string::npos);
        }
        const std::vector<std::string> notes = cutNotes(lot);
        const auto says = [&notes](const std::string &part) {
            return std::ranges::any_of(notes,
                [&part](const std::string &note) { return note.find(part) != std::string::npos; });
        };
        QVERIFY(says("Board histories: the first 2 of " + std::to_string(lot.total.boards)));
        QVERIFY(says("show their last 3 results only"));
        QVERIFY(reportText(counted.lots).find("Cut: ") != std::string::npos);

        // The board tested 7 times, as its own lot's first board.
        RecordFilter one;
        one.since = "2026-04-01";
        const DatabaseSummary single = summarizeDatabase(database.connection(), one, bounds);
        QVERIFY(single.error.isEmpty());
        const RetestedBoard &history = single.lots.front().histories.front();
        QCOMPARE(history.board.serial, std::string("SN-RETEST"));
        QCOMPARE(history.results, std::size_t(7));
        QCOMPARE(history.attempts.size(), std::size_t(3));
        QCOMPARE(history.attempts.front().time, std::string("2026-04-01T08:04:00.000Z"));
        QCOMPARE(history.attempts.back().time, std::string("2026-04-01T08:06:00.000Z"));
        QCOMPARE(single.lots.front().runs.front().points.back().value, 0.6);
    }

    void readOnlyFolder_data()
    {
        QTest::addColumn<bool>("wal"); // the journal mode an older version set
        QTest::addColumn<bool>("writerConnected"); // in WAL mode, during the report
        QTest::newRow("rollback journal") << false << false;
        QTest::newRow("WAL") << true << false;
        QTest::newRow("WAL and a writer") << true << true;
    }
    // The ranked records go to a table of the report's own: a reader that
    // may not write the station's folder gets the whole report, and no file
    // appears beside the database.
    void readOnlyFolder()
    {
        QFETCH(bool, wal);
        QFETCH(bool, writerConnected);
        if (geteuid() != 0)
            QSKIP("acting as a station's user and as a reader needs root");
        constexpr unsigned station = 1; // daemon; the reader is nobody
        const QTemporaryDir base;
        const QString folder = base.filePath("results");
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::chmod(QFile::encodeName(base.path()).constData(), 0755), 0);
        QCOMPARE(::chown(QFile::encodeName(folder).constData(), station, station), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
        const DatabaseUrl url = *parseDatabaseUrl("sqlite:" + folder + "/r.sqlite");
        QCOMPARE(asUser(station,
                     [&] {
                         ResultsDatabase db;
                         QString error = db.open(url);
                         for (const TestRecord &record : seededRecords(5, 80)) {
                             if (error.isEmpty())
                                 error = db.insert(record).error;
                         }
                         return error.toStdString();
                     }),
            std::string());
        {
            QSqlDatabase writer = QSqlDatabase::addDatabase("QSQLITE", "writer");
            writer.setDatabaseName(url.path);
            QVERIFY(writer.open());
            if (wal)
                QVERIFY(QSqlQuery(writer).exec("PRAGMA journal_mode = WAL"));
            if (!writerConnected)
                writer.close();
            else // its last change still in the -wal file
                QVERIFY(QSqlQuery(writer).exec("UPDATE test_record SET lot = 'LOT-W'"));
            const auto files = [&folder] {
                QStringList found;
                for (const QFileInfo &file :
                    QDir(folder).entryInfoList(QDir::Files | QDir::System | QDir::Hidden))
                    found << file.fileName() + ' ' + QString::number(file.size());
                return found;
            };
            const QStringList before = files();
            ResultsDatabase root;
            QVERIFY(root.open(url, ResultsDatabase::Access::ReadOnly).isEmpty());
            const LoadResult loaded = root.load();
            root.close();
            const std::string read = asNobody([&] {
                ResultsDatabase db;
                const QString error = db.open(url, ResultsDatabase::Access::ReadOnly);
                const DatabaseSummary counted = error.isEmpty()
                    ? summarizeDatabase(db.connection(), RecordFilter {}, ReportBounds {})
                    : DatabaseSummary {{}, error};
                return counted.error.isEmpty() ? reportText(counted.lots)
                                               : counted.error.toStdString();
            });
            QCOMPARE(read, reportText(summarizeLots(loaded.records)));
            QCOMPARE(files(), before);
            writer.close();
        }
        QSqlDatabase::removeDatabase("writer");
    }

    void badSince()
    {
        const DatabaseConnection unopened;
        RecordFilter filter;
        filter.since = "yesterday";
        QVERIFY(summarizeDatabase(unopened, filter, ReportBounds {}).error.contains("yesterday"));
    }
};

QTEST_GUILESS_MAIN(TestDatabaseSummary)
#include "tst_database_summary.moc"
