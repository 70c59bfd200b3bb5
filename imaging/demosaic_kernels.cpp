// The demosaic kernels: unpack the parameter slot, resolve the rectangle to row pointers and pick
// the vector interior when it reproduces the scalar result, else the scalar twin.
#include "imaging/demosaic_kernels.h"

#include <cmath>

#include "imaging/cpu_features.h"
#include "imaging/demosaic_avx2.h"
#include "imaging/demosaic_scalar.h"
#include "imaging/demosaic_sse2.h"

int32_t BayerGainFactor(int32_t gainPercent) {
    const double factor = std::trunc(static_cast<double>(gainPercent) * 1.28);
    if (factor >= 2147483647.0) return INT32_MAX;
    if (factor <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(factor);
}

namespace {

// Fills job from the kernel arguments; false when the call cannot be served safely (no parameter
// block, or destination pixels too small for three samples).
bool PrepareJob(DemosaicJob* job, uint8_t* dstBits, const uint8_t* srcBits, const DibRect* rect,
                int dstX, int dstRow, uint16_t dstBytesPerPixel, int dstStride, int srcStride,
                KernelParamSlot* params, int sampleBytes) {
    if (params == nullptr || *params == nullptr || rect == nullptr) return false;
    if (dstBytesPerPixel < 3 * sampleBytes) return false;
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

}  // namespace

#define PREPARE_JOB(sampleBytes)                                                             \
    DemosaicJob job;                                                                         \
    (void)srcBytesPerPixel, (void)spare;                                                     \
    if (!PrepareJob(&job, dstBits, srcBits, rect, dstX, dstRow, dstBytesPerPixel, dstStride, \
                    srcStride, params, sampleBytes))                                         \
        return 0;

int Demosaic8Inner(PIXEL_KERNEL_ARGS) {
    PREPARE_JOB(1)
    if (CpuHasAvx2() && DemosaicInner8Avx2(job)) return 1;
    if (!DemosaicInner8Sse2(job)) DemosaicInner8Scalar(job);
    return 1;
}

int Demosaic8Border(PIXEL_KERNEL_ARGS) {
    PREPARE_JOB(1)
    if (CpuHasAvx2() && DemosaicBorderRows8Avx2(job))
        DemosaicBorderColumns8Scalar(job);
    else
        DemosaicBorder8Scalar(job);
    return 1;
}

int Demosaic16Inner(PIXEL_KERNEL_ARGS) {
    PREPARE_JOB(2)
    if (CpuHasAvx2() && DemosaicInner16Avx2(job)) return 1;
    if (!DemosaicInner16Sse2(job)) DemosaicInner16Scalar(job);
    return 1;
}

int Demosaic16Border(PIXEL_KERNEL_ARGS) {
    PREPARE_JOB(2)
    if (CpuHasAvx2() && DemosaicBorderRows16Avx2(job))
        DemosaicBorderColumns16Scalar(job);
    else
        DemosaicBorder16Scalar(job);
    return 1;
}
