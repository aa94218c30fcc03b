#include "ResolutionNotes.h"

#include <cmath>

QStringList resolutionNotes(const CodeDensityResult &r)
{
    if (!r.kindFits || r.kind != TestKind::Dc || !r.dc.effectiveBits || !r.dc.noiseFreeBits)
        return {};
    const auto fixed
        = [](double value, int decimals) { return QString::number(value, 'f', decimals); };
    QStringList notes;
    notes << QStringLiteral("Effective resolution = N − log2 σ = %1 − log2 %2 = %3 bits "
                            "(the ENOB of the noise, N − log2(√12 σ), is 1.79 bits less)")
                 .arg(r.bits)
                 .arg(fixed(r.sigma, 3), fixed(*r.dc.effectiveBits, 2));
    notes << QStringLiteral("Noise-free resolution = N − log2(6.6 σ) = %1 − log2 %2 = %3 bits "
                            "(6.6 σ spans 99.9 % of Gaussian noise)")
                 .arg(r.bits)
                 .arg(fixed(6.6 * r.sigma, 2), fixed(*r.dc.noiseFreeBits, 2));
    const int spread = r.dc.peakToPeakCodes;
    if (spread > 0)
        notes << QStringLiteral("Peak-to-peak %1 LSB is the widest spread of these %2 samples: "
                                "N − log2 %1 = %3 bits; it grows with the samples taken, "
                                "6.6 σ does not")
                     .arg(spread)
                     .arg(r.samples)
                     .arg(fixed(r.bits - std::log2(double(spread)), 2));
    return notes;
}
