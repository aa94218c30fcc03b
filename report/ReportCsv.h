#pragma once

#include "LotSummary.h"
#include "ReportStream.h"
#include "RowSpill.h"

#include <string>
#include <vector>

// The report as one CSV table, tidy: one header row, and every row as wide
// as the header, so that a data-frame library or a spreadsheet reads it at
// once. It holds four tables; the first column names the table of the row,
// so that `grep '^figure,'` or a filter on it picks one, and the others are
// the union of the tables' columns, each once, empty where a table has no
// such column:
//
//   yield:   lot, station, boards, passed, failed, yield    (station empty: the lot)
//   figure:  lot, name, n, mean, sigma, minimum, maximum, lower_limit,
//            upper_limit, cpk, label, unit
//   failure: lot, serial, record_id, station, time, limit, figure,
//            limit_value, side, value
//   retest:  lot, serial, attempt, record_id, time, station, result
//
// A figure's name is its key in the database; label and unit are the ones
// the other reports show (the key again, and no unit, for a key the
// station's catalog does not know). A number that does not exist (σ of one
// value, Cpk without a limit) is an empty field. A failed board has one
// failure row per limit it broke, or one with an empty limit when it failed
// for another reason.
std::string reportCsv(const std::vector<LotSummary> &lots);

// The same, lot by lot. The yields go out as each lot comes; the rows of the
// other tables wait in `spill` until the end, since each table lists every
// lot before the next table starts.
class CsvReport : public ReportStream
{
public:
    CsvReport(Sink out, RowSpill::Place spill);

protected:
    void begin() override;
    void writeLot(const LotSummary &lot) override;
    void end() override;

private:
    RowSpill m_figures;
    RowSpill m_failures;
    RowSpill m_retests;
};
