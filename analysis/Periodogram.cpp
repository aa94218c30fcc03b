#include "Periodogram.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>
#include <numeric>

namespace {

// FFTW's planner keeps global state: making and destroying plans must not
// run on two threads at once. Executing a plan may.
std::mutex plannerMutex;

struct FftwFree
{
    void operator()(void *memory) const { fftw_free(memory); }
};

// A real-to-complex transform of n samples with its own aligned buffers.
class RealFft
{
public:
    explicit RealFft(std::size_t n)
        : m_in(fftw_alloc_real(n))
        , m_out(fftw_alloc_complex(n / 2 + 1))
    {
        if (!m_in || !m_out)
            throw std::bad_alloc();
        const std::lock_guard lock(plannerMutex);
        m_plan = fftw_plan_dft_r2c_1d(int(n), m_in.get(), m_out.get(), FFTW_ESTIMATE);
        if (!m_plan)
            throw std::bad_alloc();
    }
    ~RealFft()
    {
        const std::lock_guard lock(plannerMutex);
        fftw_destroy_plan(m_plan);
    }
    RealFft(const RealFft &) = delete;
    RealFft &operator=(const RealFft &) = delete;

    double *input() { return m_in.get(); }
    const fftw_complex *output() const { return m_out.get(); }
    void run() { fftw_execute(m_plan); }

private:
    std::unique_ptr<double[], FftwFree> m_in;
    std::unique_ptr<fftw_complex[], FftwFree> m_out;
    fftw_plan m_plan = nullptr;
};

// Cosine-sum windows: w[n] = sum_k (-1)^k a_k cos(2 pi k n / N).
std::span<const double> cosineTerms(SpectrumWindow window)
{
    static constexpr double rectangular[] = {1.0};
    static constexpr double hann[] = {0.5, 0.5};
    static constexpr double blackmanHarris4[] = {0.35875, 0.48829, 0.14128, 0.01168};
    static constexpr double blackmanHarris7[] = {0.27105140069342, 0.43329793923448,
        0.21812299954311, 0.06592544638803, 0.01081174209837, 0.00077658482522, 0.00001388721735};
    switch (window) {
    case SpectrumWindow::Rectangular:
        return rectangular;
    case SpectrumWindow::Hann:
        return hann;
    case SpectrumWindow::BlackmanHarris4:
        return blackmanHarris4;
    case SpectrumWindow::BlackmanHarris7:
        return blackmanHarris7;
    }
    return rectangular;
}

} // namespace

std::vector<double> windowCoefficients(SpectrumWindow window, std::size_t n)
{
    const std::span<const double> terms = cosineTerms(window);
    std::vector<double> w(n, terms[0]);
    if (terms.size() == 1)
        return w;
    // cos(a) by rotation, taken afresh every block so that rounding cannot
    // build up; cos(k a) from it by the Chebyshev recurrence: no cosine a
    // sample, which would cost as much as the FFT.
    constexpr std::size_t block = 1024;
    const double step = 2 * std::numbers::pi / double(n);
    const double stepCos = std::cos(step);
    const double stepSin = std::sin(step);
    double c = 1;
    double s = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % block == 0) {
            c = std::cos(step * double(i));
            s = std::sin(step * double(i));
        }
        double previous = 1;
        double current = c;
        double value = terms[0];
        for (std::size_t k = 1; k < terms.size(); ++k) {
            value += (k % 2 ? -1 : 1) * terms[k] * current;
            const double next = 2 * c * current - previous;
            previous = current;
            current = next;
        }
        w[i] = value;
        const double next = c * stepCos - s * stepSin;
        s = s * stepCos + c * stepSin;
        c = next;
    }
    return w;
}

int mainLobeHalfWidth(SpectrumWindow window)
{
    // Leakage beyond these, for a tone anywhere between two bins: -33 dBc
    // (Hann), -86 dBc (four-term), -123 dBc (seven-term).
    switch (window) {
    case SpectrumWindow::Rectangular:
        return 0;
    case SpectrumWindow::Hann:
        return 2;
    case SpectrumWindow::BlackmanHarris4:
        return 4;
    case SpectrumWindow::BlackmanHarris7:
        return 6;
    }
    return 0;
}

std::vector<double> powerSpectrum(
    std::span<const double> samples, std::size_t length, SpectrumWindow window)
{
    if (length < 2 || samples.size() < length)
        return {};
    const std::size_t records = samples.size() / length;
    const std::vector<double> w = windowCoefficients(window, length);
    const double windowPower = std::inner_product(w.begin(), w.end(), w.begin(), 0.0);
    RealFft fft(length);
    const std::size_t bins = length / 2 + 1;
    std::vector<double> power(bins, 0.0);
    for (std::size_t r = 0; r < records; ++r) {
        const std::span<const double> record = samples.subspan(r * length, length);
        const double mean = std::accumulate(record.begin(), record.end(), 0.0) / double(length);
        double *in = fft.input();
        for (std::size_t i = 0; i < length; ++i)
            in[i] = (record[i] - mean) * w[i];
        fft.run();
        const fftw_complex *out = fft.output();
        for (std::size_t k = 0; k < bins; ++k)
            power[k] += out[k][0] * out[k][0] + out[k][1] * out[k][1];
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

double fullScalePower(int bits)
{
    const double peak = std::ldexp(1.0, bits) / 2;
    return peak * peak / 2;
}

double powerDbfs(double power, int bits)
{
    return power > 0 ? std::max(-300.0, 10 * std::log10(power / fullScalePower(bits))) : -300.0;
}

double medianNoiseBin(const std::vector<double> &power)
{
    // Some 8192 bins spread over the band tell the median to 2 %.
    constexpr std::size_t enough = 8192;
    const std::size_t stride = std::max<std::size_t>(1, power.size() / enough);
    std::vector<double> bins;
    bins.reserve(power.size() / stride + 1);
    for (std::size_t k = 1; k < power.size(); k += stride)
        bins.push_back(power[k]);
    auto middle = bins.begin() + std::ptrdiff_t(bins.size() / 2);
    std::nth_element(bins.begin(), middle, bins.end());
    return *middle / std::numbers::ln2;
}
