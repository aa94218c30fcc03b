#pragma once

#include "DynamicResult.h"

#include <cstdint>
#include <span>

// The dynamic figures of a sine record: spectrum, SNR, SINAD, THD, SFDR,
// ENOB, and the four-parameter sine fit. Runs off the acquisition loop.
DynamicResult analyseDynamic(std::span<const std::uint16_t> codes, const DynamicOptions &options);
