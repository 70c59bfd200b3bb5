// The "Gain", "Filter" and "Gray" stores against the registry of the Wine prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "settings/analog_settings_store.h"
#include "settings/filter_settings_store.h"
#include "settings/gray_settings_store.h"
#include "tests/settings/fake_analog_device.h"
#include "tests/settings/registry_test_keys.h"

using namespace quorin;

namespace {

class SettingsStores : public ::testing::Test {
protected:
    std::string Group(const char* name) const { return key.Path() + "\\" + name; }

    TestCameraKey key{kTestCamera};
    FilterSettings filter;
    AnalogSettings analog;
    FakeAnalogDevice device;
};

}  // namespace

TEST_F(SettingsStores, AnalogWithoutItsKeyTakesTheDeviceDefaults) {
    device.mirrorH = 1;
    analog.colorGainR = 9;
    analog.autoIris = 1;
    EXPECT_EQ(1, CAnalogSettingsStore(analog, device).Load(kTestCamera));
    EXPECT_EQ(512, analog.globalGain.load());
    EXPECT_EQ(0, analog.colorGainR.load());
    EXPECT_EQ(64, analog.exposure.load());
    EXPECT_EQ(0, analog.mirrorV.load());
    EXPECT_EQ(1, analog.mirrorH.load());
    EXPECT_EQ(0, analog.autoIris.load());
    EXPECT_FALSE(KeyExists(key.Path()));  // loading creates nothing
}

TEST_F(SettingsStores, AnalogMissingValuesRepeatTheOneReadBefore) {
    WriteDword(Group("Gain"), "Global", 300);
    WriteDword(Group("Gain"), "Exposure", 100);
    EXPECT_EQ(1, CAnalogSettingsStore(analog, device).Load(kTestCamera));
    EXPECT_EQ(300, analog.globalGain.load());
    EXPECT_EQ(300, analog.colorGainG1.load());
    EXPECT_EQ(300, analog.colorGainR.load());
    EXPECT_EQ(300, analog.colorGainB.load());
    EXPECT_EQ(300, analog.colorGainG2.load());
    EXPECT_EQ(100, analog.exposure.load());
    // The repeated 100 is clamped to each value's own range.
    EXPECT_EQ(1, analog.mirrorV.load());
    EXPECT_EQ(1, analog.mirrorH.load());
    EXPECT_EQ(2, analog.autoIris.load());
    EXPECT_TRUE(device.calls.empty());  // loading sends nothing
}

TEST_F(SettingsStores, AnalogBufferStartsAtZeroAndSkipsMalformedValues) {
    WriteDword(Group("Gain"), "ColorR", 5);
    WriteRaw(Group("Gain"), "ColorB", REG_SZ, "700", 4);
    WriteDword(Group("Gain"), "Exposure", 1074);
    WriteRaw(Group("Gain"), "V_Mirror", REG_BINARY, "\0\0\0\0", 4);
    analog.globalGain = 77;
    EXPECT_EQ(1, CAnalogSettingsStore(analog, device).Load(kTestCamera));
    EXPECT_EQ(0, analog.globalGain.load());
    EXPECT_EQ(0, analog.colorGainG1.load());
    EXPECT_EQ(5, analog.colorGainR.load());
    EXPECT_EQ(5, analog.colorGainB.load());
    EXPECT_EQ(5, analog.colorGainG2.load());
    EXPECT_EQ(1074, analog.exposure.load());
    EXPECT_EQ(1, analog.mirrorV.load());
}

TEST_F(SettingsStores, AnalogValuesAreClampedToTheirRanges) {
    const std::map<const char*, int32_t> stored = {
        {"Global", 5000}, {"ColorG1", -3}, {"ColorR", 1024}, {"ColorB", 0}, {"ColorG2", 1023},
        {"Exposure", 3}, {"V_Mirror", -1}, {"H_Mirror", 0}, {"AutoIris", -7}};
    for (const auto& v : stored) WriteDword(Group("Gain"), v.first, v.second);
    EXPECT_EQ(1, CAnalogSettingsStore(analog, device).Load(kTestCamera));
    EXPECT_EQ(1023, analog.globalGain.load());
    EXPECT_EQ(0, analog.colorGainG1.load());
    EXPECT_EQ(1023, analog.colorGainR.load());
    EXPECT_EQ(0, analog.colorGainB.load());
    EXPECT_EQ(1023, analog.colorGainG2.load());
    EXPECT_EQ(8, analog.exposure.load());
    EXPECT_EQ(0, analog.mirrorV.load());
    EXPECT_EQ(0, analog.mirrorH.load());
    EXPECT_EQ(0, analog.autoIris.load());
    WriteDword(Group("Gain"), "Exposure", 2000);
    WriteDword(Group("Gain"), "AutoIris", 1);
    EXPECT_EQ(1, CAnalogSettingsStore(analog, device).Load(kTestCamera));
    EXPECT_EQ(1074, analog.exposure.load());
    EXPECT_EQ(1, analog.autoIris.load());
}

