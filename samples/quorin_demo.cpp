// The demo: a tour of the SDK's main job on camera 0.
//
//   quorin_demo [OUTPUT_FOLDER]      (default: quorin_demo_output in the current folder)
//
// 1. enumerate the cameras and open camera 0;
// 2. live preview in the SDK's top-level window for a few seconds, with frames delivered to this
//    program, measuring the frame rate and the frames lost;
// 3. a screenshot of the preview window (preview.png);
// 4. a snapshot saved as BMP, PNG, JPEG, TIFF and raw;
// 5. a 5 s AVI recording, its frames and rate read back from the file;
// 6. release.
// Everything is written into OUTPUT_FOLDER; files from an earlier run are replaced. The last line
// is a one-line summary; the exit status is 0 when every step succeeded.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"

namespace {

const DWORD kPreviewMs = 4000;
const int kRecordMs = 5000;

// ---- Frame notices ---------------------------------------------------------------------------
struct LiveCount {
    unsigned frames = 0, lost = 0, lastNumber = 0;
    DWORD firstTick = 0, lastTick = 0;
    int fps10 = 0;
    LPARAM error = 0;
};
LiveCount g_live;

LRESULT CALLBACK NoticeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == QUORIN_WM_ERROR) {
        std::printf("  (error notice %d)\n", static_cast<int>(lParam));
        return 0;
    }
    if (message != QUORIN_WM_FRAME) return DefWindowProcA(window, message, wParam, lParam);
    if (lParam != 0) {
        g_live.error = lParam;
        return 0;
    }
    const QuorinFrameInfo* info = reinterpret_cast<const QuorinFrameInfo*>(wParam);
    if (g_live.lastNumber != 0 && info->frameNumber > g_live.lastNumber + 1)
        g_live.lost += info->frameNumber - g_live.lastNumber - 1;  // delivered by the camera, never shown
    g_live.lastNumber = info->frameNumber;
    g_live.fps10 = info->fps10;
    g_live.lastTick = GetTickCount();
    if (g_live.frames++ == 0) g_live.firstTick = g_live.lastTick;
    return 0;
}

HWND CreateNoticeWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = NoticeWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuorinDemoNotices";
    RegisterClassA(&wc);
    return CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

