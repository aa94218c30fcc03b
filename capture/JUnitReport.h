#pragma once

#include <QByteArray>

struct CaptureReport;

// The report as JUnit XML, which CI dashboards and test executives read as
// any test run: one test case per limit, failed when the limit fails, with
// the value and the limit; a capture without data is a failed case of its
// own, so that it never shows as a clean run. The board's identity and the
// limits file are the suite's properties.
QByteArray junitReport(const CaptureReport &report);
