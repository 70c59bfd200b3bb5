// Brightness, contrast and gamma: per-sample tone curves. 8-bit kernels look every sample up in a
// 256-entry table built for the call; 16-bit contrast and gamma use a table of the sample width
// allocated for the call (the filter is skipped when it cannot be had), 16-bit brightness
// multiplies directly.
#include <memory>

#include "imaging/filter_block.h"
#include "imaging/filter_kernels.h"
#include "imaging/filter_tables.h"

namespace {

int32_t SampleMax16(int32_t bits) { return (int32_t(1) << FilterSampleBits(bits)) - 1; }

int LookUp8(const FilterBlock& block, const uint8_t table[256]) {
    MapPixels8(block, [table](uint8_t s) { return table[s]; });
    return 1;
}

// Samples above the table (a 16-bit image may hold more than the sample width) take its last
// entry.
int LookUp16(const FilterBlock& block, const uint16_t* table, int32_t last) {
    MapPixels16(block, [table, last](uint16_t s) { return table[s > last ? last : s]; });
    return 1;
}

int Brightness8Block(const FilterBlock& block, const FilterParams& p) {
    uint8_t table[256];
    BuildBrightnessTable8(p.value, table);
    return LookUp8(block, table);
}

int Brightness16Block(const FilterBlock& block, const FilterParams& p) {
    const float factor = BrightnessFactor(p.value);
    const int32_t maxValue = SampleMax16(p.bits);
    MapPixels16(block, [factor, maxValue](uint16_t s) {
        return static_cast<uint16_t>(BrightnessSample(s, factor, maxValue));
    });
    return 1;
}

int Contrast8Block(const FilterBlock& block, const FilterParams& p) {
    uint8_t table[256];
    BuildContrastTable8(p.value, table);
    return LookUp8(block, table);
}

int Contrast16Block(const FilterBlock& block, const FilterParams& p) {
    const int bits = FilterSampleBits(p.bits);
    const int32_t size = int32_t(1) << bits;
    std::unique_ptr<uint16_t[]> table(NewFilterTable<uint16_t>(size_t(size)));
    if (!table) return 0;
    BuildContrastTable16(p.value, bits, table.get());
    return LookUp16(block, table.get(), size - 1);
}

int Gamma8Block(const FilterBlock& block, double exponent) {
    uint8_t table[256];
    BuildGammaTable8(exponent, table);
    return LookUp8(block, table);
}

int Gamma16Block(const FilterBlock& block, const FilterParams& p) {
    const int bits = FilterSampleBits(p.bits);
    const int32_t size = int32_t(1) << bits;
    std::unique_ptr<uint16_t[]> table(NewFilterTable<uint16_t>(size_t(size)));
    if (!table) return 0;
    BuildGammaTable16(GammaExponent(p.value), bits, table.get());
    return LookUp16(block, table.get(), size - 1);
}

}  // namespace

// Each kernel: resolve the call for its pixel sizes, then the shared block routine.
#define TONE_KERNEL(name, sizeA, sizeB, body)                              \
    int name(PIXEL_KERNEL_ARGS) {                                          \
        RESOLVE_FILTER_BLOCK(block, sizeA, sizeB)                          \
        const FilterParams* p = FilterParamBlock<const FilterParams>(params); \
        if (p == nullptr) return 0;                                        \
        if (block.Empty()) return 1;                                       \
        return body;                                                       \
    }

TONE_KERNEL(Brightness8, 1, 1, Brightness8Block(block, *p))
TONE_KERNEL(BrightnessRgb8, 3, 4, Brightness8Block(block, *p))
TONE_KERNEL(Brightness16, 2, 2, Brightness16Block(block, *p))
TONE_KERNEL(BrightnessRgb16, 6, 8, Brightness16Block(block, *p))

TONE_KERNEL(Contrast8, 1, 1, Contrast8Block(block, *p))
TONE_KERNEL(ContrastRgb8, 3, 4, Contrast8Block(block, *p))
TONE_KERNEL(Contrast16, 2, 2, Contrast16Block(block, *p))
TONE_KERNEL(ContrastRgb16, 6, 8, Contrast16Block(block, *p))

TONE_KERNEL(Gamma8, 1, 1, Gamma8Block(block, GammaExponent(p->value)))
TONE_KERNEL(GammaRgb8, 3, 4, Gamma8Block(block, GammaExponentRgb8(p->value)))
TONE_KERNEL(Gamma16, 2, 2, Gamma16Block(block, *p))
TONE_KERNEL(GammaRgb16, 6, 8, Gamma16Block(block, *p))
