// viewer: a small Win32 application around the SDK.
//
// The SDK's live preview runs inside the main window (Quorin_SetPreviewWindow with our window as
// the parent); the Camera menu starts and stops it, saves snapshots and records AVI files
// (uncompressed or Motion-JPEG, as its "Record format" submenu chooses), and the
// Settings menu opens the SDK's three property dialogs. A status bar shows the frame rate the SDK
// measured, the frames seen and lost, the state and the last file written. With several cameras
// attached the viewer asks which one to use.
//
// Options (for scripted runs; the viewer is an ordinary GUI application without them):
//   --camera N        use device index N without asking
//   --output DIR      where snapshots and recordings go (default: the current folder)
//   --exit-after MS   close the window after MS milliseconds
//   --report FILE     on exit, write frame and resource counts to FILE (the viewer's test reads it)
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "VazadoZir_O52RO_VIZ.h"
#include "camera_select.h"
#include "resource_count.h"
#include "viewer_commands.h"

namespace {

const UINT WM_VIEWER_START = WM_APP + 1;  // posted once the window is up: open the camera
const UINT_PTR kStatusTimer = 1;          // refreshes the status bar twice a second
const UINT_PTR kExitTimer = 2;            // --exit-after
const UINT_PTR kCancelTimer = 3;          // closes the dialogs of the warm-up (--report)
const int kRecordLimitMs = 10 * 60 * 1000;  // a recording stops by itself after ten minutes

struct Options {
    int camera = -1;
    DWORD exitAfterMs = 0;
    std::string outputDir = ".";
    std::string reportPath;
};

// Everything the window procedure works with. One viewer window per process.
struct Viewer {
    Options options;
    HWND window = nullptr;
    HWND statusBar = nullptr;
    HMENU recordFormatMenu = nullptr;
    int handle = 0;      // the SDK's camera handle
    int cameraIndex = 0;
    std::string cameraName;
    bool live = false;
    bool recording = false;
    bool liveBeforeRecording = false;
    DWORD recordStarted = 0;
    // From the SDK's frame notices.
    unsigned frames = 0;
    int fps10 = 0;
    unsigned lastFrameNumber = 0;
    unsigned lostFrames = 0;
    int bestFps10 = 0;  // the best rate seen, for the report
    std::string message;  // the last thing that happened, shown in the status bar
    ResourceCount before = {};
};
Viewer g_viewer;

// ---- Small helpers ------------------------------------------------------------------------------

// The SDK keeps a history of error codes per camera; this pops all of them for a message.
std::string TakeErrors(int handle) {
    std::string text;
    for (int code; handle && (code = Quorin_GetLastError(handle)) != 0;) {
        char number[16];
        wsprintfA(number, text.empty() ? "error %d" : ", %d", code);
        text += number;
    }
    return text.empty() ? "failed" : text;
}

void SetMessage(const std::string& text) { g_viewer.message = text; }

// The next free name DIR\viewer_<kind>_NNN.<ext>.
std::string NextFileName(const char* kind, const char* ext) {
    for (int n = 1; n < 10000; ++n) {
        char name[MAX_PATH];
        _snprintf(name, sizeof name, "%s\\viewer_%s_%03d.%s", g_viewer.options.outputDir.c_str(), kind, n, ext);
        name[sizeof name - 1] = 0;
        if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) return name;
    }
    return g_viewer.options.outputDir + "\\viewer_" + kind + "." + ext;
}

