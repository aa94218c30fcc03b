#include "DynamicResult.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace {

struct WindowKey
{
    SpectrumWindow window;
    const char *key;
};

constexpr WindowKey windowKeys[] = {
    {SpectrumWindow::Rectangular, "rectangular"},
    {SpectrumWindow::Hann, "hann"},
    {SpectrumWindow::BlackmanHarris4, "blackman-harris-4"},
    {SpectrumWindow::BlackmanHarris7, "blackman-harris-7"},
};

} // namespace

const char *spectrumWindowKey(SpectrumWindow window)
{
    for (const WindowKey &entry : windowKeys)
        if (entry.window == window)
            return entry.key;
    return "";
}

std::optional<SpectrumWindow> spectrumWindowFromKey(const std::string &key)
{
    std::string lower = key;
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const WindowKey &entry : windowKeys)
        if (lower == entry.key)
            return entry.window;
    return std::nullopt;
}
