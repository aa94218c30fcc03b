#pragma once

#include "LotSummary.h"
#include "RecordStore.h"
#include "ReportBounds.h"

#include <QString>

#include <functional>
#include <vector>

class DatabaseConnection;

struct DatabaseSummary
{
    std::vector<LotSummary> lots; // by lot name; empty when no record matched
    QString error;
};

// The report of each lot the filter finds, counted by the database: the
// same figures summarizeLots gives from the records, with the per-test parts
// (board lists, histories, run charts) cut to `bounds`. The records it
// reports are ranked once into temporary tables of the connection's own:
// nothing in the database is written, but a server's user needs the right to
// make temporary tables. Its memory does not grow with the records: SQLite's
// temporary tables spill to a deleted file of the system's temporary folder.
//
// The histograms come counted; each figure's values list stays empty. Its
// mean and σ may differ from summarizeLots' in the last bits, the database
// adding the values in an order of its own.
DatabaseSummary summarizeDatabase(
    const DatabaseConnection &connection, const RecordFilter &filter, const ReportBounds &bounds);

// The same lot by lot, by name: each lot's statements read that lot's
// records alone, and `each` takes its summary before the next is read, so
// that the memory holds one lot whatever the number of lots. All lots come
// from one view of the database. Returns empty, or why the database could
// not be read; the lots before a failure were handed over.
QString summarizeDatabase(const DatabaseConnection &connection, const RecordFilter &filter,
    const ReportBounds &bounds, const std::function<void(LotSummary &&)> &each);
