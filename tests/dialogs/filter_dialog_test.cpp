// The filter dialog through Quorin_SetImageDlg: its pages and enabled controls by colour mode, the
// record values it changes while open and their restore, and the refreshes the frame pipeline
// posts to it while frames stream.
#include "dialogs/dialog_ids.h"
#include "tests/dialogs/dialog_fixture.h"

using namespace dlgtest;

namespace {

struct Triple {
    int slider, edit, upDown, min, max, page, flag, filterId;
    const char* label;
};
const Triple kImageTriples[] = {
    {2001, 2002, 2004, -255, 255, 64, 0, QUORIN_BRIGHTNESS, "&Brightness"},
    {2011, 2012, 2014, -127, 127, 32, 1, QUORIN_CONTRAST, "&Contrast"},
    {2021, 2022, 2024, -360, 360, 90, 2, QUORIN_HUE, "&Hue"},
    {2031, 2032, 2034, -255, 255, 64, 3, QUORIN_SATURATION, "&Saturation"},
    {2041, 2042, 2044, 0, 30, 4, 4, QUORIN_SHARPNESS, "Shar&pness"},
    {2051, 2052, 2054, 0, 400, 32, 5, QUORIN_BAYER_GAIN_RED, "&R Gain"},
    {2061, 2062, 2063, 0, 400, 32, 6, QUORIN_BAYER_GAIN_GREEN, "&G Gain"},
    {2071, 2072, 2073, 0, 400, 32, 7, QUORIN_BAYER_GAIN_BLUE, "&B Gain"},
    {2081, 2082, 2084, 0, 200, 32, 8, QUORIN_GAMMA, "&Gamma"},
};
const int kGrayFilterIds[8] = {QUORIN_GRAY_GAIN_R,   QUORIN_GRAY_GAIN_G1,   QUORIN_GRAY_GAIN_G2,   QUORIN_GRAY_GAIN_B,
                               QUORIN_GRAY_OFFSET_R, QUORIN_GRAY_OFFSET_G1, QUORIN_GRAY_OFFSET_G2, QUORIN_GRAY_OFFSET_B};
// Flags off in the gray modes: hue, saturation and the three Bayer gains.
bool GrayFlagOn(int flag) { return flag != 2 && flag != 3 && flag != 5 && flag != 6 && flag != 7; }

class FilterDialogTest : public DialogTest {
protected:
    DialogRun Run(const std::function<void(DialogDriver&)>& script) {
        return RunDialog([&] { return Quorin_SetImageDlg(h_, owner_.Handle()); }, owner_.Handle(), script);
    }
    void StartLive() {
        ASSERT_EQ(Quorin_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
        ASSERT_EQ(Quorin_StartPreview(h_), 1);
        ASSERT_TRUE(FramesFlowAfter(Delivered(), 5000));
    }
};

TEST_F(FilterDialogTest, ControlsByColourMode) {
    const struct {
        const char* name;
        int bits;
        bool gray;
    } modes[] = {{"colour", 24, false}, {"gray", 8, true}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.name);
        ASSERT_EQ(Quorin_SetColorMode(h_, m.bits), 1);
        ASSERT_EQ(Quorin_SetFilterValue(h_, QUORIN_BRIGHTNESS, 17), 1);
        ASSERT_EQ(Quorin_SetFilterValue(h_, QUORIN_BAYER_MODE, 2), 1);
        ASSERT_EQ(Quorin_SetFilterValue(h_, QUORIN_GRAY_MODE, 2), 1);
        ASSERT_EQ(Quorin_SetFilterValue(h_, QUORIN_GRAY_GAIN_G2, 140), 1);
        const DialogRun run = Run([&](DialogDriver& d) {
            ASSERT_EQ(d.TabCount(), m.gray ? 2 : 1);
            EXPECT_EQ(d.TabText(0), Lang("Image Filter", "画像フィルタ"));
            HWND image = d.PageWith(2001);
            ASSERT_NE(image, nullptr);
            EXPECT_TRUE(d.Visible(image));
            const std::vector<std::string> labels = d.Labels(image);
            for (const Triple& t : kImageTriples) {
                SCOPED_TRACE(t.label);
                const bool on = !m.gray || GrayFlagOn(t.flag);
                const SliderState s = d.Slider(d.On(image, t.slider));
                EXPECT_EQ(s.min, t.min);
                EXPECT_EQ(s.max, t.max);
                EXPECT_EQ(s.page, t.page);
                int lo = 1, hi = -1;
                d.UpDownRange(d.On(image, t.upDown), &lo, &hi);
                EXPECT_EQ(lo, t.min);
                EXPECT_EQ(hi, t.max);
                EXPECT_EQ(d.Text(d.On(image, t.edit)), std::to_string(Filter(t.filterId)));
                for (int id : {t.slider, t.edit, t.upDown}) EXPECT_EQ(d.Enabled(d.On(image, id)), on) << id;
                EXPECT_NE(std::find(labels.begin(), labels.end(), t.label), labels.end()) << "English in both";
            }
            EXPECT_EQ(d.Slider(d.On(image, 2001)).pos, 17);
            for (int id : {IDC_FILTER_ONCE, IDC_FILTER_ALL_FRAMES, 1030, 1031, 1032, 1033})
                EXPECT_EQ(d.Enabled(d.On(image, id)), !m.gray) << id;
            EXPECT_FALSE(d.Checked(d.On(image, IDC_FILTER_ALL_FRAMES)));
            for (int mode = 0; mode < 4; ++mode) EXPECT_EQ(d.Checked(d.On(image, 1030 + mode)), mode == 2) << mode;
            Shoot(d, m.gray ? "filter_image_gray_mode" : "filter_image");
            if (m.gray) {
                EXPECT_EQ(d.TabText(1), Lang("Gray Filter", "グレーフィルタ"));
                HWND gray = d.PageWith(IDC_GRAY_FIRST_SLIDER);
                ASSERT_NE(gray, nullptr);
                EXPECT_FALSE(d.Visible(gray));
                d.SelectTab(1);
                EXPECT_TRUE(d.Visible(gray));
                EXPECT_FALSE(d.Visible(image));
                for (int k = 0; k < 8; ++k) {
                    const SliderState s = d.Slider(d.On(gray, 2100 + 3 * k));
                    EXPECT_EQ(s.min, 0);
                    EXPECT_EQ(s.max, 400);
                    EXPECT_EQ(s.page, 32);
                    int lo = 1, hi = -1;
                    d.UpDownRange(d.On(gray, 2102 + 3 * k), &lo, &hi);
                    EXPECT_EQ(hi, 400);
                    EXPECT_EQ(d.Text(d.On(gray, 2101 + 3 * k)), std::to_string(Filter(kGrayFilterIds[k]))) << k;
                    EXPECT_TRUE(d.Enabled(d.On(gray, 2100 + 3 * k))) << k;
                }
                EXPECT_EQ(d.Text(d.On(gray, 2107)), "140");
                EXPECT_TRUE(d.Checked(d.On(gray, IDC_GRAY_MODE_GRAYSCALE)));
                EXPECT_TRUE(d.Checked(d.On(gray, 1032)));
                Shoot(d, "filter_gray");
                d.SelectTab(0);
                EXPECT_TRUE(d.Visible(image));
                EXPECT_FALSE(d.Visible(gray));
            }
            d.End(IDCANCEL);
        });
        EXPECT_TRUE(run.found);
        EXPECT_FALSE(run.closedByGuard);
        EXPECT_EQ(run.exportResult, 1);
    }
}

TEST_F(FilterDialogTest, ValuesGoToTheRecordAtOnceAndTheEndDecides) {
    const struct {
        const char* name;
        int end;
    } cases[] = {{"OK keeps", IDOK}, {"Cancel restores", IDCANCEL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Quorin_SetFilterValue(h_, QUORIN_BRIGHTNESS, 10), 1);
        ASSERT_EQ(Quorin_SetFilterValue(h_, QUORIN_SHARPNESS, 3), 1);
        ASSERT_EQ(Quorin_SetFilterValue(h_, QUORIN_BAYER_MODE, 1), 1);
        const DialogRun run = Run([&](DialogDriver& d) {
            HWND image = d.PageWith(2001);
            ASSERT_NE(image, nullptr);
            d.Drag(d.On(image, 2001), 40);
            EXPECT_EQ(d.Text(d.On(image, 2002)), "40");
            EXPECT_EQ(Filter(QUORIN_BRIGHTNESS), 40);
            d.Type(d.On(image, 2042), "-5");  // below the slider's range: stored as typed
            EXPECT_EQ(Filter(QUORIN_SHARPNESS), -5);
            EXPECT_EQ(d.Slider(d.On(image, 2041)).pos, 0);
            d.Click(d.On(image, 1033));
            EXPECT_EQ(Filter(QUORIN_BAYER_MODE), 3);
            d.End(c.end);
        });
        ASSERT_TRUE(run.found);
        const bool kept = c.end == IDOK;
        EXPECT_EQ(Filter(QUORIN_BRIGHTNESS), kept ? 40 : 10);
        EXPECT_EQ(Filter(QUORIN_SHARPNESS), kept ? -5 : 3);
        EXPECT_EQ(Filter(QUORIN_BAYER_MODE), kept ? 3 : 1);
    }
}

TEST_F(FilterDialogTest, GrayPageAutoGainDefaultAndMode) {
    ASSERT_EQ(Quorin_SetColorMode(h_, 8), 1);
    ASSERT_EQ(Quorin_SetFilterValue(h_, QUORIN_GRAY_MODE, 0), 1);
    const DialogRun run = Run([&](DialogDriver& d) {
        d.SelectTab(1);
        HWND gray = d.PageWith(IDC_GRAY_FIRST_SLIDER);
        ASSERT_NE(gray, nullptr);
        d.Click(d.On(gray, IDC_FILTER_ALL_FRAMES));
        EXPECT_EQ(Filter(QUORIN_FILTER_ID_28), -1);
        d.Click(d.On(gray, IDC_FILTER_ALL_FRAMES));
        EXPECT_EQ(Filter(QUORIN_FILTER_ID_28), 0) << "twice is off again";
        d.Click(d.On(gray, IDC_GRAY_MODE_BAYER_CONVERT));
        EXPECT_EQ(Filter(QUORIN_GRAY_MODE), 1);
        d.Drag(d.On(gray, 2100), 300);
        EXPECT_EQ(Filter(QUORIN_GRAY_GAIN_R), 300);
        d.Click(d.Control(IDC_FRAME_DEFAULT));
        EXPECT_EQ(Filter(QUORIN_GRAY_MODE), 1) << "Default keeps the filter mode";
        EXPECT_EQ(Filter(QUORIN_GRAY_GAIN_R), 128);
        EXPECT_EQ(d.Text(d.On(gray, 2101)), "128");
        EXPECT_EQ(Filter(QUORIN_GRAY_OFFSET_B), 0);
        EXPECT_EQ(Filter(QUORIN_GAMMA), 100);
        d.End(IDOK);
    });
    ASSERT_TRUE(run.found);
    EXPECT_EQ(Filter(QUORIN_GRAY_MODE), 1);
    EXPECT_EQ(Filter(QUORIN_GRAY_GAIN_R), 128);
    EXPECT_EQ(Filter(QUORIN_FILTER_ID_28), 0);
}

TEST_F(FilterDialogTest, OnceThenCancelRestoresTheBayerGains) {
    ASSERT_EQ(Quorin_SetColorMode(h_, 24), 1);
    const int gains[3] = {150, 70, 130};
    for (int i = 0; i < 3; ++i) ASSERT_EQ(Quorin_SetFilterValue(h_, QUORIN_BAYER_GAIN_RED + i, gains[i]), 1);
    StartLive();
    const DialogRun run = Run([&](DialogDriver& d) {
        HWND image = d.PageWith(2001);
        ASSERT_NE(image, nullptr);
        d.Click(d.On(image, IDC_FILTER_ONCE));
        // The pipeline runs one white balance and clears the request.
        const DWORD start = GetTickCount();
        while (Filter(QUORIN_BAYER_GAIN_AUTO) != 0 && GetTickCount() - start < 5000) Sleep(20);
        EXPECT_EQ(Filter(QUORIN_BAYER_GAIN_AUTO), 0) << "no white balance ran";
        d.End(IDCANCEL);
    });
    ASSERT_TRUE(run.found);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Filter(QUORIN_BAYER_GAIN_RED + i), gains[i]) << i;
    EXPECT_EQ(Filter(QUORIN_BAYER_GAIN_AUTO), 0);
}

