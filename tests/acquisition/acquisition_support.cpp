#include "tests/acquisition/acquisition_support.h"

#include <cstdio>
#include <cstring>

#include "driver/m52sim_control.h"
#include "driver/model/m52_scene.h"
#include "imaging/demosaic_kernels.h"
#include "imaging/dib_image.h"
#include "imaging/pixel_runner.h"

namespace acqtest {

namespace {
const int kW = 1360, kH = 1024;
const char kProductKey[] = "Software\\Zudada\\QuorinM52DXLTXSdk";
}  // namespace

std::vector<FrameNotice> CollectFrames(HWND window, DWORD ms, size_t count) {
    std::vector<FrameNotice> notices;
    size_t frames = 0;
    const DWORD start = GetTickCount();
    while (frames < count && GetTickCount() - start < ms) {
        for (const PostedMessage& m : TestWindow::Drain()) {
            if (m.message != QUORIN_WM_FRAME || m.window != window) continue;
            FrameNotice n;
            n.code = m.lParam;
            n.at = GetTickCount();
            if (m.wParam) {
                n.hasInfo = true;
                std::memcpy(&n.info, reinterpret_cast<const void*>(m.wParam), sizeof n.info);
                ++frames;
            }
            notices.push_back(n);
        }
        Sleep(2);
    }
    return notices;
}

DWORD WaitForFrameError(HWND window, LPARAM code, DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        for (const PostedMessage& m : TestWindow::Drain())
            if (m.message == QUORIN_WM_FRAME && m.window == window && m.wParam == 0 && m.lParam == code)
                return GetTickCount();
        Sleep(2);
    }
    return 0;
}

std::vector<int> DrainHistory(int handle) {
    std::vector<int> codes;
    for (int code; codes.size() < 25 && (code = Quorin_GetLastError(handle)) != 0;) codes.push_back(code);
    return codes;
}

bool RunM52Sim(const std::string& args, std::string* why) {
    char exe[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string path(exe, n);
    path = path.substr(0, path.find_last_of("\\/") + 1) + "m52sim.exe";
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return *why = "no " + path, false;
    std::string line = "\"" + path + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return *why = "cannot start m52sim", false;
    WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (code != 0) *why = "m52sim " + args + " failed";
    return code == 0;
}

bool WriteBmp(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    const int stride = (width * 3 + 3) & ~3;
    const uint32_t pixels = uint32_t(stride) * height, size = 54 + pixels;
    std::vector<uint8_t> f(size, 0);
    auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) f[at + i] = uint8_t(v >> (8 * i)); };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    f[26] = 1;
    f[28] = 24;
    put32(34, pixels);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = &f[54 + size_t(height - 1 - y) * stride];  // bottom-up
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
            row[3 * x] = p[2];
            row[3 * x + 1] = p[1];
            row[3 * x + 2] = p[0];
        }
    }
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool ok = std::fwrite(f.data(), 1, f.size(), out) == f.size();
    return std::fclose(out) == 0 && ok;
}

std::string TempFile(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    char file[MAX_PATH];
    std::snprintf(file, sizeof file, "%sacq_%lu_%s", dir, GetCurrentProcessId(), name);
    return file;
}

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

std::vector<uint8_t> SimulatedMosaic(simtest::SimControl& sim, const std::vector<uint8_t>& picture, bool wordMode) {
    const M52SimStatus status = sim.Status(0);
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

bool TriggerPulses(uint32_t count) {
    HANDLE control = CreateFileA(M52SIM_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (control == INVALID_HANDLE_VALUE) return false;
    M52SimRequest request = {0, count};
    DWORD moved = 0;
    const BOOL ok = DeviceIoControl(control, M52SIM_IOCTL_TRIGGER, &request, sizeof request, nullptr, 0, &moved, nullptr);
    CloseHandle(control);
    return ok != 0;
}

bool CameraFixture::SetUp(std::string* why) {
    if (!sim.IsOpen()) return *why = "the simulated camera driver is not installed", false;
    if (!sim.Attach(0) || !sim.Reset(0)) return *why = "camera 0 cannot be attached", false;
    RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);  // first-run settings
    handle = Quorin_Initialize(nullptr);
    if (!handle) return *why = "no camera object", false;
    if (!DrainHistory(handle).empty()) return *why = "the camera did not open cleanly", false;
    return true;
}

void CameraFixture::TearDown() {
    if (handle) Quorin_Release(handle);
    handle = 0;
    sim.Attach(0);
    sim.Reset(0);
    TestWindow::Drain();
}

}  // namespace acqtest
