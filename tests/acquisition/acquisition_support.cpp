#include "tests/acquisition/acquisition_support.h"

#include <cstring>

#include "driver/m52sim_control.h"
#include "driver/model/m52_scene.h"
#include "imaging/demosaic_kernels.h"
#include "imaging/dib_image.h"
#include "imaging/pixel_runner.h"

namespace acqtest {

namespace {
const int kW = 1360, kH = 1024;
}  // namespace

std::vector<uint8_t> NoisePicture(uint32_t seed) {
    std::vector<uint8_t> rgb(size_t(kW) * kH * 3);
    uint32_t s = seed;
    for (uint8_t& v : rgb) {
        s = s * 1664525u + 1013904223u;
        v = uint8_t(s >> 24);
    }
    return rgb;
}

std::vector<uint8_t> RedLeftBlueRightPicture() {
    std::vector<uint8_t> rgb(size_t(kW) * kH * 3, 0);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) rgb[(size_t(y) * kW + x) * 3 + (x < kW / 2 ? 0 : 2)] = 200;
    return rgb;
}

std::vector<uint8_t> SimulatedMosaic(uint32_t camera, const std::vector<uint8_t>& picture, bool wordMode) {
    const M52SimStatus status = qtest::Sim().Status(camera);
    M52SceneParams scene = {};
    scene.scene = M52_SCENE_PICTURE;
    scene.exposure_lines = status.exposure_lines;
    scene.gain = status.gain;
    scene.picture_rgb = picture.data();
    std::vector<uint8_t> out(size_t(kW) * kH * (wordMode ? 2 : 1));
    m52_scene_render(&scene, out.data(), uint32_t(kW) * kH, wordMode ? 1 : 0);
    return out;
}

std::vector<uint8_t> DemosaicOf(const std::vector<uint8_t>& mosaic, int bitsPerPixel) {
    const bool wide = bitsPerPixel >= 48;
    CDibImage src, dst;
    if (!src.Create(kW, kH, wide ? 16 : 8) || !dst.Create(kW, kH, uint16_t(bitsPerPixel))) return {};
    for (int y = 0; y < kH; ++y)
        std::memcpy(src.bits + size_t(y) * src.stride, &mosaic[size_t(y) * kW * (wide ? 2 : 1)], size_t(kW) * (wide ? 2 : 1));
    BayerParams params = {1, 100, 100, 100};
    KernelParamSlot slot = &params;
    RunPixelKernel(dst, wide ? Demosaic16Inner : Demosaic8Inner, src, nullptr, 0, 0, &slot, nullptr);
    RunPixelKernel(dst, wide ? Demosaic16Border : Demosaic8Border, src, nullptr, 0, 0, &slot, nullptr);
    return std::vector<uint8_t>(dst.bits, dst.bits + size_t(dst.stride) * dst.height);
}

}  // namespace acqtest
