// AVX2 interiors of the demosaic (8-bit to 24/32 bpp, 16-bit to 48/64 bpp). Call only when
// CpuHasAvx2(); they return false, having written nothing, when they cannot reproduce the scalar
// result exactly for the job.
#pragma once

#include "imaging/demosaic_scalar.h"

bool DemosaicInner8Avx2(const DemosaicJob& job);
bool DemosaicInner16Avx2(const DemosaicJob& job);

// Rows 0, 1, h - 2 and h - 1 of the frame, pixels 2 .. w - 3; the frame's columns remain for
// DemosaicBorderColumns*Scalar. False (nothing written) for jobs the vector rows cannot serve.
bool DemosaicBorderRows8Avx2(const DemosaicJob& job);
bool DemosaicBorderRows16Avx2(const DemosaicJob& job);

// Pixels 2 .. w - 3 of memory row y (any row, off-image neighbours substituted) at
// job.dst + y * job.dstStride; scratch holds DemosaicRowScratch(job.width) int16_t. False
// (nothing written) for jobs the vector rows cannot serve or widths of 4 and less.
bool DemosaicRow8Avx2(const DemosaicJob& job, int y, int16_t* scratch);
bool DemosaicRow16Avx2(const DemosaicJob& job, int y, int16_t* scratch);