void UpdateStatus() {
    Viewer& v = g_viewer;
    char text[128];
    // Part 0 (also what WM_GETTEXT of the status bar reads): rate and frame counts.
    if (v.live)
        wsprintfA(text, "%d.%d fps, %u frames, %u lost", v.fps10 / 10, v.fps10 % 10, v.frames, v.lostFrames);
    else
        wsprintfA(text, "stopped, %u frames", v.frames);
    SendMessageA(v.statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    if (v.recording)
        wsprintfA(text, "Recording %lu s", (GetTickCount() - v.recordStarted) / 1000);
    else
        lstrcpyA(text, v.live ? "Live" : "Idle");
    SendMessageA(v.statusBar, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(text));
    SendMessageA(v.statusBar, SB_SETTEXTA, 2, reinterpret_cast<LPARAM>(v.cameraName.c_str()));
    SendMessageA(v.statusBar, SB_SETTEXTA, 3, reinterpret_cast<LPARAM>(v.message.c_str()));

    HMENU menu = GetMenu(v.window);
    CheckMenuItem(menu, IDM_LIVE, v.live ? MF_CHECKED : MF_UNCHECKED);
    CheckMenuItem(menu, IDM_RECORD, v.recording ? MF_CHECKED : MF_UNCHECKED);
}

// The preview keeps the image's aspect ratio, centred in the client area above the status bar.
RECT PreviewRect() {
    RECT client, bar;
    GetClientRect(g_viewer.window, &client);
    GetWindowRect(g_viewer.statusBar, &bar);
    const int areaWidth = client.right;
    const int areaHeight = client.bottom - (bar.bottom - bar.top);
    int imageWidth = g_viewer.handle ? Quorin_Width(g_viewer.handle) : 0;
    int imageHeight = g_viewer.handle ? Quorin_Height(g_viewer.handle) : 0;
    if (imageWidth <= 0 || imageHeight <= 0) imageWidth = 4, imageHeight = 3;
    int width = areaWidth, height = MulDiv(areaWidth, imageHeight, imageWidth);
    if (height > areaHeight) height = areaHeight, width = MulDiv(areaHeight, imageWidth, imageHeight);
    RECT rect = {(areaWidth - width) / 2, (areaHeight - height) / 2, 0, 0};
    rect.right = width < 1 ? 1 : width;  // the SDK takes right and bottom as the size
    rect.bottom = height < 1 ? 1 : height;
    return rect;
}

// Places the preview: stored for the next window the SDK creates, and applied to the one it has.
void LayoutPreview() {
    if (!g_viewer.handle) return;
    const RECT rect = PreviewRect();
    Quorin_SetPreviewWindow(g_viewer.handle, g_viewer.window, rect.left, rect.top, rect.right, rect.bottom);
    if (HWND preview = GetDlgItem(g_viewer.window, IDC_SDK_PREVIEW))
        MoveWindow(preview, rect.left, rect.top, rect.right, rect.bottom, TRUE);
    InvalidateRect(g_viewer.window, nullptr, TRUE);  // repaint the black border around it
}

// ---- Camera actions -----------------------------------------------------------------------------

bool StartLive() {
    Viewer& v = g_viewer;
    if (v.live) return true;
    LayoutPreview();
    v.frames = v.lostFrames = v.lastFrameNumber = 0;
    v.fps10 = 0;
    // The preview window is created inside ours; each frame's notice comes to our window (no
    // buffer: the SDK paints the preview itself, we only count).
    if (!Quorin_CallBackPreview(v.handle, v.window, nullptr, 0, 0)) {
        SetMessage("Start: " + TakeErrors(v.handle));
        return false;
    }
    v.live = true;
    SetMessage("");
    return true;
}

// Quorin_Close ends the acquisition (and a recording, whose file is finished) and destroys the
// preview window, so the next start creates a fresh one.
void StopLive() {
    Viewer& v = g_viewer;
    if (v.handle) Quorin_Close(v.handle);
    v.live = false;
    v.recording = false;
    InvalidateRect(v.window, nullptr, TRUE);
}

void Snapshot() {
    Viewer& v = g_viewer;
    // While live, the newest processed frame is saved; from idle, one frame is taken first.
    if (!v.live && !Quorin_SnapShot(v.handle, nullptr, 0, 0)) {
        SetMessage("Snapshot: " + TakeErrors(v.handle));
        return;
    }
    const std::string path = NextFileName("snapshot", "png");
    SetMessage(Quorin_SaveImage(v.handle, path.c_str(), QUORIN_FILE_PNG) ? "Saved " + path
                                                                         : "Snapshot: " + TakeErrors(v.handle));
}

void ToggleRecording() {
    Viewer& v = g_viewer;
    if (v.recording) {
        // The SDK has no separate "stop recording": closing ends it with a finished file, and the
        // preview goes on if it ran before.
        StopLive();
        SetMessage("Recording finished");
        if (v.liveBeforeRecording) StartLive();
        return;
    }
    v.liveBeforeRecording = v.live;
    LayoutPreview();
    const std::string path = NextFileName("record", "avi");
    // Recording runs live acquisition; from idle it opens the preview window too.
    if (!Quorin_Record(v.handle, path.c_str(), kRecordLimitMs, 1)) {
        SetMessage("Record: " + TakeErrors(v.handle));
        return;
    }
    // A recording delivers no frame notices of its own; asking again while live keeps them coming.
    Quorin_CallBackPreview(v.handle, v.window, nullptr, 0, 0);
    if (!v.live) v.frames = v.lostFrames = v.lastFrameNumber = 0;
    v.live = v.recording = true;
    v.recordStarted = GetTickCount();
    SetMessage("Recording to " + path);
}

// The record format of a "Record format" menu command; it applies from the next recording on.
void SetRecordFormat(int command) {
    Viewer& v = g_viewer;
    const int format = command == IDM_RECORD_UNCOMPRESSED ? QUORIN_RECORD_UNCOMPRESSED : QUORIN_RECORD_MJPEG;
    const int quality = command == IDM_RECORD_MJPEG_50 ? 50 : 90;
    if (!Quorin_SetRecordFormat(v.handle, format, quality))
        SetMessage("Record format: " + TakeErrors(v.handle));
    else
        SetMessage(format == QUORIN_RECORD_MJPEG ? "Next recordings: Motion-JPEG" : "Next recordings: uncompressed");
}

// Checks the entry of the camera's record format as the submenu opens (none for another quality).
void ShowRecordFormat(HMENU menu) {
    Viewer& v = g_viewer;
    int format = 0, quality = 0;
    if (!v.handle || !Quorin_GetRecordFormat(v.handle, &format, &quality)) return;
    int checked = 0;
    if (format == QUORIN_RECORD_UNCOMPRESSED) checked = IDM_RECORD_UNCOMPRESSED;
    else if (quality == 90) checked = IDM_RECORD_MJPEG_90;
    else if (quality == 50) checked = IDM_RECORD_MJPEG_50;
    for (int id : {IDM_RECORD_UNCOMPRESSED, IDM_RECORD_MJPEG_90, IDM_RECORD_MJPEG_50})
        CheckMenuItem(menu, id, MF_BYCOMMAND | (id == checked ? MF_CHECKED : MF_UNCHECKED));
}

// The camera in use, in the title and the status bar.
void ShowCameraName(int index) {
    Viewer& v = g_viewer;
    v.cameraIndex = index;
    char name[256] = "";
    Quorin_GetDeviceName(v.handle, index, name, sizeof name);
    v.cameraName = name;
    SetWindowTextA(v.window, (std::string(VIEWER_TITLE) + " - " + name).c_str());
}

// Device selection needs the acquisition stopped; it resumes on the new camera.
void UseCamera(int index) {
    Viewer& v = g_viewer;
    const bool wasLive = v.live;
    StopLive();
    if (!Quorin_SetDeviceNumber(v.handle, index)) {
        SetMessage("Select camera: " + TakeErrors(v.handle));
    } else {
        ShowCameraName(index);
    }
    if (wasLive) StartLive();
}

void ChooseCamera(bool atStart) {
    Viewer& v = g_viewer;
    const std::vector<AttachedCamera> cameras = ListAttachedCameras(v.handle, v.window);
    // At start-up the question is asked only when there is a choice.
    if (cameras.empty() || (atStart && cameras.size() < 2)) return;
    const int chosen = SelectCamera(v.window, cameras, v.cameraIndex);
    if (chosen >= 0 && chosen != v.cameraIndex) UseCamera(chosen);
}

// The property dialogs are modal; they handle the acquisition themselves (the camera dialog
// restarts it with the new format), so afterwards only the preview's shape may need adjusting.
void ShowDialog(int (QUORIN_CALL* show)(int, HWND), const char* what) {
    Viewer& v = g_viewer;
    if (!show(v.handle, v.window)) SetMessage(std::string(what) + ": " + TakeErrors(v.handle));
    LayoutPreview();
}

// Opens the camera chosen on the command line, or asks when several are attached, and starts.
void OpenCamera() {
    Viewer& v = g_viewer;
    v.handle = Quorin_Initialize(v.window);  // error notices come to our window
    if (!v.handle) {
        SetMessage("The SDK could not make a camera object");
        return;
    }
    // The camera object starts on device 0.
    ShowCameraName(0);
    if (v.options.camera > 0)
        UseCamera(v.options.camera);
    else if (v.options.camera < 0)
        ChooseCamera(true);
    StartLive();
}

void OnFrameNotice(WPARAM wParam, LPARAM lParam) {
    Viewer& v = g_viewer;
    if (lParam != 0) {  // a failed frame; 13: the camera stopped delivering
        char text[64];
        wsprintfA(text, "Frame error %d", static_cast<int>(lParam));
        SetMessage(text);
        if (lParam == QUORIN_ERR_DEVICE_LOST) StopLive();
        return;
    }
    // The block holds the newest frame's values until the next frame; read them right away.
    const QuorinFrameInfo* info = reinterpret_cast<const QuorinFrameInfo*>(wParam);
    if (!info || !v.live) return;
    ++v.frames;
    v.fps10 = info->fps10;
    if (v.fps10 > v.bestFps10) v.bestFps10 = v.fps10;
    if (v.lastFrameNumber && info->frameNumber > v.lastFrameNumber + 1)
        v.lostFrames += info->frameNumber - v.lastFrameNumber - 1;
    v.lastFrameNumber = info->frameNumber;
}

// During the warm-up each dialog is cancelled by this timer as soon as it is up.
void CALLBACK CancelOwnedDialog(HWND window, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowExA(nullptr, nullptr, "#32770", nullptr);
    for (; dialog; dialog = FindWindowExA(nullptr, dialog, "#32770", nullptr))
        if (GetWindow(dialog, GW_OWNER) == window) break;
    if (!dialog) return;  // not up yet
    KillTimer(window, timer);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

// The platform makes some objects once per process, on first use: the named-object directory, an
// entry of the display-context cache, the bitmaps the dialogs' controls draw with, ... They would
// read as leaks of the first session. So with --report the viewer first runs one short session
// (open, live for a moment, each dialog opened and cancelled, release) and takes its baseline
// after that; the comparison then shows only what a session leaves behind.
void WarmUp() {
    Viewer& v = g_viewer;
    v.handle = Quorin_Initialize(v.window);
    if (!v.handle) return;
    if (v.options.camera > 0) Quorin_SetDeviceNumber(v.handle, v.options.camera);
    if (StartLive()) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 1500) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
            UpdateStatus();
        }
        int (QUORIN_CALL* const dialogs[])(int, HWND) = {Quorin_SetCameraDlg, Quorin_SetAnalogDlg, Quorin_SetImageDlg};
        for (auto show : dialogs) {
            SetTimer(v.window, kCancelTimer, 200, CancelOwnedDialog);
            show(v.handle, v.window);
            KillTimer(v.window, kCancelTimer);
        }
    }
    StopLive();
    Quorin_Release(v.handle);
    v.handle = 0;
    v.frames = v.lostFrames = v.lastFrameNumber = 0;
    v.fps10 = v.bestFps10 = 0;
}

