// The filter value ids as the camera's exports drive them: ranges, storage, device-bound values.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "settings/filter_values.h"
#include "tests/settings/fake_analog_device.h"
#include "tests/settings/filter_value_ranges.h"

using namespace quorin;

namespace {


class FilterValues : public ::testing::Test {
protected:
    int Set(int id, int32_t value) { return SetFilterValue(values, device, id, value); }
    int32_t Get(int id) {
        int32_t out = 0x0EADF00D;
        EXPECT_EQ(0, GetFilterValue(values, device, id, &out)) << "id " << id;
        return out;
    }

    AdjustableValues values;
    FakeAnalogDevice device;
};

}  // namespace

TEST_F(FilterValues, EveryStoredIdTakesItsBoundsAndRefusesOneBeyond) {
    for (const FilterValueRange& r : kFilterValueRanges) {
        if (!r.stored) continue;
        // A marker value inside the range proves a refused set leaves the stored value alone.
        const int32_t marker = r.min == 0 ? 1 : -1;
        ASSERT_EQ(0, Set(r.id, marker)) << "id " << r.id;
        EXPECT_EQ(9, Set(r.id, r.min - 1)) << "id " << r.id;
        EXPECT_EQ(9, Set(r.id, r.max + 1)) << "id " << r.id;
        EXPECT_EQ(marker, Get(r.id)) << "id " << r.id;
        EXPECT_EQ(0, Set(r.id, r.min)) << "id " << r.id;
        EXPECT_EQ(r.min, Get(r.id)) << "id " << r.id;
        EXPECT_EQ(0, Set(r.id, r.max)) << "id " << r.id;
        EXPECT_EQ(r.max, Get(r.id)) << "id " << r.id;
    }
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(FilterValues, ExtremeWordsNeverWrapIntoARange) {
    // The symmetric test adds the bound to the value; the extremes must not wrap into the range.
    for (const FilterValueRange& r : kFilterValueRanges) {
        if (!r.stored) continue;
        ASSERT_EQ(0, Set(r.id, r.max));
        for (int32_t v : {INT_MIN, INT_MIN + 1, INT_MAX, INT_MAX - 200, -1 - r.max}) {
            EXPECT_EQ(9, Set(r.id, v)) << "id " << r.id << " value " << v;
        }
        EXPECT_EQ(r.max, Get(r.id));
    }
}

TEST_F(FilterValues, IdsOutsideTheTableAreRefusedBothWays) {
    for (int id : {0, 29, -1, 1000, INT_MIN, INT_MAX}) {
        EXPECT_EQ(9, Set(id, 0)) << "id " << id;
        int32_t out = 0x0EADF00D;
        EXPECT_EQ(9, GetFilterValue(values, device, id, &out)) << "id " << id;
        EXPECT_EQ(0, out);
    }
    EXPECT_EQ(9, GetFilterValue(values, device, 29, nullptr));
    EXPECT_EQ(0, GetFilterValue(values, device, 1, nullptr));
}

TEST_F(FilterValues, PackedBayerGainsSplitIntoBytesAndPackBackCutToEightBits) {
    const int32_t packed = 16 | (255 << 8) | (200 << 16) | (1 << 24);
    EXPECT_EQ(0, Set(6, packed));
    EXPECT_EQ(16, Get(7));
    EXPECT_EQ(255, Get(8));
    EXPECT_EQ(200, Get(9));
    EXPECT_EQ(16 | (255 << 8) | (200 << 16), Get(6));

    // A red gain above one byte reads back whole on its own id but cut in the packed form.
    ASSERT_EQ(0, Set(7, 300));
    EXPECT_EQ(300, Get(7));
    EXPECT_EQ(44, Get(6) & 0xFF);

    // Negative words are taken byte by byte too.
    EXPECT_EQ(0, Set(6, -1));
    EXPECT_EQ(255, Get(7));
    EXPECT_EQ(255, Get(8));
    EXPECT_EQ(255, Get(9));
}

TEST_F(FilterValues, BayerGainAutoStoresAnyNonZeroAsOne) {
    EXPECT_EQ(0, Set(10, 5));
    EXPECT_EQ(1, Get(10));
    EXPECT_EQ(0, Set(10, 0));
    EXPECT_EQ(0, Get(10));
    EXPECT_EQ(0, Set(10, INT_MIN));
    EXPECT_EQ(1, Get(10));
}

TEST_F(FilterValues, GlobalGainGoesToTheDeviceAndIntoEveryColourGain) {
    EXPECT_EQ(0, Set(13, 1023));
    EXPECT_EQ(1023, values.analog.globalGain.load());
    EXPECT_EQ(1023, values.analog.colorGainR.load());
    EXPECT_EQ(1023, values.analog.colorGainG1.load());
    EXPECT_EQ(1023, values.analog.colorGainG2.load());
    EXPECT_EQ(1023, values.analog.colorGainB.load());
    EXPECT_EQ(1023, Get(13));
    EXPECT_EQ(0, Set(13, 0));
    EXPECT_EQ(0, Get(13));
    EXPECT_EQ((std::vector<std::string>{"gain 1023", "gain 0"}), device.calls);

    device.calls.clear();
    EXPECT_EQ(9, Set(13, 1024));
    EXPECT_EQ(9, Set(13, -1));
    EXPECT_EQ(9, Set(13, 65536));  // would be 0 as a 16-bit word
    EXPECT_TRUE(device.calls.empty());
    EXPECT_EQ(0, values.analog.globalGain.load());
}

TEST_F(FilterValues, ColourGainsTakeOnlyZeroAndAlwaysReadZero) {
    ASSERT_EQ(0, Set(13, 700));
    for (int id : {14, 15, 16, 17}) {
        EXPECT_EQ(0, Get(id)) << "id " << id;
        EXPECT_EQ(9, Set(id, 1)) << "id " << id;
        EXPECT_EQ(9, Set(id, -1)) << "id " << id;
    }
    EXPECT_EQ(700, values.analog.colorGainR.load());  // refused sets store nothing
    EXPECT_EQ(0, Set(14, 0));
    EXPECT_EQ(0, values.analog.colorGainR.load());
    EXPECT_EQ(700, values.analog.colorGainG1.load());
    EXPECT_EQ(0, Set(15, 0));
    EXPECT_EQ(0, Set(16, 0));
    EXPECT_EQ(0, Set(17, 0));
    EXPECT_EQ(0, values.analog.colorGainG1.load());
    EXPECT_EQ(0, values.analog.colorGainG2.load());
    EXPECT_EQ(0, values.analog.colorGainB.load());
    EXPECT_EQ(700, values.analog.globalGain.load());
}

TEST_F(FilterValues, ExposureRegisterGoesToTheDeviceWithinItsRange) {
    EXPECT_EQ(9, Set(18, 7));
    EXPECT_EQ(9, Set(18, 1075));
    EXPECT_EQ(9, Set(18, -1));
    EXPECT_TRUE(device.calls.empty());
    EXPECT_EQ(0, Set(18, 8));
    EXPECT_EQ(8, Get(18));
    EXPECT_EQ(0, Set(18, 1074));
    EXPECT_EQ(1074, Get(18));
    EXPECT_EQ(1074, values.analog.exposure.load());
    EXPECT_EQ((std::vector<std::string>{"shutter 8", "shutter 1074"}), device.calls);
}

TEST_F(FilterValues, RefusedDeviceTransfersKeepTheRecordAndReadTheDevicesOldValue) {
    ASSERT_EQ(0, Set(13, 300));
    ASSERT_EQ(0, Set(18, 500));
    device.failTransfers = true;
    EXPECT_EQ(0, Set(13, 900));
    EXPECT_EQ(0, Set(18, 100));
    EXPECT_EQ(900, values.analog.globalGain.load());
    EXPECT_EQ(900, values.analog.colorGainB.load());
    EXPECT_EQ(100, values.analog.exposure.load());
    EXPECT_EQ(300, Get(13));
    EXPECT_EQ(500, Get(18));
}

TEST_F(FilterValues, AutoIrisTakesItsThreeModesOnly) {
    for (int32_t mode : {0, 1, 2}) {
        EXPECT_EQ(0, SetAutoIris(values.analog, mode));
        EXPECT_EQ(mode, values.analog.autoIris.load());
    }
    EXPECT_EQ(9, SetAutoIris(values.analog, 3));
    EXPECT_EQ(9, SetAutoIris(values.analog, -1));
    EXPECT_EQ(9, SetAutoIris(values.analog, INT_MIN));
    EXPECT_EQ(2, values.analog.autoIris.load());
}

TEST_F(FilterValues, MirrorFlagsAreReducedToOneBitAndReachTheDevice) {
    SetMirrorV(values.analog, device, 5);
    SetMirrorH(values.analog, device, -7);
    EXPECT_EQ(1, values.analog.mirrorV.load());
    EXPECT_EQ(1, values.analog.mirrorH.load());
    SetMirrorV(values.analog, device, 0);
    EXPECT_EQ(0, values.analog.mirrorV.load());
    EXPECT_EQ((std::vector<std::string>{"mirrorV 1", "mirrorH 1", "mirrorV 0"}), device.calls);
}
