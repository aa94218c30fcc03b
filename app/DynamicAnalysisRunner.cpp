#include "DynamicAnalysisRunner.h"

#include "DynamicAnalysis.h"

#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace {

DynamicResult defaultAnalysis(std::span<const std::uint16_t> codes, const DynamicOptions &options)
{
    return analyseDynamic(codes, options);
}

} // namespace

DynamicAnalysisRunner::DynamicAnalysisRunner(Analyser analyser, QObject *parent)
    : QObject(parent)
    , m_analyser(analyser ? std::move(analyser) : Analyser(defaultAnalysis))
{
    connect(&m_watcher, &QFutureWatcher<DynamicResult>::finished, this, [this] {
        m_busy = false;
        emit finished(m_watcher.result());
    });
}

bool DynamicAnalysisRunner::start(std::shared_ptr<const std::vector<std::uint16_t>> codes,
    std::size_t count, const DynamicOptions &options)
{
    if (m_busy || !codes)
        return false;
    m_busy = true;
    // The task owns what it reads: the codes through the shared pointer, the
    // analyser and the options by value.
    m_watcher.setFuture(QtConcurrent::run([analyser = m_analyser, codes, count, options] {
        const std::size_t n = std::min(count, codes->size());
        return analyser(std::span(*codes).last(n), options);
    }));
    return true;
}