// The count after the camera's release. Threads the system starts for its own pools and timers end
// a moment after the work that started them, so a count above the baseline is taken again for up
// to 3 s before it is reported; what the viewer or the SDK left behind stays.
ResourceCount SettledCount(HWND window, const ResourceCount& baseline) {
    ResourceCount now = CountResources(window);
    for (int i = 0; i < 30 && (now.handles > baseline.handles || now.gdi > baseline.gdi || now.windows > baseline.windows);
         ++i) {
        Sleep(100);
        now = CountResources(window);
    }
    return now;
}

void WriteReport(const ResourceCount& after) {
    const Viewer& v = g_viewer;
    if (v.options.reportPath.empty()) return;
    if (FILE* file = std::fopen(v.options.reportPath.c_str(), "w")) {
        std::fprintf(file, "frames %u\nfps10 %d\nlost %u\n", v.frames, v.bestFps10, v.lostFrames);
        std::fprintf(file, "handles %ld %ld\ngdi %ld %ld\nwindows %ld %ld\n", v.before.handles, after.handles,
                     v.before.gdi, after.gdi, v.before.windows, after.windows);
        // Which kinds of GDI object differ, for the one who reads a failed check.
        std::fprintf(file, "gdi-kinds");
        for (int kind = 0; kind < 0x80; ++kind)
            if (v.before.gdiKinds[kind] != after.gdiKinds[kind])
                std::fprintf(file, " 0x%02x:%ld->%ld", kind, v.before.gdiKinds[kind], after.gdiKinds[kind]);
        std::fprintf(file, "\n");
        std::fclose(file);
    }
}

