#include "SvgParts.h"

#include "FigureCatalog.h"
#include "ReportFormat.h"

#include <algorithm>
#include <cmath>

std::string svgNumber(double value)
{
    return numberText(value, 6);
}

// The chart's drawing scales to its container: at most its own size, and
// narrower on a phone.
std::string svgOpen(double width, double height, const std::string &label)
{
    return "<svg viewBox=\"0 0 " + svgNumber(width) + " " + svgNumber(height) + "\" width=\""
        + svgNumber(width) + "\" height=\"" + svgNumber(height)
        + "\" class=\"chart\" role=\"img\" aria-label=\"" + htmlEscaped(label) + "\"><title>"
        + htmlEscaped(label) + "</title>";
}

std::string line(double x1, double y1, double x2, double y2, const std::string &attributes)
{
    return "<line x1=\"" + svgNumber(x1) + "\" y1=\"" + svgNumber(y1) + "\" x2=\"" + svgNumber(x2)
        + "\" y2=\"" + svgNumber(y2) + "\" " + attributes + "/>";
}

// `content` is escaped already.
std::string text(double x, double y, const std::string &content, const std::string &attributes)
{
    return "<text x=\"" + svgNumber(x) + "\" y=\"" + svgNumber(y) + "\" " + attributes + ">"
        + content + "</text>";
}

std::string rect(
    double x, double y, double width, double height, const char *fill, const std::string &title)
{
    return "<rect x=\"" + svgNumber(x) + "\" y=\"" + svgNumber(y) + "\" width=\"" + svgNumber(width)
        + "\" height=\"" + svgNumber(height) + "\" fill=\"" + fill + "\">"
        + (title.empty() ? "" : "<title>" + htmlEscaped(title) + "</title>") + "</rect>";
}

std::string chartTitle(double width, const std::string &title)
{
    return text(width / 2, 16, htmlEscaped(shortened(title, 60)),
        "text-anchor=\"middle\" font-size=\"13\" font-weight=\"bold\"");
}

// The horizontal axis' ticks and labels under a plot.
std::string horizontalTicks(const ChartAxis &axis, double left, double plotWidth, double baseline)
{
    std::string svg;
    for (const double tick : axis.ticks) {
        const double x = left + axis.place(tick) * plotWidth;
        svg += line(x, baseline, x, baseline + 4, "stroke=\"#444\"");
        svg += text(x, baseline + 16, axis.label(tick), "text-anchor=\"middle\" font-size=\"11\"");
    }
    return svg;
}

// The vertical axis' ticks and labels left of a plot.
std::string verticalTicks(const ChartAxis &axis, double left, double top, double plotHeight)
{
    std::string svg;
    for (const double tick : axis.ticks) {
        const double y = top + (1 - axis.place(tick)) * plotHeight;
        svg += line(left - 4, y, left, y, "stroke=\"#444\"");
        svg += text(left - 6, y + 4, axis.label(tick), "text-anchor=\"end\" font-size=\"11\"");
    }
    return svg;
}

std::string axes(double left, double top, double plotWidth, double plotHeight)
{
    return line(left, top + plotHeight, left + plotWidth, top + plotHeight, "stroke=\"#444\"")
        + line(left, top, left, top + plotHeight, "stroke=\"#444\"");
}

// The range a chart shows: the values', and the limits unless one lies so
// far off (more than twice the span beyond the values) that it would
// squeeze the values to a sliver.
std::pair<double, double> shownRange(double low, double high, double span,
    const std::optional<double> &lowerLimit, const std::optional<double> &upperLimit)
{
    const double reach = 2 * std::max(high - low, span);
    const double shownLow = lowerLimit ? std::min(low, std::max(*lowerLimit, low - reach)) : low;
    const double shownHigh
        = upperLimit ? std::max(high, std::min(*upperLimit, high + reach)) : high;
    return {shownLow, shownHigh};
}

// Coloured squares naming the classes a chart draws.
std::string legend(
    double x, double y, const std::vector<std::pair<const char *, std::string>> &keys)
{
    std::string svg;
    for (const auto &[colour, name] : keys) {
        svg += rect(x, y - 9, 10, 10, colour) + text(x + 14, y, name, "font-size=\"11\"");
        x += 24 + 6.5 * double(name.size());
    }
    return svg;
}

std::string shortened(std::string_view text, std::size_t characters)
{
    const std::string valid = validUtf8(text);
    std::size_t count = 0;
    for (std::size_t i = 0; i < valid.size(); ++i) {
        if ((static_cast<unsigned char>(valid[i]) & 0xC0) != 0x80 && count++ == characters)
            return valid.substr(0, i) + "\u2026";
    }
    return valid;
}

// The narrowest axis a figure's chart gets: ten of its last shown digit's
// steps for a measure, a few for a count, so that equal values sit on a
// readable scale instead of one whose ticks all print alike.
double figureMinimumSpan(const std::string &figure, double magnitude)
{
    if (const FigureDefinition *definition = findFigure(figure))
        return definition->nature == FigureNature::Count
            ? 4
            : 100 * std::pow(10, -definition->decimals());
    return magnitude > 0 ? magnitude * 0.01 : 1;
}
