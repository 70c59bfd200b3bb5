// SSE2 interiors of the demosaic. Each returns false, having written nothing, when it cannot
// reproduce the scalar result exactly for this job (unsupported destination size or gain factors
// outside the 16-bit multiply range); the caller then runs the scalar twin.
#pragma once

#include "imaging/demosaic_scalar.h"

bool DemosaicInner8Sse2(const DemosaicJob& job);
bool DemosaicInner16Sse2(const DemosaicJob& job);
