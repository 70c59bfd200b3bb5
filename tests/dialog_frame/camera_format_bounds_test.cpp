// The camera dialog against stored formats it cannot show as they are: a "Size" index outside the
// size list, a full list of 100 entries, lists left without a selected line and wait times that are
// no count of milliseconds; and two cameras' dialogs open at once. The dialogs run in the export and
// are driven and ended with OK from another thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <string>

#include "VazadoZir_O52RO_VIZ.h"
#include "dialogs/dialog_ids.h"
#include "tests/support/sim.h"
#include "tests/support/windows_and_dialogs.h"
#include "tests/settings/registry_test_keys.h"

namespace {

struct StoredFormat {
    int entries;     // Size_00 .. Size_NN written, each with its own effective size
    int sizeIndex;   // "Size"
    int colour, clock, waitTime;
};

struct Case {
    const char* name;
    StoredFormat stored;
    bool clearSelections;  // colour, size and clock lists left with no selected line
    const char* waitText;  // typed into the wait time box, or null
    int sizeIndex, entries, colour, clock, waitTime;  // what OK stores
};

const Case kCases[] = {
    {"size index past a short list: the Custom line, appended", {3, 150, 2, 0, 1}, false, nullptr, 3, 4, 2, 0, 1},
    {"size index 100 on a full list: the first entry, nothing appended", {100, 100, 2, 0, 1}, false, nullptr, 0, 100, 2, 0, 1},
    {"negative size index on a full list", {100, -3, 2, 0, 1}, false, nullptr, 0, 100, 2, 0, 1},
    {"no selected lines keep colour, size and clock", {2, 1, 3, 1, 1}, true, nullptr, 1, 2, 3, 1, 1},
    {"stored clock 2 has no line and stays 2", {1, 0, 2, 2, 1}, false, nullptr, 0, 1, 2, 2, 1},
    {"negative wait time keeps the stored one", {1, 0, 2, 0, 4}, false, "-5", 0, 1, 2, 0, 4},
    {"wait time that is no number keeps the stored one", {1, 0, 2, 0, 4}, false, "abc", 0, 1, 2, 0, 4},
    {"wait time past the signed range keeps the stored one", {1, 0, 2, 0, 4}, false, "4294967295", 0, 1, 2, 0, 4},
    {"a wait time typed is stored", {1, 0, 2, 0, 4}, false, "12", 0, 1, 2, 0, 12},
};

void StoreFormat(const std::string& camera, const StoredFormat& f) {
    for (int i = 0; i < f.entries; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "\\Size_%02d", i);
        const std::string size = camera + name;
        const int values[7] = {1360, 1024, 8 * (i + 1), 4 * (i + 1), 0, 0, 4};
        const char* names[7] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};
        for (int v = 0; v < 7; ++v) WriteDword(size, names[v], values[v]);
    }
    WriteDword(camera, "Size", f.sizeIndex);
    WriteDword(camera, "Color", f.colour);
    WriteDword(camera, "SubSample", 0);
    WriteDword(camera, "WaitTime", f.waitTime);
    WriteDword(camera, "Clock", f.clock);
}

// The visible property dialog (in this process's language) of a thread, or of any thread (0).
qtest::WindowQuery PropertyDialog(DWORD thread) {
    static const std::string caption = dlgtest::PropertyCaption();
    qtest::WindowQuery query;
    query.process = GetCurrentProcessId();
    query.thread = thread;
    query.className = "#32770";
    query.title = caption.c_str();
    return query;
}

struct Driver {
    const Case* test;
    bool found = false;
};