TEST_F(SettingsStores, AnalogSaveWritesTheNineValuesAndLoadsThemBack) {
    analog.globalGain = 700;
    analog.colorGainG1 = 1;
    analog.colorGainR = 2;
    analog.colorGainB = 3;
    analog.colorGainG2 = 4;
    analog.exposure = 900;
    analog.mirrorV = 1;
    analog.mirrorH = 0;
    analog.autoIris = 2;
    EXPECT_EQ(1, CAnalogSettingsStore(analog, device).Save(kTestCamera));
    EXPECT_EQ((std::map<std::string, int64_t>{{"Global", 700}, {"ColorG1", 1}, {"ColorR", 2}, {"ColorB", 3},
                                              {"ColorG2", 4}, {"Exposure", 900}, {"V_Mirror", 1},
                                              {"H_Mirror", 0}, {"AutoIris", 2}}),
              ReadValues(Group("Gain")));
    AnalogSettings loaded;
    EXPECT_EQ(1, CAnalogSettingsStore(loaded, device).Load(kTestCamera));
    EXPECT_EQ(700, loaded.globalGain.load());
    EXPECT_EQ(3, loaded.colorGainB.load());
    EXPECT_EQ(900, loaded.exposure.load());
    EXPECT_EQ(2, loaded.autoIris.load());
}

TEST_F(SettingsStores, FilterWithoutItsKeyTakesTheDefaultsAndReportsIt) {
    filter.gamma = 5;
    filter.bayerGainAuto = 1;
    filter.WhiteBalanceOnce[1] = 1;
    filter.grayGainR = 3;
    EXPECT_EQ(0, CFilterSettingsStore(filter).Load(kTestCamera));
    EXPECT_EQ(100, filter.gamma.load());
    EXPECT_EQ(100, filter.bayerGainBlue.load());
    EXPECT_EQ(1, filter.bayerMode.load());
    EXPECT_EQ(0, filter.bayerGainAuto.load());
    EXPECT_EQ(0, filter.WhiteBalanceOnce[1].load());
    EXPECT_EQ(3, filter.grayGainR.load());
    EXPECT_FALSE(KeyExists(key.Path()));
}

TEST_F(SettingsStores, FilterLoadsPresentValuesClampedAndLeavesTheRest) {
    WriteDword(Group("Filter"), "Brightness", 999);
    WriteDword(Group("Filter"), "Sharpness", -4);
    WriteDword(Group("Filter"), "Hue", -200);
    WriteDword(Group("Filter"), "BayerMode", 7);
    WriteRaw(Group("Filter"), "Gamma", REG_SZ, "150", 4);
    filter.gamma = 42;
    filter.contrast = 17;
    EXPECT_EQ(1, CFilterSettingsStore(filter).Load(kTestCamera));
    EXPECT_EQ(255, filter.brightness.load());
    EXPECT_EQ(0, filter.sharpness.load());
    EXPECT_EQ(-200, filter.hue.load());
    EXPECT_EQ(3, filter.bayerMode.load());
    EXPECT_EQ(42, filter.gamma.load());
    EXPECT_EQ(17, filter.contrast.load());
}

TEST_F(SettingsStores, FilterSaveWritesTheTenValues) {
    using Field = std::atomic<int32_t> FilterSettings::*;
    const Field fields[] = {&FilterSettings::brightness,     &FilterSettings::contrast,
                            &FilterSettings::hue,            &FilterSettings::saturation,
                            &FilterSettings::sharpness,      &FilterSettings::bayerGainRed,
                            &FilterSettings::bayerGainGreen, &FilterSettings::bayerGainBlue,
                            &FilterSettings::gamma,          &FilterSettings::bayerMode};
    const int32_t values[] = {-10, 20, -30, 40, 5, 150, 160, 170, 180, 2};
    for (int i = 0; i < 10; ++i) filter.*fields[i] = values[i];
    EXPECT_EQ(1, CFilterSettingsStore(filter).Save(kTestCamera));
    EXPECT_EQ((std::map<std::string, int64_t>{{"Brightness", -10}, {"Contrast", 20}, {"Hue", -30},
                                              {"Saturation", 40}, {"Sharpness", 5}, {"R_Gain", 150},
                                              {"G_Gain", 160}, {"B_Gain", 170}, {"Gamma", 180},
                                              {"BayerMode", 2}}),
              ReadValues(Group("Filter")));
    FilterSettings loaded;
    EXPECT_EQ(1, CFilterSettingsStore(loaded).Load(kTestCamera));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(values[i], (loaded.*fields[i]).load()) << "field " << i;
}

