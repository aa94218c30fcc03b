#include "HugePages.h"

#include <sys/mman.h>

#include <cstdint>

namespace {

constexpr std::size_t hugePage = std::size_t(2) << 20;

} // namespace

void reserveInHugePages(std::vector<double> &values, std::size_t count)
{
    const std::size_t bytes = count * sizeof(double);
    if (bytes < hugePage || values.capacity() >= count)
        return;
    // A huge page's worth more than asked for, never touched, so that the
    // pages within it, aligned to their size, cover all that is asked for.
    values.reserve(count + hugePage / sizeof(double));
    const auto start = reinterpret_cast<std::uintptr_t>(values.data());
    const std::uintptr_t first = (start + hugePage - 1) / hugePage * hugePage;
    const std::uintptr_t end = (start + values.capacity() * sizeof(double)) / hugePage * hugePage;
    if (end > first) // a hint: refused, the pages are small
        ::madvise(reinterpret_cast<void *>(first), end - first, MADV_HUGEPAGE);
}
