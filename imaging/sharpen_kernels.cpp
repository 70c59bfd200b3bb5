// Sharpness: an unsharp mask over the interior (columns and rows 2 .. size - 3), reading a copy of
// the image and writing the image. Each interior sample is blurred over a 4 x 4 block (columns
// x - 2 .. x + 1, rows y - 2 .. y + 1; the 16-bit colour kernel takes the columns two pixels apart,
// x - 2, x, x + 2, x + 4, held to the row) and moved away from the blur through the table D.
// Border pixels take their source values.
#include <memory>

#include "imaging/filter_block.h"
#include "imaging/filter_kernels.h"
#include "imaging/filter_tables.h"

namespace {

template <int SampleBytes>
inline int32_t LoadSample(const uint8_t* p) {
    return SampleBytes == 1 ? int32_t(p[0]) : int32_t(LoadSample16(p));
}

template <int SampleBytes>
inline void StoreSample(uint8_t* p, int32_t v) {
    if (SampleBytes == 1)
        p[0] = uint8_t(v);
    else
        StoreSample16(p, uint16_t(v));
}

template <int SampleBytes, int Channels>
void CopyPixels(const uint8_t* s, uint8_t* d, int bpp, int from, int to) {
    for (int x = from; x < to; ++x)
        for (int c = 0; c < Channels; ++c)
            StoreSample<SampleBytes>(d + x * bpp + c * SampleBytes,
                                     LoadSample<SampleBytes>(s + x * bpp + c * SampleBytes));
}

// colSum holds width * Channels entries of working memory.
template <int SampleBytes, int Bpp, int Channels, bool WideColumns>
void SharpenBlock(const FilterBlock& block, const int32_t* table, int32_t top, int32_t* colSum) {
    const int w = block.width, h = block.height;
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = block.SrcRow(y);
        uint8_t* d = block.DstRow(y);
        if (y < 2 || y > h - 3 || w < 5) {
            CopyPixels<SampleBytes, Channels>(s, d, Bpp, 0, w);
            continue;
        }
        // Vertical sums of rows y - 2 .. y + 1 for every column of the row.
        const uint8_t* rows[4] = {block.SrcRow(y - 2), block.SrcRow(y - 1), s, block.SrcRow(y + 1)};
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < Channels; ++c) {
                const int off = x * Bpp + c * SampleBytes;
                colSum[x * Channels + c] = LoadSample<SampleBytes>(rows[0] + off) +
                                           LoadSample<SampleBytes>(rows[1] + off) +
                                           LoadSample<SampleBytes>(rows[2] + off) +
                                           LoadSample<SampleBytes>(rows[3] + off);
            }
        CopyPixels<SampleBytes, Channels>(s, d, Bpp, 0, 2);
        for (int x = 2; x <= w - 3; ++x) {
            int c0, c1, c2, c3;
            if (WideColumns) {
                c0 = x - 2, c1 = x, c2 = x + 2, c3 = x + 4 < w ? x + 4 : w - 1;
            } else {
                c0 = x - 2, c1 = x - 1, c2 = x, c3 = x + 1;
            }
            for (int c = 0; c < Channels; ++c) {
                const int32_t blurred = (colSum[c0 * Channels + c] + colSum[c1 * Channels + c] +
                                         colSum[c2 * Channels + c] + colSum[c3 * Channels + c]) >> 4;
                const int off = x * Bpp + c * SampleBytes;
                StoreSample<SampleBytes>(d + off, SharpenSample(LoadSample<SampleBytes>(s + off),
                                                                blurred, table, top));
            }
        }
        CopyPixels<SampleBytes, Channels>(s, d, Bpp, w - 2, w);
    }
}

// Builds the table and working row for the call, or skips the filter when memory is short.
template <int SampleBytes, int Bpp, int Channels, bool WideColumns>
int Sharpen(const FilterBlock& block, const FilterParams& p) {
    if (block.Empty()) return 1;
    const int32_t top = SampleBytes == 1 ? 255 : (int32_t(1) << FilterSampleBits(p.bits)) - 1;
    std::unique_ptr<int32_t[]> colSum(NewFilterTable<int32_t>(size_t(block.width) * Channels));
    if (!colSum) return 0;
    if (SampleBytes == 1) {
        int32_t table[512];
        BuildSharpenTable(p.value, top, table);
        SharpenBlock<SampleBytes, Bpp, Channels, WideColumns>(block, table, top, colSum.get());
    } else {
        std::unique_ptr<int32_t[]> table(NewFilterTable<int32_t>(SharpenTableSize(top)));
        if (!table) return 0;
        BuildSharpenTable(p.value, top, table.get());
        SharpenBlock<SampleBytes, Bpp, Channels, WideColumns>(block, table.get(), top, colSum.get());
    }
    return 1;
}

}  // namespace

#define SHARPEN_PARAMS                                                     \
    const FilterParams* p = FilterParamBlock<const FilterParams>(params); \
    if (p == nullptr) return 0;

int Sharpen8(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 1, 1)
    SHARPEN_PARAMS
    return Sharpen<1, 1, 1, false>(block, *p);
}

int SharpenRgb8(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 3, 4)
    SHARPEN_PARAMS
    if (block.bytesPerPixel == 3) return Sharpen<1, 3, 3, false>(block, *p);
    return Sharpen<1, 4, 3, false>(block, *p);
}

int Sharpen16(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 2, 2)
    SHARPEN_PARAMS
    return Sharpen<2, 2, 1, false>(block, *p);
}

int SharpenRgb16(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 6, 8)
    SHARPEN_PARAMS
    if (block.bytesPerPixel == 6) return Sharpen<2, 6, 3, true>(block, *p);
    return Sharpen<2, 8, 3, true>(block, *p);
}
