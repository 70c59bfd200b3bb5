// The analog dialog through Quorin_SetAnalogDlg: its controls, the values that reach the simulated
// camera while it is open, and what OK, Cancel and Default leave behind.
#include <regex>

#include "dialogs/dialog_ids.h"
#include "tests/dialogs/dialog_fixture.h"

using namespace dlgtest;

namespace {

class AnalogDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        if (IsSkipped()) return;
        // A state that differs from every default, so a restore is visible.
        ASSERT_EQ(Quorin_SetFilterValue(h_, QUORIN_GLOBAL_GAIN, 300), 1);
        ASSERT_EQ(Quorin_SetFilterValue(h_, QUORIN_EXPOSURE_TIME, 200), 1);
        Quorin_SetMirrorV(h_, 1);
        Quorin_SetMirrorH(h_, 0);
        before_ = cam_.sim.Status(0);
    }
    DialogRun Run(const std::function<void(DialogDriver&)>& script) {
        return RunDialog([&] { return Quorin_SetAnalogDlg(h_, owner_.Handle()); }, owner_.Handle(), script);
    }
    M52SimStatus before_ = {};
};

TEST_F(AnalogDialogTest, ShowsTheDeviceValuesWithTheRangesOfTheDevice) {
    const struct {
        int slider, edit, upDown, min, max, page;
        bool enabled;
        const char* value;
        const char* label;
    } triples[] = {
        {IDC_ANALOG_GLOBAL_SLIDER, IDC_ANALOG_GLOBAL_EDIT, IDC_ANALOG_GLOBAL_SPIN, 0, 1023, 127, true, "300", "&Global Gain"},
        {IDC_ANALOG_G1_SLIDER, IDC_ANALOG_G1_EDIT, IDC_ANALOG_G1_SPIN, 0, 0, 0, false, "0", "&Color Gain G1"},
        {IDC_ANALOG_R_SLIDER, IDC_ANALOG_R_EDIT, IDC_ANALOG_R_SPIN, 0, 0, 0, false, "0", "&Color Gain R"},
        {IDC_ANALOG_B_SLIDER, IDC_ANALOG_B_EDIT, IDC_ANALOG_B_SPIN, 0, 0, 0, false, "0", "&Color Gain B"},
        {IDC_ANALOG_G2_SLIDER, IDC_ANALOG_G2_EDIT, IDC_ANALOG_G2_SPIN, 0, 0, 0, false, "0", "&Color Gain G2"},
        {IDC_ANALOG_EXPOSURE_SLIDER, IDC_ANALOG_EXPOSURE_EDIT, IDC_ANALOG_EXPOSURE_SPIN, 8, 1074, 133, true, "200", "&Exposure"},
    };
    const DialogRun run = Run([&](DialogDriver& d) {
        EXPECT_EQ(d.TabCount(), 1);
        EXPECT_EQ(d.TabText(0), Lang("Analog Gain", "アナログゲイン"));
        HWND page = d.PageWith(IDC_ANALOG_GLOBAL_SLIDER);
        ASSERT_NE(page, nullptr);
        const std::vector<std::string> labels = d.Labels(page);
        for (const auto& t : triples) {
            SCOPED_TRACE(t.label);
            const SliderState s = d.Slider(d.On(page, t.slider));
            EXPECT_EQ(s.min, t.min);
            EXPECT_EQ(s.max, t.max);
            EXPECT_EQ(s.page, t.page);
            EXPECT_EQ(s.pos, atoi(t.value));
            int lo = -1, hi = -1;
            d.UpDownRange(d.On(page, t.upDown), &lo, &hi);
            EXPECT_EQ(lo, t.min);
            EXPECT_EQ(hi, t.max);
            EXPECT_EQ(d.Text(d.On(page, t.edit)), t.value);
            for (int id : {t.slider, t.edit, t.upDown}) EXPECT_EQ(d.Enabled(d.On(page, id)), t.enabled) << id;
            if (!JapaneseSystem()) EXPECT_NE(std::find(labels.begin(), labels.end(), t.label), labels.end());
        }
        EXPECT_TRUE(d.Checked(d.On(page, IDC_ANALOG_MIRROR_V)));
        EXPECT_FALSE(d.Checked(d.On(page, IDC_ANALOG_MIRROR_H)));
        const std::string label = d.Text(d.On(page, IDC_ANALOG_EXPOSURE_TIME));
        EXPECT_TRUE(std::regex_match(label, std::regex("=[0-9]+\\.[0-9][0-9]ms"))) << label;
        EXPECT_NE(label, "=0.00ms") << "a real exposure is never 0 ms";
        EXPECT_EQ(d.Text(d.Control(3)), Lang("Default(&D)", "既定値(&D)"));
        Shoot(d, "analog");
        // Gain and Exposure exclude each other.
        d.Click(d.On(page, IDC_ANALOG_AUTO_EXPOSURE));
        d.Click(d.On(page, IDC_ANALOG_AUTO_GAIN));
        EXPECT_TRUE(d.Checked(d.On(page, IDC_ANALOG_AUTO_GAIN)));
        EXPECT_FALSE(d.Checked(d.On(page, IDC_ANALOG_AUTO_EXPOSURE)));
        int ok = 0;
        EXPECT_EQ(Quorin_GetAutoIris(h_, &ok), 2);
        d.Click(d.On(page, IDC_ANALOG_AUTO_GAIN));
        d.End(IDCANCEL);
    });
    EXPECT_TRUE(run.found);
    EXPECT_FALSE(run.closedByGuard);
    EXPECT_EQ(run.exportResult, 1);
}

