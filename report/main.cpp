// adreport: the lot report of a test floor, from the results database that
// adcapture writes: yield per lot and station, retested boards, figure
// statistics with Cpk, and the failed boards, as text, CSV, JSON or HTML.

#include "DatabaseSummary.h"
#include "ReportCsv.h"
#include "ReportHtml.h"
#include "ReportJson.h"
#include "ReportOptions.h"
#include "ReportText.h"

#include "CommandLineError.h"
#include "IsoTime.h"
#include "OutputTarget.h"
#include "ResultsDatabase.h"
#include "Version.h"
#include "WholeFile.h"

#include <QCoreApplication>
#include <QDateTime>

#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int noRecords = 1;
constexpr int usageError = 2;

int fail(const std::string &message)
{
    reportError(message);
    return usageError;
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
    const NamedPath paths[]
        = {{"--csv", options.csvPath}, {"--json", options.jsonPath}, {"--html", options.htmlPath}};
    if (const std::string clash = outputClash(paths); !clash.empty())
        return fail(clash);
    // Opened before the database is read, so that a typing error shows
    // before a long query.
    WholeFile files[std::size(paths)];
    for (std::size_t i = 0; i < std::size(paths); ++i) {
        if (!files[i].open(paths[i].path))
            return fail(files[i].error());
    }
    WholeFile &csvFile = files[0], &jsonFile = files[1], &htmlFile = files[2];

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
    const ReportScope scope {
        options.lot, options.since, isoTime(QDateTime::currentDateTimeUtc()), adtestVersion};
    // Each report takes the lots one by one as the database gives them: the
    // memory holds one lot, whatever their number.
    struct Output
    {
        WholeFile &file;
        std::unique_ptr<ReportStream> report;
    };
    const auto into
        = [](WholeFile &file) { return [&file](std::string_view bytes) { file.append(bytes); }; };
    std::vector<Output> outputs;
    WholeFile standardOutput;
    if (!options.anyOutput()) {
        if (!standardOutput.open("-"))
            return fail(standardOutput.error());
        outputs.push_back({standardOutput, std::make_unique<TextReport>(into(standardOutput))});
    }
    if (csvFile.isOpen())
        outputs.push_back(
            {csvFile, std::make_unique<CsvReport>(into(csvFile), RowSpill::Place::File)});
    if (jsonFile.isOpen())
        outputs.push_back({jsonFile, std::make_unique<JsonReport>(into(jsonFile), scope)});
    if (htmlFile.isOpen())
        outputs.push_back({htmlFile, std::make_unique<HtmlReport>(into(htmlFile), scope)});
    std::size_t lots = 0;
    // The database counts; only the bounded lists come back whole.
    const QString summaryError
        = summarizeDatabase(database.connection(), filter, options.bounds, [&](LotSummary &&lot) {
              ++lots;
              for (Output &output : outputs)
                  output.report->add(lot);
          });
    // A file of a report that failed is not written: WholeFile drops it.
    if (!summaryError.isEmpty())
        return fail(summaryError.toStdString());
    if (lots == 0) {
        reportError(noRecordsMessage(options));
        return noRecords;
    }
    // Each output is written whatever became of the one before it; any that
    // failed makes the status 2.
    int status = 0;
    for (Output &output : outputs) {
        output.report->finish();
        if (const std::string &error = output.report->error(); !error.empty()) {
            output.file.discard();
            reportError("cannot write " + output.file.path() + ": " + error);
            status = usageError;
        } else if (!output.file.commit()) {
            reportError(output.file.error());
            status = usageError;
        }
    }
    return status;
}
