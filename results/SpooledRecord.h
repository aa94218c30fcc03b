#pragma once

#include "StationResult.h"
#include "TestRecord.h"

#include <string>
#include <string_view>

// A test record the results database could not take when it was made, as a
// spool file keeps it: every field of the record under its column's name,
// its figures, limits and outputs under their tables' names, the database it
// was meant for (without a password) and why it was not stored.
struct SpooledRecord
{
    static constexpr int format = 1; // the file's "adtest_spooled_record"

    TestRecord record; // its id is the database's and is not kept
    std::string database; // DatabaseUrl::where()
    std::string reason; // the database's error, one line
};

// The JSON text of a spool file.
std::string spooledRecordText(const SpooledRecord &spooled);

// Reads a spool file's text back: every column of every table must be
// there, so that a record never reaches the database short of a field.
StationResult<SpooledRecord> readSpooledRecord(std::string_view text);
