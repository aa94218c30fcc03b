#pragma once

#include "DynamicResult.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// The parts of a power spectrum that do not need a tone: the bins a
// component holds, the noise figures and the largest spurs.

// How many spurs a result lists.
inline constexpr std::size_t listedSpurs = 5;

// The first of the largest bins from..to, to no more than the spectrum's
// last: the largest power by four lanes of maxima, none waiting on the one
// before, then the first bin that holds it. The powers are no NaN.
std::size_t largestBin(const std::vector<double> &power, std::size_t from, std::size_t to);

// The bins a tone centred on `centre` holds that no other has taken; they
// are taken for it. Returns their power and how many there were.
std::pair<double, std::size_t> takeTone(
    const std::vector<double> &power, std::vector<bool> &taken, std::size_t centre, int halfWidth);
// The power of the same bins, left untaken.
double freePower(const std::vector<double> &power, const std::vector<bool> &taken,
    std::size_t centre, int halfWidth);

// Sets the noise figures from the mean noise bin: the floor, SNRFS over the
// band's bandBins bins and, with a sample rate, the density per hertz.
void setNoiseFigures(DynamicResult &result, double noiseMean, double bandBins);

// The bins from 1 on that no tone has taken, read in one pass: their power
// summed and counted, and the loudest of them, loudest first and the lower
// of equal bins first, as many as listLargestSpurs() may read with main
// lobes of halfWidth bins either side.
struct FreeBins
{
    double power = 0;
    std::size_t count = 0;
    std::vector<std::size_t> loudest;
};
FreeBins freeBins(const std::vector<double> &power, const std::vector<bool> &taken, int halfWidth);

// Lists the largest components but the fundamental in result.spurs: the
// harmonics measured, the spurs already listed (a second tone), and the
// loudest peaks of the bins not taken, each its main lobe summed; `loudest`
// is freeBins()'s of these bins. dbc is taken against fundamentalPower, 0
// when there is none.
void listLargestSpurs(DynamicResult &result, const std::vector<double> &power,
    std::vector<bool> taken, int halfWidth, double fundamentalPower,
    const std::vector<std::size_t> &loudest);

// Why the tone taken for the fundamental was taken: the one named, or the
// largest, and the next tone standing toneFloor above the noise floor.
std::string fundamentalChoice(const DynamicResult &result, bool named, double toneFloorDb);

// A record in which no tone stands out: its spectrum, its noise floor and
// its largest spurs, and no tone figures. `failed` holds the reason and the
// record's sizes; `analysed` the window and the spectrum in dBFS.
void measureWithoutTone(DynamicResult &failed, DynamicResult &&analysed,
    const std::vector<double> &power, int halfWidth);
