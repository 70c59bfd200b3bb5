// Probing and selecting cameras by index.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/device/device_fixture.h"

using namespace simtest;

namespace {

bool EndsWith(const char* text, const char* tail) {
    const size_t n = std::strlen(text), m = std::strlen(tail);
    return n >= m && std::strcmp(text + n - m, tail) == 0;
}

std::string PresentList(const CQuorinM52DXLTXSdk& device) {
    std::string list;
    for (int i = 0; i < 32; ++i) {
        if (device.IsDevicePresent(i)) list += std::to_string(i) + " ";
    }
    return list;
}

}  // namespace

class DeviceSelection : public DeviceTest {
protected:
    void TearDown() override {
        sim_.Detach(5);
        sim_.Detach(23);
        DeviceTest::TearDown();
    }
};

TEST_F(DeviceSelection, ProbeFindsCamerasAtTheirIndicesAndKeepsTheSelection) {
    ASSERT_TRUE(sim_.Attach(5));
    ASSERT_TRUE(sim_.Attach(23));
    device_->ProbeDevices();
    EXPECT_EQ("0 5 23 ", PresentList(*device_));
    EXPECT_EQ(0, device_->IsDevicePresent(-1));
    EXPECT_EQ(0, device_->IsDevicePresent(32));

    sim_.ClearLog(5);
    ASSERT_EQ(0, device_->InitializeDevice(5));
    EXPECT_TRUE(EndsWith(device_->DevicePath(), "\\ZadeZ52EZIZE-5"));
    EXPECT_EQ(5, device_->GetSelectedIndex());
    EXPECT_GT(sim_.Log(5).size(), 700u);          // the new camera is programmed
    EXPECT_TRUE(SameSequence({}, TakeLog(0)));    // the old one is left alone
    EXPECT_EQ(512, device_->GetGain());

    // An enumeration while camera 5 is in use does not move the selection.
    device_->ProbeDevices();
    EXPECT_EQ(5, device_->GetSelectedIndex());
    EXPECT_TRUE(EndsWith(device_->DevicePath(), "-5"));

    ASSERT_EQ(1, device_->SetGain(700));
    EXPECT_EQ(700u, sim_.Status(5).gain);
    EXPECT_NE(700u, sim_.Status(0).gain);

    ASSERT_TRUE(sim_.Detach(0));
    ASSERT_TRUE(sim_.Detach(5));
    ASSERT_TRUE(sim_.Detach(23));
    device_->ProbeDevices();
    EXPECT_EQ("", PresentList(*device_));
    EXPECT_EQ(5, device_->GetSelectedIndex());
}

TEST_F(DeviceSelection, ConstructionWithoutAnyCameraProbesNothingAndSelectsZero) {
    ASSERT_TRUE(sim_.Detach(0));
    device_.reset(new CQuorinM52DXLTXSdk());
    EXPECT_EQ("", PresentList(*device_));
    EXPECT_EQ(0, device_->GetSelectedIndex());
    EXPECT_TRUE(EndsWith(device_->DevicePath(), "\\ZadeZ52EZIZE-0"));
    EXPECT_FALSE(device_->IsReinitPending());  // the sequence ran to its end, unanswered
    EXPECT_EQ(0, device_->GetGain());
    EXPECT_EQ(quorin::DEV_NO_HANDLE, device_->SnapFrame());
}

TEST_F(DeviceSelection, SelectDeviceEdgeCases) {
    EXPECT_EQ(0, device_->SelectDevice(22));
    EXPECT_TRUE(EndsWith(device_->DevicePath(), "-N"));
    EXPECT_EQ(0, device_->SelectDevice(23));
    EXPECT_TRUE(EndsWith(device_->DevicePath(), "-M"));
    EXPECT_EQ(0, device_->SelectDevice(10));
    EXPECT_TRUE(EndsWith(device_->DevicePath(), "\\\\.\\ZadeZ52EZIZE-A"));
    EXPECT_EQ(0, device_->SelectDevice(32));
    EXPECT_TRUE(EndsWith(device_->DevicePath(), "-W"));
    EXPECT_EQ(32, device_->GetSelectedIndex());
    EXPECT_EQ(quorin::DEV_BAD_INDEX, device_->SelectDevice(33));
    EXPECT_EQ(quorin::DEV_BAD_INDEX, device_->SelectDevice(-1));
    EXPECT_TRUE(EndsWith(device_->DevicePath(), "-W"));
    EXPECT_EQ(32, device_->GetSelectedIndex());
    EXPECT_EQ(32, CQuorinM52DXLTXSdk::MaxDeviceCount());
    // Index 23 is camera 23's path: N and M are not swapped on the way to the driver.
    ASSERT_TRUE(sim_.Attach(23));
    ASSERT_EQ(0, device_->SelectDevice(23));
    ASSERT_EQ(1, device_->SetGain(333));
    EXPECT_EQ(333u, sim_.Status(23).gain);
}
