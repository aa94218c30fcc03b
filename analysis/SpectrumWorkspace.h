#pragma once

#include "DynamicResult.h"

#include <complex>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class RealFft;

// What the power spectra of one analysis share: the transform and its
// buffers for the record length, and the window's coefficients, so that the
// second and third spectrum of a record neither plan nor compute a window
// again, nor fault in fresh pages.
class SpectrumWorkspace
{
public:
    SpectrumWorkspace();
    ~SpectrumWorkspace();
    SpectrumWorkspace(const SpectrumWorkspace &) = delete;
    SpectrumWorkspace &operator=(const SpectrumWorkspace &) = delete;

    // The one-sided power spectrum, as powerSpectrum() of Periodogram.h.
    std::vector<double> powerSpectrum(
        std::span<const double> samples, std::size_t length, SpectrumWindow window);

    // Bins 0..n/2 of the transform of one record of n samples, its mean
    // taken off, without a window: held until the next transform.
    std::span<const std::complex<double>> recordBins(std::span<const double> record);

    // One record of codes as doubles and bins 0..n/2 of its transform, its
    // mean taken off, without a window. The doubles are the transform's own
    // input, so that the record needs no copy of its own beside it: both
    // are held until the next transform.
    struct CodesTransform
    {
        std::span<const double> samples;
        std::span<const std::complex<double>> bins;
        // The codes' mean square about their mean, from their exact sums;
        // empty beyond 2^32 codes.
        std::optional<double> variance;
    };
    CodesTransform transformCodes(std::span<const std::uint16_t> codes);

private:
    struct Window;
    static std::shared_ptr<const Window> windowFor(SpectrumWindow kind, std::size_t length);
    RealFft &transform(std::size_t length);
    const Window &window(SpectrumWindow kind, std::size_t length);
    // Transforms the record, its mean taken off and times w unless w is empty.
    RealFft &transformRecord(std::span<const double> record, std::span<const double> w);

    std::unique_ptr<RealFft> m_fft;
    std::shared_ptr<const Window> m_window;
};
