#pragma once

#include <span>

// The counting noise of a code-density test's INL. The hits below each
// transition of the analysed codes are a share q of the n analysed samples,
// a binomial that is tied down at both ends (q is 0 before the first code and
// 1 after the last): a Brownian bridge, with variance q(1-q)/n. The INL at a
// transition moves by `gain` LSB per unit of q (the number of codes for a
// ramp; for a sine, where the input lingers at the ends, it follows the
// arcsine). End-point INL carries that noise as it is; best-fit INL less what
// the least-squares line takes out of it. Where the bridge is widest, at
// mid-scale for a ramp, the end-point figure is sigma_DNL * sqrt(codes) / 2:
// it grows with the number of codes integrated.
struct InlUncertainty
{
    // Half-widths at 99 % confidence, in LSB, of the worst code, and the code.
    double endPoint99 = 0;
    int endPointCode = -1;
    double bestFit99 = 0;
    int bestFitCode = -1;
};

// `share`, `gain` and `position` hold one entry per analysed code: the share
// of the analysed samples at or below it, the INL's gain at its upper
// transition and its code. `samples` is the number of analysed samples.
InlUncertainty inlUncertainty(std::span<const double> share, std::span<const double> gain,
    std::span<const double> position, double samples);
