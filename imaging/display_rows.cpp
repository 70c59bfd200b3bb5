#include "imaging/display_rows.h"

#include <cstddef>

#include "imaging/cpu_features.h"
#include "imaging/display_rows_avx2.h"
#include "imaging/strip_pool.h"

void WidenRows24To32(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, int width, int y0, int y1) {
    const bool avx2 = CpuKernelLevel() >= CpuVectorLevel::Avx2;
    for (int y = y0; y < y1; ++y) {
        const uint8_t* s = src + ptrdiff_t(y) * srcStride;
        uint8_t* d = dst + ptrdiff_t(y) * dstStride;
        int x = avx2 ? WidenRow24To32Avx2(s, d, width) : 0;
        for (; x < width; ++x) {
            d[4 * x] = s[3 * x];
            d[4 * x + 1] = s[3 * x + 1];
            d[4 * x + 2] = s[3 * x + 2];
            d[4 * x + 3] = 0;
        }
    }
}

namespace {

struct WidenRun {
    const uint8_t* src;
    uint8_t* dst;
    int srcStride, dstStride, width, height, count;
};

void WidenStripTask(void* context, int index) {
    const WidenRun& run = *static_cast<const WidenRun*>(context);
    WidenRows24To32(run.src, run.srcStride, run.dst, run.dstStride, run.width,
                    StripPool::StripBegin(run.height, index, run.count),
                    StripPool::StripBegin(run.height, index + 1, run.count));
}

}  // namespace

void WidenFrame24To32(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, int width, int height) {
    if (src == nullptr || dst == nullptr || width <= 0 || height <= 0) return;
    StripPool& pool = StripPool::Shared();
    const int count = pool.Threads() < height ? pool.Threads() : height;
    WidenRun run = {src, dst, srcStride, dstStride, width, height, count};
    pool.Run(count, WidenStripTask, &run);
}
