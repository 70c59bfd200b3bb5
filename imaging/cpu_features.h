// Run-time CPU feature checks for the kernels that have wider vector variants.
#pragma once

// Instruction sets the kernels may use, narrowest first.
enum class CpuVectorLevel { Scalar = 0, Sse2 = 1, Avx2 = 2, Avx512 = 3 };

// True when the processor and the operating system support AVX2 (YMM state saved on switches),
// whatever limit is set.
bool CpuHasAvx2();
// True when the processor has AVX-512 F, BW, VL and VBMI (byte permutes) besides AVX2 and the
// operating system saves the mask and ZMM state, whatever limit is set.
bool CpuHasAvx512();

// The widest level the kernels use: what this build and the processor support, capped by the limit
// below. Every kernel call reads it once.
CpuVectorLevel CpuKernelLevel();

// Caps the level for the whole process, so that tests and benchmarks can run and compare the
// narrower variants on a processor that has the wider ones; CpuVectorLevel::Avx512 lifts the cap.
// Returns the previous cap.
CpuVectorLevel CpuLimitKernelLevel(CpuVectorLevel maximum);

// "AVX-512", "AVX2", "SSE2" or "scalar".
const char* CpuVectorLevelName(CpuVectorLevel level);
