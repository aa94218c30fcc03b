#pragma once

// The keys of the figures: the names in the JSON report, the results
// database and adreport. The catalog's rows use them, and so does the JSON
// report where it nests a figure in a structure of its own. Never rename one
// once released: stations read them.
namespace FigureKey {
inline constexpr const char *samples = "samples";
inline constexpr const char *meanCode = "mean_code";
inline constexpr const char *sigmaLsb = "sigma_lsb";
inline constexpr const char *noiseLsb = "noise_lsb";
inline constexpr const char *peakToPeakCodes = "peak_to_peak_codes";
inline constexpr const char *effectiveResolutionBits = "effective_resolution_bits";
inline constexpr const char *noiseFreeResolutionBits = "noise_free_resolution_bits";
inline constexpr const char *dnlMinLsb = "dnl_min_lsb";
inline constexpr const char *dnlMaxLsb = "dnl_max_lsb";
inline constexpr const char *dnlWorstLsb = "dnl_worst_lsb";
inline constexpr const char *inlEndPointWorstLsb = "inl_end_point_worst_lsb";
inline constexpr const char *inlBestFitWorstLsb = "inl_best_fit_worst_lsb";
inline constexpr const char *missingCodeCount = "missing_code_count";
inline constexpr const char *dnlUncertainty99Lsb = "dnl_uncertainty_99_lsb";
inline constexpr const char *inlEndPointUncertainty99Lsb = "inl_end_point_uncertainty_99_lsb";
inline constexpr const char *snrDb = "snr_db";
inline constexpr const char *sinadDb = "sinad_db";
inline constexpr const char *thdDb = "thd_db";
inline constexpr const char *sfdrDb = "sfdr_db";
inline constexpr const char *enobBits = "enob_bits";
inline constexpr const char *enobFitBits = "enob_fit_bits";
inline constexpr const char *signalFrequency = "signal_frequency";
inline constexpr const char *snrFsDb = "snr_fs_db";
inline constexpr const char *noiseFloorDbfs = "noise_floor_dbfs";
inline constexpr const char *noiseDensityDbfsPerHz = "noise_density_dbfs_per_hz";
inline constexpr const char *largestSpurDbfs = "largest_spur_dbfs";
inline constexpr const char *spectrumAverages = "spectrum_averages";
inline constexpr const char *spectrumRecordLength = "spectrum_record_length";
} // namespace FigureKey
