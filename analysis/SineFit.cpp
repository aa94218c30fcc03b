#include "SineFit.h"

#include "SineSweep.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>
#include <optional>
#include <vector>

namespace {

constexpr int maxIterations = 30;
constexpr double settledStepBins = 1e-6;
// The fit stops after a step this small: the next would move a lone tone's
// frequency by some 1e-11 bins, and one beside a second tone, whose steps
// shrink only a hundredfold each, by 1e-7, below what coherence asks.
constexpr double lastStepBins = 1e-5;
constexpr double widestWanderBins = 1.5;
// What a fit leaves is read from the sweep's sums, sum y^2 - 2 x.b + x.A x,
// where it is at least this part of sum y^2: the sums' rounding, some
// 1e-14 of it, then moves the residual's rms by a few parts in a million
// at most. A smaller residual, as of a record without noise, is swept.
constexpr double smallestResidualShare = 1e-8;
// The normal equations of a least-squares fit of N unknowns, with the sums
// of doubles or, for the sweep, of a DoublePair of two blocks' sums.
template<int N, typename T = double> struct Normal
{
    std::array<std::array<T, N>, N> lhs {};
    std::array<T, N> rhs {};
    T squares {}; // the sum of y^2

    // The sums of one lane of a pair.
    Normal<N> lane(int which) const
    {
        Normal<N> sums;
        sums.squares = squares[which];
        for (int i = 0; i < N; ++i) {
            sums.rhs[i] = rhs[i][which];
            for (int j = 0; j < N; ++j)
                sums.lhs[i][j] = lhs[i][j][which];
        }
        return sums;
    }
    void add(const Normal &other)
    {
        squares += other.squares;
#pragma GCC unroll 4
        for (int i = 0; i < N; ++i) {
            rhs[i] += other.rhs[i];
#pragma GCC unroll 4
            for (int j = 0; j < N; ++j)
                lhs[i][j] += other.lhs[i][j];
        }
    }
    void addRow(const std::array<T, N> &row, T y)
    {
        squares += y * y;
#pragma GCC unroll 4
        for (int i = 0; i < N; ++i) {
            rhs[i] += row[i] * y;
#pragma GCC unroll 4
            for (int j = i; j < N; ++j)
                lhs[i][j] += row[i] * row[j];
        }
    }
    // The row {c, s, 1, t c, t s} of the four-parameter step, its sums that
    // follow from others left out: s^2 = 1 - c^2, s (t s) = t - c (t c)
    // and (t s)^2 = t^2 - (t c)^2, t summing to nought about the middle;
    // s (t c) = c (t s). completeStepSums() fills them in.
    void addStepRow(T t, T c, T s, T y) requires(N == 5)
    {
        const T tc = t * c;
        const T ts = t * s;
        lhs[0][0] += c * c;
        lhs[0][1] += c * s;
        lhs[0][2] += c;
        lhs[0][3] += tc * c;
        lhs[0][4] += tc * s;
        lhs[1][2] += s;
        lhs[2][3] += tc;
        lhs[2][4] += ts;
        lhs[3][3] += tc * tc;
        lhs[3][4] += tc * ts;
        squares += y * y;
        rhs[0] += y * c;
        rhs[1] += y * s;
        rhs[2] += y;
        rhs[3] += y * tc;
        rhs[4] += y * ts;
    }
    void completeStepSums(double samples) requires(N == 5)
    {
        // The sum of t^2 over the samples, t = n - (samples - 1) / 2.
        const double squares = samples * (samples * samples - 1) / 12;
        lhs[1][1] = samples - lhs[0][0];
        lhs[1][3] = lhs[0][4];
        lhs[1][4] = -lhs[0][3];
        lhs[2][2] = samples;
        lhs[4][4] = squares - lhs[3][3];
    }
    // sum (y - row.x)^2 over the rows summed, from the upper triangle of
    // the sums; nothing where rounding may swamp it.
    std::optional<double> leftOver(const std::array<double, N> &x) const
    {
        double fitted = 0;
        double across = 0;
        for (int i = 0; i < N; ++i) {
            fitted += x[i] * (lhs[i][i] * x[i] - 2 * rhs[i]);
            for (int j = i + 1; j < N; ++j)
                across += x[i] * lhs[i][j] * x[j];
        }
        const double left = squares + fitted + 2 * across;
        if (!(left >= smallestResidualShare * squares))
            return std::nullopt;
        return left;
    }
    // Gaussian elimination with partial pivoting; false when singular.
    bool solve(std::array<double, N> &x) const
    {
        auto a = lhs;
        auto b = rhs;
        for (int i = 0; i < N; ++i)
            for (int j = 0; j < i; ++j)
                a[i][j] = a[j][i];
        double largest = 0;
        for (int i = 0; i < N; ++i)
            largest = std::max(largest, std::abs(a[i][i]));
        for (int c = 0; c < N; ++c) {
            int pivot = c;
            for (int r = c + 1; r < N; ++r)
                if (std::abs(a[r][c]) > std::abs(a[pivot][c]))
                    pivot = r;
            if (!(std::abs(a[pivot][c]) > 1e-12 * largest))
                return false;
            std::swap(a[c], a[pivot]);
            std::swap(b[c], b[pivot]);
            for (int r = c + 1; r < N; ++r) {
                const double f = a[r][c] / a[c][c];
                for (int k = c; k < N; ++k)
                    a[r][k] -= f * a[c][k];
                b[r] -= f * b[c];
            }
        }
        for (int c = N - 1; c >= 0; --c) {
            double sum = b[c];
            for (int k = c + 1; k < N; ++k)
                sum -= a[c][k] * x[k];
            x[c] = sum / a[c][c];
        }
        return true;
    }
};

// Adds the blocks' sums to the total, the first lane's first, and starts
// the blocks' sums afresh.
template<int N> void addLanes(Normal<N> &total, Normal<N, DoublePair> &blocks, bool both)
{
    total.add(blocks.lane(0));
    if (both)
        total.add(blocks.lane(1));
    blocks = {};
}

struct Linear
{
    double a = 0; // cos term, about the middle
    double b = 0; // sin term
    double offset = 0;
};

// The figures of the fit p at `frequency`; what it leaves from `left`, the
// sum of its squares where the sums gave it, else by a sweep of the record.
SineFitFigures figuresOf(std::span<const double> samples, double frequency, const Linear &p,
    int iterations, std::optional<double> left = std::nullopt)
{
    SineFitFigures fit;
    fit.iterations = iterations;
    fit.frequency = frequency;
    fit.offset = p.offset;
    fit.amplitude = std::hypot(p.a, p.b);
    const double middle = (double(samples.size()) - 1) / 2;
    // a cos(wt) + b sin(wt) = amplitude cos(wt + phi), t = n - middle.
    fit.phase = std::remainder(
        std::atan2(-p.b, p.a) - 2 * std::numbers::pi * frequency * middle, 2 * std::numbers::pi);
    if (left) {
        fit.residualRms = std::sqrt(*left / double(samples.size()));
        return fit;
    }
    double squares = 0;
    DoublePair blocks = {};
    sineSweep(
        samples, frequency,
        [&](std::size_t, bool, DoublePair, DoublePair c, DoublePair s, DoublePair y) {
            const DoublePair e = y - (p.a * c + p.b * s + p.offset);
            blocks += e * e;
        },
        [&](bool both) {
            squares += blocks[0];
            if (both)
                squares += blocks[1];
            blocks = DoublePair {};
        });
    fit.residualRms = samples.empty() ? 0 : std::sqrt(squares / double(samples.size()));
    return fit;
}

// The sums of one sweep at `frequency` over the columns cos, sin, 1 and,
// for N = 5, t cos and t sin. The first three are the three-parameter
// fit's; the model's slope in the frequency, 2 pi t (b cos - a sin) / N, is
// a combination of the last two once a and b are known, so that one sweep
// gives both the fit at the frequency and the Gauss-Newton step from there.
template<int N> Normal<N> sweepSums(std::span<const double> samples, double frequency)
{
    static_assert(N == 3 || N == 5);
    Normal<N> total;
    Normal<N, DoublePair> blocks;
    const DoublePair one = {1, 1};
    sineSweep(
        samples, frequency,
        [&](std::size_t, bool, DoublePair t, DoublePair c, DoublePair s, DoublePair y) {
            if constexpr (N == 3)
                blocks.addRow({c, s, one}, y);
            else
                blocks.addStepRow(t, c, s, y);
        },
        [&](bool both) { addLanes(total, blocks, both); });
    if constexpr (N == 5)
        total.completeStepSums(double(samples.size()));
    return total;
}

// The three-parameter fit from the sums: their first three columns; `left`,
// where given, what it leaves.
template<int N>
bool threeParameter(const Normal<N> &sums, Linear &p, std::optional<double> *left = nullptr)
{
    Normal<3> three;
    three.squares = sums.squares;
    for (int i = 0; i < 3; ++i) {
        three.rhs[i] = sums.rhs[i];
        for (int j = i; j < 3; ++j)
            three.lhs[i][j] = sums.lhs[i][j];
    }
    std::array<double, 3> x {};
    if (!three.solve(x))
        return false;
    p = {x[0], x[1], x[2]};
    if (left)
        *left = three.leftOver(x);
    return true;
}

// The four-parameter step's normal equations from the sums, the slope column
// g = slope (b t cos - a t sin) taken with p's a and b.
Normal<4> gaussNewton(const Normal<5> &sums, const Linear &p, double slope)
{
    const double b = slope * p.b;
    const double a = -slope * p.a;
    Normal<4> four;
    four.squares = sums.squares;
    for (int i = 0; i < 3; ++i) {
        four.rhs[i] = sums.rhs[i];
        for (int j = i; j < 3; ++j)
            four.lhs[i][j] = sums.lhs[i][j];
        four.lhs[i][3] = b * sums.lhs[i][3] + a * sums.lhs[i][4];
    }
    four.rhs[3] = b * sums.rhs[3] + a * sums.rhs[4];
    four.lhs[3][3] = b * b * sums.lhs[3][3] + 2 * a * b * sums.lhs[3][4] + a * a * sums.lhs[4][4];
    return four;
}

} // namespace

