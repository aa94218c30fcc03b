#include "DynamicResult.h"

#include "EnumNames.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace {

constexpr EnumName<SpectrumWindow> windowKeys[] = {
    {SpectrumWindow::Rectangular, "rectangular", "Rectangular"},
    {SpectrumWindow::Hann, "hann", "Hann"},
    {SpectrumWindow::BlackmanHarris4, "blackman-harris-4", "Blackman-Harris 4-term"},
    {SpectrumWindow::BlackmanHarris7, "blackman-harris-7", "Blackman-Harris 7-term"},
};

} // namespace

const char *spectrumWindowName(SpectrumWindow window)
{
    return labelOf(windowKeys, window);
}

const char *spectrumWindowKey(SpectrumWindow window)
{
    return nameOf(windowKeys, window);
}

std::optional<SpectrumWindow> spectrumWindowFromKey(const std::string &key)
{
    std::string lower = key;
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return valueNamed(windowKeys, lower);
}
