#pragma once

#include "CaptureOptions.h"

#include <cstdint>
#include <future>
#include <span>

class OptionParser;

// adcapture's options for the dynamic analysis of the sample record:
// --sample-rate, --window, --harmonics, --averages and --fundamental (its
// limits come from the limit catalog).
void declareDynamicOptions(OptionParser &parser);
// Reads them into `options`; false with the parser's error set at a value
// that cannot be used.
bool readDynamicOptions(OptionParser &parser, CaptureOptions &options);

// Why the fundamental named in Hz cannot be used: no sample rate known, or
// not below half of it; empty when it can, or when none is named.
QString namedFundamentalProblem(const CaptureOptions &options);

// The analysis options they give.
DynamicOptions dynamicOptionsOf(const CaptureOptions &options);

// The dynamic analysis of what adcapture read: the sample record captured
// or read with --analyze. A histogram read with --analyze holds no order of
// samples, and says so.
DynamicResult analyseCapturedRecord(
    std::span<const std::uint16_t> record, const CaptureOptions &options, bool fromHistogram);

// Makes ready on another thread what analyseCapturedRecord() of a record of
// `samples` would make first; the future's destructor waits for it.
std::future<void> prepareCapturedAnalysis(
    std::size_t samples, const CaptureOptions &options, bool fromHistogram);
