// Defaults of a missing registry group, and the order the loaded analog values reach the device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/adjustable_values.h"
#include "tests/settings/fake_analog_device.h"

using namespace quorin;

TEST(SettingsDefaults, NewRecordsAreZero) {
    AdjustableValues values;
    EXPECT_EQ(0, values.filter.gamma.load());
    EXPECT_EQ(0, values.filter.grayGainR.load());
    EXPECT_EQ(0, values.filter.GrayGainAutoCount.load());
    EXPECT_EQ(0, values.analog.globalGain.load());
    EXPECT_EQ(0, values.analog.exposure.load());
}

TEST(SettingsDefaults, ImageFilterDefaultsLeaveTheGrayGroupAlone) {
    FilterSettings f;
    f.grayGainR = 7;
    f.grayOffsetB = -7;
    f.grayMode = 2;
    f.GrayGainAutoCount = -1;
    f.bayerGainAuto = 1;
    f.WhiteBalanceOnce[0] = 1;
    f.WhiteBalanceOnce[1] = 1;
    f.brightness = 9;
    SetImageFilterDefaults(f);
    EXPECT_EQ(0, f.brightness.load());
    EXPECT_EQ(0, f.contrast.load());
    EXPECT_EQ(0, f.hue.load());
    EXPECT_EQ(0, f.saturation.load());
    EXPECT_EQ(0, f.sharpness.load());
    EXPECT_EQ(100, f.bayerGainRed.load());
    EXPECT_EQ(100, f.bayerGainGreen.load());
    EXPECT_EQ(100, f.bayerGainBlue.load());
    EXPECT_EQ(100, f.gamma.load());
    EXPECT_EQ(1, f.bayerMode.load());
    EXPECT_EQ(0, f.bayerGainAuto.load());
    EXPECT_EQ(0, f.WhiteBalanceOnce[0].load());
    EXPECT_EQ(0, f.WhiteBalanceOnce[1].load());
    EXPECT_EQ(7, f.grayGainR.load());
    EXPECT_EQ(-7, f.grayOffsetB.load());
    EXPECT_EQ(2, f.grayMode.load());
    EXPECT_EQ(-1, f.GrayGainAutoCount.load());
}

TEST(SettingsDefaults, GrayDefaultsLeaveTheImageFilterAlone) {
    FilterSettings f;
    f.gamma = 150;
    f.bayerGainAuto = 1;
    f.grayMode = 2;
    f.grayOffsetG1 = 30;
    f.GrayGainAutoCount = 1;
    SetGrayFilterDefaults(f);
    EXPECT_EQ(0, f.grayMode.load());
    EXPECT_EQ(128, f.grayGainR.load());
    EXPECT_EQ(128, f.grayGainG1.load());
    EXPECT_EQ(128, f.grayGainG2.load());
    EXPECT_EQ(128, f.grayGainB.load());
    EXPECT_EQ(0, f.grayOffsetR.load());
    EXPECT_EQ(0, f.grayOffsetG1.load());
    EXPECT_EQ(0, f.grayOffsetG2.load());
    EXPECT_EQ(0, f.grayOffsetB.load());
    EXPECT_EQ(150, f.gamma.load());
    EXPECT_EQ(1, f.bayerGainAuto.load());
    EXPECT_EQ(1, f.GrayGainAutoCount.load());
}

TEST(SettingsDefaults, AnalogDefaultsTakeTheDevicesValuesAndMirrors) {
    FakeAnalogDevice device;
    device.mirrorV = 1;
    AnalogSettings a;
    a.colorGainR = 5;
    a.autoIris = 2;
    SetAnalogDefaults(a, device);
    EXPECT_EQ(512, a.globalGain.load());
    EXPECT_EQ(0, a.colorGainR.load());
    EXPECT_EQ(0, a.colorGainG1.load());
    EXPECT_EQ(0, a.colorGainG2.load());
    EXPECT_EQ(0, a.colorGainB.load());
    EXPECT_EQ(64, a.exposure.load());
    EXPECT_EQ(1, a.mirrorV.load());
    EXPECT_EQ(0, a.mirrorH.load());
    EXPECT_EQ(0, a.autoIris.load());
    EXPECT_TRUE(device.calls.empty());  // defaults are applied separately
}

TEST(SettingsDefaults, LoadedAnalogValuesReachTheDeviceInOrder) {
    FakeAnalogDevice device;
    AnalogSettings a;
    a.globalGain = 300;
    a.exposure = 100;
    a.mirrorV = 1;
    a.mirrorH = 0;
    ApplyAnalogSettings(a, device);
    EXPECT_EQ((std::vector<std::string>{"gain 300", "shutter 100", "mirrorV 1", "mirrorH 0"}), device.calls);
}
