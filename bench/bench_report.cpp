// adreport over a large results database: a PostgreSQL server of its own
// filled with a floor's records by INSERT ... SELECT generate_series, then
// the whole-database report (HTML; JSON and CSV) and one lot's HTML report,
// each with its wall time and the peak resident memory of adreport.
//
//   bench_report [RECORDS...]      default: 500000 5000000
//
// ADREPORT=path runs another adreport build over the same databases;
// ADREPORT_BASELINE=path runs that one too, after each run of the first, so
// that two builds compare on one database under one load.
// BENCH_REPORT_LIMIT=seconds ends a run that takes longer (reported as such).
// BENCH_REPORT_WAIT=file: after filling, waits until `file` exists before
// measuring, so that a long fill can start while adreport is still built.

#include "BenchSupport.h"
#include "FigureCatalog.h"
#include "LimitCatalog.h"
#include "PostgresServer.h"
#include "ResultsDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <QFileInfo>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr long long recordsPerLot = 100'000;
constexpr int stations = 20;
constexpr int limitedFigures = 3; // figures with a limit; one more has none

// Figure k of record g, the same wherever the statements compute it: a
// spread around 0.3 with a slow drift, above the limit for a few percent.
QString figureValue(const QString &g, int k)
{
    return QStringLiteral("(0.3 + 0.08 * sin(%1 * %2) + 0.05 * cos(%1 / 5000.0 + %3))")
        .arg(g)
        .arg(0.37 * (k + 1))
        .arg(k);
}

constexpr double limitValue = 0.42;

bool run(QSqlQuery &query, const QString &sql)
{
    if (query.exec(sql))
        return true;
    std::fprintf(stderr, "bench_report: %s\n", qPrintable(query.lastError().text()));
    return false;
}

// Records first + 1 .. last: lots of 100000 records, 20 stations, one board
// in five tested twice, one record in 50 an analysis of a file, a few
// without a serial, an origin or a verdict.
bool fill(QSqlQuery &query, long long first, long long last)
{
    QString pass = QStringLiteral("TRUE");
    for (int k = 0; k < limitedFigures; ++k)
        pass += QStringLiteral(" AND %1 <= %2").arg(figureValue("g", k)).arg(limitValue);
    const QString range = QStringLiteral("FROM generate_series(%1, %2) g").arg(first).arg(last);
    if (!run(query,
            QStringLiteral(
                "INSERT INTO test_record (id, record_uid, board_serial, lot, part, operator_name, "
                "station, program, program_version, start_time, end_time, port, input_file, "
                "frames, kind, origin, pass, exit_status, limits_file, limits_sha256) "
                "SELECT g, 'bench-' || g, CASE WHEN g % 997 = 0 THEN '' ELSE 'SN' || (g * 4 / 5) "
                "END, 'LOT-' || lpad((g / %1)::text, 4, '0'), 'ADC12', 'bench', "
                "'station-' || (g % %2), 'adcapture', '1', "
                "to_char(timestamp '2026-01-01' + g * interval '6 seconds', "
                "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), '', '/dev/ttyUSB0', "
                "CASE WHEN g % 50 = 0 THEN '/data/board.csv' ELSE '' END, 122880, 'ramp', "
                "CASE WHEN g % 50 = 0 THEN 'analysis' WHEN g % 333 = 0 THEN NULL "
                "ELSE 'capture' END, CASE WHEN g % 101 = 0 THEN NULL ELSE %3 END, 0, '', '' %4")
                .arg(recordsPerLot)
                .arg(stations)
                .arg(pass, range)))
        return false;
    std::size_t k = 0;
    for (const LimitDefinition &limit : limitCatalog()) {
        if (k == limitedFigures)
            break;
        const QString value = figureValue("g", int(k));
        if (!run(query,
                QStringLiteral("INSERT INTO record_figure (record_id, seq, name, value) SELECT g, "
                               "%1, '%2', %3 %4")
                    .arg(k)
                    .arg(QString::fromLatin1(limit.figureKey), value, range))
            || !run(query,
                QStringLiteral(
                    "INSERT INTO record_limit (record_id, seq, name, figure, limit_value, "
                    "is_upper, value, pass, source, uncertainty, within_uncertainty) SELECT g, "
                    "%1, '%2', '%3', %4, TRUE, %5, %5 <= %4, 'file', 0.01, abs(%5 - %4) < 0.01 "
                    "%6")
                    .arg(k)
                    .arg(QString::fromLatin1(limit.key), QString::fromLatin1(limit.figureKey))
                    .arg(limitValue)
                    .arg(value, range)))
            return false;
        ++k;
    }
    // One figure more, held to no limit.
    return run(query,
        QStringLiteral("INSERT INTO record_figure (record_id, seq, name, value) SELECT g, %1, "
                       "'%2', 1000 + (g % 37) %3")
            .arg(k)
            .arg(QString::fromLatin1(figureCatalog().back().key), range));
}

