#include "SpectrumWorkspace.h"

#include "Periodogram.h"
#include "RealFft.h"

#include <numeric>

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

std::span<const double> SpectrumWorkspace::coefficients(SpectrumWindow window, std::size_t length)
{
    if (window == SpectrumWindow::Rectangular)
        return {};
    if (m_windowKind != window || m_window.size() != length) {
        m_window.clear();
        m_window = windowCoefficients(window, length);
        m_windowKind = window;
    }
    return m_window;
}

std::vector<double> SpectrumWorkspace::powerSpectrum(
    std::span<const double> samples, std::size_t length, SpectrumWindow window)
{
    if (length < 2 || samples.size() < length)
        return {};
    const std::size_t records = samples.size() / length;
    const std::span<const double> w = coefficients(window, length);
    // The rectangular window's coefficients are all one: its power is the
    // length, and a sample times one is the sample.
    const double windowPower
        = w.empty() ? double(length) : std::inner_product(w.begin(), w.end(), w.begin(), 0.0);
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
