#pragma once

struct MeasurementState;
class WindowToolkit;

// Draws the histogram over the display window as one vertical orange bar per
// code, over whatever the plot area shows already; a count of fullScaleCount
// reaches the top. Stores the bar pitch it used in the state.
void redrawHistogram(MeasurementState &state, WindowToolkit &window);
