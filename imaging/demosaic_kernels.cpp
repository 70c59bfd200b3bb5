// The demosaic kernels: unpack the parameter slot, resolve the rectangle to row pointers and pick
// the vector interior when it reproduces the scalar result, else the scalar twin.
#include "imaging/demosaic_kernels.h"

#include <cmath>

#include "imaging/cpu_features.h"
#include "imaging/demosaic_avx2.h"
#include "imaging/demosaic_avx512.h"
#include "imaging/demosaic_scalar.h"
#include "imaging/demosaic_sse2.h"

int32_t BayerGainFactor(int32_t gainPercent) {
    const double factor = std::trunc(static_cast<double>(gainPercent) * 1.28);
    if (factor >= 2147483647.0) return INT32_MAX;
    if (factor <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(factor);
}

namespace {

// Fills job from the kernel arguments; false when the call cannot be served safely: no parameter
// block, a source that is not one sample of the kernel's depth per pixel (reading a 1-byte image
// as 2-byte samples would run past its block), or a destination pixel other than three or four
// samples of that depth.
bool PrepareJob(DemosaicJob* job, uint8_t* dstBits, const uint8_t* srcBits, const DibRect* rect,
                int dstX, int dstRow, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                int dstStride, int srcStride, KernelParamSlot* params, int sampleBytes) {
    if (params == nullptr || *params == nullptr || rect == nullptr) return false;
    if (srcBytesPerPixel != sampleBytes) return false;
    if (dstBytesPerPixel != 3 * sampleBytes && dstBytesPerPixel != 4 * sampleBytes) return false;
    const BayerParams* bayer = static_cast<const BayerParams*>(*params);
    job->src = srcBits + ptrdiff_t(rect->top) * srcStride + ptrdiff_t(rect->left) * sampleBytes;
    job->srcStride = srcStride;
    job->dst = dstBits + ptrdiff_t(dstRow) * dstStride + ptrdiff_t(dstX) * dstBytesPerPixel;
    job->dstStride = dstStride;
    job->dstBytesPerPixel = dstBytesPerPixel;
    job->width = rect->right - rect->left;
    job->height = rect->bottom - rect->top;
    job->rowPhase = (bayer->phase & 1) != 0;
    job->colPhase = (bayer->phase & 2) != 0;
    job->redFactor = BayerGainFactor(bayer->redGain);
    job->blueFactor = BayerGainFactor(bayer->blueGain);
    return true;
}

// The widest interior that reproduces the scalar result for the job on this processor (AVX-512
// for 8-bit mosaics only).
CpuVectorLevel InteriorLevel(const DemosaicJob& job, int sampleBytes) {
    CpuVectorLevel level = CpuKernelLevel();
    if (level == CpuVectorLevel::Scalar) return level;
    if (level > CpuVectorLevel::Avx2 && sampleBytes != 1) level = CpuVectorLevel::Avx2;
    const bool accepted = sampleBytes == 1 ? DemosaicVectorAccepts8(job) : DemosaicVectorAccepts16(job);
    return accepted ? level : CpuVectorLevel::Scalar;
}

}  // namespace

CpuVectorLevel DemosaicInteriorLevel(uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                                     const BayerParams& params) {
    const int sampleBytes = srcBytesPerPixel == 2 ? 2 : 1;
    DemosaicJob job = {};
    const DibRect rect = {0, 0, 0, 0};
    uint8_t noPixels[1] = {0};
    KernelParamSlot slot = const_cast<BayerParams*>(&params);
    if (!PrepareJob(&job, noPixels, noPixels, &rect, 0, 0, dstBytesPerPixel, srcBytesPerPixel, 0, 0,
                    &slot, sampleBytes))
        return CpuVectorLevel::Scalar;
    return InteriorLevel(job, sampleBytes);
}

bool PrepareDemosaicFrame(DemosaicFrame* frame, const uint8_t* srcBits, int srcStride, int width, int height,
                          uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, const BayerParams& params) {
    const int sampleBytes = srcBytesPerPixel == 2 ? 2 : 1;
    const DibRect rect = {0, 0, width, height};
    KernelParamSlot slot = const_cast<BayerParams*>(&params);
    uint8_t noPixels[1] = {0};
    if (!PrepareJob(&frame->job, noPixels, srcBits, &rect, 0, 0, dstBytesPerPixel, srcBytesPerPixel, 0, srcStride,
                    &slot, sampleBytes))
        return false;
    frame->job.dst = nullptr;
    frame->sampleBytes = sampleBytes;
    frame->level = InteriorLevel(frame->job, sampleBytes);
    frame->row8 = nullptr;
    return true;
}

// The row's job writes to out whatever row it names (stride 0). Interior rows on SSE2 run the
// interior kernel over the five rows around them; the frame's rows take the scalar twin there.
void DemosaicFrameRow(const DemosaicFrame& frame, int y, uint8_t* out, int16_t* scratch) {
    DemosaicJob job = frame.job;
    job.dst = out;
    job.dstStride = 0;
    const bool wide = frame.sampleBytes == 2;
    bool plainDone = job.width <= 4;
    if (!plainDone && !wide && frame.row8 && frame.level >= CpuVectorLevel::Avx2) plainDone = frame.row8(job, y, scratch);
    if (!plainDone && frame.level >= CpuVectorLevel::Avx2)
        plainDone = wide ? DemosaicRow16Avx2(job, y, scratch) : DemosaicRow8Avx2(job, y, scratch);
    if (!plainDone && frame.level >= CpuVectorLevel::Sse2 && y >= 2 && y <= job.height - 3) {
        DemosaicJob five = job;
        five.src = job.src + ptrdiff_t(y - 2) * job.srcStride;
        five.height = 5;
        five.rowPhase = job.rowPhase != ((y & 1) != 0);
        plainDone = wide ? DemosaicInner16Sse2(five) : DemosaicInner8Sse2(five);
    }
    if (!plainDone) {
        const uint8_t* rows[4];
        DemosaicNeighbourRows(job, y, rows);
        if (wide)
            DemosaicRow16Scalar(job, rows, y, 2, job.width - 2);
        else
            DemosaicRow8Scalar(job, rows, y, 2, job.width - 2);
    }
    if (wide)
        DemosaicRowEdges16Scalar(job, y);
    else
        DemosaicRowEdges8Scalar(job, y);
}

#define PREPARE_JOB(sampleBytes)                                                             \
    DemosaicJob job;                                                                         \
    (void)spare;                                                                             \
    if (!PrepareJob(&job, dstBits, srcBits, rect, dstX, dstRow, dstBytesPerPixel,            \
                    srcBytesPerPixel, dstStride, srcStride, params, sampleBytes))            \
        return 0;

// A vector variant that declines (it cannot get its scratch memory) leaves the job to the next
// narrower one.
int Demosaic8Inner(PIXEL_KERNEL_ARGS) {
    PREPARE_JOB(1)
    const CpuVectorLevel level = InteriorLevel(job, 1);
    if (level >= CpuVectorLevel::Avx512 && DemosaicInner8Avx512(job)) return 1;
    if (level >= CpuVectorLevel::Avx2 && DemosaicInner8Avx2(job)) return 1;
    if (level >= CpuVectorLevel::Sse2 && DemosaicInner8Sse2(job)) return 1;
    DemosaicInner8Scalar(job);
    return 1;
}

int Demosaic8Border(PIXEL_KERNEL_ARGS) {
    PREPARE_JOB(1)
    const CpuVectorLevel level = InteriorLevel(job, 1);
    if ((level >= CpuVectorLevel::Avx512 && DemosaicBorderRows8Avx512(job)) ||
        (level >= CpuVectorLevel::Avx2 && DemosaicBorderRows8Avx2(job)))
        DemosaicBorderColumns8Scalar(job);
    else
        DemosaicBorder8Scalar(job);
    return 1;
}

int Demosaic16Inner(PIXEL_KERNEL_ARGS) {
    PREPARE_JOB(2)
    const CpuVectorLevel level = InteriorLevel(job, 2);
    if (level >= CpuVectorLevel::Avx2 && DemosaicInner16Avx2(job)) return 1;
    if (level >= CpuVectorLevel::Sse2 && DemosaicInner16Sse2(job)) return 1;
    DemosaicInner16Scalar(job);
    return 1;
}

int Demosaic16Border(PIXEL_KERNEL_ARGS) {
    PREPARE_JOB(2)
    if (InteriorLevel(job, 2) >= CpuVectorLevel::Avx2 && DemosaicBorderRows16Avx2(job))
        DemosaicBorderColumns16Scalar(job);
    else
        DemosaicBorder16Scalar(job);
    return 1;
}
