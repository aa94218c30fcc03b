#include "HiddenHarmonic.h"

#include "FigureText.h"

// Where a harmonic's bins meet those of another component, whose power it
// cannot be told apart from: two main lobes overlap within twice the
// half-width, and a lobe meets its own mirror image within the half-width
// of fs/2.
HiddenHarmonic hiddenHarmonic(int order, std::size_t centre, std::size_t fundamental,
    std::size_t half, int halfWidth, const std::vector<std::pair<int, std::size_t>> &lower)
{
    const std::size_t overlap = 2 * std::size_t(halfWidth);
    const auto near = [&](std::size_t bin, std::size_t reach) {
        return (centre > bin ? centre - bin : bin - centre) <= reach;
    };
    const auto where = [&](const std::string &what, std::size_t bin) {
        const std::string at = " (bin " + std::to_string(centre)
            + (centre == bin ? ")" : ", " + what + " at bin " + std::to_string(bin) + ")");
        return "the " + ordinal(order) + " harmonic folds " + (centre == bin ? "onto " : "beside ")
            + what + at;
    };
    if (near(0, overlap))
        return {where("DC", 0), true};
    if (near(fundamental, overlap))
        return {where("the fundamental", fundamental), true};
    for (const auto &[lowerOrder, bin] : lower)
        if (near(bin, overlap))
            return {where("the " + ordinal(lowerOrder) + " harmonic", bin)};
    if (near(half, std::size_t(halfWidth)))
        return {where("fs/2", half) + ", where its level depends on its phase"};
    return {};
}
