#pragma once

#include "LotSummary.h"
#include "RecordStore.h"
#include "ReportBounds.h"

#include <QString>

#include <vector>

class DatabaseConnection;

struct DatabaseSummary
{
    std::vector<LotSummary> lots; // by lot name; empty when no record matched
    QString error;
};

// The report of each lot the filter finds, counted by the database: the
// same figures summarizeLots gives from the records, with the per-test parts
// (board lists, histories, run charts) cut to `bounds`. Its memory does not
// grow with the records; the connection is only read.
//
// The histograms come counted; each figure's values list stays empty. Its
// mean and σ may differ from summarizeLots' in the last bits, the database
// adding the values in an order of its own.
DatabaseSummary summarizeDatabase(
    const DatabaseConnection &connection, const RecordFilter &filter, const ReportBounds &bounds);