SineFitFigures fitSineAtFrequency(std::span<const double> samples, double frequency)
{
    Linear p;
    std::optional<double> left;
    if (samples.size() < 4 || !threeParameter(sweepSums<3>(samples, frequency), p, &left))
        return {};
    SineFitFigures fit = figuresOf(samples, frequency, p, 0, left);
    fit.converged = true;
    return fit;
}

SineFitFigures fitSine(std::span<const double> samples, double frequency)
{
    if (samples.size() < 4)
        return {};
    const double n = double(samples.size());
    // The model's slope in the frequency, per bin: 2 pi t (b cos - a sin) / N.
    const double slope = 2 * std::numbers::pi / n;
    Linear start;
    double f = frequency;
    for (int iteration = 1; iteration <= maxIterations; ++iteration) {
        // Each sweep fits a, b and the offset at f, and steps from there.
        const Normal<5> sums = sweepSums<5>(samples, f);
        Linear p;
        if (!threeParameter(sums, p)) {
            if (iteration == 1)
                return {};
            break;
        }
        if (iteration == 1)
            start = p;
        std::array<double, 4> x {};
        const Normal<4> step = gaussNewton(sums, p, slope);
        if (!step.solve(x))
            break;
        // The fourth unknown is the frequency step in bins; the model's
        // linear part at f already holds a and b, so it adds to f alone.
        p = {x[0], x[1], x[2]};
        f += x[3] / n;
        if (std::abs(f - frequency) * n > widestWanderBins || f <= 0 || f >= 0.5)
            break;
        if (std::abs(x[3]) < lastStepBins) {
            // The step's linear model leaves what the sine at f leaves, but
            // for the square of a step this small.
            SineFitFigures fit = figuresOf(samples, f, p, iteration, step.leftOver(x));
            fit.converged = true;
            return fit;
        }
    }
    return figuresOf(samples, frequency, start, 0);
}