// Gain, exposure and mirrors reach the device while the dialog is open; the way it ends decides
// whether they stay.
TEST_F(AnalogDialogTest, LiveValuesAndTheirRestore) {
    const struct {
        const char* name;
        bool pressDefault;
        int end;
        bool kept;
    } cases[] = {{"OK keeps", false, IDOK, true},
                 {"Cancel restores", false, IDCANCEL, false},
                 {"Default then Cancel restores", true, IDCANCEL, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Quorin_SetFilterValue(h_, QUORIN_GLOBAL_GAIN, 300), 1);
        ASSERT_EQ(Quorin_SetFilterValue(h_, QUORIN_EXPOSURE_TIME, 200), 1);
        Quorin_SetMirrorV(h_, 1);
        Quorin_SetMirrorH(h_, 0);
        const M52SimStatus opened = cam_.sim.Status(0);
        const DialogRun run = Run([&](DialogDriver& d) {
            HWND page = d.PageWith(IDC_ANALOG_GLOBAL_SLIDER);
            ASSERT_NE(page, nullptr);
            d.Drag(d.On(page, IDC_ANALOG_GLOBAL_SLIDER), 700);
            EXPECT_EQ(d.Text(d.On(page, IDC_ANALOG_GLOBAL_EDIT)), "700");
            EXPECT_EQ(cam_.sim.Status(0).gain, 700u) << "the gain reaches the camera before OK";
            const std::string label = d.Text(d.On(page, IDC_ANALOG_EXPOSURE_TIME));
            d.Type(d.On(page, IDC_ANALOG_EXPOSURE_EDIT), "900");
            EXPECT_EQ(d.Slider(d.On(page, IDC_ANALOG_EXPOSURE_SLIDER)).pos, 900);
            EXPECT_NE(cam_.sim.Status(0).shutter, opened.shutter) << "the exposure reaches the camera";
            EXPECT_NE(d.Text(d.On(page, IDC_ANALOG_EXPOSURE_TIME)), label) << "the time follows the exposure";
            d.Click(d.On(page, IDC_ANALOG_MIRROR_V));
            d.Click(d.On(page, IDC_ANALOG_MIRROR_H));
            EXPECT_EQ(Quorin_GetMirrorV(h_), 0);
            EXPECT_EQ(Quorin_GetMirrorH(h_), 1);
            if (c.pressDefault) {
                d.Click(d.Control(IDC_FRAME_DEFAULT));
                EXPECT_EQ(d.Text(d.On(page, IDC_ANALOG_GLOBAL_EDIT)), "512");
                EXPECT_EQ(d.Text(d.On(page, IDC_ANALOG_EXPOSURE_EDIT)), "64");
                EXPECT_EQ(cam_.sim.Status(0).gain, 512u);
            }
            d.End(c.end);
        });
        ASSERT_TRUE(run.found);
        EXPECT_EQ(run.exportResult, 1);
        const M52SimStatus after = cam_.sim.Status(0);
        int ok = 0;
        if (c.kept) {
            EXPECT_EQ(after.gain, 700u);
            EXPECT_EQ(Quorin_GetFilterValue(h_, QUORIN_GLOBAL_GAIN, &ok), 700);
            EXPECT_EQ(Quorin_GetFilterValue(h_, QUORIN_EXPOSURE_TIME, &ok), 900);
            EXPECT_EQ(Quorin_GetMirrorV(h_), 0);
            EXPECT_EQ(Quorin_GetMirrorH(h_), 1);
        } else {
            EXPECT_EQ(after.gain, opened.gain);
            EXPECT_EQ(after.shutter, opened.shutter);
            EXPECT_EQ(after.exposure_lines, opened.exposure_lines);
            EXPECT_EQ(Quorin_GetFilterValue(h_, QUORIN_GLOBAL_GAIN, &ok), 300);
            EXPECT_EQ(Quorin_GetFilterValue(h_, QUORIN_EXPOSURE_TIME, &ok), 200);
            EXPECT_EQ(Quorin_GetMirrorV(h_), 1);
            EXPECT_EQ(Quorin_GetMirrorH(h_), 0);
        }
    }
}

}  // namespace
