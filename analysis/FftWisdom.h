#pragma once

#include <fftw3.h>

// FFTW's plans, measured ahead, of the in-place complex transforms of half
// the length of records of 2^17 to 2^22 samples: a half-length plan made
// from them takes a fraction of FFTW_ESTIMATE's planning time and runs
// some 20 % quicker, where FFTW_ESTIMATE picks a generic, buffered step.
// Where FFTW or the processor differ from those they were measured on,
// FFTW finds no plan in them and the plan is estimated as before.
// `bench_dynamic --wisdom` measures them again.
namespace FftWisdom {

inline constexpr int shortestRecordPower = 17;
inline constexpr int longestRecordPower = 22;
// The rigor they were measured with: a plan asks for it, with
// FFTW_WISDOM_ONLY, to be given one of them or none.
inline constexpr unsigned planRigor = FFTW_MEASURE;

// Imports them into FFTW's planner once; call with the planner's lock
// held. False when FFTW took none.
bool import();

} // namespace FftWisdom
