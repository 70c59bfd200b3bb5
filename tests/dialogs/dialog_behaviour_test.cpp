// What a user sees and types in the property dialogs: group captions clear of their frame line, a
// changing label without old text, thumbs where their values are, the keyboard reaching the pages;
// and the dialogs around a recording, the pipeline's refreshes, a second dialog and a dead owner.
#include <thread>

#include "dialogs/dialog_ids.h"
#include "tests/dialogs/dialog_fixture.h"
#include "tests/support/messages.h"

using namespace dlgtest;

namespace {

// The auto iris's refresh of an open analog dialog, as the acquisition thread posts it.
const UINT kAutoIrisRefresh = WM_APP + 0x152;

// The screen's pixels (COLORREF) of rectangle r in w's client coordinates, once w has painted.
std::vector<uint32_t> Pixels(HWND w, RECT r) {
    RedrawWindow(w, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(200);
    MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&r), 2);
    const int width = r.right - r.left, height = r.bottom - r.top;
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    std::vector<uint32_t> px(size_t(width) * height);
    for (size_t i = 0; i < px.size(); ++i) {
        const uint32_t c = static_cast<const uint32_t*>(bits)[i];
        px[i] = RGB(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return px;
}

// True when a row of the caption band of group box g is mostly the frame line's shadow colour.
bool CaptionStruck(HWND g, std::string* caption) {
    wchar_t text[64] = {};
    GetWindowTextW(g, text, 64);
    *caption = Utf8(text);
    HDC dc = GetDC(g);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(g, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    SelectObject(dc, old);
    ReleaseDC(g, dc);
    const RECT band = {10, 0, 10 + size.cx - 4, size.cy};
    const std::vector<uint32_t> px = Pixels(g, band);
    const int width = band.right - band.left;
    for (int y = 0; y < size.cy; ++y) {
        int line = 0;
        for (int x = 0; x < width; ++x) line += px[size_t(y) * width + x] == GetSysColor(COLOR_BTNSHADOW);
        if (line * 10 > width * 3) return true;
    }
    return false;
}

BOOL CALLBACK CollectGroups(HWND w, LPARAM out) {
    char cls[16] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (!lstrcmpiA(cls, "Button") && (GetWindowLongW(w, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX && IsWindowVisible(w))
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
    return TRUE;
}

HWND Focus(HWND frame) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(frame, nullptr), &info);
    return info.hwndFocus;
}

// A key as the keyboard delivers it to the focused control: Tab, or Alt with a letter.
void Press(HWND frame, UINT message, WPARAM key) {
    PostMessageW(Focus(frame), message, key, message == WM_SYSCHAR ? 1 << 29 : 1);
    if (message == WM_KEYDOWN) PostMessageW(Focus(frame), WM_KEYUP, key, 0xC0000001);
    Sleep(150);
}

class DialogBehaviour : public DialogTest {
protected:
    DialogRun Run(int (*exportFn)(int, HWND), const std::function<void(DialogDriver&)>& script, HWND owner = nullptr) {
        owner = owner ? owner : owner_.Handle();
        return RunDialog([&] { return exportFn(h_, owner); }, owner, script);
    }
};

TEST_F(DialogBehaviour, GroupCaptionsStayClearAndCentredValuesShowTheirThumbInTheMiddle) {
    const struct { int (*exportFn)(int, HWND); int colourBits, tab; std::vector<int> centred; } dialogs[] = {
        {Quorin_SetAnalogDlg, 24, 0, {}},
        {Quorin_SetImageDlg, 24, 0, {2001, 2011, 2021, 2031}},  // 0 of brightness, contrast, hue, saturation
        {Quorin_SetImageDlg, 8, 1, {}},
    };
    for (const auto& dialog : dialogs) {
        ASSERT_EQ(Quorin_SetColorMode(h_, dialog.colourBits), 1);
        for (int id = QUORIN_BRIGHTNESS; id <= QUORIN_SATURATION; ++id) Quorin_SetFilterValue(h_, id, 0);
        Run(dialog.exportFn, [&](DialogDriver& d) {
            if (dialog.tab) d.SelectTab(dialog.tab);
            std::vector<HWND> groups;
            EnumChildWindows(d.Frame(), CollectGroups, reinterpret_cast<LPARAM>(&groups));
            EXPECT_FALSE(groups.empty());
            for (HWND g : groups) {
                std::string caption;
                EXPECT_FALSE(CaptionStruck(g, &caption)) << "the frame line runs through \"" << caption << "\"";
            }
            for (int id : dialog.centred) {
                RECT thumb = {}, channel = {};
                SendMessageW(d.Control(id), TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
                SendMessageW(d.Control(id), TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
                EXPECT_NEAR((thumb.left + thumb.right) / 2, (channel.left + channel.right) / 2, 2) << "slider " << id;
            }
            if (dialog.exportFn == Quorin_SetAnalogDlg) {
                // A shorter exposure time replaces the label's text: nothing of the old one stays.
                d.Type(d.Control(IDC_ANALOG_EXPOSURE_EDIT), "1070");
                HWND label = d.Control(IDC_ANALOG_EXPOSURE_TIME);
                RECT r;
                GetClientRect(label, &r);
                const std::vector<uint32_t> changed = Pixels(label, r);
                RedrawWindow(GetParent(label), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
                EXPECT_EQ(changed, Pixels(label, r)) << "the exposure label kept its old text";
            }
        });
    }
}

TEST_F(DialogBehaviour, TabAndMnemonicsReachThePagesAndTheTabShowsFocus) {
    const struct { int (*exportFn)(int, HWND); char letter; int control; } rows[] = {
        {Quorin_SetAnalogDlg, 'e', IDC_ANALOG_EXPOSURE_SLIDER},
        {Quorin_SetImageDlg, 'p', IDC_IMAGE_SHARPNESS_SLIDER},
    };
    for (const auto& row : rows) {
        Run(row.exportFn, [&](DialogDriver& d) {
            HWND tab = GetDlgItem(d.Frame(), IDC_FRAME_TAB);
            bool onPage = false;
            for (int i = 0; i < 8 && !onPage; ++i) {
                Press(d.Frame(), WM_KEYDOWN, VK_TAB);
                onPage = GetParent(GetParent(Focus(d.Frame()))) == tab;
            }
            EXPECT_TRUE(onPage) << "Tab never reached a page control";
            Press(d.Frame(), WM_SYSCHAR, row.letter);
            EXPECT_EQ(GetDlgCtrlID(Focus(d.Frame())), row.control) << "Alt+" << row.letter;
            RECT item = {};
            SendMessageW(tab, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
            const std::vector<uint32_t> unfocused = Pixels(tab, item);
            SendMessageW(d.Frame(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tab), TRUE);
            EXPECT_NE(unfocused, Pixels(tab, item)) << "the focused tab looks like an unfocused one";
        });
    }
}

TEST_F(DialogBehaviour, CameraDialogIsRefusedWhileRecording) {
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, path);
    lstrcatA(path, "dialog_while_recording.avi");
    ASSERT_EQ(Quorin_Record(h_, path, 60000, 0), 1);
    const DialogRun run = RunDialog([&] { return Quorin_SetCameraDlg(h_, owner_.Handle()); }, owner_.Handle(),
                                    [](DialogDriver&) {}, 1500);
    EXPECT_EQ(run.exportResult, 0);
    EXPECT_FALSE(run.found);
    EXPECT_EQ(Quorin_GetLastError(h_), QUORIN_ERR_NO_DEVICE);
    EXPECT_EQ(Quorin_Record(h_, path, 1000, 0), 0) << "the recording did not go on";
    Quorin_StopPreview(h_);
    DeleteFileA(path);
}

TEST_F(DialogBehaviour, RefreshesOnlyShowAndOkKeepsTheNewestValues) {
    Run(Quorin_SetAnalogDlg, [&](DialogDriver& d) {
        const uint32_t gain = cam_.sim.Status(0).gain;
        PostMessageW(d.Frame(), kAutoIrisRefresh, IDC_ANALOG_GLOBAL_EDIT, 700);  // a late, older value
        Sleep(300);
        EXPECT_EQ(cam_.sim.Status(0).gain, gain) << "the refresh sent its value again";
        d.End(IDOK);
    });
    // A value stored while the dialog still shows the older one (its refresh not yet handled).
    Run(Quorin_SetImageDlg, [&](DialogDriver& d) {
        Quorin_SetBrightness(h_, 33);
        d.End(IDOK);
    });
    EXPECT_EQ(Filter(QUORIN_BRIGHTNESS), 33);
}

TEST_F(DialogBehaviour, AllFramesShowsWhetherBalanceRunsOnEveryFrame) {
    Quorin_SetBayerGainAuto(h_, 1);
    Run(Quorin_SetImageDlg, [&](DialogDriver& d) { EXPECT_TRUE(d.Checked(d.Control(IDC_FILTER_ALL_FRAMES))); });
    ASSERT_EQ(Quorin_SetColorMode(h_, 8), 1);
    Run(Quorin_SetImageDlg, [&](DialogDriver& d) {
        HWND allFrames = d.On(d.PageWith(IDC_GRAY_MODE_BAYER), IDC_FILTER_ALL_FRAMES);
        d.Click(allFrames);
        d.Click(d.On(d.PageWith(IDC_GRAY_MODE_BAYER), IDC_FILTER_ONCE));
        EXPECT_FALSE(d.Checked(allFrames)) << "\"Once\" left \"All frames\" checked";
        d.Click(allFrames);
        d.End(IDOK);
    });
    Run(Quorin_SetImageDlg, [&](DialogDriver& d) {
        EXPECT_TRUE(d.Checked(d.On(d.PageWith(IDC_GRAY_MODE_BAYER), IDC_FILTER_ALL_FRAMES)));
    });
}

TEST_F(DialogBehaviour, TwoDialogsOfOneKindEachFollowThePipelineAndRestoreTheirOwnValues) {
    ASSERT_EQ(Quorin_CallBackPreview(h_, nullptr, nullptr, 0, 1), 1);
    HANDLE secondOpen = CreateEventA(nullptr, TRUE, FALSE, nullptr), firstClosed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread second([&] {
        OwnerWindow owner;
        const DialogRun run = RunDialog([&] { return Quorin_SetImageDlg(h_, owner.Handle()); }, owner.Handle(),
                                        [&](DialogDriver& d) {
            SetEvent(secondOpen);
            WaitForSingleObject(firstClosed, 20000);
            d.Click(d.Control(IDC_FILTER_ONCE));  // a white balance, shown when the pipeline is done
            EXPECT_TRUE(qtest::WaitUntil([&] {
                const int red = Filter(QUORIN_BAYER_GAIN_RED);
                return red != 100 && d.Text(d.Control(IDC_IMAGE_R_GAIN_EDIT)) == std::to_string(red);
            }, 10000)) << "the second dialog missed the pipeline's refresh";
            d.End(IDCANCEL);
        });
        EXPECT_EQ(run.exportResult, 1);
    });
    ASSERT_EQ(WaitForSingleObject(secondOpen, 20000), WAIT_OBJECT_0);
    Run(Quorin_SetImageDlg, [&](DialogDriver& d) { d.End(IDCANCEL); });
    SetEvent(firstClosed);
    second.join();
    EXPECT_EQ(Filter(QUORIN_BAYER_GAIN_RED), 100);
    CloseHandle(secondOpen);
    CloseHandle(firstClosed);
}

TEST_F(DialogBehaviour, DialogWhoseOwnerGoesEndsAsCancelled) {
    OwnerWindow owner;
    const DialogRun run = Run(Quorin_SetImageDlg, [&](DialogDriver& d) {
        d.Type(d.Control(IDC_IMAGE_BRIGHTNESS_EDIT), "40");
        EXPECT_EQ(Filter(QUORIN_BRIGHTNESS), 40);
        PostMessageW(owner.Handle(), WM_CLOSE, 0, 0);
        qtest::WaitForWindowGone(d.Frame(), 10000);
    }, owner.Handle());
    EXPECT_EQ(run.exportResult, 1);
    EXPECT_EQ(Filter(QUORIN_BRIGHTNESS), 0);
}

}  // namespace
