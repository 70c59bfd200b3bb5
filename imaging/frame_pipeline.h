// The per-frame processing of one camera: software mirroring of the raw frame, automatic exposure
// or gain from five sample windows, the gray-mode gains or the white balance and demosaic, then
// hue and saturation, gamma, contrast, sharpness and brightness on the result image of the colour
// type. Filters at their neutral value are not run.
//
// The pipeline owns nothing of the camera: it reads and writes the camera's settings records,
// works on the camera's images, asks the device for gain and exposure and tells the camera about
// dialog updates through a listener whose calls must not wait (the camera posts them).
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/demosaic_kernels.h"
#include "imaging/dib_image.h"
#include "imaging/filter_kernels.h"
#include "imaging/grow_buffer.h"
#include "imaging/pixel_runner.h"

namespace quorin {
struct FilterSettings;
struct AnalogSettings;
class AnalogDevice;
}  // namespace quorin

// The camera's images for one frame. Images a colour type does not use may be null or empty.
struct FrameBuffers {
    CDibImage* image8 = nullptr;   // raw frame of types 0, 2, 3; result of type 0
    CDibImage* image16 = nullptr;  // raw frame of types 1, 4, 5; result of type 1
    CDibImage* image24 = nullptr;  // result of type 2; demosaic target of gray mode 2
    CDibImage* image32 = nullptr;
    CDibImage* image48 = nullptr;
    CDibImage* image64 = nullptr;
    CDibImage* workImage = nullptr;  // like the result: the copy sharpening reads
};

// Requests the pipeline makes to the camera's dialogs. They are notifications: the camera
// forwards them by posting, and the pipeline never waits for them.
class FramePipelineListener {
public:
    // The filter dialog, if open, should reload its controls (measured gains changed).
    virtual void FilterDialogRefresh() = 0;
    // The analog dialog, if open, should show value in control controlId.
    virtual void AnalogDialogValue(int controlId, int value) = 0;

protected:
    ~FramePipelineListener() = default;
};

// How colour frames are computed. Every variant gives the same pixels; Kernels runs the demosaic
// and then one filter kernel after the other over the whole frame, the others demosaic and filter
// row by row in horizontal strips on the library's strip pool, with the per-sample steps folded
// into tables, and use the instruction set they name.
enum class PipelineVariant { Kernels = 0, Scalar = 1, Sse2 = 2, Avx2 = 3, Avx512 = 4 };

class FramePipeline {
public:
    static const int kGainControl = 1015;      // analog dialog: global gain
    static const int kExposureControl = 1027;  // analog dialog: exposure register

    // device and listener may be null (no automatic exposure, nobody to tell).
    FramePipeline(quorin::FilterSettings& filters, quorin::AnalogSettings& analog,
                  quorin::AnalogDevice* device, FramePipelineListener* listener);
    virtual ~FramePipeline();
    FramePipeline(const FramePipeline&) = delete;
    FramePipeline& operator=(const FramePipeline&) = delete;

    // Processes the raw frame of colourType (0..5) in buffers into its result image.
    void Run(const FrameBuffers& buffers, int colourType);

    // Chooses the variant; one the processor lacks falls back to the best it has.
    void SetVariant(PipelineVariant variant);
    PipelineVariant Variant() const { return variant_; }
    static PipelineVariant BestVariant();
    // Horizontal strips a colour frame is cut into (fused variants); 0, the default, gives one per
    // thread of the strip pool. At most kMostStrips, and never more than the frame has rows.
    void SetStrips(int strips);
    static const int kMostStrips = 64;
    static const char* VariantName(PipelineVariant variant);

    // BayerMode with bit 0 toggled for a vertical mirror and bit 1 for a horizontal one.
    static int EffectivePhase(int bayerMode, int mirrorV, int mirrorH);
    // The exposure factor from the five window means (centre-left, ... as measured).
    static double AutoIrisFactor(const int means[5]);

protected:
    // The temporary image of the software mirror; 0 when it cannot be made.
    virtual int CreateMirrorImage(CDibImage& temp, const CDibImage& raw);
    // Memory for per-frame tables; null when it cannot be had.
    virtual void* AllocateTable(size_t bytes);
    virtual void FreeTable(void* table);

private:
    void MirrorRaw(CDibImage& raw, int mirrorV, int mirrorH);
    void AutoIris(CDibImage& raw, int mode);
    void GrayGains(CDibImage& raw, int colourType, int phase);
    BayerParams WhiteBalance(CDibImage& src, int phase);
    void ColourStep(CDibImage* dst, CDibImage& src, int phase);
    void Demosaic(CDibImage& dst, CDibImage& src, BayerParams bayer);
    void KernelFilters(CDibImage& result, CDibImage* work, int colourType);
    int StripCount(int height) const;
    int MeasureWbInStrips(const CDibImage& mosaic, int sampleBytes, WbMeasure* wb);
    bool RunColourStrips(const struct ColourStripPlan& plan);
    bool FusedColour8(CDibImage& result, const CDibImage& raw, const BayerParams& bayer, CDibImage* work);
    bool FusedColour16(CDibImage& result, const CDibImage& raw, const BayerParams& bayer, CDibImage* work);
    uint16_t* SampleTable16(const PixelKernel* kernels, const int* values, int count);

    quorin::FilterSettings& filters_;
    quorin::AnalogSettings& analog_;
    quorin::AnalogDevice* device_;
    FramePipelineListener* listener_;
    PipelineVariant variant_;
    int strips_;
    GrowBuffer stripScratch_;  // the colour strips' working rows
};
