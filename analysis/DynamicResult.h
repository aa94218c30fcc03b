#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The window the spectrum is taken through.
enum class SpectrumWindow {
    Rectangular, // for a coherent record: every tone falls on one bin
    Hann,
    BlackmanHarris4, // four-term, -92 dB side lobes
    BlackmanHarris7, // seven-term, below a 16-bit converter's noise
};

// A window's name for a person: "Blackman-Harris 7-term".
const char *spectrumWindowName(SpectrumWindow window);
// "rectangular", "hann", "blackman-harris-4" or "blackman-harris-7".
const char *spectrumWindowKey(SpectrumWindow window);
std::optional<SpectrumWindow> spectrumWindowFromKey(const std::string &key);

// How a record is turned into dynamic figures.
struct DynamicOptions
{
    int bits = 12; // full scale is 2^bits codes peak to peak
    // Empty: rectangular when the record holds a whole number of cycles of
    // the fundamental, else the seven-term Blackman-Harris.
    std::optional<SpectrumWindow> window;
    int harmonics = 5; // harmonics counted in THD, the fundamental being the first
    int averages = 1; // consecutive records of (samples / averages) averaged
    // The fundamental in cycles per sample; empty: the largest tone.
    std::optional<double> fundamental;
    std::optional<double> sampleRate; // Hz; only for how frequencies are given
    // Whether the result keeps the spectrum bin by bin in dBFS, for a plot
    // or a copy of it: a logarithm a bin, which no figure needs.
    bool keepSpectrum = true;
};

// One tone of the spectrum: the fundamental or a harmonic.
struct SpectrumTone
{
    int order = 1; // 1 the fundamental, 2 the second harmonic, ...
    double frequency = 0; // cycles per sample, folded into 0..0.5
    std::size_t bin = 0;
    double dbfs = 0; // its power relative to a full-scale sine
    double dbc = 0; // relative to the fundamental
};

// The IEEE 1057 four-parameter fit: code = offset + amplitude cos(2 pi f n + phase).
struct SineFitFigures
{
    bool converged = false;
    int iterations = 0;
    double amplitude = 0; // codes
    double offset = 0; // codes
    double frequency = 0; // cycles per sample
    double phase = 0; // radians
    double residualRms = 0; // codes
};

// A coherent input for the record: `cycles` whole cycles in `samples`,
// `cycles` odd and prime to `samples`.
struct CoherentSuggestion
{
    std::uint64_t cycles = 0;
    std::uint64_t samples = 0;
    double frequency = 0; // cycles per sample
};

struct DynamicResult
{
    // False when the record gives no tone figures (too short, constant, no
    // tone, not a sine); reason then says why.
    bool ok = false;
    std::string reason;
    // The record has a spectrum, a noise floor and spurs, tone or no tone:
    // true whenever ok, and for a record of noise alone.
    bool hasSpectrum = false;
    // Set when the record holds a signal that is no sine, a ramp or a
    // triangle: its tone figures are undetermined rather than missing.
    std::string toneUndetermined;

    int bits = 12;
    std::size_t samples = 0; // samples analysed
    std::size_t recordLength = 0; // samples in each averaged record
    int averages = 1;
    SpectrumWindow window = SpectrumWindow::BlackmanHarris7;
    bool coherent = false; // a whole number of cycles: no leakage
    std::optional<double> sampleRate; // as given

    // Power per bin 0..recordLength/2, in dB relative to a full-scale sine.
    std::vector<double> spectrumDbfs;

    SpectrumTone fundamental;
    // Orders 2.., folded into the band; one that falls on the bins of DC, the
    // fundamental or a lower harmonic is left out, not counted twice.
    std::vector<SpectrumTone> harmonics;
    // The largest tone but the fundamental, which SFDR is taken against: a
    // harmonic, or order 0 for any other spur.
    SpectrumTone spur;
    // The largest components but the fundamental, loudest first: the
    // harmonics and any other spur, each its main lobe summed. dbc is 0
    // when the record holds no tone.
    std::vector<SpectrumTone> spurs;
    // Which tone was taken for the fundamental, and why.
    std::string fundamentalChoice;

    std::optional<double> snrDb;
    std::optional<double> sinadDb;
    std::optional<double> thdDb; // negative: below the fundamental
    std::optional<double> sfdrDb; // positive: fundamental over the largest spur
    std::optional<double> enobBits; // (SINAD - 1.76) / 6.02
    std::optional<double> noiseFloorDbfs; // the noise's mean power per bin
    // A full-scale sine over the noise of the whole band: SNR less the
    // fundamental's dBFS, and measured without a tone too.
    std::optional<double> snrFsDb;
    // The noise per hertz relative to a full-scale sine; only with a sample rate.
    std::optional<double> noiseDensityDbfsPerHz;

    // Why a figure has no value though the record gives figures: a harmonic
    // folds onto DC, fs/2, the fundamental or another harmonic, where its
    // power cannot be told apart; or a second tone shares the fundamental's
    // bins. A harmonic folded onto DC or the fundamental leaves SINAD
    // undetermined too: its power would be taken for signal. Empty when the
    // figure was measured.
    std::string thdUndetermined;
    std::string sfdrUndetermined;
    std::string sinadUndetermined; // ENOB (SINAD) too
    // A coherent record whose whole number of cycles shares a factor with
    // its samples: the sine visits few phases, and the quantiser's error
    // piles up on the harmonics. suggestion then names a better input.
    std::string coherenceNote;

    SineFitFigures fit;
    std::optional<double> enobFitBits; // log2(full scale / (e_rms sqrt 12))

    std::optional<CoherentSuggestion> suggestion; // when the record is not coherent

    // The fundamental in hertz when a sample rate was given, else in cycles
    // per sample; frequencyUnit() says which.
    double frequencyOf(const SpectrumTone &tone) const
    {
        return sampleRate ? tone.frequency * *sampleRate : tone.frequency;
    }
    const char *frequencyUnit() const { return sampleRate ? "Hz" : "cycles/sample"; }
};