// Runs this thread's messages (the preview window is ours too) for ms milliseconds.
void PumpMessages(DWORD ms) {
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// ---- Screenshot of the preview window --------------------------------------------------------
// The SDK's top-level preview window of this process ("Active Window").
BOOL CALLBACK FindPreview(HWND window, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    if (pid != GetCurrentProcessId() || std::strcmp(title, "Active Window") != 0 || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// Copies the window's client area as it is on the screen into a PNG file.
bool SaveWindowPng(HWND window, const std::string& path, int* width, int* height) {
    RECT client;
    POINT origin = {0, 0};
    if (!GetClientRect(window, &client) || !ClientToScreen(window, &origin)) return false;
    *width = client.right;
    *height = client.bottom;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = *width;
    bi.bmiHeader.biHeight = -*height;  // top line first, as PNG stores it
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (memory && dib) {
        HGDIOBJ old = SelectObject(memory, dib);
        ok = BitBlt(memory, 0, 0, *width, *height, screen, origin.x, origin.y, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(memory, old);
        if (ok) {  // libpng's simplified writer: blue, green, red bytes, rows padded to 4 bytes
            png_image image = {};
            image.version = PNG_IMAGE_VERSION;
            image.width = *width;
            image.height = *height;
            image.format = PNG_FORMAT_BGR;
            ok = png_image_write_to_file(&image, path.c_str(), 0, bits, (*width * 3 + 3) & ~3, nullptr) != 0;
        }
    }
    if (dib) DeleteObject(dib);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

// ---- Reading the recording back --------------------------------------------------------------
struct AviSummary {
    unsigned frames = 0;
    double rate = 0;  // frames per second, from the stream header
    int width = 0, height = 0;
};

// The main header's frame count and size, and the video stream's rate, of a finished AVI file.
bool ReadAvi(const std::string& path, AviSummary* s) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char head[256];
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    auto u32 = [&](size_t at) {
        return at + 4 <= n ? unsigned(head[at]) | unsigned(head[at + 1]) << 8 | unsigned(head[at + 2]) << 16 |
                                 unsigned(head[at + 3]) << 24
                           : 0u;
    };
    if (n < 64 || std::memcmp(head, "RIFF", 4) || std::memcmp(head + 8, "AVI ", 4) || u32(4) == 0) return false;
    for (size_t at = 12; at + 8 <= n; ++at) {
        if (!std::memcmp(head + at, "avih", 4)) {
            s->frames = u32(at + 8 + 16);
            s->width = static_cast<int>(u32(at + 8 + 32));
            s->height = static_cast<int>(u32(at + 8 + 36));
        } else if (!std::memcmp(head + at, "strh", 4) && u32(at + 8 + 20) != 0) {
            s->rate = double(u32(at + 8 + 24)) / u32(at + 8 + 20);  // dwRate / dwScale
            return s->frames != 0;
        }
    }
    return false;
}

// True once nobody holds the file any more: the recorder finished it.
bool WaitUntilClosed(const std::string& path, DWORD ms) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(100)) {
        HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) return CloseHandle(f), true;
    }
    return false;
}

void PrintErrors(int handle) {
    for (int code; (code = Quorin_GetLastError(handle)) != 0;) std::printf("  error code %d\n", code);
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : "quorin_demo_output";
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    CreateDirectoryA(folder.c_str(), nullptr);
    char full[MAX_PATH];
    if (!GetFullPathNameA(folder.c_str(), MAX_PATH, full, nullptr)) return std::printf("bad folder %s\n", folder.c_str()), 1;
    folder = full;
    const std::string out = folder + "\\";
    std::printf("quorin_demo: SDK version 0x%08X; output folder %s\n", static_cast<unsigned>(Quorin_GetDllVersion()),
                folder.c_str());
    int failures = 0;
    auto step = [&](bool ok, const char* what) {
        if (!ok) ++failures, std::printf("  FAILED: %s\n", what);
        return ok;
    };

    // 1. Open: the handle owns camera 0; the notice window receives error and frame messages.
    const HWND notices = CreateNoticeWindow();
    const int handle = Quorin_Initialize(notices);
    if (!handle) return std::printf("no camera object\n"), 1;
    static char names[32 * 256];
    const int cameras = Quorin_EnumDevice(handle, names);
    std::printf("[1] enumerate: %d camera(s) attached\n", cameras);
    for (int i = 0; i < cameras; ++i) std::printf("      %d: %s\n", i, names + i * 256);
    QuorinCameraInfo info = {};
    info.size = sizeof info;
    if (!step(cameras > 0 && Quorin_GetCameraInfo(handle, &info), "open camera 0")) {
        PrintErrors(handle);
        Quorin_Release(handle);
        return 1;
    }
    // A known set-up whatever an earlier program stored: the whole sensor, 24-bit colour, and the
    // gain and exposure register (the shutter: larger values expose shorter) that show the
    // simulated camera's scene at its own levels.
    int hTotal = 0, vTotal = 0;
    Quorin_GetCaptureWindowEx(handle, &hTotal, nullptr, nullptr, &vTotal, nullptr, nullptr);
    step(Quorin_SetCaptureWindowEx(handle, hTotal, 0, info.sensorWidth, vTotal, 0, info.sensorHeight) &&
             Quorin_SetColorMode(handle, 24) && Quorin_SetGlobalGain(handle, 512) && Quorin_SetExposureTime(handle, 64),
         "set-up");
    int ok = 0;
    std::printf("    open camera 0: sensor %d x %d, 24-bit colour, gain %d, exposure %d us\n", info.sensorWidth,
                info.sensorHeight, Quorin_GetGlobalGain(handle, &ok), Quorin_GetRealExposureTime(handle, &ok));

    // 2. Live preview: the SDK opens a centred top-level window (the default rectangle is the
    //    capture size), paints every frame into it, copies it into our buffer and posts a notice.
    std::vector<BYTE> frame(static_cast<size_t>(info.sensorWidth) * 3 * info.sensorHeight);
    Quorin_SetPreviewWindow(handle, nullptr, 0, 0, info.sensorWidth, info.sensorHeight);
    std::printf("[2] live preview in a top-level window for %lu s\n", kPreviewMs / 1000);
    double measured = 0;
    if (step(Quorin_CallBackPreview(handle, notices, frame.data(), static_cast<int>(frame.size()), 1), "live preview")) {
        PumpMessages(kPreviewMs);
        if (g_live.frames > 1 && g_live.lastTick != g_live.firstTick)
            measured = (g_live.frames - 1) * 1000.0 / (g_live.lastTick - g_live.firstTick);
        std::printf("    %u frames, %.2f fps measured here (the SDK's measure %.1f), %u frames lost\n", g_live.frames,
                    measured, g_live.fps10 / 10.0, g_live.lost);
        // A frame the camera sent while this machine was busy elsewhere may be skipped (the SDK
        // always hands over the newest frame); more than one in twenty is a fault.
        step(g_live.frames > 1 && g_live.lost * 20 <= g_live.frames && !g_live.error, "frames, at most 5 % lost");

        // 3. Screenshot of the preview window while it is live.
        HWND preview = nullptr;
        EnumWindows(FindPreview, reinterpret_cast<LPARAM>(&preview));
        int w = 0, h = 0;
        const std::string shot = out + "preview.png";
        if (step(preview && SaveWindowPng(preview, shot, &w, &h), "preview screenshot"))
            std::printf("[3] screenshot of the preview window (%d x %d): %s\n", w, h, shot.c_str());
    }
    Quorin_Close(handle);  // window gone, acquisition stopped, driver channel closed
    PrintErrors(handle);

    // 4. Snapshot: one frame read synchronously and processed, then saved in every still format.
    std::printf("[4] snapshot\n");
    int stills = 0;
    if (step(Quorin_SnapShot(handle, nullptr, 0, 1), "snapshot")) {
        const struct { const char* name; int type; } formats[] = {
            {"snapshot.bmp", QUORIN_FILE_BMP}, {"snapshot.png", QUORIN_FILE_PNG},
            {"snapshot.jpg", QUORIN_FILE_JPEG_100}, {"snapshot.tif", QUORIN_FILE_TIFF},
            {"snapshot.raw", QUORIN_FILE_RAW}};
        for (const auto& f : formats) {
            const std::string path = out + f.name;
            if (step(Quorin_SaveImage(handle, path.c_str(), f.type) != 0, f.name)) {
                ++stills;
                std::printf("    %s\n", path.c_str());
            }
        }
    }

    // 5. Recording: live acquisition without a window and a recorder that ends itself after 5 s.
    const std::string avi = out + "recording.avi";
    AviSummary rec;
    std::printf("[5] recording %d s to %s\n", kRecordMs / 1000, avi.c_str());
    if (step(Quorin_Record(handle, avi.c_str(), kRecordMs, 0), "recording")) {
        Sleep(kRecordMs + 500);
        const bool finished = WaitUntilClosed(avi, 10000);
        Quorin_StopPreview(handle);
        if (step(finished && ReadAvi(avi, &rec), "recording read back"))
            std::printf("    %u frames of %d x %d at %.2f fps (%.1f s)\n", rec.frames, rec.width, rec.height, rec.rate,
                        rec.rate > 0 ? rec.frames / rec.rate : 0.0);
    }
    PrintErrors(handle);

    // 6. Release: settings saved, threads ended, the camera free for others.
    std::printf("[6] release: %d\n", Quorin_Release(handle));
    DestroyWindow(notices);

    std::printf("demo %s: %d camera(s); preview %.1f fps, %u lost; %d stills; recording %u frames at %.2f fps; "
                "screenshot preview.png; output in %s\n",
                failures ? "FAILED" : "ok", cameras, measured, g_live.lost, stills, rec.frames, rec.rate,
                folder.c_str());
    return failures ? 1 : 0;
}
