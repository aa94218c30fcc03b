#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

struct CaptureReport;

// Something that went wrong beside the board's verdict, such as an output
// that could not be written (type "output", named by its role) or a results
// database that could not keep the result (type "database").
struct JUnitError
{
    QString type;
    QString name;
    QString message;
};

// The report as JUnit XML, which CI dashboards and test executives read as
// any test run: one test case per limit, failed when the limit fails, with
// the value and the limit; a capture without data is a failed case of its
// own, so that it never shows as a clean run. A capture that was interrupted
// or whose port went away, and each of `errors`, is an error case, so that
// the file tells whatever the exit status tells. The board's identity and the
// limits file are the suite's properties.
QByteArray junitReport(const CaptureReport &report, std::vector<JUnitError> errors = {});
