#include "DynamicAnalysisRunner.h"

#include "DynamicAnalysis.h"

#include <algorithm>

namespace {

DynamicResult defaultAnalysis(std::span<const std::uint16_t> codes, const DynamicOptions &options)
{
    return analyseDynamic(codes, options);
}

} // namespace

DynamicAnalysisRunner::DynamicAnalysisRunner(Analyser analyser, QObject *parent)
    : QObject(parent)
    , m_runner(
          [analyser = analyser ? std::move(analyser) : Analyser(defaultAnalysis)](
              const Input &input) {
              const std::size_t n = std::min(input.count, input.codes->size());
              return analyser(std::span(*input.codes).last(n), input.options);
          },
          [this](const DynamicResult &result) { emit finished(result); })
{ }

bool DynamicAnalysisRunner::start(std::shared_ptr<const std::vector<std::uint16_t>> codes,
    std::size_t count, const DynamicOptions &options)
{
    // Refused rather than held for later: the window takes the record up
    // afresh at its next refresh.
    if (busy() || !codes)
        return false;
    m_runner.start({std::move(codes), count, options});
    return true;
}
