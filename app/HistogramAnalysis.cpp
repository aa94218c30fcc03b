#include "HistogramAnalysis.h"

HistogramAnalysis analyseHistogram(const HistogramInput &input)
{
    HistogramAnalysis analysis;
    analysis.counts = input.counts;
    const std::vector<std::uint16_t> noRecord;
    analysis.result
        = analyseCodeDensity(input.counts, input.record ? *input.record : noRecord, input.options);
    analysis.referenceName = input.referenceName;
    if (!input.referenceName.isEmpty()) {
        // The kind the live histogram has, so that both give the same figures.
        CodeDensityOptions same = input.options;
        if (!analysis.result.kindUndetermined)
            same.kind = analysis.result.kind;
        analysis.referenceResult = analyseCodeDensity(input.referenceCounts, same);
    }
    return analysis;
}
