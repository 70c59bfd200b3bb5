// The preview window through the exports on the simulated camera: placement of the top-level and
// child windows, what the window shows (read back from the screen), resizing, hiding, reuse,
// creation failures and repeated closes while streaming.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "driver/m52sim_control.h"
#include "tests/support/camera.h"
#include "tests/support/windows_and_dialogs.h"

using qtest::CollectFrames;
using qtest::DrainHistory;

namespace {

const int kW = 1360, kH = 1024;
const DWORD kTopLevelStyle = 0x16CF0000, kChildStyle = 0x52000000;

// Our top-level windows with a title, shown or not.
std::vector<HWND> WindowsTitled(const char* title) {
    qtest::WindowQuery ours;
    ours.process = GetCurrentProcessId();
    ours.title = title;
    ours.visibleOnly = false;
    return qtest::FindTopLevels(ours);
}

bool ClassRegistered(const std::string& name) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    return GetClassInfoExA(GetModuleHandleA(nullptr), name.c_str(), &wc) != 0;
}

// Dispatches this thread's messages (the preview window belongs to it).
void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0x7FFF, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

// A pixel of a window's client area as the screen shows it.
COLORREF ScreenPixel(HWND w, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(w, &p);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
}

// Picture quadrants: red top left, blue top right, green bottom left, white bottom right.
std::vector<uint8_t> QuadrantPicture() {
    std::vector<uint8_t> rgb(size_t(kW) * kH * 3);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint8_t* p = &rgb[(size_t(y) * kW + x) * 3];
            const bool right = x >= kW / 2, bottom = y >= kH / 2;
            p[0] = uint8_t(!right && !bottom ? 200 : (right && bottom ? 200 : 0));
            p[1] = uint8_t(bottom ? 200 : 0);
            p[2] = uint8_t(right ? 200 : 0);
        }
    return rgb;
}

// Checks the centre of each quadrant of the client area against the picture's colours. The
// screen may lag the frame notices on a busy machine, so it is read again for up to 5 s.
void ExpectQuadrants(HWND w) {
    RECT c;
    ASSERT_TRUE(GetClientRect(w, &c));
    struct Quadrant {
        const char* name;
        int fx, fy;         // centre in quarters of the client size
        bool r, g, b;       // channels lit
    };
    const Quadrant quadrants[] = {
        {"top left red", 1, 1, true, false, false},
        {"top right blue", 3, 1, false, false, true},
        {"bottom left green", 1, 3, false, true, false},
        {"bottom right white", 3, 3, true, true, true},
    };
    std::string wrong;
    qtest::WaitUntil([&] {
        wrong.clear();
        for (const Quadrant& q : quadrants) {
            const COLORREF px = ScreenPixel(w, c.right * q.fx / 4, c.bottom * q.fy / 4);
            const int rgb[3] = {GetRValue(px), GetGValue(px), GetBValue(px)};
            const bool lit[3] = {q.r, q.g, q.b};
            for (int k = 0; k < 3; ++k)
                if ((rgb[k] > 100) != lit[k]) {
                    wrong += std::string(q.name) + " at client " + std::to_string(c.right) + "x" +
                             std::to_string(c.bottom) + ": (" + std::to_string(rgb[0]) + ", " + std::to_string(rgb[1]) +
                             ", " + std::to_string(rgb[2]) + ")\n";
                    break;
                }
        }
        return wrong.empty();
    }, 5000, 50);
    EXPECT_EQ(wrong, "");
}

// A visible top-level window of the test to hold child previews.
class ParentWindow {
public:
    ParentWindow() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = "PreviewTestParent";
        RegisterClassA(&wc);
        window_ = CreateWindowExA(0, wc.lpszClassName, "parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 400,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~ParentWindow() { DestroyWindow(window_); }
    HWND Handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

class Preview : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GT(GetSystemMetrics(SM_CXSCREEN), 0) << "broken bench: no display";
        ASSERT_TRUE(cam_.Open(0, M52SIM_PACE_FAST));
        h_ = cam_.handle;
        w_ = cam_.window.Handle();
    }
    void TearDown() override {
        cam_.Close();
        Pump(0);
    }

    void SetScene(const std::vector<uint8_t>& rgb) { ASSERT_TRUE(qtest::SetPicture(0, rgb)); }

    // Waits for n frames to the frame window (each painted before its notice) and lets the
    // window's drawing reach the screen.
    void WaitFrames(size_t n) {
        size_t got = 0;
        for (const qtest::FrameNotice& f : CollectFrames(w_, 5000, n)) got += f.hasInfo;
        ASSERT_GE(got, n);
        Pump(100);
    }

