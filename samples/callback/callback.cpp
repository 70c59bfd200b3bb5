// callback: live frames copied into the application's own buffer, announced by QUORIN_WM_FRAME.
//
//   callback [--seconds N] [--colour 8|16|24|32|48|64] [--camera N]
//
// Quorin_CallBackPreview starts live acquisition; after processing each frame the SDK's worker
// copies it into our buffer and posts QUORIN_WM_FRAME to our window, with wParam pointing at the
// camera's QuorinFrameInfo. Once a second the sample prints the frames it received, their rate and
// the frames the camera delivered that never reached us (gaps in QuorinFrameInfo::frameNumber).
// Exit status 0 when frames arrived and no error was announced.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"

namespace {

struct Statistics {
    unsigned frames = 0, lost = 0;           // this second
    unsigned totalFrames = 0, totalLost = 0;
    unsigned lastNumber = 0;                 // frameNumber of the previous frame; 0 before the first
    int cameraFps10 = 0;                     // the SDK's own measure, tenths of frames per second
    LPARAM error = 0;                        // an error announced through QUORIN_WM_FRAME
    const BYTE* buffer = nullptr;
    int rowBytes = 0;
};
Statistics g_stats;

// The frame window's procedure. Posted messages arrive here through our message loop.
LRESULT CALLBACK FrameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == QUORIN_WM_FRAME) {
        if (lParam != 0) {  // wParam 0, lParam = error code: acquisition failed or stopped
            g_stats.error = lParam;
            return 0;
        }
        // The block is rewritten for every frame: read it now, while handling the notice.
        const QuorinFrameInfo* info = reinterpret_cast<const QuorinFrameInfo*>(wParam);
        if (g_stats.lastNumber != 0 && info->frameNumber > g_stats.lastNumber + 1)
            g_stats.lost += info->frameNumber - g_stats.lastNumber - 1;
        g_stats.lastNumber = info->frameNumber;
        g_stats.cameraFps10 = info->fps10;
        ++g_stats.frames;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A message-only window: it receives posted messages and is never shown.
HWND CreateFrameWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuorinCallbackSample";
    RegisterClassA(&wc);
    return CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

// Mean of the first row of the buffer: shows that the pixels are ours to use.
unsigned FirstRowMean() {
    unsigned long long sum = 0;
    for (int i = 0; i < g_stats.rowBytes; ++i) sum += g_stats.buffer[i];
    return g_stats.rowBytes ? static_cast<unsigned>(sum / g_stats.rowBytes) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 5, colour = 24, camera = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--seconds")) seconds = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--colour")) colour = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--camera")) camera = std::atoi(argv[i + 1]);
        else return std::fprintf(stderr, "usage: callback [--seconds N] [--colour BITS] [--camera N]\n"), 2;
    }
    if (seconds < 1) seconds = 1;

    const HWND frameWindow = CreateFrameWindow();
    const int handle = Quorin_Initialize(nullptr);
    if (!frameWindow || !handle) return std::fprintf(stderr, "no frame window or camera object\n"), 1;
    if ((camera != 0 && !Quorin_SetDeviceNumber(handle, camera)) || !Quorin_SetColorMode(handle, colour)) {
        std::fprintf(stderr, "camera %d or colour %d refused (error %d)\n", camera, colour, Quorin_GetLastError(handle));
        Quorin_Release(handle);
        return 1;
    }
    // No preview window: an all-zero rectangle without a parent runs acquisition without display.
    Quorin_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);

    // The buffer holds one frame: rows of the colour's pixel size, each padded to 4 bytes.
    const int width = Quorin_Width(handle), height = Quorin_Height(handle);
    g_stats.rowBytes = (width * colour / 8 + 3) & ~3;
    std::vector<BYTE> buffer(static_cast<size_t>(g_stats.rowBytes) * height);
    g_stats.buffer = buffer.data();
    if (!Quorin_CallBackPreview(handle, frameWindow, buffer.data(), static_cast<int>(buffer.size()), 1)) {
        std::fprintf(stderr, "live acquisition did not start (error %d)\n", Quorin_GetLastError(handle));
        Quorin_Release(handle);
        return 1;
    }
    std::printf("callback: camera %d, %d x %d at %d bits into a buffer of %u bytes, for %d s\n", camera, width,
                height, colour, static_cast<unsigned>(buffer.size()), seconds);

    // The message loop runs the frame window; a timer marks every second.
    SetTimer(nullptr, 0, 1000, nullptr);
    const DWORD start = GetTickCount();
    DWORD secondStart = start;
    int second = 0;
    MSG msg;
    while (second < seconds && !g_stats.error && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageA(&msg);
        const DWORD now = GetTickCount();
        if (now - secondStart < 1000) continue;
        ++second;
        std::printf("second %d: %u frames, %.2f fps (camera's measure %.1f), %u lost, first-row mean %u\n", second,
                    g_stats.frames, g_stats.frames * 1000.0 / (now - secondStart), g_stats.cameraFps10 / 10.0,
                    g_stats.lost, FirstRowMean());
        std::fflush(stdout);
        g_stats.totalFrames += g_stats.frames;
        g_stats.totalLost += g_stats.lost;
        g_stats.frames = g_stats.lost = 0;
        secondStart = now;
    }
    const DWORD elapsed = GetTickCount() - start;
    Quorin_StopPreview(handle);  // ends the worker; no notice is posted after it returns
    Quorin_Release(handle);
    DestroyWindow(frameWindow);

    if (g_stats.error) std::printf("acquisition stopped with error %d\n", static_cast<int>(g_stats.error));
    std::printf("total: %u frames in %.1f s, %.2f fps, %u lost\n", g_stats.totalFrames, elapsed / 1000.0,
                elapsed ? g_stats.totalFrames * 1000.0 / elapsed : 0.0, g_stats.totalLost);
    return g_stats.error || g_stats.totalFrames == 0 ? 1 : 0;
}
