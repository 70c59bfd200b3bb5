// The camera dialog through Quorin_SetCameraDlg: what it shows without a stored format, what OK,
// Apply and Cancel leave in the registry and in the camera, and the acquisition it holds while
// open.
#include <cmath>

#include "dialogs/dialog_ids.h"
#include "tests/dialogs/dialog_fixture.h"
#include "tests/settings/registry_test_keys.h"

using namespace dlgtest;

namespace {

class CameraDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        if (IsSkipped()) return;
        DeleteTree(CameraPath(0));  // no stored format: the dialog shows its own defaults
    }
    void TearDown() override {
        DialogTest::TearDown();  // the release stores the camera's format: remove it afterwards
        DeleteTree(CameraPath(0));
    }
    DialogRun Run(const std::function<void(DialogDriver&)>& script) {
        return RunDialog([&] { return Quorin_SetCameraDlg(h_, owner_.Handle()); }, owner_.Handle(), script);
    }
};

TEST_F(CameraDialogTest, RunsUnderTheRequestedSystemLanguage) {
    EXPECT_EQ(JapaneseSystem(), RequestedLanguage() == "ja") << "system language " << GetSystemDefaultLangID();
}

TEST_F(CameraDialogTest, WithoutStoredFormatShowsTheDefaults) {
    const DialogRun run = Run([&](DialogDriver& d) {
        EXPECT_EQ(d.TabCount(), 1);
        EXPECT_EQ(d.TabText(0), Lang("Stream Format", "ストリーム形式"));
        const std::vector<std::string> colours = JapaneseSystem()
            ? std::vector<std::string>{"白黒 8bit", "白黒 10bit ※", "カラー 24bit", "カラー 32bit", "カラー 48bit ※", "カラー 64bit ※"}
            : std::vector<std::string>{"Monochrome 8bit", "Monochrome 10bit *", "Color 24bit", "Color 32bit",
                                       "Color 48bit *", "Color 64bit *"};
        EXPECT_EQ(d.ComboItems(d.Control(IDC_CAMERA_COLOUR)), colours);
        EXPECT_EQ(d.ComboSelection(d.Control(IDC_CAMERA_COLOUR)), 2);
        EXPECT_EQ(d.ComboItems(d.Control(IDC_CAMERA_CLOCK)),
                  (std::vector<std::string>{Lang("Nomal(24MHz)", "標準(24MHz)"), Lang("Half(12MHz)", "ハーフ(12MHz)")}));
        EXPECT_EQ(d.ComboSelection(d.Control(IDC_CAMERA_CLOCK)), -1) << "clock 2 has no line";
        EXPECT_EQ(d.ComboItems(d.Control(IDC_CAMERA_SIZE)), std::vector<std::string>{Lang("Custom", "カスタム")});
        EXPECT_EQ(d.ComboSelection(d.Control(IDC_CAMERA_SIZE)), 0);
        EXPECT_EQ(d.ComboItems(d.Control(IDC_CAMERA_SUBSAMPLE)), std::vector<std::string>{"1/1"});
        EXPECT_EQ(d.Text(d.Control(IDC_CAMERA_WAIT_TIME)), "1");
        const struct { int id; const char* text; } edits[] = {
            {IDC_CAMERA_H_TOTAL, "1360"}, {IDC_CAMERA_V_TOTAL, "1024"}, {IDC_CAMERA_H_EFFECTIVE, "1360"},
            {IDC_CAMERA_V_EFFECTIVE, "1024"}, {IDC_CAMERA_H_START, "0"}, {IDC_CAMERA_V_START, "0"}};
        for (const auto& e : edits) {
            EXPECT_EQ(d.Text(d.Control(e.id)), e.text) << e.id;
            EXPECT_FALSE(d.Enabled(d.Control(e.id))) << e.id;
        }
        const struct { int id; bool enabled; } states[] = {
            {IDC_CAMERA_COLOUR, true}, {IDC_CAMERA_CLOCK, true}, {IDC_CAMERA_WAIT_TIME, true},
            {IDC_CAMERA_SIZE, false}, {IDC_CAMERA_SUBSAMPLE, false}, {IDC_FRAME_APPLY, false},
            {IDOK, true}, {IDCANCEL, true}};
        for (const auto& s : states) EXPECT_EQ(d.Enabled(d.Control(s.id)), s.enabled) << s.id;
        const struct { int id; const char* en; const char* ja; } buttons[] = {
            {IDOK, "OK", "OK"}, {IDCANCEL, "Cancel", "キャンセル"}, {IDC_FRAME_APPLY, "Apply(&A)", "適用(&A)"}};
        for (const auto& b : buttons) EXPECT_EQ(d.Text(d.Control(b.id)), Lang(b.en, b.ja));
        if (!JapaneseSystem()) {
            const std::vector<std::string> labels = d.Labels(d.Frame());
            for (const char* l : {"Color / Compression(&C):", "Size(&S):", "Sub Sample(&B):", "Clock(&C):", "H Total",
                                  "V Total", "H Effective", "V Effective", "H Start", "V Start", "Wait Time(&T):",
                                  "* In the WORD forwarding mode, please set the clock to the half."})
                EXPECT_NE(std::find(labels.begin(), labels.end(), l), labels.end()) << l;
        }
        Shoot(d, "camera");
        d.End(IDCANCEL);
    });
    EXPECT_TRUE(run.found);
    EXPECT_FALSE(run.closedByGuard);
    EXPECT_EQ(run.exportResult, 1);
    EXPECT_FALSE(KeyExists(CameraPath(0))) << "Cancel saves nothing";
}

