// White-balance measurement over a mosaic: the blue and red gains (percent, green 100) that bring
// the blue and red averages to the green one, for the demosaic that follows.
#include "imaging/filter_block.h"
#include "imaging/filter_kernels.h"

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#endif

namespace {

enum { kBlue = 0, kGreen = 1, kRed = 2 };

// Site colour of (rowFlag, colFlag): (0, 1) blue, (1, 0) red, equal flags green.
inline int SiteColour(int rowFlag, int colFlag) {
    return rowFlag == colFlag ? kGreen : rowFlag ? kRed : kBlue;
}

// A double result as a 32-bit integer, truncated; values beyond the range (a nearly black class)
// are held at its ends.
int32_t TruncateToInt32(double v) {
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return int32_t(v);
}

// Sums of the even and the odd columns of one row.
void RowSums8(const uint8_t* s, int width, uint64_t* even, uint64_t* odd) {
    int x = 0;
    uint64_t e = 0, o = 0;
#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
    const __m128i evenBytes = _mm_set1_epi16(0x00FF), zero = _mm_setzero_si128();
    __m128i evenSum = zero, oddSum = zero;
    for (; x + 16 <= width; x += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
        evenSum = _mm_add_epi64(evenSum, _mm_sad_epu8(_mm_and_si128(v, evenBytes), zero));
        oddSum = _mm_add_epi64(oddSum, _mm_sad_epu8(_mm_andnot_si128(evenBytes, v), zero));
    }
    alignas(16) uint64_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), evenSum);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes + 2), oddSum);
    e = lanes[0] + lanes[1], o = lanes[2] + lanes[3];
#endif
    for (; x + 1 < width; x += 2) e += s[x], o += s[x + 1];
    if (x < width) e += s[x];
    *even = e, *odd = o;
}

void RowSums16(const uint8_t* s, int width, uint64_t* even, uint64_t* odd) {
    uint64_t e = 0, o = 0;
    int x = 0;
    for (; x + 1 < width; x += 2) e += LoadSample16(s + 2 * x), o += LoadSample16(s + 2 * x + 2);
    if (x < width) e += LoadSample16(s + 2 * x);
    *even = e, *odd = o;
}

int Measure(const FilterBlock& block, int sampleBytes, WbMeasure* wb) {
    WbSums sums = {};
    WbAddRows(block.src, block.srcStride, block.width, 0, block.height, sampleBytes, wb->phase, &sums);
    return WbFinish(sums, wb);
}

}  // namespace

void WbAddRows(const uint8_t* mosaic, ptrdiff_t stride, int width, int yBegin, int yEnd, int sampleBytes,
               int phase, WbSums* sums) {
    const int colPhase = (phase >> 1) & 1;
    for (int y = yBegin; y < yEnd; ++y) {
        const int rowFlag = (y & 1) ^ (phase & 1);
        const int evenColour = SiteColour(rowFlag, colPhase);
        const int oddColour = SiteColour(rowFlag, colPhase ^ 1);
        uint64_t evenSum, oddSum;
        if (sampleBytes == 1)
            RowSums8(mosaic + ptrdiff_t(y) * stride, width, &evenSum, &oddSum);
        else
            RowSums16(mosaic + ptrdiff_t(y) * stride, width, &evenSum, &oddSum);
        sums->sum[evenColour] += evenSum;
        sums->sum[oddColour] += oddSum;
        sums->count[evenColour] += uint64_t(width + 1) / 2;
        sums->count[oddColour] += uint64_t(width) / 2;
    }
}

int WbFinish(const WbSums& sums, WbMeasure* wb) {
    // A class without samples, or a black one, gives no usable ratio: keep the previous results.
    for (int c = 0; c < 3; ++c)
        if (sums.count[c] == 0 || sums.sum[c] == 0) return 0;
    const double aB = double(sums.sum[kBlue]) / double(sums.count[kBlue]);
    const double aG = double(sums.sum[kGreen]) / double(sums.count[kGreen]);
    const double aR = double(sums.sum[kRed]) / double(sums.count[kRed]);
    const double s = aG + aB + aR;
    wb->blue = TruncateToInt32(((s / aB) / 3 * 100) / ((s / aG) / 3));
    wb->green = 100;
    wb->red = TruncateToInt32(((s / aR) / 3 * 100) / ((s / aG) / 3));
    return 1;
}

int MeasureWb8(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 1, 1)
    WbMeasure* wb = FilterParamBlock<WbMeasure>(params);
    if (wb == nullptr) return 0;
    return Measure(block, 1, wb);
}

int MeasureWb16(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 2, 2)
    WbMeasure* wb = FilterParamBlock<WbMeasure>(params);
    if (wb == nullptr) return 0;
    return Measure(block, 2, wb);
}