// With an automatic pass on every frame the pipeline posts a refresh per frame while the user
// drags a slider, and the dialog is closed while frames stream: no deadlock (the export returns,
// frames go on), the refreshes reach the controls, and nothing is left pointing at the closed
// dialog (frames go on after it, and the next dialog works).
TEST_F(FilterDialogTest, RefreshesWhileDraggingAndClosingWhileStreaming) {
    const struct {
        const char* name;
        int bits;
        int tab;
        int refreshedEdit;  // a control the automatic pass rewrites
        int refreshedId;
    } cases[] = {{"white balance, all frames", 24, 0, 2052, QUORIN_BAYER_GAIN_RED},
                 {"gray gain, all frames", 8, 1, 2101, QUORIN_GRAY_GAIN_R}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Quorin_SetColorMode(h_, c.bits), 1);
        StartLive();
        for (int round = 0; round < 2; ++round) {
            const DialogRun run = Run([&](DialogDriver& d) {
                d.SelectTab(c.tab);
                HWND page = d.PageWith(c.tab == 0 ? 2001 : IDC_GRAY_FIRST_SLIDER);
                ASSERT_NE(page, nullptr);
                d.Click(d.On(page, IDC_FILTER_ALL_FRAMES));
                HWND image = d.PageWith(2001);
                const uint32_t before = Delivered();
                // Sixty drag steps, and more for up to 5 s while a busy machine has not yet
                // delivered the frames: frames held up by the drag never come.
                const DWORD dragStart = GetTickCount();
                for (int i = 0; i < 60 || (Delivered() <= before + 3 && GetTickCount() - dragStart < 5000); ++i) {
                    d.Drag(d.On(image, 2001), (i * 37) % 200 - 100, TB_THUMBTRACK);
                    Sleep(10);
                }
                d.Drag(d.On(image, 2001), 20, TB_ENDTRACK);
                EXPECT_GT(Delivered(), before + 3) << "frames stopped while the slider moved";
                // The refresh shows the values the automatic pass chose.
                const DWORD start = GetTickCount();
                while (d.Text(d.On(page, c.refreshedEdit)) != std::to_string(Filter(c.refreshedId)) &&
                       GetTickCount() - start < 3000)
                    Sleep(50);
                EXPECT_EQ(d.Text(d.On(page, c.refreshedEdit)), std::to_string(Filter(c.refreshedId)));
                d.End(IDCANCEL);  // while frames stream and passes run
            });
            ASSERT_TRUE(run.found);
            EXPECT_FALSE(run.closedByGuard);
            EXPECT_TRUE(FramesFlowAfter(Delivered(), 5000)) << "frames stopped after the dialog closed";
            EXPECT_EQ(Filter(QUORIN_BAYER_GAIN_AUTO), 0);
            EXPECT_EQ(Filter(QUORIN_FILTER_ID_28), 0);
        }
        Quorin_StopPreview(h_);
    }
}

}  // namespace
