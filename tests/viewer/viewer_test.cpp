// The viewer sample, run as its own process against the simulated camera and driven from outside
// the way a user drives it: menu commands, the dialogs' Cancel buttons, the window's Close.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "samples/viewer/viewer_commands.h"
#include "tests/device/sim_camera.h"

namespace {

std::string BinaryFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(100);
    }
    return true;
}

std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        unsigned char block[4096];
        for (size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) bytes.insert(bytes.end(), block, block + n);
        std::fclose(file);
    }
    return bytes;
}

uint32_t BigEndian32(const unsigned char* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | p[2] << 8 | p[3]; }
uint32_t LittleEndian32(const unsigned char* p) { return p[0] | p[1] << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// A folder of its own under the temporary folder, emptied and removed at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        path_ = std::string(base) + "viewer_test_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchFolder() {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do DeleteFileA((path_ + "\\" + found.cFileName).c_str());
            while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(path_.c_str());
    }
    std::string File(const char* name) const { return path_ + "\\" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

struct WindowSearch {
    DWORD process;
    HWND owner;
    const char* className;
    const char* title;  // null: any
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[64] = "", title[128] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if (process == search->process && std::strcmp(className, search->className) == 0 &&
        (!search->owner || GetWindow(window, GW_OWNER) == search->owner) &&
        (!search->title || std::strcmp(title, search->title) == 0) && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The viewer as a child process.
class ViewerProcess {
public:
    explicit ViewerProcess(const std::string& arguments) {
        std::string command = "\"" + BinaryFolder() + "viewer.exe\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::vector<char> line(command.begin(), command.end());
        line.push_back(0);
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_))
            return;
        WaitUntil([&] { return (window_ = FindTopLevel(nullptr, VIEWER_WINDOW_CLASS, nullptr)) != nullptr; }, 60000);
        statusBar_ = window_ ? GetDlgItem(window_, IDC_STATUS_BAR) : nullptr;
    }
    ~ViewerProcess() {
        if (process_.hProcess) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
        }
    }
    HWND Window() const { return window_; }

    HWND FindTopLevel(HWND owner, const char* className, const char* title) const {
        WindowSearch search = {process_.dwProcessId, owner, className, title, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    // The dialogs are modal: a posted command returns at once, the dialog then runs in the viewer.
    void Command(int id) const { PostMessageA(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    std::string Title() const {
        char text[256] = "";
        GetWindowTextA(window_, text, sizeof text);
        return text;
    }
    // The status bar's first part: "12.5 fps, 340 frames, 0 lost" while live.
    std::string Status() const {
        char text[256] = "";
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(statusBar_, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                            5000, &ignored);
        return text;
    }
    unsigned Frames() const {
        unsigned whole = 0, tenths = 0, frames = 0;
        return std::sscanf(Status().c_str(), "%u.%u fps, %u frames", &whole, &tenths, &frames) == 3 ? frames : 0;
    }
    int Fps10() const {
        unsigned whole = 0, tenths = 0;
        return std::sscanf(Status().c_str(), "%u.%u fps", &whole, &tenths) == 2 ? int(whole * 10 + tenths) : 0;
    }
    bool StreamsOn(unsigned moreFrames) const {
        const unsigned from = Frames();
        return WaitUntil([&] { return Frames() >= from + moreFrames; }, 30000);
    }
    // Close as the user does; the exit code, or -1 when the viewer did not end.
    int Close() const {
        PostMessageA(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 60000) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return static_cast<int>(code);
    }

private:
    PROCESS_INFORMATION process_ = {};
    HWND window_ = nullptr;
    HWND statusBar_ = nullptr;
};

// The viewer's report: "name before after" or "name value" lines.
struct Report {
    explicit Report(const std::string& path) {
        if (FILE* file = std::fopen(path.c_str(), "r")) {
            char name[32];
            long a = 0, b = 0;
            char line[128];
            while (std::fgets(line, sizeof line, file)) {
                const int n = std::sscanf(line, "%31s %ld %ld", name, &a, &b);
                if (n >= 2) values.push_back({name, a, n == 3 ? b : a});
            }
            std::fclose(file);
        }
    }
    struct Entry {
        std::string name;
        long first, second;
    };
    const Entry* Find(const char* name) const {
        for (const Entry& entry : values)
            if (entry.name == name) return &entry;
        return nullptr;
    }
    std::vector<Entry> values;
};

class Viewer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!sim_.IsOpen()) GTEST_SKIP() << "the simulated camera driver is not installed";
        if (GetSystemMetrics(SM_CXSCREEN) <= 0) GTEST_SKIP() << "no display";
        if (GetFileAttributesA((BinaryFolder() + "viewer.exe").c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "viewer.exe is not built";
    }
    simtest::SimControl sim_;
    ScratchFolder scratch_;
};

TEST_F(Viewer, StreamsOpensEachDialogThroughItsMenuSavesFilesAndClosesWithoutLeak) {
    const std::string report = scratch_.File("report.txt");
    ViewerProcess viewer("--camera 0 --output \"" + scratch_.Path() + "\" --report \"" + report + "\"");
    ASSERT_NE(viewer.Window(), nullptr) << "the viewer's window did not appear";
    ASSERT_TRUE(viewer.StreamsOn(10)) << "status: " << viewer.Status();
    // The rate is measured over the first second or so, then shown.
    EXPECT_TRUE(WaitUntil([&] { return viewer.Fps10() > 0; }, 20000)) << viewer.Status();

    // Each property dialog: opened through the menu, found by caption and owner, cancelled.
    struct DialogCase {
        int command;
        const char* name;
    };
    const DialogCase dialogs[] = {
        {IDM_CAMERA_DIALOG, "camera"}, {IDM_ANALOG_DIALOG, "analog"}, {IDM_FILTER_DIALOG, "filter"}};
    for (const DialogCase& dialog : dialogs) {
        SCOPED_TRACE(dialog.name);
        viewer.Command(dialog.command);
        HWND shown = nullptr;
        WaitUntil([&] { return (shown = viewer.FindTopLevel(viewer.Window(), "#32770", "Property")) != nullptr; },
                  20000);
        EXPECT_NE(shown, nullptr) << "no \"Property\" dialog owned by the viewer";
        if (!shown) continue;
        HWND cancel = GetDlgItem(shown, IDCANCEL);
        ASSERT_NE(cancel, nullptr);
        PostMessageA(shown, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(shown); }, 20000)) << "Cancel did not close the dialog";
        EXPECT_TRUE(viewer.StreamsOn(3)) << "not streaming after the dialog; status: " << viewer.Status();
    }

    // Snapshot: a PNG of the full sensor, read from the file itself.
    viewer.Command(IDM_SNAPSHOT);
    const std::string png = scratch_.File("viewer_snapshot_001.png");
    std::vector<unsigned char> bytes;
    WaitUntil([&] { return (bytes = ReadFileBytes(png)).size() > 33; }, 20000);
    ASSERT_GT(bytes.size(), 33u) << png;
    EXPECT_EQ(std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    EXPECT_EQ(BigEndian32(&bytes[16]), 1360u);
    EXPECT_EQ(BigEndian32(&bytes[20]), 1024u);

    // Record on, some frames, record off: a finished AVI with frames in its main header.
    viewer.Command(IDM_RECORD);
    EXPECT_TRUE(viewer.StreamsOn(10)) << viewer.Status();
    viewer.Command(IDM_RECORD);
    EXPECT_TRUE(viewer.StreamsOn(3)) << "the preview did not go on after the recording; " << viewer.Status();
    bytes = ReadFileBytes(scratch_.File("viewer_record_001.avi"));
    ASSERT_GT(bytes.size(), 64u);
    EXPECT_EQ(std::memcmp(bytes.data(), "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(&bytes[8], "AVI ", 4), 0);
    EXPECT_EQ(std::memcmp(&bytes[24], "avih", 4), 0);
    EXPECT_GT(LittleEndian32(&bytes[48]), 0u) << "no frames recorded";
    EXPECT_EQ(LittleEndian32(&bytes[64]), 1360u);
    EXPECT_EQ(LittleEndian32(&bytes[68]), 1024u);

    // Record format, Motion-JPEG: the next recording's stream is 'MJPG'.
    viewer.Command(IDM_RECORD_MJPEG_90);
    viewer.Command(IDM_RECORD);
    EXPECT_TRUE(viewer.StreamsOn(5)) << viewer.Status();
    viewer.Command(IDM_RECORD);
    EXPECT_TRUE(viewer.StreamsOn(3)) << viewer.Status();
    bytes = ReadFileBytes(scratch_.File("viewer_record_002.avi"));
    ASSERT_GT(bytes.size(), 232u);
    EXPECT_EQ(std::memcmp(&bytes[112], "MJPG", 4), 0);
    EXPECT_GT(LittleEndian32(&bytes[48]), 0u) << "no frames recorded";

    EXPECT_EQ(viewer.Close(), 0);

    // The viewer's own counts: before the camera was opened, and after it was released.
    const Report counts(report);
    const Report::Entry* frames = counts.Find("frames");
    ASSERT_NE(frames, nullptr) << "no report from the viewer";
    EXPECT_GT(frames->first, 0);
    for (const char* kind : {"handles", "gdi", "windows"}) {
        const Report::Entry* entry = counts.Find(kind);
        ASSERT_NE(entry, nullptr) << kind;
        ASSERT_GE(entry->first, 0) << kind << " cannot be counted on this platform";
        EXPECT_EQ(entry->second, entry->first) << kind << " left behind after the camera was released";
    }
}

TEST_F(Viewer, AsksWhichCameraWhenSeveralAreAttached) {
    ASSERT_TRUE(sim_.Attach(1));
    struct DetachAtEnd {
        simtest::SimControl& sim;
        ~DetachAtEnd() { sim.Detach(1); }
    } detach{sim_};
    const uint32_t firstBefore = sim_.Status(0).frames_delivered;
    const uint32_t before = sim_.Status(1).frames_delivered;

    ViewerProcess viewer("--output \"" + scratch_.Path() + "\"");
    ASSERT_NE(viewer.Window(), nullptr);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        return (dialog = viewer.FindTopLevel(viewer.Window(), "#32770", VIEWER_SELECT_CAPTION)) != nullptr;
    }, 30000)) << "no camera selection with two cameras attached";
    HWND list = GetDlgItem(dialog, IDC_CAMERA_LIST);
    ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 2);
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));

    ASSERT_TRUE(viewer.StreamsOn(5)) << viewer.Status();
    EXPECT_NE(viewer.Title().find("_02"), std::string::npos) << viewer.Title();
    EXPECT_GT(sim_.Status(1).frames_delivered, before) << "the frames did not come from the second camera";
    EXPECT_EQ(sim_.Status(0).frames_delivered, firstBefore) << "the first camera streamed too";
    EXPECT_EQ(viewer.Close(), 0);
}

}  // namespace
