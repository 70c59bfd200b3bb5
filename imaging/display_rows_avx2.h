// AVX2 rows of the preview's widening to 32 bits. Call only when CpuKernelLevel() is AVX2 or
// wider. Writes pixels [0, n) of one row and returns n, a multiple of 16 that leaves the last
// pixels (at least two) to the caller, so that no load reads past the row.
#pragma once

#include <cstdint>

int WidenRow24To32Avx2(const uint8_t* src, uint8_t* dst, int width);
