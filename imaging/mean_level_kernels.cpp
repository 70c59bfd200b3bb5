// Mean level of a window of the raw frame on the 0..255 scale, for the automatic exposure and
// gain control. The kernels write nothing; the mean is their result.
#include "imaging/filter_block.h"
#include "imaging/filter_kernels.h"

namespace {

template <int SampleBytes>
int MeanLevel(const FilterBlock& block) {
    if (block.Empty()) return 0;
    uint64_t sum = 0;
    for (int y = 0; y < block.height; ++y) {
        const uint8_t* s = block.SrcRow(y);
        for (int x = 0; x < block.width; ++x, s += SampleBytes)
            sum += SampleBytes == 1 ? s[0] : (LoadSample16(s) >> 2) & 0xFF;
    }
    return int(sum / (uint64_t(block.width) * uint64_t(block.height)));
}

}  // namespace

int MeanLevel8(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 1, 1)
    (void)params;
    return MeanLevel<1>(block);
}

int MeanLevel16(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 2, 2)
    (void)params;
    return MeanLevel<2>(block);
}
