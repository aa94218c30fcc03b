#pragma once

#include "DynamicResult.h"

#include <complex>
#include <cstddef>
#include <span>

class SpectrumWorkspace;

// A second tone within or beside the fundamental's main lobe, which the
// spectrum would add to the fundamental or split with it: found in what the
// sine fit leaves, and told apart from the fundamental by fitting each with
// the other taken off, in turn, until both settle.
struct CloseTone
{
    bool found = false;
    bool separated = false; // both fits settled on tones of their own
    double bin = 0; // where it lies, in bins of a record
    SineFitFigures fundamental; // the fundamental's fit, the second tone taken off
    SineFitFigures tone; // the second tone's fit, the fundamental taken off
};

// Looks within `reachBins` of the fitted tone for a second one standing
// `overNoise` times above the mean noise bin of what the fit leaves; one on
// a harmonic's folded place is the harmonics' to measure. With the record's
// rectangular bins (the samples one record, its mean taken off), what the
// fit leaves of a long record is read from them; else its spectrum is taken through
// `spectra`, the analysis's own.
CloseTone findCloseTone(std::span<const double> samples, const SineFitFigures &fit,
    std::size_t length, int harmonics, double reachBins, double overNoise,
    SpectrumWorkspace &spectra, std::span<const std::complex<double>> recordBins = {});
