#include "DynamicResult.h"

#include "EnumNames.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace {

constexpr EnumName<SpectrumWindow> windowKeys[] = {
    {SpectrumWindow::Rectangular, "rectangular"},
    {SpectrumWindow::Hann, "hann"},
    {SpectrumWindow::BlackmanHarris4, "blackman-harris-4"},
    {SpectrumWindow::BlackmanHarris7, "blackman-harris-7"},
};

} // namespace

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