    qtest::CameraSession cam_;
    int h_ = 0;
    HWND w_ = nullptr;
};

}  // namespace

TEST_F(Preview, PlacementOfTheWindowKinds) {
    ParentWindow parent;
    struct Case {
        const char* name;
        bool child;
        RECT rect;
    };
    const Case cases[] = {
        {"top-level after initialisation", false, {0, 0, kW, kH}},
        {"child at (10, 20) sized 320 x 240", true, {10, 20, 320, 240}},
        {"no parent and an all-zero rectangle", false, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Quorin_SetPreviewWindow(h_, c.child ? parent.Handle() : nullptr, c.rect.left, c.rect.top,
                                          c.rect.right, c.rect.bottom), 1);
        ASSERT_EQ(Quorin_CallBackPreview(h_, w_, nullptr, 0, 1), 1);
        WaitFrames(1);  // streaming, with or without a window
        const std::vector<HWND> top = WindowsTitled("Active Window");
        HWND child = FindWindowExA(parent.Handle(), nullptr, nullptr, "ActiveMovie Window");
        if (c.child) {
            EXPECT_TRUE(top.empty());
            ASSERT_TRUE(child);
            EXPECT_EQ(GetDlgCtrlID(child), 6540);
            EXPECT_EQ(DWORD(GetWindowLongA(child, GWL_STYLE)), kChildStyle);
            RECT r;
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, parent.Handle(), reinterpret_cast<POINT*>(&r), 2);
            EXPECT_EQ(r.left, 10);
            EXPECT_EQ(r.top, 20);
            EXPECT_EQ(r.right - r.left, 320);
            EXPECT_EQ(r.bottom - r.top, 240);
        } else if (c.rect.right) {
            EXPECT_FALSE(child);
            ASSERT_EQ(top.size(), 1u);
            HWND w = top[0];
            unsigned owner = 0, stamp = 0;
            EXPECT_EQ(std::sscanf(qtest::ClassName(w).c_str(), "VideoRenderer_%8x_%8x", &owner, &stamp), 2) << qtest::ClassName(w);
            EXPECT_EQ(qtest::ClassName(w).size(), 31u);
            EXPECT_EQ(DWORD(GetWindowLongA(w, GWL_STYLE)) & ~DWORD(WS_MINIMIZE | WS_MAXIMIZE), kTopLevelStyle);
            RECT client, outer;
            GetClientRect(w, &client);
            GetWindowRect(w, &outer);
            EXPECT_EQ(client.right, kW);
            EXPECT_EQ(client.bottom, kH);
            // Centred on the screen, never above or left of it.
            const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
            const int ow = outer.right - outer.left, oh = outer.bottom - outer.top;
            EXPECT_EQ(outer.left, (cx - ow) / 2 < 0 ? 0 : (cx - ow) / 2) << "screen " << cx << "x" << cy;
            EXPECT_EQ(outer.top, (cy - oh) / 2 < 0 ? 0 : (cy - oh) / 2) << "screen " << cx << "x" << cy;
        } else {
            EXPECT_TRUE(top.empty());
            EXPECT_FALSE(child);
        }
        const std::string cls = top.empty() ? (child ? qtest::ClassName(child) : "") : qtest::ClassName(top[0]);
        EXPECT_EQ(Quorin_Close(h_), 1);
        EXPECT_TRUE(WindowsTitled("Active Window").empty());
        EXPECT_FALSE(FindWindowExA(parent.Handle(), nullptr, nullptr, "ActiveMovie Window"));
        if (!cls.empty()) {
            EXPECT_FALSE(ClassRegistered(cls)) << cls;
        }
        EXPECT_EQ(DrainHistory(h_), std::vector<int>{});
    }
}

