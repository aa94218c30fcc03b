#pragma once

#include <optional>

// The pass/fail limits a board is held to; an empty one is not checked.
struct CaptureLimits
{
    std::optional<double> maxDnl; // worst |DNL|, LSB
    std::optional<double> maxInl; // worst |end-point INL|, LSB
    std::optional<int> maxMissing; // missing codes
    std::optional<double> maxNoise; // DC noise, rms LSB
    // A limit passes only when the figure plus its 99 % uncertainty is
    // within it, so that a repeat of the test cannot overturn the verdict.
    bool guardBand = false;
    // The dynamic figures of the sample record's sine.
    std::optional<double> minEnob; // bits, from SINAD
    std::optional<double> minSinad; // dB
    std::optional<double> maxThd; // dB, negative
    std::optional<double> minSfdr; // dB

    bool needLinearity() const { return maxDnl || maxInl || maxMissing; }
    bool needDynamic() const { return minEnob || minSinad || maxThd || minSfdr; }
};

// Calls visit(key, target's field, source's field) for each limit, in the
// order reports list them; key is the name files and reports use.
template<typename Visitor>
void visitLimits(CaptureLimits &target, const CaptureLimits &source, Visitor visit)
{
    visit("max_dnl", target.maxDnl, source.maxDnl);
    visit("max_inl", target.maxInl, source.maxInl);
    visit("max_missing", target.maxMissing, source.maxMissing);
    visit("max_noise", target.maxNoise, source.maxNoise);
    visit("min_enob", target.minEnob, source.minEnob);
    visit("min_sinad", target.minSinad, source.minSinad);
    visit("max_thd", target.maxThd, source.maxThd);
    visit("min_sfdr", target.minSfdr, source.minSfdr);
}
