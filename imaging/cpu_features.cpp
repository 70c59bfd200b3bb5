#include "imaging/cpu_features.h"

#include <atomic>

#if defined(_MSC_VER)
#include <immintrin.h>
#include <intrin.h>
#elif defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

bool DetectAvx2() {
#if defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
    int regs[4];
    __cpuid(regs, 0);
    if (regs[0] < 7) return false;
    __cpuid(regs, 1);
    const bool osxsave = (regs[2] & (1 << 27)) != 0, avx = (regs[2] & (1 << 28)) != 0;
    if (!osxsave || !avx) return false;
    if ((_xgetbv(0) & 6) != 6) return false;  // XMM and YMM state enabled by the OS
    __cpuidex(regs, 7, 0);
    return (regs[1] & (1 << 5)) != 0;
#elif defined(__x86_64__) || defined(__i386__)
    unsigned a, b, c, d;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid(1, a, b, c, d);
    const bool osxsave = (c & (1u << 27)) != 0, avx = (c & (1u << 28)) != 0;
    if (!osxsave || !avx) return false;
    unsigned xcr0Low, xcr0High;
    __asm__ volatile("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
    if ((xcr0Low & 6) != 6) return false;  // XMM and YMM state enabled by the OS
    __cpuid_count(7, 0, a, b, c, d);
    return (b & (1u << 5)) != 0;
#else
    return false;
#endif
}

// Leaf 7 EBX: F (16), BW (30), VL (31); ECX: VBMI (1). XCR0: opmask, upper ZMM and high ZMM state
// (bits 5, 6, 7) besides XMM and YMM.
bool DetectAvx512() {
    if (!DetectAvx2()) return false;
    const unsigned ebxBits = (1u << 16) | (1u << 30) | (1u << 31), ecxBits = 1u << 1, xcrBits = 0xE6;
#if defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
    int regs[4];
    __cpuidex(regs, 7, 0);
    if ((unsigned(regs[1]) & ebxBits) != ebxBits || (unsigned(regs[2]) & ecxBits) != ecxBits) return false;
    return (_xgetbv(0) & xcrBits) == xcrBits;
#elif defined(__x86_64__) || defined(__i386__)
    unsigned a, b, c, d;
    __cpuid_count(7, 0, a, b, c, d);
    if ((b & ebxBits) != ebxBits || (c & ecxBits) != ecxBits) return false;
    unsigned xcr0Low, xcr0High;
    __asm__ volatile("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
    return (xcr0Low & xcrBits) == xcrBits;
#else
    return false;
#endif
}

}  // namespace

// The cap of CpuLimitKernelLevel; no cap by default.
static std::atomic<int> g_levelLimit(static_cast<int>(CpuVectorLevel::Avx512));

bool CpuHasAvx2() {
    static const bool hasAvx2 = DetectAvx2();
    return hasAvx2;
}

bool CpuHasAvx512() {
    static const bool hasAvx512 = DetectAvx512();
    return hasAvx512;
}

CpuVectorLevel CpuKernelLevel() {
#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
    CpuVectorLevel supported = CpuHasAvx512() ? CpuVectorLevel::Avx512
                               : CpuHasAvx2() ? CpuVectorLevel::Avx2
                                              : CpuVectorLevel::Sse2;
#else
    CpuVectorLevel supported = CpuVectorLevel::Scalar;
#endif
    const int limit = g_levelLimit.load(std::memory_order_relaxed);
    return static_cast<int>(supported) < limit ? supported : static_cast<CpuVectorLevel>(limit);
}

CpuVectorLevel CpuLimitKernelLevel(CpuVectorLevel maximum) {
    return static_cast<CpuVectorLevel>(g_levelLimit.exchange(static_cast<int>(maximum)));
}

const char* CpuVectorLevelName(CpuVectorLevel level) {
    switch (level) {
    case CpuVectorLevel::Avx512: return "AVX-512";
    case CpuVectorLevel::Avx2: return "AVX2";
    case CpuVectorLevel::Sse2: return "SSE2";
    default: return "scalar";
    }
}