// ---- The window ---------------------------------------------------------------------------------

HMENU BuildMenu() {
    HMENU camera = CreatePopupMenu();
    AppendMenuA(camera, MF_STRING, IDM_LIVE, "&Live\tF5");
    AppendMenuA(camera, MF_STRING, IDM_SNAPSHOT, "&Snapshot\tF6");
    AppendMenuA(camera, MF_STRING, IDM_RECORD, "&Record\tF7");
    // The SDK keeps the record format per camera; the checks are set as the submenu opens.
    HMENU format = CreatePopupMenu();
    AppendMenuA(format, MF_STRING, IDM_RECORD_UNCOMPRESSED, "&Uncompressed");
    AppendMenuA(format, MF_STRING, IDM_RECORD_MJPEG_90, "Motion-JPEG, quality &90");
    AppendMenuA(format, MF_STRING, IDM_RECORD_MJPEG_50, "Motion-JPEG, quality &50");
    AppendMenuA(camera, MF_POPUP, reinterpret_cast<UINT_PTR>(format), "Record &format");
    g_viewer.recordFormatMenu = format;
    AppendMenuA(camera, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(camera, MF_STRING, IDM_SELECT_CAMERA, "S&elect camera...");
    AppendMenuA(camera, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(camera, MF_STRING, IDM_EXIT, "E&xit");
    HMENU settings = CreatePopupMenu();
    AppendMenuA(settings, MF_STRING, IDM_CAMERA_DIALOG, "&Camera format...");
    AppendMenuA(settings, MF_STRING, IDM_ANALOG_DIALOG, "&Analog gain and exposure...");
    AppendMenuA(settings, MF_STRING, IDM_FILTER_DIALOG, "Image &filter...");
    HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(camera), "&Camera");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(settings), "&Settings");
    return bar;
}

