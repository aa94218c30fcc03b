#pragma once

#include "ChartAxis.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// The pieces the lot report's SVG charts are drawn from. Every text given
// as `content` is escaped HTML already.

inline constexpr const char *passColour = "#2e7d32";
inline constexpr const char *failColour = "#c62828";
inline constexpr const char *barColour = "#1565c0"; // passed boards and values
inline constexpr const char *noneColour = "#9e9e9e"; // boards held to no limit
inline constexpr const char *controlColour = "#6a1b9a"; // a run chart's control lines

// A coordinate: six significant digits.
std::string svgNumber(double value);
// The chart's drawing scales to its container: at most its own size, and
// narrower on a phone.
std::string svgOpen(double width, double height, const std::string &label);
std::string line(double x1, double y1, double x2, double y2, const std::string &attributes);
std::string text(double x, double y, const std::string &content, const std::string &attributes);
std::string rect(double x, double y, double width, double height, const char *fill,
    const std::string &title = {});
// The title centred over a chart `width` wide.
std::string chartTitle(double width, const std::string &title);
// The two axis lines round a plot.
std::string axes(double left, double top, double plotWidth, double plotHeight);
// The horizontal axis' ticks and labels under a plot.
std::string horizontalTicks(const ChartAxis &axis, double left, double plotWidth, double baseline);
// The vertical axis' ticks and labels left of a plot.
std::string verticalTicks(const ChartAxis &axis, double left, double top, double plotHeight);
// Coloured squares naming the classes a chart draws.
std::string legend(
    double x, double y, const std::vector<std::pair<const char *, std::string>> &keys);
// The range a chart shows: the values', and the limits unless one lies so
// far off (more than twice the span beyond the values) that it would
// squeeze the values to a sliver.
std::pair<double, double> shownRange(double low, double high, double span,
    const std::optional<double> &lowerLimit, const std::optional<double> &upperLimit);
// The narrowest axis a figure's chart gets (see ChartAxis), for values of
// `magnitude`.
double figureMinimumSpan(const std::string &figure, double magnitude);
// At most `characters` characters of valid UTF-8, with an ellipsis when cut.
std::string shortened(std::string_view text, std::size_t characters);
