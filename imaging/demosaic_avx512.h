// AVX-512 (F, BW, VL, VBMI) demosaic of an 8-bit mosaic. Call only when CpuKernelLevel() is
// CpuVectorLevel::Avx512; each returns false, having written nothing, when it cannot reproduce the
// scalar result exactly for the job (see demosaic_avx2.h for what each covers).
#pragma once

#include "imaging/demosaic_scalar.h"

bool DemosaicInner8Avx512(const DemosaicJob& job);
bool DemosaicBorderRows8Avx512(const DemosaicJob& job);
// Row y, pixels 2 .. w - 3 (DemosaicFrame's row8); scratch holds DemosaicRowScratch(job.width).
bool DemosaicRow8Avx512(const DemosaicJob& job, int y, int16_t* scratch);
