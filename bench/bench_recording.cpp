// The Motion-JPEG encoder of recordings on full 1360 x 1024 frames, single-threaded: ms per frame,
// Mpixel/s, the bytes of one frame and what a minute at the camera's 13 frames/s takes on disk,
// beside the uncompressed frame. The frame is the simulated camera's composite scene (bars, ramp,
// patches, the moving square) demosaiced as the frame pipeline does, with a little sensor noise.
// Each timed result is decoded again by libjpeg and checked ("CHECK name ok": a whole image of
// the frame's size within the PSNR bound); exits 1 when a check fails.
//   ./run bench [runs]        (default 60 runs per figure, median reported)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "driver/model/m52_scene.h"
#include "files/mjpeg_encoder.h"
#include "imaging/colour_kernels.h"
#include "imaging/dib_image.h"
#include "imaging/pixel_runner.h"

namespace {

const int kWidth = 1360;
const int kHeight = 1024;
const double kCameraFps = 13.0;  // the camera's full-frame rate at realtime pacing
const double kMinPsnr = 38.0;
int g_failedChecks = 0;

double ThreadCpuMs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The median wall time of one encoding, and in *cpuMs the median processor time the thread spent
// on it (on a loaded machine the wall time also counts the time other processes ran).
double MedianMs(int runs, CMjpegEncoder& encoder, const CDibImage& frame, int quality, double* cpuMs) {
    std::vector<double> times, cpu;
    encoder.Encode(frame.bits, frame.width, frame.height, frame.stride, frame.bitCount, quality);  // warm up
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuMs();
        encoder.Encode(frame.bits, frame.width, frame.height, frame.stride, frame.bitCount, quality);
        cpu.push_back(ThreadCpuMs() - cpuStart);
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    std::nth_element(cpu.begin(), cpu.begin() + runs / 2, cpu.end());
    *cpuMs = cpu[size_t(runs / 2)];
    return times[size_t(runs / 2)];
}

// Decodes the JPEG image and returns its PSNR against the bottom-up frame, or -1 when it is not an
// image of the frame's size and depth.
double DecodedPsnr(const uint8_t* data, size_t size, const CDibImage& frame) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    const int components = frame.bitCount / 8;
    double squared = 0;
    bool ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK;
    if (ok) {
        cinfo.out_color_space = components == 1 ? JCS_GRAYSCALE : JCS_EXT_BGR;
        jpeg_start_decompress(&cinfo);
        ok = int(cinfo.output_width) == frame.width && int(cinfo.output_height) == frame.height &&
             cinfo.output_components == components;
        std::vector<uint8_t> row(size_t(cinfo.output_width) * cinfo.output_components);
        while (ok && cinfo.output_scanline < cinfo.output_height) {
            const int y = int(cinfo.output_scanline);
            JSAMPROW rows[1] = {row.data()};
            jpeg_read_scanlines(&cinfo, rows, 1);
            const uint8_t* src = frame.bits + size_t(frame.height - 1 - y) * frame.stride;
            for (size_t i = 0; i < row.size(); ++i) {
                const double d = double(row[i]) - double(src[i]);
                squared += d * d;
            }
        }
        if (ok) jpeg_finish_decompress(&cinfo);
    }
    jpeg_destroy_decompress(&cinfo);
    if (!ok) return -1;
    const double mse = squared / (double(frame.width) * frame.height * components);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

void Check(const std::string& name, const std::string& problem) {
    std::printf("CHECK %-28s %s\n", name.c_str(), problem.empty() ? "ok" : problem.c_str());
    if (!problem.empty()) ++g_failedChecks;
}

// One encoder line: time, size, MB per minute at 13 frames/s, PSNR of the decoded image.
void MeasureEncoder(int runs, const std::string& name, const CDibImage& frame, int quality) {
    CMjpegEncoder encoder;
    double cpuMs = 0;
    const double ms = MedianMs(runs, encoder, frame, quality, &cpuMs);
    const double bytes = double(encoder.Size());
    const double psnr = DecodedPsnr(encoder.Data(), encoder.Size(), frame);
    std::printf("%-28s %8.3f ms/frame %9.1f Mpixel/s  cpu %.3f ms  q%-3d %8.0f bytes/frame %7.1f MB/min at 13 fps  "
                "PSNR %.1f dB\n",
                name.c_str(), ms, double(kWidth) * kHeight / ms / 1000.0, cpuMs, quality, bytes,
                bytes * kCameraFps * 60.0 / 1e6, psnr);
    if (psnr < 0)
        Check(name, "not a whole JPEG image of the frame");
    else if (quality >= 90 && psnr < kMinPsnr)
        Check(name, "PSNR " + std::to_string(psnr) + " below " + std::to_string(kMinPsnr));
    else
        Check(name, "");
}

// The composite scene as the sensor sees it, with a little deterministic noise, demosaiced.
bool MakeFrame(CDibImage& rgb, CDibImage& gray) {
    CDibImage raw;
    if (raw.Create(kWidth, kHeight, 8) != 1 || rgb.Create(kWidth, kHeight, 24) != 1 ||
        gray.Create(kWidth, kHeight, 8) != 1)
        return false;
    M52SceneParams scene = {};
    scene.scene = M52_SCENE_COMPOSITE;
    scene.exposure_lines = M52_REFERENCE_LINES;
    scene.gain = M52_REFERENCE_GAIN;
    std::vector<uint8_t> mosaic(size_t(kWidth) * kHeight);
    m52_scene_render(&scene, mosaic.data(), uint32_t(mosaic.size()), 0);
    uint32_t state = 12345;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noisy = mosaic[size_t(y) * kWidth + x] + int(state >> 29) - 4;
            raw.bits[size_t(y) * raw.stride + x] = uint8_t(std::min(255, std::max(0, noisy)));
        }
    BayerParams bayer = {1, 100, 100, 100};  // R G over G B from the top line, as the model
    KernelParamSlot slot = &bayer;
    RunPixelKernel(rgb, Demosaic8Inner, raw, nullptr, 0, 0, &slot, nullptr);
    RunPixelKernel(rgb, Demosaic8Border, raw, nullptr, 0, 0, &slot, nullptr);
    RunPixelKernel(gray, ColourToGray8, rgb, nullptr, 0, 0, nullptr, nullptr);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(50, std::atoi(argv[1])) : 60;
    CDibImage rgb, gray;
    if (!MakeFrame(rgb, gray)) {
        std::fprintf(stderr, "out of memory for the frames\n");
        return 2;
    }
    const double rawBytes = double(rgb.stride) * kHeight;
    std::printf("Motion-JPEG encoder (libjpeg-turbo %d), %d x %d frames, median of %d runs, one thread\n",
                LIBJPEG_TURBO_VERSION_NUMBER, kWidth, kHeight, runs);
    std::printf("%-28s %8s %19s %8.0f bytes/frame %7.1f MB/min at 13 fps\n", "uncompressed24", "", "",
                rawBytes + 8, (rawBytes + 8) * kCameraFps * 60.0 / 1e6);
    MeasureEncoder(runs, "mjpeg_encode24", rgb, 90);
    MeasureEncoder(runs, "mjpeg_encode24_q100", rgb, 100);
    MeasureEncoder(runs, "mjpeg_encode24_q50", rgb, 50);
    MeasureEncoder(runs, "mjpeg_encode8", gray, 90);
    if (g_failedChecks != 0) {
        std::printf("%d checks FAILED\n", g_failedChecks);
        return 1;
    }
    return 0;
}
