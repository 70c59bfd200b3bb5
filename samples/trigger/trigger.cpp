// trigger: the camera waits for trigger pulses and the application saves one file per frame.
//
//   trigger [--pulses N] [--interval MS] [--camera N] OUTPUT_FOLDER
//
// Quorin_Trigger switches the camera to external trigger and starts the SDK's trigger worker, which
// reads a frame each time the camera is triggered and posts QUORIN_WM_FRAME to our window. On a
// real camera the pulses come from the trigger input; here the sample sends them itself, through
// the simulated camera's control device, every MS milliseconds. Every frame is saved as
// OUTPUT_FOLDER\frame_NNN.bmp. Exit status 0 when exactly one file was written per pulse.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "VazadoZir_O52RO_VIZ.h"
#include "driver/m52sim_control.h"

namespace {

int g_handle = 0;
std::string g_folder;
int g_filesWritten = 0;
LPARAM g_error = 0;

// Saves the camera's newest image; the worker posted the notice after processing it.
LRESULT CALLBACK FrameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != QUORIN_WM_FRAME) return DefWindowProcA(window, message, wParam, lParam);
    if (lParam != 0) {
        g_error = lParam;
        return 0;
    }
    char name[32];
    std::snprintf(name, sizeof name, "\\frame_%03d.bmp", g_filesWritten + 1);
    const std::string path = g_folder + name;
    if (Quorin_SaveImage(g_handle, path.c_str(), QUORIN_FILE_BMP)) {
        ++g_filesWritten;
        std::printf("frame %d saved to %s\n", g_filesWritten, path.c_str());
    } else {
        std::printf("frame not saved to %s\n", path.c_str());
    }
    return 0;
}

HWND CreateFrameWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuorinTriggerSample";
    RegisterClassA(&wc);
    return CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

// One trigger pulse to the simulated camera (the stand-in for the camera's trigger input).
bool SendPulse(int camera) {
    HANDLE control = CreateFileA(M52SIM_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (control == INVALID_HANDLE_VALUE) return false;
    M52SimRequest request = {static_cast<uint32_t>(camera), 1};
    DWORD moved = 0;
    const BOOL ok = DeviceIoControl(control, M52SIM_IOCTL_TRIGGER, &request, sizeof request, nullptr, 0, &moved, nullptr);
    CloseHandle(control);
    return ok != 0;
}

// Runs the message loop for up to ms milliseconds, or until `until` returns true.
template <typename Done>
void PumpMessages(DWORD ms, Done until) {
    const DWORD start = GetTickCount();
    MSG msg;
    while (!until() && GetTickCount() - start < ms) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT) == WAIT_OBJECT_0)
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int pulses = 5, interval = 300, camera = 0;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--pulses") && i + 1 < argc) pulses = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--interval") && i + 1 < argc) interval = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--camera") && i + 1 < argc) camera = std::atoi(argv[++i]);
        else if (argv[i][0] != '-' && g_folder.empty()) g_folder = argv[i];
        else g_folder.clear(), i = argc;
    }
    if (g_folder.empty() || pulses < 1 || interval < 0)
        return std::fprintf(stderr, "usage: trigger [--pulses N] [--interval MS] [--camera N] OUTPUT_FOLDER\n"), 2;
    while (g_folder.size() > 1 && (g_folder.back() == '\\' || g_folder.back() == '/')) g_folder.pop_back();
    CreateDirectoryA(g_folder.c_str(), nullptr);  // may exist already

    const HWND frameWindow = CreateFrameWindow();
    g_handle = Quorin_Initialize(nullptr);
    if (!frameWindow || !g_handle) return std::fprintf(stderr, "no frame window or camera object\n"), 1;
    if (camera != 0 && !Quorin_SetDeviceNumber(g_handle, camera)) {
        std::fprintf(stderr, "camera %d cannot be opened (error %d)\n", camera, Quorin_GetLastError(g_handle));
        Quorin_Release(g_handle);
        return 1;
    }
    Quorin_SetPreviewWindow(g_handle, nullptr, 0, 0, 0, 0);  // no preview window
    // No buffer: the frames stay in the SDK and Quorin_SaveImage writes the newest one.
    if (!Quorin_Trigger(g_handle, frameWindow, nullptr, 0, 1)) {
        std::fprintf(stderr, "trigger mode did not start (error %d)\n", Quorin_GetLastError(g_handle));
        Quorin_Release(g_handle);
        return 1;
    }
    std::printf("trigger: camera %d waits for %d pulses, one every %d ms; files go to %s\n", camera, pulses,
                interval, g_folder.c_str());

    int sent = 0;
    for (; sent < pulses && !g_error; ++sent) {
        if (!SendPulse(camera)) {
            std::fprintf(stderr, "the simulated camera's control device did not take the pulse\n");
            break;
        }
        // Handle the frame of this pulse before the next one, so every frame is saved on its own.
        const int expected = sent + 1;
        PumpMessages(3000 + interval, [&] { return g_filesWritten >= expected || g_error != 0; });
        Sleep(interval);
    }
    // Frames still on their way, then nothing more for a while: every pulse has been answered.
    PumpMessages(1000, [] { return g_error != 0; });
    Quorin_StopPreview(g_handle);  // trigger mode off, the worker ends
    Quorin_Release(g_handle);
    DestroyWindow(frameWindow);

    if (g_error) std::printf("acquisition stopped with error %d\n", static_cast<int>(g_error));
    std::printf("total: %d pulses sent, %d files written\n", sent, g_filesWritten);
    return sent == pulses && g_filesWritten == sent && !g_error ? 0 : 1;
}