TEST_F(SettingsStores, GraySaveNeedsTheCameraKey) {
    filter.grayGainR = 200;
    EXPECT_EQ(0, CGraySettingsStore(filter).Save(kTestCamera));
    EXPECT_FALSE(KeyExists(key.Path()));

    // The filter save creates the camera key; the gray save then writes its nine values.
    filter.grayMode = 2;
    filter.grayGainG1 = 1;
    filter.grayGainG2 = 2;
    filter.grayGainB = 3;
    filter.grayOffsetR = -4;
    filter.grayOffsetG1 = 5;
    filter.grayOffsetG2 = -6;
    filter.grayOffsetB = 7;
    EXPECT_EQ(1, CFilterSettingsStore(filter).Save(kTestCamera));
    EXPECT_EQ(1, CGraySettingsStore(filter).Save(kTestCamera));
    EXPECT_EQ((std::map<std::string, int64_t>{{"Mode", 2}, {"GainR1", 200}, {"GainG1", 1}, {"GainG2", 2},
                                              {"GainB1", 3}, {"OffsetR1", -4}, {"OffsetG1", 5},
                                              {"OffsetG2", -6}, {"OffsetB1", 7}}),
              ReadValues(Group("Gray")));
}

TEST_F(SettingsStores, DeletingOnlyGrayRestoresItsDefaultsAndKeepsTheFilter) {
    filter.gamma = 180;
    filter.brightness = -20;
    filter.grayGainR = 10;
    filter.grayOffsetB = 9;
    ASSERT_EQ(1, CFilterSettingsStore(filter).Save(kTestCamera));
    ASSERT_EQ(1, CGraySettingsStore(filter).Save(kTestCamera));
    DeleteTree(Group("Gray"));

    FilterSettings loaded;
    EXPECT_EQ(1, CFilterSettingsStore(loaded).Load(kTestCamera));
    EXPECT_EQ(0, CGraySettingsStore(loaded).Load(kTestCamera));
    EXPECT_EQ(180, loaded.gamma.load());
    EXPECT_EQ(-20, loaded.brightness.load());
    EXPECT_EQ(128, loaded.grayGainR.load());
    EXPECT_EQ(128, loaded.grayGainB.load());
    EXPECT_EQ(0, loaded.grayOffsetB.load());
    EXPECT_EQ(0, loaded.grayMode.load());
}

TEST_F(SettingsStores, GrayLoadsPresentValuesClamped) {
    WriteDword(Group("Gray"), "Mode", 5);
    WriteDword(Group("Gray"), "GainR1", 300);
    WriteDword(Group("Gray"), "OffsetG2", -256);
    filter.grayGainB = 33;
    filter.GrayGainAutoCount = -1;
    EXPECT_EQ(1, CGraySettingsStore(filter).Load(kTestCamera));
    EXPECT_EQ(2, filter.grayMode.load());
    EXPECT_EQ(255, filter.grayGainR.load());
    EXPECT_EQ(-255, filter.grayOffsetG2.load());
    EXPECT_EQ(33, filter.grayGainB.load());
    EXPECT_EQ(-1, filter.GrayGainAutoCount.load());  // never stored
}

TEST_F(SettingsStores, SavingTheThreeGroupsWritesEveryValue) {
    SetImageFilterDefaults(filter);
    SetGrayFilterDefaults(filter);
    SetAnalogDefaults(analog, device);
    // The order the camera saves in: analog, filter, gray.
    EXPECT_EQ(1, CAnalogSettingsStore(analog, device).Save(kTestCamera));
    EXPECT_EQ(1, CFilterSettingsStore(filter).Save(kTestCamera));
    EXPECT_EQ(1, CGraySettingsStore(filter).Save(kTestCamera));
    std::vector<std::string> groups = SubkeyNames(key.Path());
    std::sort(groups.begin(), groups.end());
    EXPECT_EQ((std::vector<std::string>{"Filter", "Gain", "Gray"}), groups);
    EXPECT_EQ(9u, ReadValues(Group("Gain")).size());
    EXPECT_EQ(10u, ReadValues(Group("Filter")).size());
    EXPECT_EQ(9u, ReadValues(Group("Gray")).size());
    EXPECT_EQ(128, ReadValues(Group("Gray"))["GainB1"]);
    EXPECT_EQ(512, ReadValues(Group("Gain"))["Global"]);
    EXPECT_EQ(64, ReadValues(Group("Gain"))["Exposure"]);
    EXPECT_EQ(100, ReadValues(Group("Filter"))["Gamma"]);
}
