#pragma once

#include "SampleRecordFile.h"

#include <istream>
#include <string_view>

// The first bytes of every NumPy .npy file.
inline constexpr std::string_view npyMagic = "\x93NUMPY";

// Reads a sample record saved with numpy.save: a C-order array of one
// dimension, or of one column (N, 1), of any integer dtype an acquisition
// script saves codes in (uint8 to uint64, int8 to int64, either byte order).
// Unsigned values are the codes 0..2^bits-1. Signed values are the
// converter's two's-complement output, -2^(bits-1)..2^(bits-1)-1, and read
// as the offset-binary codes 0..2^bits-1 (value + 2^(bits-1)), so that both
// give the same histogram. A value outside the range is refused, naming the
// sample, as is any other dtype, a Fortran-order array or another shape.
SampleRecordReading readNpyRecord(std::istream &in, int bits);
