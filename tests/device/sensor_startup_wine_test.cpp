// The device object's construction and sensor start-up, block by block.
#include <gtest/gtest.h>

#include "device/sensor_programming.h"
#include "tests/device/device_fixture.h"

using namespace simtest;

using quorin::RegisterPlan;

using Blocks = std::vector<std::string>;

namespace {

void Append(Blocks* out, const RegisterPlan& plan) {
    for (const quorin::RegisterWrite& w : plan) out->push_back(Reg(w.reg, w.value));
}

// The whole start-up for a camera whose clock port reads 0. `unit` holds the
// per-unit bytes when the serial memory carries the model tag, else null.
Blocks StartUp(const uint8_t* unit) {
    Blocks b = {Port(6, 0x11), Port(6, 0)};
    Append(&b, quorin::StartupBiasWrites());
    Append(&b, quorin::StartupTimingWrites());
    Append(&b, quorin::StartupPatternWrites());
    Append(&b, quorin::StartupControlWrites());
    Append(&b, quorin::StartupClearWrites());
    b.push_back(ReadPortOf(15));
    b.push_back(Reg(25, 32));
    b.push_back(Reg(26, 1));
    for (uint32_t a = 0x1810; a <= 0x1816; ++a) b.push_back(SromRead(a));
    if (unit != nullptr) {
        for (uint32_t i = 0; i < 9; ++i) {
            b.push_back(SromRead(0x1800 + i));
            if (unit[i] < 64) b.push_back(Reg(16 + i, unit[i]));
        }
    }
    b.push_back(Reg(32, 11));
    b.push_back(Reg(24, 15));
    return b;
}

// What the constructor sends around the start-up.
Blocks Construction(const uint8_t* unit) {
    Blocks b = {WordMode(1), Port(14, 0)};
    const Blocks startUp = StartUp(unit);
    b.insert(b.end(), startUp.begin(), startUp.end());
    const Blocks tail = {Reg(54, 0), TransferSize(1360 * 1024), Port(0, 0), Port(1, 0x40), Port(2, 0x15),
                         Port(3, 0),
                         // trigger off: r32 = 11 | 0x10, r33 = 0 + 1
                         Port(11, 0), Reg(32, 27), Reg(33, 1),
                         // gain 512, shutter 64 from a stored 0, register 8
                         Reg(6, 0), Reg(7, 8), Reg(158, 0), Reg(159, 1), Reg(161, 0), Reg(162, 1),
                         Reg(8, 0)};
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

}  // namespace

class SensorStartUp : public DeviceTest {
protected:
    void ReadUnitBytes(uint8_t unit[9]) {
        for (int i = 0; i < 9; ++i) ASSERT_EQ(1, device_->ReadSromID(i, &unit[i])) << i;
    }
};

TEST_F(SensorStartUp, ConstructionSendsTheWholeSequenceWithPerUnitValues) {
    uint8_t unit[9];
    ReadUnitBytes(unit);
    device_.reset();
    sim_.ClearLog(0);
    device_.reset(new CQuorinM52DXLTXSdk());
    EXPECT_TRUE(SameSequence(Construction(unit), TakeLog()));
    for (uint32_t i = 0; i < 8; ++i) {
        uint32_t value = 0;
        device_->ReadRegister(16 + i, &value);
        if (unit[i] < 64) {
            EXPECT_EQ(unit[i], value) << 16 + i;
        }
    }
    uint32_t r24 = 0;
    device_->ReadRegister(24, &r24);
    EXPECT_EQ(15u, r24);  // the last write overrides the per-unit value
    EXPECT_EQ(0, device_->GetSelectedIndex());
    EXPECT_EQ(512, device_->GetGain());
    EXPECT_EQ(64, device_->GetShutter());
    EXPECT_EQ(64u, sim_.Status(0).shutter);
    EXPECT_EQ(0u, sim_.Status(0).register_errors);
    EXPECT_EQ(0u, sim_.Status(0).open_handles);
}

TEST_F(SensorStartUp, WithoutTheModelTagNoPerUnitValueIsApplied) {
    uint8_t tag = 0;
    ASSERT_EQ(1, device_->ReadSromID(16, &tag));
    ASSERT_EQ(1, device_->WriteSromID(16, 'X'));
    device_.reset();
    sim_.ClearLog(0);
    device_.reset(new CQuorinM52DXLTXSdk());
    const Blocks log = TakeLog();
    device_->WriteSromID(16, tag);
    EXPECT_TRUE(SameSequence(Construction(nullptr), log));
    const uint32_t expected[9] = {3, 30, 6, 2, 1, 0, 0, 0, 15};  // steps 5, 7 and 9
    for (uint32_t i = 0; i < 9; ++i) {
        uint32_t value = 99;
        device_->ReadRegister(16 + i, &value);
        EXPECT_EQ(expected[i], value) << 16 + i;
    }
}

TEST_F(SensorStartUp, ReselectingTheSameDeviceDoesNotReprogram) {
    ASSERT_EQ(0, device_->InitializeDevice(0));
    const Blocks log = TakeLog();
    EXPECT_TRUE(SameSequence({WordMode(1), Port(14, 0), Reg(54, 0), TransferSize(1360 * 1024), Port(0, 0),
                              Port(1, 0x40), Port(2, 0x15), Port(3, 0), Port(11, 0), Reg(32, 27 | 0x10),
                              Reg(33, 1)},
                             log));
    EXPECT_EQ(quorin::DEV_BAD_INDEX, device_->InitializeDevice(33));
}

TEST_F(SensorStartUp, StoredShutterRestartsFromTheNormalRangeAfterReprogramming) {
    ASSERT_EQ(1, device_->SetShutter(1072));
    ASSERT_EQ(1, device_->SetHalfClock(0));  // reprograms: shutter registers back in the normal range
    TakeLog();
    ASSERT_EQ(1, device_->SetShutter(1072));
    const Blocks log = TakeLog();
    ASSERT_EQ(9u, log.size()) << "the switch to the long range must be sent again";
    EXPECT_EQ(Reg(154, 1), log.front());
    EXPECT_EQ(Reg(155, 5), log.back());
    EXPECT_EQ(1072u, sim_.Status(0).shutter);
}