TEST_F(CameraDialogTest, HalfClockAndOkStoresClockOneAndTheExposureTimeFollows) {
    const DialogRun run = Run([&](DialogDriver& d) {
        d.Choose(d.Control(IDC_CAMERA_CLOCK), 1);
        EXPECT_TRUE(d.Enabled(d.Control(IDC_FRAME_APPLY)));
        d.End(IDOK);
    });
    ASSERT_TRUE(run.found);
    EXPECT_EQ(run.exportResult, 1);
    std::map<std::string, int64_t> values = ReadValues(CameraPath(0));
    EXPECT_EQ(values["Clock"], 1);
    EXPECT_EQ(values["Color"], 2);
    EXPECT_EQ(values["WaitTime"], 1);
    int ok = 0;
    const int exposure = Quorin_GetFilterValue(h_, QUORIN_EXPOSURE_TIME, &ok);
    const double halfClockUs = (1790.0 * (1074 - exposure) + 200) * (1.0 / 12.0);
    EXPECT_NEAR(Quorin_GetRealExposureTime(h_, &ok), halfClockUs, 1.5) << "exposure register " << exposure;
}

TEST_F(CameraDialogTest, ApplyThenCancelLeavesTheValuesForTheNextOpen) {
    const int waitBefore = Quorin_GetWaitTime(h_);
    const DialogRun run = Run([&](DialogDriver& d) {
        d.Choose(d.Control(IDC_CAMERA_COLOUR), 3);
        d.Type(d.Control(IDC_CAMERA_WAIT_TIME), "7");
        d.Click(d.Control(IDC_FRAME_APPLY));
        EXPECT_FALSE(d.Enabled(d.Control(IDC_FRAME_APPLY))) << "Apply disables itself";
        d.End(IDCANCEL);
    });
    ASSERT_TRUE(run.found);
    EXPECT_EQ(run.exportResult, 1);
    std::map<std::string, int64_t> values = ReadValues(CameraPath(0));
    EXPECT_EQ(values["Color"], 3);
    EXPECT_EQ(values["WaitTime"], 7);
    EXPECT_EQ(values["Clock"], 2) << "no clock line was chosen: the stored clock stays";
    EXPECT_EQ(Quorin_GetWaitTime(h_), waitBefore) << "Cancel: the camera keeps its format";
    Quorin_Release(h_);
    h_ = cam_.handle = Quorin_Initialize(nullptr);
    ASSERT_NE(h_, 0);
    EXPECT_EQ(Quorin_GetWaitTime(h_), 7);
    EXPECT_EQ(Quorin_GetColorMode(h_), 32);
}

// The acquisition that was running goes on after the dialog with the chosen format; while the
// dialog is open the camera delivers nothing.
TEST_F(CameraDialogTest, HoldsTheAcquisitionWhileOpen) {
    const struct {
        const char* name;
        bool trigger;
    } cases[] = {{"live preview", false}, {"trigger run", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Quorin_SetColorMode(h_, 24), 1);
        ASSERT_EQ(Quorin_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
        if (c.trigger) {
            ASSERT_EQ(Quorin_Trigger(h_, cam_.window.Handle(), nullptr, 0, 1), 1);
            ASSERT_TRUE(qtest::TriggerPulses(0, 2));
        } else {
            ASSERT_EQ(Quorin_StartPreview(h_), 1);
        }
        ASSERT_TRUE(FramesFlowAfter(Delivered(), 5000));
        const DialogRun run = Run([&](DialogDriver& d) {
            const uint32_t before = Delivered();
            if (c.trigger) qtest::TriggerPulses(0, 3);
            Sleep(400);
            EXPECT_LE(Delivered(), before + 1) << "frames went on while the dialog was open";
            d.Choose(d.Control(IDC_CAMERA_COLOUR), 3);
            d.End(IDOK);
        });
        ASSERT_TRUE(run.found);
        EXPECT_EQ(Quorin_GetColorMode(h_), 32);
        const uint32_t after = Delivered();
        if (c.trigger) qtest::TriggerPulses(0, 3);
        EXPECT_TRUE(FramesFlowAfter(after, 5000)) << "the acquisition did not go on";
        Quorin_StopPreview(h_);
        DeleteTree(CameraPath(0));
    }
}

}  // namespace
