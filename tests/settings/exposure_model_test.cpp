// Real exposure time both ways, at the normal (24 MHz) and half (12 MHz) clock.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "settings/exposure_model.h"
#include "tests/settings/fake_analog_device.h"

using namespace quorin;

namespace {

class RealExposure : public ::testing::Test {
protected:
    int32_t ReadAt(int32_t reg, int32_t clock) {
        analog.exposure = reg;
        return ReadRealExposureTime(model, analog, clock);
    }
    int Write(int32_t clock, int32_t microseconds) {
        return WriteRealExposureTime(model, analog, device, clock, microseconds);
    }

    ExposureModel model;
    AnalogSettings analog;
    FakeAnalogDevice device;
};

}  // namespace

TEST(PixelClock, PeriodsAreTheSinglePrecisionFractionsWidened) {
    EXPECT_EQ(static_cast<double>(1.0f / 12000.0f), PixelClockPeriodMs(1));
    EXPECT_EQ(static_cast<double>(1.0f / 24000.0f), PixelClockPeriodMs(0));
    // Only mode 1 halves the clock; the third mode (2) and anything else run at 24 MHz.
    EXPECT_EQ(PixelClockPeriodMs(0), PixelClockPeriodMs(2));
    EXPECT_EQ(PixelClockPeriodMs(0), PixelClockPeriodMs(-1));
}

TEST_F(RealExposure, ShortestRegisterIsTheFixedClocksAlone) {
    // 200 clocks: 8.33 us at 24 MHz, 16.67 us at 12 MHz, truncated.
    EXPECT_EQ(8, ReadAt(1074, 0));
    EXPECT_EQ(0, model.ExposureRows.load());
    EXPECT_EQ(16, ReadAt(1074, 1));
}

TEST_F(RealExposure, LongestRegisterIs1066Lines) {
    // (1066 * 1790 + 200) clocks = 1908340: 79514.17 us at 24 MHz, 159028.3 us at 12 MHz.
    EXPECT_EQ(79514, ReadAt(8, 0));
    EXPECT_EQ(1066, model.ExposureRows.load());
    EXPECT_EQ(79514, model.exposureMicroseconds.load());
    EXPECT_EQ(1790, model.cyclesPerLine.load());
    EXPECT_EQ(200, model.fixedCycles.load());
    EXPECT_EQ(kNormalClockPeriodMs, model.cyclePeriodMs.load());
    EXPECT_EQ(159028, ReadAt(8, 1));
    EXPECT_EQ(kHalfClockPeriodMs, model.cyclePeriodMs.load());
}

TEST_F(RealExposure, RegistersBeyondTheBaseCountNoLines) {
    // Compared unsigned: above 1074 and every negative register give 0 lines.
    EXPECT_EQ(8, ReadAt(1075, 0));
    EXPECT_EQ(8, ReadAt(-1, 0));
    EXPECT_EQ(8, ReadAt(INT_MIN, 0));
    EXPECT_EQ(0, model.ExposureRows.load());
}

TEST_F(RealExposure, WriteKeepsTheFractionOfAMillisecond) {
    // 999 us / 74.583 us per line = 13.39 lines: register 1061 (whole milliseconds would give 1074).
    EXPECT_EQ(0, Write(0, 999));
    EXPECT_EQ(1061, analog.exposure.load());
    EXPECT_EQ(1061, model.ExposureRows.load());
    EXPECT_EQ(1061, device.GetShutter());
    // At 12 MHz a line takes 149.17 us: 6.7 lines, register 1068.
    EXPECT_EQ(0, Write(1, 999));
    EXPECT_EQ(1068, analog.exposure.load());
    EXPECT_EQ((std::vector<std::string>{"shutter 1061", "shutter 1068"}), device.calls);
}

TEST_F(RealExposure, WriteAtTheEndsOfTheRange) {
    EXPECT_EQ(0, Write(0, 8));  // no whole line: register 1074
    EXPECT_EQ(1074, analog.exposure.load());
    EXPECT_EQ(0, Write(0, 0));
    EXPECT_EQ(1074, analog.exposure.load());
    EXPECT_EQ(0, Write(0, 79514));  // 1066.1 lines: register 8
    EXPECT_EQ(8, analog.exposure.load());
    EXPECT_EQ(0, Write(1, 159028));
    EXPECT_EQ(8, analog.exposure.load());
}

TEST_F(RealExposure, WriteRefusesTimesBeyondTheRegisterRange) {
    analog.exposure = 500;
    for (int32_t us : {80000, -1, -1000000, INT_MIN, INT_MAX}) {
        EXPECT_EQ(9, Write(0, us)) << us;
    }
    EXPECT_EQ(9, Write(1, 160000));
    EXPECT_EQ(500, analog.exposure.load());
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(RealExposure, WrittenTimesReadBackWithinOneLine) {
    // A write drops what is left over a whole line; the read adds the 200 fixed clocks.
    for (int32_t clock : {0, 1}) {
        const double lineUs = kCyclesPerLine * PixelClockPeriodMs(clock) * 1000.0;
        const double fixedUs = kFixedCycles * PixelClockPeriodMs(clock) * 1000.0;
        for (int32_t us : {10, 75, 150, 1000, 5000, 33333, 50000, 79000}) {
            ASSERT_EQ(0, Write(clock, us)) << us;
            const int32_t back = ReadRealExposureTime(model, analog, clock);
            EXPECT_LE(back, us + fixedUs) << "clock " << clock << " us " << us;
            EXPECT_GT(back, us - lineUs - 1) << "clock " << clock << " us " << us;
        }
    }
}

TEST_F(RealExposure, RefusedDeviceTransferStillStoresTheRegister) {
    device.failTransfers = true;
    EXPECT_EQ(0, Write(0, 999));
    EXPECT_EQ(1061, analog.exposure.load());
    EXPECT_EQ(64, device.GetShutter());
}