TEST_F(Preview, WindowShowsTheSceneAtOneToOneAndScaledAfterResizes) {
    SetScene(QuadrantPicture());
    ASSERT_EQ(Quorin_CallBackPreview(h_, w_, nullptr, 0, 1), 1);
    const std::vector<HWND> top = WindowsTitled("Active Window");
    ASSERT_EQ(top.size(), 1u);
    HWND w = top[0];
    // 1:1, then two scaled sizes: the second would show the first's display image cut off unless
    // it is made again at the new size.
    const SIZE clients[] = {{kW, kH}, {680, 512}, {340, 256}};
    for (const SIZE& s : clients) {
        SCOPED_TRACE(testing::Message() << "client " << s.cx << "x" << s.cy);
        RECT outer = {0, 0, s.cx, s.cy};
        AdjustWindowRectEx(&outer, kTopLevelStyle, FALSE, 0);
        SetWindowPos(w, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER);
        RECT client;
        GetClientRect(w, &client);
        ASSERT_EQ(client.right, s.cx);
        WaitFrames(2);
        ExpectQuadrants(w);
    }
    // Gray types go through the scaled 8-bit path at any size.
    ASSERT_EQ(Quorin_StopPreview(h_), 1);
    ASSERT_EQ(Quorin_SetColorMode(h_, 16), 1);
    ASSERT_EQ(Quorin_CallBackPreview(h_, w_, nullptr, 0, 1), 1);
    ASSERT_EQ(WindowsTitled("Active Window"), top) << "the open window is reused";
    WaitFrames(2);
    RECT c;
    GetClientRect(w, &c);
    COLORREF red = 0, white = 0;
    qtest::WaitUntil([&] {  // the screen may lag the notices on a busy machine
        red = ScreenPixel(w, c.right / 4, c.bottom / 4);
        white = ScreenPixel(w, 3 * c.right / 4, 3 * c.bottom / 4);
        return GetRValue(white) == GetBValue(white) && GetRValue(white) > GetRValue(red) + 40;
    }, 5000, 50);
    EXPECT_EQ(GetRValue(white), GetBValue(white)) << "gray";
    EXPECT_GT(GetRValue(white), GetRValue(red) + 40);
    EXPECT_EQ(Quorin_Close(h_), 1);
    EXPECT_EQ(DrainHistory(h_), std::vector<int>{});
}

TEST_F(Preview, HiddenOrMinimisedWindowKeepsStreamingAndPaintsAgainWhenShown) {
    SetScene(QuadrantPicture());
    ASSERT_EQ(Quorin_CallBackPreview(h_, w_, nullptr, 0, 1), 1);
    const std::vector<HWND> top = WindowsTitled("Active Window");
    ASSERT_EQ(top.size(), 1u);
    for (int hide : {SW_HIDE, SW_MINIMIZE}) {
        SCOPED_TRACE(hide == SW_HIDE ? "hidden" : "minimised");
        ShowWindow(top[0], hide);
        WaitFrames(3);
        ShowWindow(top[0], SW_RESTORE);
        WaitFrames(2);
        ExpectQuadrants(top[0]);
    }
    EXPECT_EQ(Quorin_Close(h_), 1);
    EXPECT_EQ(DrainHistory(h_), std::vector<int>{});
}

TEST_F(Preview, SecondStartReusesTheWindowAndLiveStartsOnlyTakeTheDestination) {
    ASSERT_EQ(Quorin_Preview(h_), 1);
    const std::vector<HWND> first = WindowsTitled("Active Window");
    ASSERT_EQ(first.size(), 1u);
    // Live: the new frame window gets the frames, no second window.
    ASSERT_EQ(Quorin_CallBackPreview(h_, w_, nullptr, 0, 1), 1);
    WaitFrames(1);
    EXPECT_EQ(WindowsTitled("Active Window"), first);
    // Stopped: the window stays and the next start paints it again.
    ASSERT_EQ(Quorin_StopPreview(h_), 1);
    ASSERT_EQ(Quorin_Preview(h_), 1);
    EXPECT_EQ(WindowsTitled("Active Window"), first);
    // A new placement takes effect at the next start, replacing the window.
    ASSERT_EQ(Quorin_StopPreview(h_), 1);
    const std::string firstClass = qtest::ClassName(first[0]);
    ASSERT_EQ(Quorin_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Quorin_CallBackPreview(h_, w_, nullptr, 0, 1), 1);
    EXPECT_TRUE(WindowsTitled("Active Window").empty());
    EXPECT_FALSE(ClassRegistered(firstClass));
    WaitFrames(1);
    EXPECT_EQ(Quorin_Close(h_), 1);
    EXPECT_EQ(DrainHistory(h_), std::vector<int>{});
}

