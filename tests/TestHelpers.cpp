#include "TestHelpers.h"

#include <algorithm>
#include <numeric>

std::string frame(std::string_view body)
{
    return '\x02' + std::string(body) + '\r';
}

std::string repeated(std::string_view text, int count)
{
    std::string result;
    result.reserve(text.size() * std::max(count, 0));
    for (int i = 0; i < count; ++i)
        result += text;
    return result;
}

long long histogramSum(const MeasurementState &state, int first, int last)
{
    return std::accumulate(
        state.histogram.begin() + first, state.histogram.begin() + last + 1, 0LL);
}
