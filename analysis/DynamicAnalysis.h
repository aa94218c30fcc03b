#pragma once

#include "DynamicResult.h"

#include <cstdint>
#include <future>
#include <optional>
#include <span>

// The dynamic figures of a sine record: spectrum, SNR, SINAD, THD, SFDR,
// ENOB, and the four-parameter sine fit. Runs off the acquisition loop.
DynamicResult analyseDynamic(std::span<const std::uint16_t> codes, const DynamicOptions &options);

// Makes ready, on another thread, what analyseDynamic() of `samples` codes
// with these options would make first (the transform's plan), so that the
// caller's work meanwhile hides the wait. The future's destructor waits for
// it; an analysis run before it is ready waits for it too.
std::future<void> prepareDynamicAnalysis(std::size_t samples, const DynamicOptions &options);

// The coherent input nearest to `frequency` (cycles per sample) for a record
// of `samples`: a whole number of cycles J, odd and prime to `samples`, so
// that every sample falls on another phase of the sine and the record holds
// no leakage. Empty when no such J lies inside 0..samples/2.
std::optional<CoherentSuggestion> coherentSuggestion(double frequency, std::uint64_t samples);
