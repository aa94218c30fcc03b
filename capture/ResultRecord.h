#pragma once

#include "TestRecord.h"

struct CaptureReport;

// The report as the results database keeps it: the board, the figures by
// their report names, every limit with the figure it holds and its verdict,
// and the files written.
TestRecord resultRecord(const CaptureReport &report);