void OnCommand(int id) {
    Viewer& v = g_viewer;
    if (id == IDM_EXIT) {
        PostMessageA(v.window, WM_CLOSE, 0, 0);
        return;
    }
    if (!v.handle) return;  // no camera object: nothing else can work
    switch (id) {
    case IDM_LIVE:
        if (v.live) StopLive();
        else StartLive();
        break;
    case IDM_SNAPSHOT: Snapshot(); break;
    case IDM_RECORD: ToggleRecording(); break;
    case IDM_RECORD_UNCOMPRESSED:
    case IDM_RECORD_MJPEG_90:
    case IDM_RECORD_MJPEG_50: SetRecordFormat(id); break;
    case IDM_SELECT_CAMERA: ChooseCamera(false); break;
    case IDM_CAMERA_DIALOG: ShowDialog(Quorin_SetCameraDlg, "Camera dialog"); break;
    case IDM_ANALOG_DIALOG: ShowDialog(Quorin_SetAnalogDlg, "Analog dialog"); break;
    case IDM_FILTER_DIALOG: ShowDialog(Quorin_SetImageDlg, "Filter dialog"); break;
    }
    UpdateStatus();
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Viewer& v = g_viewer;
    switch (message) {
    case WM_CREATE:
        v.window = window;
        v.statusBar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                      window, reinterpret_cast<HMENU>(IDC_STATUS_BAR), nullptr, nullptr);
        return v.statusBar ? 0 : -1;
    case WM_SIZE: {
        SendMessageA(v.statusBar, WM_SIZE, 0, 0);
        const int width = LOWORD(lParam);
        int parts[4] = {width * 35 / 100, width * 50 / 100, width * 70 / 100, -1};
        SendMessageA(v.statusBar, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(parts));
        LayoutPreview();
        return 0;
    }
    case WM_VIEWER_START:
        OpenCamera();
        UpdateStatus();
        SetTimer(window, kStatusTimer, 500, nullptr);
        if (v.options.exitAfterMs) SetTimer(window, kExitTimer, v.options.exitAfterMs, nullptr);
        return 0;
    case WM_TIMER:
        if (wParam == kExitTimer) {
            KillTimer(window, kExitTimer);
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        // A recording that reached its limit has ended by itself.
        if (v.recording && GetTickCount() - v.recordStarted > static_cast<DWORD>(kRecordLimitMs))
            v.recording = false;
        UpdateStatus();
        return 0;
    case QUORIN_WM_FRAME:
        OnFrameNotice(wParam, lParam);
        return 0;
    case WM_INITMENUPOPUP:
        if (reinterpret_cast<HMENU>(wParam) == v.recordFormatMenu) ShowRecordFormat(v.recordFormatMenu);
        return 0;
    case QUORIN_WM_ERROR: {  // lParam: the error code the SDK recorded
        char text[32];
        wsprintfA(text, "SDK error %d", static_cast<int>(lParam));
        SetMessage(text);
        return 0;
    }
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_CLOSE: {
        KillTimer(window, kStatusTimer);
        StopLive();
        // Release saves the camera's settings and frees everything the SDK made for it.
        if (v.handle) Quorin_Release(v.handle);
        v.handle = 0;
        if (!v.options.reportPath.empty()) WriteReport(SettledCount(window, v.before));
        DestroyWindow(window);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--camera") options.camera = std::atoi(value);
        else if (name == "--exit-after") options.exitAfterMs = static_cast<DWORD>(std::strtoul(value, nullptr, 10));
        else if (name == "--output") options.outputDir = value;
        else if (name == "--report") options.reportPath = value;
    }
    return options;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    g_viewer.options = ParseOptions(__argc, __argv);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));  // around the preview
    windowClass.lpszClassName = VIEWER_WINDOW_CLASS;
    if (!RegisterClassExA(&windowClass)) return 1;

    // Room for the image at half size plus the menu and the status bar.
    RECT frame = {0, 0, 680, 512 + 24};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    AdjustWindowRectEx(&frame, style, TRUE, 0);
    HWND window = CreateWindowExA(0, VIEWER_WINDOW_CLASS, VIEWER_TITLE, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, BuildMenu(), instance,
                                  nullptr);
    if (!window) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);

    // The baseline of the self-check: the window is up, the camera not yet opened.
    if (!g_viewer.options.reportPath.empty()) WarmUp();
    g_viewer.before = CountResources(window);
    PostMessageA(window, WM_VIEWER_START, 0, 0);

    ACCEL keys[] = {{FVIRTKEY, VK_F5, IDM_LIVE}, {FVIRTKEY, VK_F6, IDM_SNAPSHOT}, {FVIRTKEY, VK_F7, IDM_RECORD}};
    HACCEL accelerators = CreateAcceleratorTableA(keys, 3);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(window, accelerators, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    DestroyAcceleratorTable(accelerators);
    return static_cast<int>(message.wParam);
}
