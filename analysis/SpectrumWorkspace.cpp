#include "SpectrumWorkspace.h"

#include "Periodogram.h"
#include "RealFft.h"
#include "SineSweep.h"
#include "WindowedSpectrum.h"

#include <cstring>
#include <mutex>
#include <numeric>
#include <type_traits>

namespace {

// The window last used is kept for the process: an analysis after another of
// the same length finds it made. Longer ones hold too much memory to keep.
constexpr std::size_t longestKeptWindow = std::size_t(1) << 22;

DoublePair loadPair(const double *from)
{
    DoublePair pair;
    std::memcpy(&pair, from, sizeof pair);
    return pair;
}

void storePair(double *to, DoublePair pair)
{
    std::memcpy(to, &pair, sizeof pair);
}

// The sum in two lanes, each of every other sample: rounding no worse than
// one running sum's.
double pairSum(std::span<const double> values)
{
    DoublePair sum = {0, 0};
    const std::size_t pairs = values.size() / 2;
    for (std::size_t i = 0; i < pairs; ++i)
        sum += loadPair(values.data() + 2 * i);
    double total = sum[0] + sum[1];
    if (values.size() % 2)
        total += values.back();
    return total;
}

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

RealFft &SpectrumWorkspace::transformRecord(
    std::span<const double> record, std::span<const double> w)
{
    const std::size_t length = record.size();
    RealFft &fft = transform(length);
    const double mean = pairSum(record) / double(length);
    double *in = fft.input();
    // Two samples at a time: the compiler leaves these loops scalar at the
    // optimisation the project builds with.
    const DoublePair pairMean = {mean, mean};
    const std::size_t pairs = length / 2;
    if (w.empty()) {
        for (std::size_t i = 0; i < pairs; ++i)
            storePair(in + 2 * i, loadPair(record.data() + 2 * i) - pairMean);
    } else {
        for (std::size_t i = 0; i < pairs; ++i)
            storePair(in + 2 * i,
                (loadPair(record.data() + 2 * i) - pairMean) * loadPair(w.data() + 2 * i));
    }
    for (std::size_t i = 2 * pairs; i < length; ++i)
        in[i] = (record[i] - mean) * (w.empty() ? 1.0 : w[i]);
    fft.run();
    return fft;
}

std::span<const std::complex<double>> SpectrumWorkspace::recordBins(std::span<const double> record)
{
    if (record.size() < 2)
        return {};
    return transformRecord(record, {}).output();
}

SpectrumWorkspace::CodesTransform SpectrumWorkspace::transformCodes(
    std::span<const std::uint16_t> codes)
{
    const std::size_t length = codes.size();
    if (length < 2)
        return {};
    RealFft &fft = transform(length);
    double *in = fft.input();
    // The codes' sum and sum of squares are exact in integers (the squares
    // up to 2^32 codes), as the sum is in doubles up to 2^37 codes: summed
    // while they are converted, not in passes of their own.
    // Written where the transform copies them first too, where it does.
    std::uint64_t sum = 0;
    std::uint64_t squares = 0;
    const auto convert = [&](auto alsoCopy, double *copy) {
        for (std::size_t i = 0; i < length; ++i) {
            const std::uint64_t code = codes[i];
            in[i] = double(code);
            if constexpr (alsoCopy)
                copy[i] = double(code);
            sum += code;
            squares += code * code;
        }
    };
    if (double *copy = fft.inputCopy())
        convert(std::true_type(), copy);
    else
        convert(std::false_type(), nullptr);
    const std::span<const double> samples(in, length);
    // The transform is linear: taking the mean off the samples takes
    // length * mean off bin 0 and changes no other bin.
    const double mean = double(sum) / double(length);
    fft.run();
    const std::span<std::complex<double>> bins = fft.output();
    bins[0] -= double(length) * mean;
    std::optional<double> variance;
    if (length <= (std::uint64_t(1) << 32)) {
        // n sum(c^2) - sum(c)^2 within 2^96: exact in 128 bits.
        using Wide = unsigned __int128;
        const Wide spread = Wide(length) * squares - Wide(sum) * sum;
        variance = double(spread) / double(length) / double(length);
    }
    return {samples, bins, variance};
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
    const std::size_t bins = length / 2 + 1;
    std::vector<double> power(bins, 0.0);
    for (std::size_t r = 0; r < records; ++r) {
        const RealFft &fft = transformRecord(samples.subspan(r * length, length), w);
        // A bin is a (real, imaginary) pair of doubles, added two lanes at once.
        const double *out = reinterpret_cast<const double *>(fft.output().data());
        for (std::size_t k = 0; k < bins; ++k) {
            const DoublePair bin = loadPair(out + 2 * k);
            const DoublePair squares = bin * bin;
            power[k] += squares[0] + squares[1];
        }
    }
    const double scale = 1.0 / (double(length) * windowPower * double(records));
    for (std::size_t k = 0; k < bins; ++k)
        power[k] = scaledBinPower(power[k], k, length, scale);
    return power;
}