DWORD WINAPI DriveDialog(LPVOID param) {
    Driver* driver = static_cast<Driver*>(param);
    HWND dialog = qtest::WaitForTopLevel(PropertyDialog(0), 10000);
    if (!dialog) return 1;
    Sleep(300);  // shown and active: a click on an inactive dialog may be lost
    driver->found = true;
    if (driver->test->clearSelections)
        for (int list : {IDC_CAMERA_COLOUR, IDC_CAMERA_SIZE, IDC_CAMERA_CLOCK})
            SendDlgItemMessageA(dialog, list, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    if (driver->test->waitText) SetDlgItemTextA(dialog, IDC_CAMERA_WAIT_TIME, driver->test->waitText);
    SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    // A dialog the click did not end is closed (Cancel), so the test fails instead of hanging.
    for (int i = 0; i < 100 && IsWindow(dialog); ++i) Sleep(50);
    if (IsWindow(dialog)) PostMessageA(dialog, WM_CLOSE, 0, 0);
    return 0;
}

class CameraFormatBounds : public ::testing::TestWithParam<Case> {};

TEST_P(CameraFormatBounds, OkStoresOnlyWhatTheListsAndTheTableCanHold) {
    ASSERT_TRUE(qtest::SimReady(0));
    ProductTreeAside aside;
    const Case& test = GetParam();
    const int h = Quorin_Initialize(nullptr);
    ASSERT_NE(h, 0);
    StoreFormat(CameraPath(0), test.stored);

    Driver driver{&test};
    HANDLE thread = CreateThread(nullptr, 0, DriveDialog, &driver, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(Quorin_SetCameraDlg(h, nullptr), 1);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    ASSERT_TRUE(driver.found);

    std::map<std::string, int64_t> values = ReadValues(CameraPath(0));
    EXPECT_EQ(values["Size"], test.sizeIndex);
    EXPECT_EQ(values["Color"], test.colour);
    EXPECT_EQ(values["Clock"], test.clock);
    EXPECT_EQ(values["WaitTime"], test.waitTime);
    int entries = 0;
    for (const std::string& name : SubkeyNames(CameraPath(0))) entries += name.compare(0, 5, "Size_") == 0;
    EXPECT_EQ(entries, test.entries);
    EXPECT_EQ(Quorin_GetWaitTime(h), test.waitTime) << "the camera took the stored format";
    EXPECT_EQ(Quorin_Release(h), 1);
}

INSTANTIATE_TEST_SUITE_P(Stored, CameraFormatBounds, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return "Case" + std::to_string(info.index); });

}  // namespace

namespace {

struct OpenDialog {
    int handle;
    std::atomic<DWORD> thread{0};
    int result = -1;
};

DWORD WINAPI RunCameraDialog(LPVOID param) {
    OpenDialog* open = static_cast<OpenDialog*>(param);
    open->thread = GetCurrentThreadId();
    open->result = Quorin_SetCameraDlg(open->handle, nullptr);
    return 0;
}

HWND DialogOfThread(DWORD thread) { return qtest::WaitForTopLevel(PropertyDialog(thread), 10000); }

}  // namespace

// Each dialog window carries its own object: two cameras' dialogs open at once on two threads each
// store into their own camera's key and camera.
TEST(CameraDialogPerWindow, TwoCamerasDialogsOpenAtOnceKeepTheirOwnValues) {
    ASSERT_TRUE(qtest::SimReady(0));
    qtest::SimCamera second(1, M52SIM_PACE_REALTIME, true);  // unplugged again at the end
    ASSERT_TRUE(second.Ready());
    ProductTreeAside aside;
    OpenDialog dialogs[2] = {{Quorin_Initialize(nullptr)}, {Quorin_Initialize(nullptr)}};
    ASSERT_NE(dialogs[0].handle, 0);
    ASSERT_NE(dialogs[1].handle, 0);
    ASSERT_EQ(Quorin_SetDeviceNumber(dialogs[1].handle, 1), 1);

    // The second dialog starts once the first is up: two edit controls initialising at the same
    // moment on two threads race in Wine's text-shaping cache (a crash inside gdi32, not ours).
    // Both dialogs are then open at once, each on its own thread.
    HANDLE threads[2];
    HWND windows[2] = {};
    for (int i = 0; i < 2; ++i) {
        threads[i] = CreateThread(nullptr, 0, RunCameraDialog, &dialogs[i], 0, nullptr);
        while (!dialogs[i].thread) Sleep(10);
        windows[i] = DialogOfThread(dialogs[i].thread);
    }
    ASSERT_TRUE(windows[0] && windows[1] && windows[0] != windows[1]);
    Sleep(300);
    SetDlgItemTextA(windows[0], IDC_CAMERA_WAIT_TIME, "11");
    SetDlgItemTextA(windows[1], IDC_CAMERA_WAIT_TIME, "22");
    SendMessageA(GetDlgItem(windows[1], IDOK), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(windows[0], IDOK), BM_CLICK, 0, 0);
    for (HWND w : windows)
        if (IsWindow(w)) PostMessageA(w, WM_CLOSE, 0, 0);  // a lost click fails the checks below
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE t : threads) CloseHandle(t);

    EXPECT_EQ(dialogs[0].result, 1);
    EXPECT_EQ(dialogs[1].result, 1);
    EXPECT_EQ(ReadValues(CameraPath(0))["WaitTime"], 11);
    EXPECT_EQ(ReadValues(CameraPath(1))["WaitTime"], 22);
    EXPECT_EQ(Quorin_GetWaitTime(dialogs[0].handle), 11);
    EXPECT_EQ(Quorin_GetWaitTime(dialogs[1].handle), 22);
    for (const OpenDialog& d : dialogs) EXPECT_EQ(Quorin_Release(d.handle), 1);
}