double foldedFrequency(double frequency)
{
    const double f = frequency - std::floor(frequency);
    return f > 0.5 ? 1 - f : f;
}

CentredSine centredSine(const SineFitFigures &fit, std::size_t samples)
{
    // amplitude cos(w n + phase) = amplitude cos(w t + shift), t = n - middle.
    const double middle = (double(samples) - 1) / 2;
    const double shift = fit.phase + 2 * std::numbers::pi * fit.frequency * middle;
    return {fit.amplitude * std::cos(shift), -fit.amplitude * std::sin(shift)};
}

void withoutSine(
    std::span<const double> samples, const SineFitFigures &fit, std::vector<double> &rest)
{
    const auto [a, b] = centredSine(fit, samples.size());
    rest.resize(samples.size());
    double *out = rest.data();
    sineSweep(
        samples, fit.frequency,
        [&](std::size_t n, bool both, DoublePair, DoublePair c, DoublePair s, DoublePair y) {
            const DoublePair left = y - (a * c + b * s);
            out[n] = left[0];
            if (both)
                out[n + sineSweepBlock] = left[1];
        },
        [](bool) {});
}

std::vector<double> withoutSine(std::span<const double> samples, const SineFitFigures &fit)
{
    std::vector<double> rest;
    withoutSine(samples, fit, rest);
    return rest;
}

SineFitFigures fitSineBesideHarmonics(
    std::span<const double> samples, const SineFitFigures &first, int harmonics, double binWidth)
{
    constexpr int rounds = 2;
    SineFitFigures fit = first;
    // Two buffers for all the rounds: each harmonic taken off goes from one
    // into the other.
    std::vector<double> clean;
    std::vector<double> next;
    for (int round = 0; round < rounds && fit.converged; ++round) {
        clean.assign(samples.begin(), samples.end());
        for (int order = 2; order <= harmonics; ++order) {
            // One folded onto the tone cannot be told from it, nor pulls it.
            const double harmonic = order * fit.frequency;
            if (std::abs(foldedFrequency(harmonic) - fit.frequency) >= binWidth / 2) {
                withoutSine(clean, fitSineAtFrequency(clean, harmonic), next);
                clean.swap(next);
            }
        }
        const SineFitFigures again = fitSine(clean, fit.frequency);
        if (!again.converged)
            break;
        const double moved = std::abs(again.frequency - fit.frequency) / binWidth;
        fit = fitSineAtFrequency(samples, again.frequency);
        fit.iterations = again.iterations;
        if (moved < settledStepBins)
            break;
    }
    return fit;
}
