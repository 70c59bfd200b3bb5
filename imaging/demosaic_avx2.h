// AVX2 interior of the 8-bit demosaic (24 or 32 bpp destinations). Call only when CpuHasAvx2();
// returns false, having written nothing, when it cannot reproduce the scalar result exactly.
#pragma once

#include "imaging/demosaic_scalar.h"

bool DemosaicInner8Avx2(const DemosaicJob& job);