TEST_F(Preview, FailedCreationReportsFourAndLeavesNothingBehind) {
    // A parent that is no window: the child cannot be made.
    HWND bogus = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7ffe1234));
    ASSERT_FALSE(IsWindow(bogus));
    ASSERT_EQ(Quorin_SetPreviewWindow(h_, bogus, 0, 0, 64, 64), 1);
    struct Call {
        const char* name;
        int (*start)(int, HWND);
    };
    const Call calls[] = {
        {"Preview", [](int h, HWND) { return Quorin_Preview(h); }},
        {"CallBackPreview", [](int h, HWND w) { return Quorin_CallBackPreview(h, w, nullptr, 0, 1); }},
        {"Trigger", [](int h, HWND w) { return Quorin_Trigger(h, w, nullptr, 0, 1); }},
    };
    for (const Call& c : calls) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.start(h_, w_), 0);
        EXPECT_EQ(DrainHistory(h_), std::vector<int>{4});
        EXPECT_EQ(cam_.sim.Status(0).trigger_mode, 0u);
    }
    EXPECT_TRUE(WindowsTitled("Active Window").empty());
    // A valid placement afterwards works.
    ASSERT_EQ(Quorin_SetPreviewWindow(h_, nullptr, 0, 0, 320, 240), 1);
    ASSERT_EQ(Quorin_CallBackPreview(h_, w_, nullptr, 0, 1), 1);
    EXPECT_EQ(WindowsTitled("Active Window").size(), 1u);
    EXPECT_EQ(Quorin_Close(h_), 1);
}

TEST_F(Preview, CloseFromAnotherThreadLeavesTheWindowToItsOwner) {
    ASSERT_EQ(Quorin_CallBackPreview(h_, w_, nullptr, 0, 1), 1);
    const std::vector<HWND> top = WindowsTitled("Active Window");
    ASSERT_EQ(top.size(), 1u);
    const std::string cls = qtest::ClassName(top[0]);
    HANDLE closer = CreateThread(
        nullptr, 0, [](LPVOID h) -> DWORD { return DWORD(Quorin_Close(int(INT_PTR(h)))); },
        reinterpret_cast<LPVOID>(INT_PTR(h_)), 0, nullptr);
    ASSERT_TRUE(closer);
    // The closing thread does not wait for this one, which owns the window.
    ASSERT_EQ(WaitForSingleObject(closer, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(closer, &code);
    CloseHandle(closer);
    EXPECT_EQ(code, 1u);
    Pump(200);  // the owner destroys its window at its next dispatch
    EXPECT_FALSE(IsWindow(top[0]));
    // The next close unregisters the class whose window is now gone.
    EXPECT_EQ(Quorin_Close(h_), 1);
    EXPECT_FALSE(ClassRegistered(cls)) << cls;
}

TEST_F(Preview, CloseWhileStreamingAHundredTimesLeaksNothing) {
    // Child windows: closing a top-level window waits on the display's window manager, which the
    // test display does not run, so a hundred of them would take minutes.
    ParentWindow parent;
    ASSERT_EQ(Quorin_SetPreviewWindow(h_, parent.Handle(), 0, 0, 320, 240), 1);
    // One round first, so lazily made objects (caches, the display image) exist before counting.
    ASSERT_EQ(Quorin_CallBackPreview(h_, w_, nullptr, 0, 1), 1);
    WaitFrames(1);
    ASSERT_EQ(Quorin_Close(h_), 1);
    Pump(0);
    HANDLE process = GetCurrentProcess();
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS), user = GetGuiResources(process, GR_USEROBJECTS);
    DWORD handles = 0, handlesAfter = 0;
    GetProcessHandleCount(process, &handles);
    for (int i = 0; i < 100; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(Quorin_CallBackPreview(h_, w_, nullptr, 0, 1), 1);
        HWND child = FindWindowExA(parent.Handle(), nullptr, nullptr, "ActiveMovie Window");
        ASSERT_TRUE(child);
        const std::string cls = qtest::ClassName(child);
        if (i % 4 == 0) WaitFrames(1); else Sleep(DWORD(i % 7) * 3);  // mid-frame or mid-paint
        ASSERT_EQ(Quorin_Close(h_), 1);
        ASSERT_FALSE(IsWindow(child));
        ASSERT_FALSE(ClassRegistered(cls)) << cls;
    }
    Pump(0);
    GetProcessHandleCount(process, &handlesAfter);
    // Where the platform keeps no such counts (they read 0), the window and class checks above
    // are what this test can see.
    if (gdi || user) {
        EXPECT_EQ(GetGuiResources(process, GR_GDIOBJECTS), gdi);
        EXPECT_EQ(GetGuiResources(process, GR_USEROBJECTS), user);
    }
    if (handles) {
        EXPECT_EQ(handlesAfter, handles);
    }
    std::printf("GDI objects %lu, user objects %lu, handles %lu before and after%s\n", gdi, user, handles,
                gdi || user || handles ? "" : " (not counted on this platform)");
    EXPECT_EQ(DrainHistory(h_), std::vector<int>{});
}
