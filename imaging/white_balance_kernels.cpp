// White-balance measurement over a mosaic: the blue and red gains (percent, green 100) that bring
// the blue and red averages to the green one, for the demosaic that follows.
#include "imaging/filter_block.h"
#include "imaging/filter_kernels.h"

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

template <int SampleBytes>
int Measure(const FilterBlock& block, WbMeasure* wb) {
    // 64-bit sums: no frame size can wrap them.
    uint64_t sum[3] = {0, 0, 0};
    uint64_t count[3] = {0, 0, 0};
    const int colPhase = (wb->phase >> 1) & 1;
    for (int y = 0; y < block.height; ++y) {
        const int rowFlag = (y & 1) ^ (wb->phase & 1);
        const int evenColour = SiteColour(rowFlag, colPhase);
        const int oddColour = SiteColour(rowFlag, colPhase ^ 1);
        const uint8_t* s = block.SrcRow(y);
        uint64_t evenSum = 0, oddSum = 0;
        for (int x = 0; x < block.width; ++x, s += SampleBytes) {
            const uint32_t v = SampleBytes == 1 ? s[0] : LoadSample16(s);
            if (x & 1)
                oddSum += v;
            else
                evenSum += v;
        }
        sum[evenColour] += evenSum;
        sum[oddColour] += oddSum;
        count[evenColour] += uint64_t(block.width + 1) / 2;
        count[oddColour] += uint64_t(block.width) / 2;
    }
    // A class without samples, or a black one, gives no usable ratio: keep the previous results.
    for (int c = 0; c < 3; ++c)
        if (count[c] == 0 || sum[c] == 0) return 0;
    const double aB = double(sum[kBlue]) / double(count[kBlue]);
    const double aG = double(sum[kGreen]) / double(count[kGreen]);
    const double aR = double(sum[kRed]) / double(count[kRed]);
    const double s = aG + aB + aR;
    wb->blue = TruncateToInt32(((s / aB) / 3 * 100) / ((s / aG) / 3));
    wb->green = 100;
    wb->red = TruncateToInt32(((s / aR) / 3 * 100) / ((s / aG) / 3));
    return 1;
}

}  // namespace

int MeasureWb8(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 1, 1)
    WbMeasure* wb = FilterParamBlock<WbMeasure>(params);
    if (wb == nullptr) return 0;
    return Measure<1>(block, wb);
}

int MeasureWb16(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 2, 2)
    WbMeasure* wb = FilterParamBlock<WbMeasure>(params);
    if (wb == nullptr) return 0;
    return Measure<2>(block, wb);
}
