#include "InlUncertainty.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double confidence99 = 2.576;

// Sum over k, l of a_k b_l min(q_k, q_l) for q rising with the index, in one
// pass: each pair meets at the smaller index m and contributes q_m there.
double bridgeSum(std::span<const double> a, std::span<const double> b, std::span<const double> q)
{
    double total = 0;
    double aAbove = 0, bAbove = 0;
    for (std::size_t m = q.size(); m-- > 0;) {
        total += q[m] * (a[m] * b[m] + a[m] * bAbove + b[m] * aAbove);
        aAbove += a[m];
        bAbove += b[m];
    }
    return total;
}

} // namespace

// Cov(INL_i, INL_j) = g_i g_j (q_min(i,j) - q_i q_j) / n. Best-fit INL is
// (I - H) INL with H the hat matrix of a line in the code, H_ik = 1/M +
// d_i d_k / Sxx (d the code less its mean); its variance at i is
// C_ii - 2 (H C)_ii + (H C H)_ii, and every term reduces to sums that one
// pass over the codes gives.
InlUncertainty inlUncertainty(std::span<const double> share, std::span<const double> gain,
    std::span<const double> position, double samples)
{
    InlUncertainty result;
    const std::size_t m = share.size();
    if (m == 0 || samples <= 0 || gain.size() != m || position.size() != m)
        return result;
    const std::span<const double> q = share;
    double mean = 0;
    for (double x : position)
        mean += x;
    mean /= double(m);
    std::vector<double> d(m), g(gain.begin(), gain.end()), dg(m);
    double sxx = 0;
    for (std::size_t i = 0; i < m; ++i) {
        d[i] = position[i] - mean;
        dg[i] = d[i] * g[i];
        sxx += d[i] * d[i];
    }
    const double count = double(m);
    // Sums of g q and d g q over all codes, and the 2x2 matrix of the hat
    // matrix's two directions (1 and d) through the covariance.
    double gq = 0, dgq = 0;
    for (std::size_t i = 0; i < m; ++i) {
        gq += g[i] * q[i];
        dgq += dg[i] * q[i];
    }
    const double g00 = (bridgeSum(g, g, q) - gq * gq) / samples;
    const double g01 = (bridgeSum(g, dg, q) - gq * dgq) / samples;
    const double g11 = (bridgeSum(dg, dg, q) - dgq * dgq) / samples;
    // Running sums below i of g_k q_k and d_k g_k q_k; above i of g_k and
    // d_k g_k: sum_k x_k q_min(i,k) = sum_{k<=i} x_k q_k + q_i sum_{k>i} x_k.
    double gAbove = 0, dgAbove = 0;
    for (std::size_t i = 0; i < m; ++i) {
        gAbove += g[i];
        dgAbove += dg[i];
    }
    double gqBelow = 0, dgqBelow = 0;
    for (std::size_t i = 0; i < m; ++i) {
        gqBelow += g[i] * q[i];
        dgqBelow += dg[i] * q[i];
        gAbove -= g[i];
        dgAbove -= dg[i];
        const double endPointVariance = g[i] * g[i] * q[i] * (1 - q[i]) / samples;
        const double a0 = gqBelow + q[i] * gAbove - q[i] * gq;
        const double a1 = dgqBelow + q[i] * dgAbove - q[i] * dgq;
        const double u0 = 1 / count;
        const double u1 = sxx > 0 ? d[i] / sxx : 0;
        const double cross = g[i] / samples * (a0 * u0 + a1 * u1);
        const double quadratic = u0 * u0 * g00 + 2 * u0 * u1 * g01 + u1 * u1 * g11;
        const double bestFitVariance = std::max(0.0, endPointVariance - 2 * cross + quadratic);
        const double endPoint = confidence99 * std::sqrt(endPointVariance);
        const double bestFit = confidence99 * std::sqrt(bestFitVariance);
        if (endPoint > result.endPoint99 || result.endPointCode < 0) {
            result.endPoint99 = endPoint;
            result.endPointCode = int(position[i]);
        }
        if (bestFit > result.bestFit99 || result.bestFitCode < 0) {
            result.bestFit99 = bestFit;
            result.bestFitCode = int(position[i]);
        }
    }
    return result;
}
