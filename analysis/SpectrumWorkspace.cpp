#include "SpectrumWorkspace.h"

#include "Periodogram.h"
#include "RealFft.h"

#include <mutex>
#include <numeric>

namespace {

// The window last used is kept for the process: an analysis after another of
// the same length finds it made. Longer ones hold too much memory to keep.
constexpr std::size_t longestKeptWindow = std::size_t(1) << 22;

} // namespace

struct SpectrumWorkspace::Window
{
    Window(SpectrumWindow kind, std::size_t length)
        : kind(kind)
        , coefficients(windowCoefficients(kind, length))
        , power(std::inner_product(
              coefficients.begin(), coefficients.end(), coefficients.begin(), 0.0))
    { }

    SpectrumWindow kind;
    std::vector<double> coefficients;
    double power; // the sum of the coefficients' squares
};

std::shared_ptr<const SpectrumWorkspace::Window> SpectrumWorkspace::windowFor(
    SpectrumWindow kind, std::size_t length)
{
    static std::mutex keptMutex;
    static std::shared_ptr<const Window> kept;
    {
        const std::lock_guard lock(keptMutex);
        if (kept && kept->kind == kind && kept->coefficients.size() == length)
            return kept;
    }
    auto made = std::make_shared<const Window>(kind, length);
    if (length <= longestKeptWindow) {
        const std::lock_guard lock(keptMutex);
        kept = made;
    }
    return made;
}

SpectrumWorkspace::SpectrumWorkspace() = default;

SpectrumWorkspace::~SpectrumWorkspace() = default;

RealFft &SpectrumWorkspace::transform(std::size_t length)
{
    if (!m_fft || m_fft->length() != length) {
        m_fft.reset();
        m_fft = std::make_unique<RealFft>(length);
    }
    return *m_fft;
}

const SpectrumWorkspace::Window &SpectrumWorkspace::window(SpectrumWindow kind, std::size_t length)
{
    if (!m_window || m_window->kind != kind || m_window->coefficients.size() != length)
        m_window = windowFor(kind, length);
    return *m_window;
}

std::vector<double> SpectrumWorkspace::powerSpectrum(
    std::span<const double> samples, std::size_t length, SpectrumWindow window)
{
    if (length < 2 || samples.size() < length)
        return {};
    const std::size_t records = samples.size() / length;
    // The rectangular window's coefficients are all one: its power is the
    // length, and a sample times one is the sample.
    const bool rectangular = window == SpectrumWindow::Rectangular;
    const std::span<const double> w
        = rectangular ? std::span<const double>() : this->window(window, length).coefficients;
    const double windowPower = rectangular ? double(length) : m_window->power;
    RealFft &fft = transform(length);
    const std::size_t bins = length / 2 + 1;
    std::vector<double> power(bins, 0.0);
    for (std::size_t r = 0; r < records; ++r) {
        const std::span<const double> record = samples.subspan(r * length, length);
        const double mean = std::accumulate(record.begin(), record.end(), 0.0) / double(length);
        double *in = fft.input();
        if (w.empty())
            for (std::size_t i = 0; i < length; ++i)
                in[i] = record[i] - mean;
        else
            for (std::size_t i = 0; i < length; ++i)
                in[i] = (record[i] - mean) * w[i];
        fft.run();
        const std::span<const std::complex<double>> out = fft.output();
        for (std::size_t k = 0; k < bins; ++k)
            power[k] += out[k].real() * out[k].real() + out[k].imag() * out[k].imag();
    }
    // Parseval: sum |X_k|^2 over all N bins = N sum (x w)^2. The one-sided
    // bins count twice but for DC and, at even N, fs/2.
    const double scale = 1.0 / (double(length) * windowPower * double(records));
    for (std::size_t k = 0; k < bins; ++k) {
        const bool single = k == 0 || (length % 2 == 0 && k == length / 2);
        power[k] *= (single ? 1 : 2) * scale;
    }
    return power;
}
