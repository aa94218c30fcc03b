#pragma once

#include "CodeDensityResult.h"

#include <QStringList>

// How each resolution figure of a DC noise test comes about, with the
// numbers put in, so that figures that disagree (the noise-free resolution
// from 6.6 sigma against the peak-to-peak seen) read as the different
// measures they are. Empty unless the histogram fits a DC test with noise.
QStringList resolutionNotes(const CodeDensityResult &result);
