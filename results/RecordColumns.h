#pragma once

#include "ColumnTable.h"
#include "TestRecord.h"

#include <vector>

// The tables of the results database, each as its one column list.
const ColumnTable<TestRecord> &recordColumns(); // test_record
const ColumnTable<RecordedFigure> &figureColumns(); // record_figure
const ColumnTable<RecordedLimit> &limitColumns(); // record_limit
const ColumnTable<RecordedOutput> &outputColumns(); // record_output, since version 2

// A table of rows that belong to a test record, and the record's field
// that holds them.
template<typename Child> struct ChildTable
{
    const ColumnTable<Child> &columns;
    std::vector<Child> TestRecord::*rows;
};

// Calls `action` with each ChildTable, the figures first, until one fails.
template<typename Action> auto forEachChildTable(const Action &action)
{
    auto failed = action(ChildTable<RecordedFigure> {figureColumns(), &TestRecord::figures});
    if (!failed)
        failed = action(ChildTable<RecordedLimit> {limitColumns(), &TestRecord::limits});
    if (!failed)
        failed = action(ChildTable<RecordedOutput> {outputColumns(), &TestRecord::outputs});
    return failed;
}

// Figure names records once carried, and the catalog key each became.
struct LegacyFigureName
{
    const char *old;
    const char *key;
};
extern const LegacyFigureName legacyFigureNames[2];
