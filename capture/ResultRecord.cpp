#include "ResultRecord.h"

#include "CaptureReport.h"
#include "FigureCatalog.h"
#include "IsoTime.h"

#include <QCoreApplication>
#include <QUuid>

TestRecord resultRecord(const CaptureReport &report)
{
    TestRecord record;
    // A record sent to the database twice is stored once.
    record.uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    record.identity = report.identity;
    record.program = QCoreApplication::applicationName().toStdString();
    record.programVersion = QCoreApplication::applicationVersion().toStdString();
    record.startTime = isoTime(report.startTime);
    record.endTime = isoTime(report.endTime);
    record.port = report.port.toStdString();
    record.inputFile = report.inputFile.toStdString();
    record.frames = report.frames;
    record.kind = testKindKey(report.result.kind);
    record.origin = report.stop ? "capture" : "analysis";
    record.exitStatus = report.exitStatus();
    // Unknown for a board measured without a limit: the lot's yield leaves
    // it out.
    record.pass = report.boardPass();
    if (report.limitsFile) {
        record.limitsFile = report.limitsFile->path;
        record.limitsSha256 = report.limitsFile->sha256;
        record.limitsName = report.limitsFile->name;
        record.limitsRevision = report.limitsFile->revision;
    }
    record.figures = measuredFigures({report.result, report.dynamic});
    for (const LimitOutcome &outcome : report.limits) {
        RecordedLimit limit;
        limit.name = outcome.name;
        if (outcome.definition) {
            limit.figure = outcome.definition->figureKey;
            limit.upper = outcome.definition->upper();
        }
        limit.limit = outcome.limit;
        limit.value = outcome.value;
        limit.pass = outcome.pass;
        limit.source = outcome.source;
        limit.uncertainty = outcome.uncertainty;
        limit.withinUncertainty = outcome.withinUncertainty;
        record.limits.push_back(std::move(limit));
    }
    record.outputs = report.outputs;
    return record;
}
