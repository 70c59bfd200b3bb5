// Calls on a camera whose live or trigger run ended by itself (camera stalled or unplugged): each
// starts a new run once the camera is back, or fails with 13 while it is gone; never 1 with
// nothing running.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/acquisition/acquisition_support.h"
#include "tests/recording/recording_support.h"

namespace {

enum class Call { kCallBack, kTrigger, kRecord };
enum class Outage { kStallCleared, kUnplugReplugged, kUnplugged };

struct Case {
    const char* name;
    Outage outage;
    Call call;
};

const Case kCases[] = {
    {"StallThenCallBackPreview", Outage::kStallCleared, Call::kCallBack},
    {"StallThenTrigger", Outage::kStallCleared, Call::kTrigger},
    {"StallThenRecord", Outage::kStallCleared, Call::kRecord},
    {"ReplugThenCallBackPreview", Outage::kUnplugReplugged, Call::kCallBack},
    {"ReplugThenTrigger", Outage::kUnplugReplugged, Call::kTrigger},
    {"ReplugThenRecord", Outage::kUnplugReplugged, Call::kRecord},
    {"UnpluggedCallBackPreview", Outage::kUnplugged, Call::kCallBack},
    {"UnpluggedTrigger", Outage::kUnplugged, Call::kTrigger},
    {"UnpluggedRecord", Outage::kUnplugged, Call::kRecord},
};

size_t FrameCount(const std::vector<acqtest::FrameNotice>& notices) {
    size_t n = 0;
    for (const acqtest::FrameNotice& f : notices) n += f.hasInfo ? 1 : 0;
    return n;
}

class LostRun : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(cam_.SetUp(&why)) << why;
        h_ = cam_.handle;
        w_ = cam_.window.Handle();
        buffer_.assign(acqtest::FrameBytes(24), 0);
        ASSERT_EQ(Quorin_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
    }
    void TearDown() override {
        Quorin_StopPreview(h_);
        cam_.sim.Fault(0, M52SIM_FAULT_NONE);
        cam_.TearDown();
    }
    // Starts the run the call belongs to: trigger mode for Trigger, else live with the buffer.
    bool StartRun(Call call) {
        if (call == Call::kTrigger) return Quorin_Trigger(h_, w_, buffer_.data(), Size(), 1) == 1;
        return Quorin_CallBackPreview(h_, w_, buffer_.data(), Size(), 1) == 1;
    }
    int Size() const { return static_cast<int>(buffer_.size()); }

    acqtest::CameraFixture cam_;
    rectest::ScratchFolder folder_;
    int h_ = 0;
    HWND w_ = nullptr;
    std::vector<uint8_t> buffer_;
};

TEST_P(LostRun, TheNextCallStartsANewRunOrFailsWithThirteen) {
    const Case c = GetParam();
    ASSERT_TRUE(StartRun(c.call));
    if (c.outage == Outage::kStallCleared)
        ASSERT_TRUE(cam_.sim.Fault(0, M52SIM_FAULT_STALL));
    else
        ASSERT_TRUE(cam_.sim.Detach(0));
    ASSERT_NE(acqtest::WaitForFrameError(w_, QUORIN_ERR_DEVICE_LOST, 9000), 0u) << "the run was not lost";
    ASSERT_EQ(acqtest::DrainHistory(h_), std::vector<int>{QUORIN_ERR_DEVICE_LOST});
    if (c.outage == Outage::kStallCleared) ASSERT_TRUE(cam_.sim.Fault(0, M52SIM_FAULT_NONE));
    if (c.outage == Outage::kUnplugReplugged) ASSERT_TRUE(cam_.sim.Attach(0));

    const std::string path = folder_.File("lost_run.avi");
    int result = 0;
    switch (c.call) {
        case Call::kCallBack: result = Quorin_CallBackPreview(h_, w_, buffer_.data(), Size(), 1); break;
        case Call::kTrigger: result = Quorin_Trigger(h_, w_, buffer_.data(), Size(), 1); break;
        case Call::kRecord: result = Quorin_Record(h_, path.c_str(), 800, 0); break;
    }

    if (c.outage == Outage::kUnplugged) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(acqtest::DrainHistory(h_), std::vector<int>{QUORIN_ERR_DEVICE_LOST});
        EXPECT_NE(acqtest::WaitForFrameError(w_, QUORIN_ERR_DEVICE_LOST, 1000), 0u) << "no (0, 13) notice";
        return;
    }
    ASSERT_EQ(result, 1);
    // Something runs: frames reach the window, or the recording file.
    switch (c.call) {
        case Call::kCallBack: EXPECT_GE(FrameCount(acqtest::CollectFrames(w_, 4000, 1)), 1u); break;
        case Call::kTrigger:
            ASSERT_TRUE(acqtest::TriggerPulses(1));
            EXPECT_GE(FrameCount(acqtest::CollectFrames(w_, 4000, 1)), 1u);
            break;
        case Call::kRecord:
            ASSERT_TRUE(rectest::WaitUntilFinished(path, 8000));
            EXPECT_GT(rectest::ProbeAvi(path).frames, 0);
            break;
    }
    EXPECT_EQ(acqtest::DrainHistory(h_), std::vector<int>{});
}

INSTANTIATE_TEST_SUITE_P(EveryCall, LostRun, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
