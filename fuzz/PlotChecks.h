#pragma once

#include "FakeWindow.h"

#include <cstdlib>

// A fake window that stops the fuzzer when a bar leaves the plot area or
// reaches below the baseline.
class PlotCheckingWindow : public FakeWindow
{
public:
    void drawPlotLine(int x1, int y1, int x2, int y2, Rgb colour) override
    {
        const bool vertical = x1 == x2;
        const bool inside = x1 >= 0 && x1 < width && y2 >= 0 && y2 <= 4200;
        if (!vertical || y1 != 4200 || !inside)
            std::abort();
        ++linesDrawn;
        (void)colour;
    }

    long linesDrawn = 0;
};
