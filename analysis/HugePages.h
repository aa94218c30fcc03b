#pragma once

#include <cstddef>
#include <vector>

// Room for `count` doubles in `values`, asked for in huge pages where it
// spans them and the system gives them on request: a spectrum of 2^19 bins
// then faults in two pages, not a thousand, each of which costs more than
// clearing it. The values are untouched; a vector already that large is
// left as it is.
void reserveInHugePages(std::vector<double> &values, std::size_t count);
