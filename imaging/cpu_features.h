// Run-time CPU feature checks for the kernels that have wider vector variants.
#pragma once

// True when the processor and the operating system support AVX2 (YMM state saved on switches).
bool CpuHasAvx2();