// Runs adreport with `arguments`; prints its wall time and peak memory. A
// run longer than `limit` seconds (0: no limit) is killed.
void measure(
    const char *what, const std::string &program, std::vector<std::string> arguments, int limit)
{
    arguments.insert(arguments.begin(), program);
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    QElapsedTimer timer;
    timer.start();
    const pid_t child = ::fork();
    if (child == 0) {
        if (!::freopen("/dev/null", "w", stdout))
            ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage {};
    bool killed = false;
    while (::wait4(child, &status, limit > 0 ? WNOHANG : 0, &usage) == 0) {
        if (!killed && timer.elapsed() > limit * 1000LL) {
            ::kill(child, SIGKILL);
            killed = true;
        }
        QThread::msleep(100);
    }
    if (killed) {
        std::printf("  %-34s  > %d s (stopped)\n", what, limit);
    } else {
        std::printf("  %-34s %8.2f s %8.1f MB  exit %d\n", what, double(timer.elapsed()) / 1000,
            double(usage.ru_maxrss) / 1024, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    std::fflush(stdout);
}

void waitFor(const QString &file)
{
    if (file.isEmpty())
        return;
    std::printf("waiting for %s\n", qPrintable(file));
    std::fflush(stdout);
    while (!QFileInfo::exists(file))
        QThread::sleep(1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    std::vector<long long> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::stoll(argv[i]));
    if (sizes.empty())
        sizes = {500'000, 5'000'000};
    const QByteArray other = qgetenv("ADREPORT");
    std::vector<std::pair<std::string, std::string>> programs {
        {"", other.isEmpty() ? ADREPORT_PATH : other.toStdString()}};
    if (const QByteArray baseline = qgetenv("ADREPORT_BASELINE"); !baseline.isEmpty())
        programs.emplace_back("baseline: ", baseline.toStdString());
    const int limit = qEnvironmentVariableIntValue("BENCH_REPORT_LIMIT");

    PostgresServer server;
    if (const QString why
        = server.start({"shared_buffers=256MB", "max_wal_size=4GB", "checkpoint_timeout=30min"});
        !why.isEmpty()) {
        std::fprintf(stderr, "bench_report: %s\n", qPrintable(why));
        return 1;
    }
    QTemporaryDir out;
    for (const long long records : sizes) {
        QString error;
        const QString name = QStringLiteral("floor%1").arg(records);
        const QString url = server.createDatabase(name, &error);
        ResultsDatabase database;
        if (url.isEmpty() || !(error = database.open(*parseDatabaseUrl(url))).isEmpty()) {
            std::fprintf(stderr, "bench_report: %s\n", qPrintable(error));
            return 1;
        }
        QSqlQuery query(database.connection().database());
        QElapsedTimer timer;
        timer.start();
        constexpr long long batch = 500'000;
        for (long long first = 1; first <= records; first += batch) {
            if (!run(query, "BEGIN") || !fill(query, first, std::min(records, first + batch - 1))
                || !run(query, "COMMIT"))
                return 1;
        }
        if (!run(query,
                QStringLiteral("SELECT setval(pg_get_serial_sequence('test_record', 'id'), %1)")
                    .arg(records))
            || !run(query, "ANALYZE"))
            return 1;
        std::printf("%lld records (%lld lots, %lld figures, %lld limits): filled in %.1f s\n",
            records, (records + recordsPerLot) / recordsPerLot, records * (limitedFigures + 1),
            records * limitedFigures, double(timer.elapsed()) / 1000);
        database.close();

        waitFor(qEnvironmentVariable("BENCH_REPORT_WAIT"));
        const std::string db = url.toStdString(), folder = out.path().toStdString();
        const std::vector<std::pair<std::string, std::vector<std::string>>> runs {
            {"one lot (LOT-0001), HTML",
                {"--db", db, "--lot", "LOT-0001", "--html", folder + "/lot.html"}},
            {"whole database, HTML", {"--db", db, "--html", folder + "/all.html"}},
            {"whole database, JSON and CSV",
                {"--db", db, "--json", folder + "/all.json", "--csv", folder + "/all.csv"}}};
        for (const auto &[what, arguments] : runs) {
            for (const auto &[label, program] : programs)
                measure((label + what).c_str(), program, arguments, limit);
        }
    }
    return 0;
}
