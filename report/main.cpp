// adreport: the lot report of a test floor, from the results database that
// adcapture writes: yield per lot and station, retested boards, figure
// statistics with Cpk, and the failed boards, as text, CSV, JSON or HTML.

#include "LotSummary.h"
#include "ReportCsv.h"
#include "ReportHtml.h"
#include "ReportJson.h"
#include "ReportOptions.h"
#include "ReportText.h"

#include "AtomicFile.h"
#include "CommandLineError.h"
#include "IsoTime.h"
#include "ResultsDatabase.h"
#include "Version.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <sys/stat.h>

namespace {

constexpr int noRecords = 1;
constexpr int usageError = 2;

int fail(const std::string &message)
{
    reportError(message);
    return usageError;
}

// Whether `path` can take the report, asked before the database is read so
// that a typing error shows before a long query: something there that is not
// a regular file is never replaced, and the folder must take a new file.
std::string outputProblem(const std::string &path)
{
    if (path.empty() || path == "-")
        return {};
    struct stat target
    { };
    if (::stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode))
        return "cannot write " + path
            + ": it is not a regular file (a device, FIFO or directory is never replaced; - "
              "writes to standard output)";
    QSaveFile trial(QFile::decodeName(path.c_str()));
    errno = 0;
    if (!trial.open(QIODevice::WriteOnly)) {
        const std::string reason
            = errno != 0 ? std::strerror(errno) : trial.errorString().toStdString();
        return "cannot write " + path + ": " + reason;
    }
    trial.cancelWriting();
    return {};
}

// Writes the whole file or leaves the older one; "-" is standard output.
std::string writeOutput(const std::string &path, const std::string &contents)
{
    if (path == "-") {
        const bool written
            = std::fwrite(contents.data(), 1, contents.size(), stdout) == contents.size()
            && std::fflush(stdout) == 0;
        return written ? std::string()
                       : std::string("cannot write to standard output: ") + std::strerror(errno);
    }
    QString reason;
    if (!writeFileAtomically(
            QFile::decodeName(path.c_str()), QByteArray::fromStdString(contents), &reason))
        return "cannot write " + path + ": " + reason.toStdString();
    return {};
}

std::string noRecordsMessage(const ReportOptions &options)
{
    std::string message
        = options.lot.empty() ? "no results in the database" : "no results for lot " + options.lot;
    if (!options.since.empty())
        message += " since " + options.since;
    return message;
}

} // namespace

int main(int argc, char *argv[])
{
    setProgramName("adreport");
    ReportOptions options;
    if (const std::string error = options.parse(std::vector<std::string>(argv + 1, argv + argc));
        !error.empty())
        return fail(error + " (see adreport --help)");
    if (options.mode == ReportOptions::Mode::Help) {
        std::cout << ReportOptions::helpText();
        return 0;
    }
    if (options.mode == ReportOptions::Mode::Version) {
        std::cout << "adreport " << adtestVersion << "\n";
        return 0;
    }
    for (const std::string *path : {&options.csvPath, &options.jsonPath, &options.htmlPath}) {
        if (const std::string problem = outputProblem(*path); !problem.empty())
            return fail(problem);
    }
    const std::pair<const char *, const std::string *> paths[] = {
        {"--csv", &options.csvPath}, {"--json", &options.jsonPath}, {"--html", &options.htmlPath}};
    for (std::size_t i = 0; i < std::size(paths); ++i) {
        for (std::size_t j = i + 1; j < std::size(paths); ++j) {
            const std::string &a = *paths[i].second, &b = *paths[j].second;
            if (!a.empty() && a != "-"
                && QFileInfo(QString::fromStdString(a)).absoluteFilePath()
                    == QFileInfo(QString::fromStdString(b)).absoluteFilePath())
                return fail(std::string(paths[i].first) + " and " + paths[j].first
                    + ": name two different files");
        }
    }

    // Qt SQL finds its drivers through the application.
    QCoreApplication application(argc, argv);
    QString error;
    const std::optional<DatabaseUrl> url
        = parseDatabaseUrl(QString::fromLocal8Bit(options.databaseUrl.c_str()), &error);
    if (!url)
        return fail("--db: " + error.toStdString());
    ResultsDatabase database;
    if (error = database.open(*url, ResultsDatabase::Access::ReadOnly); !error.isEmpty())
        return fail(error.toStdString());
    RecordFilter filter;
    if (!options.lot.empty())
        filter.lot = options.lot;
    if (!options.since.empty())
        filter.since = options.since;
    const LoadResult loaded = database.load(filter);
    if (!loaded.error.isEmpty())
        return fail(loaded.error.toStdString());
    if (loaded.records.empty()) {
        reportError(noRecordsMessage(options));
        return noRecords;
    }

    const std::vector<LotSummary> lots = summarizeLots(loaded.records);
    const ReportScope scope {
        options.lot, options.since, isoTime(QDateTime::currentDateTimeUtc()), adtestVersion};
    if (!options.anyOutput())
        return writeOutput("-", reportText(lots)).empty() ? 0 : usageError;
    // Each output is written whatever became of the one before it; any that
    // failed makes the status 2.
    int status = 0;
    const auto write = [&status](const std::string &path, const auto &contents) {
        if (path.empty())
            return;
        if (const std::string problem = writeOutput(path, contents()); !problem.empty()) {
            reportError(problem);
            status = usageError;
        }
    };
    write(options.csvPath, [&] { return reportCsv(lots); });
    write(options.jsonPath, [&] { return reportJson(lots, scope); });
    write(options.htmlPath, [&] { return reportHtml(lots, scope); });
    return status;
}
