#pragma once

#include "DynamicResult.h"
#include "LatestInputRunner.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

// Runs the dynamic analysis of a record on a worker thread, one at a time,
// and hands the result back in the thread that started it. START's loop runs
// in the GUI thread, so a spectrum and sine fit there would stall it for the
// whole analysis; here the GUI thread only copies the record and is told when
// the result is ready. It never waits for the worker: a start while one
// still runs is refused, and a runner deleted meanwhile lets the worker end
// on its own copy of the data.
class DynamicAnalysisRunner : public QObject
{
    Q_OBJECT

public:
    using Analyser
        = std::function<DynamicResult(std::span<const std::uint16_t>, const DynamicOptions &)>;

    // Without an analyser, analyseDynamic.
    explicit DynamicAnalysisRunner(Analyser analyser = {}, QObject *parent = nullptr);

    bool busy() const { return m_runner.busy(); }
    // Analyses the last `count` codes; false, and nothing started, while an
    // analysis is still running.
    bool start(std::shared_ptr<const std::vector<std::uint16_t>> codes, std::size_t count,
        const DynamicOptions &options);

signals:
    void finished(const DynamicResult &result);

private:
    // The task owns what it reads: the codes through the shared pointer,
    // the options by value.
    struct Input
    {
        std::shared_ptr<const std::vector<std::uint16_t>> codes;
        std::size_t count = 0;
        DynamicOptions options;
    };

    LatestInputRunner<Input, DynamicResult> m_runner;
};
