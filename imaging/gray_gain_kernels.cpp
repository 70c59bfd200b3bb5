// Gray-mode gains and offsets per mosaic site class, and their measurement. Classes follow the
// Bayer flags counted from the rectangle's first pixel: (rowFlag, colFlag) (0, 0) G1, (0, 1) R,
// (1, 1) G2, (1, 0) B.
#include "imaging/filter_block.h"
#include "imaging/filter_kernels.h"
#include "imaging/filter_tables.h"

namespace {

// Class index rowFlag * 2 + colFlag: 0 G1, 1 R, 2 B, 3 G2.
enum { kG1 = 0, kR = 1, kB = 2, kG2 = 3 };

// The classes of the even and odd pixels (counted from the rectangle) of row y.
inline void RowClasses(int32_t phase, int y, int out[2]) {
    const int rowFlag = (y & 1) ^ (phase & 1);
    const int colPhase = (phase >> 1) & 1;
    out[0] = rowFlag * 2 + colPhase;
    out[1] = rowFlag * 2 + (colPhase ^ 1);
}

void ClassGains(const GrayParams& p, int32_t gain[4], int32_t offset[4]) {
    gain[kG1] = p.gainG1, gain[kR] = p.gainR, gain[kB] = p.gainB, gain[kG2] = p.gainG2;
    offset[kG1] = p.offsetG1, offset[kR] = p.offsetR, offset[kB] = p.offsetB, offset[kG2] = p.offsetG2;
}

// Sums and counts per class of the samples that are neither 0 nor top.
template <int SampleBytes>
void SumClasses(const FilterBlock& block, int32_t phase, int32_t top, uint64_t sum[4],
                uint64_t count[4]) {
    for (int c = 0; c < 4; ++c) sum[c] = 0, count[c] = 0;
    for (int y = 0; y < block.height; ++y) {
        int cls[2];
        RowClasses(phase, y, cls);
        const uint8_t* s = block.SrcRow(y);
        for (int x = 0; x < block.width; ++x, s += SampleBytes) {
            const int32_t v = SampleBytes == 1 ? s[0] : LoadSample16(s);
            if (v == 0 || v == top) continue;
            sum[cls[x & 1]] += uint32_t(v);
            count[cls[x & 1]] += 1;
        }
    }
}

}  // namespace

int ApplyGrayGains8(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 1, 1)
    const GrayParams* p = FilterParamBlock<const GrayParams>(params);
    if (p == nullptr) return 0;
    int32_t gain[4], offset[4];
    ClassGains(*p, gain, offset);
    uint8_t table[4][256];
    for (int c = 0; c < 4; ++c) BuildGrayGainTable8(gain[c], offset[c], table[c]);
    for (int y = 0; y < block.height; ++y) {
        int cls[2];
        RowClasses(p->phase, y, cls);
        const uint8_t* even = table[cls[0]];
        const uint8_t* odd = table[cls[1]];
        const uint8_t* s = block.SrcRow(y);
        uint8_t* d = block.DstRow(y);
        int x = 0;
        for (; x + 1 < block.width; x += 2) {
            d[x] = even[s[x]];
            d[x + 1] = odd[s[x + 1]];
        }
        if (x < block.width) d[x] = even[s[x]];
    }
    return 1;
}

int ApplyGrayGains16(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 2, 2)
    const GrayParams* p = FilterParamBlock<const GrayParams>(params);
    if (p == nullptr) return 0;
    int32_t gain[4], offset[4];
    ClassGains(*p, gain, offset);
    const int32_t top = GrayGainTop16(p->bits);
    for (int y = 0; y < block.height; ++y) {
        int cls[2];
        RowClasses(p->phase, y, cls);
        const uint8_t* s = block.SrcRow(y);
        uint8_t* d = block.DstRow(y);
        for (int x = 0; x < block.width; ++x, s += 2, d += 2) {
            const int c = cls[x & 1];
            StoreSample16(d, uint16_t(GrayGainSample(LoadSample16(s), gain[c], offset[c], top)));
        }
    }
    return 1;
}

int MeasureGrayGains(PIXEL_KERNEL_ARGS) {
    GrayParams* p = FilterParamBlock<GrayParams>(params);
    if (p == nullptr) return 0;
    const bool eightBit = p->bits == 8;
    RESOLVE_FILTER_BLOCK(block, eightBit ? 1 : 2, eightBit ? 1 : 2)
    const int32_t top = eightBit ? 255 : GrayGainTop16(p->bits);
    uint64_t sum[4], count[4];
    if (eightBit)
        SumClasses<1>(block, p->phase, top, sum, count);
    else
        SumClasses<2>(block, p->phase, top, sum, count);
    for (int c = 0; c < 4; ++c)
        if (count[c] == 0) return 1;  // an empty class leaves the gains as they are
    double average[4];
    for (int c = 0; c < 4; ++c) average[c] = double(sum[c]) / double(count[c]);
    // The brightest class, compared in the order R, G1, G2, B; only a strictly greater one wins.
    double brightest = average[kR];
    if (average[kG1] > brightest) brightest = average[kG1];
    if (average[kG2] > brightest) brightest = average[kG2];
    if (average[kB] > brightest) brightest = average[kB];
    // Averages lie between 1 and 65534, so every gain fits; the caller limits what it stores.
    p->gainR = int32_t(brightest / average[kR] * 128);
    p->gainG1 = int32_t(brightest / average[kG1] * 128);
    p->gainG2 = int32_t(brightest / average[kG2] * 128);
    p->gainB = int32_t(brightest / average[kB] * 128);
    return 1;
}
