#pragma once

struct MeasurementState;
class WindowToolkit;

// RESET: clears the counters, the extremes, bins 0 to 4096 and the sample
// record, clears the plot, then reads the display settings as SET does.
void resetMeasurement(MeasurementState &state, WindowToolkit &window);

// SET: clears the plot and reads the start code, end code and full-scale count
// from their fields; shows start, centre and end under the plot. The histogram,
// counters and extremes stay.
void applyDisplayWindow(MeasurementState &state, WindowToolkit &window);

// Writes the fixed demonstration pattern into the histogram. Bin 988 is not
// part of it and keeps what it held, which shows as a gap after a RESET.
void loadDemoPattern(MeasurementState &state);
