#pragma once

#include "CaptureOptions.h"

class OptionParser;

// adcapture's options for the dynamic analysis of the sample record:
// --sample-rate, --window, --harmonics, --averages and the limits --min-enob,
// --min-sinad, --max-thd and --min-sfdr.
void declareDynamicOptions(OptionParser &parser);
// Reads them into `options`; false with the parser's error set at a value
// that cannot be used.
bool readDynamicOptions(OptionParser &parser, CaptureOptions &options);

// The analysis options they give.
DynamicOptions dynamicOptionsOf(const CaptureOptions &options);
