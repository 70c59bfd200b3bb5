// Vendor commands as the simulated camera receives them.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "tests/device/device_fixture.h"

using namespace simtest;

using Blocks = std::vector<std::string>;

class VendorCommands : public DeviceTest {};

TEST_F(VendorCommands, WriteRegisterSendsOneBlockAndShadowsTheValueAsPassed) {
    EXPECT_EQ(1, device_->WriteRegister(384, 0x35001));
    EXPECT_EQ(1, device_->WriteRegister(5, 0x7F));
    EXPECT_EQ(1, device_->WriteRegister(191, 1));
    EXPECT_TRUE(SameSequence({Reg(384, 0x35001), Reg(5, 0x3F), Reg(191, 1)}, TakeLog()));
    uint32_t value = 0;
    ASSERT_EQ(1, device_->ReadRegister(5, &value));
    EXPECT_EQ(0x7Fu, value);
    ASSERT_EQ(1, device_->ReadRegister(384, &value));
    EXPECT_EQ(0x35001u, value);
    EXPECT_EQ(0u, sim_.Status(0).register_errors);
}

TEST_F(VendorCommands, RefusedRegistersAndAddressesSendNothing) {
    for (uint32_t reg : {192u, 200u, 255u, 1024u, 5000u}) {
        EXPECT_EQ(0, device_->WriteRegister(reg, 1)) << reg;
        uint32_t out = 0xDEADF00D;
        EXPECT_EQ(0, device_->ReadRegister(reg, &out)) << reg;
        EXPECT_EQ(0xDEADF00Du, out) << reg;
    }
    uint8_t byte = 0xA5;
    EXPECT_EQ(0, device_->ReadSrom(0x17FF, &byte));
    EXPECT_EQ(0, device_->ReadSrom(0, &byte));
    EXPECT_EQ(0, device_->ReadSromID(-1, &byte));
    EXPECT_EQ(0, device_->ReadSromID(256, &byte));
    EXPECT_EQ(0, device_->WriteSromID(-1, 1));
    EXPECT_EQ(0, device_->WriteSromID(256, 1));
    EXPECT_EQ(0xA5, byte);
    EXPECT_TRUE(SameSequence({}, TakeLog()));
}

TEST_F(VendorCommands, ShutterSwitchesRangeOnlyWhenItChanges) {
    ASSERT_EQ(1, device_->SetShutter(100));
    TakeLog();
    ASSERT_EQ(1, device_->SetShutter(1070));
    EXPECT_TRUE(SameSequence({Reg(154, 1), Reg(157, 0), Reg(158, 7), Reg(159, 0), Reg(160, 1),
                              Reg(161, 7), Reg(162, 0), Reg(163, 1), Reg(155, 3)},
                             TakeLog()));
    EXPECT_EQ(1070u, sim_.Status(0).shutter);
    ASSERT_EQ(1, device_->SetShutter(1069));
    EXPECT_TRUE(SameSequence({Reg(155, 2)}, TakeLog()));
    EXPECT_EQ(1069u, sim_.Status(0).shutter);
    ASSERT_EQ(1, device_->SetShutter(1068));
    EXPECT_TRUE(SameSequence({Reg(154, 0), Reg(155, 7), Reg(157, 1), Reg(160, 1), Reg(163, 0),
                              Reg(158, 1068 & 0x3F), Reg(159, 1068 >> 6), Reg(161, 1068 & 0x3F),
                              Reg(162, 1068 >> 6)},
                             TakeLog()));
    EXPECT_EQ(1068u, sim_.Status(0).shutter);
    EXPECT_EQ(1068, device_->GetShutter());
}

TEST_F(VendorCommands, ShutterIsClampedAndKeptWhenTheCameraIsGone) {
    ASSERT_EQ(1, device_->SetShutter(5));
    EXPECT_EQ(8, device_->GetShutter());
    ASSERT_EQ(1, device_->SetShutter(2000));
    EXPECT_EQ(1074, device_->GetShutter());
    EXPECT_EQ(1074u, sim_.Status(0).shutter);
    ASSERT_TRUE(sim_.Detach(0));
    EXPECT_EQ(0, device_->SetShutter(100));
    EXPECT_EQ(1074, device_->GetShutter());
    EXPECT_EQ(0, device_->SetGain(100));
    EXPECT_EQ(512, device_->GetGain());
}

TEST_F(VendorCommands, GainSplitsIntoTwoRegisters) {
    ASSERT_EQ(1, device_->SetGain(1023));
    EXPECT_TRUE(SameSequence({Reg(6, 63), Reg(7, 15)}, TakeLog()));
    EXPECT_EQ(1023, device_->GetGain());
    EXPECT_EQ(1023u, sim_.Status(0).gain);
    ASSERT_EQ(1, device_->SetGain(1024));
    EXPECT_TRUE(SameSequence({Reg(6, 0), Reg(7, 0)}, TakeLog()));
    EXPECT_EQ(0, device_->GetGain());
}

TEST_F(VendorCommands, TriggerModeWritesPortThenBitsWithoutCreeping) {
    ASSERT_EQ(1, device_->SetTriggerMode(1));
    ASSERT_EQ(1, device_->SetTriggerMode(1));
    // After construction r32 = 11 | 0x10 and r33 = 1 (trigger off).
    const Blocks on = {Port(11, 1), Reg(32, 11), Reg(33, 0x1C)};
    Blocks twice = on;
    twice.insert(twice.end(), on.begin(), on.end());
    EXPECT_TRUE(SameSequence(twice, TakeLog()));
    EXPECT_EQ(1u, sim_.Status(0).trigger_mode);
    ASSERT_EQ(1, device_->SetTriggerMode(0));
    EXPECT_TRUE(SameSequence({Port(11, 0), Reg(32, 27), Reg(33, 1)}, TakeLog()));
    EXPECT_EQ(0u, sim_.Status(0).trigger_mode);
    ASSERT_TRUE(sim_.Detach(0));
    EXPECT_EQ(0, device_->SetTriggerMode(1));
    uint32_t r33 = 0;
    device_->ReadRegister(33, &r33);
    EXPECT_EQ(1u, r33);
}

TEST_F(VendorCommands, PortsAndSerialMemoryRoundTrip) {
    ASSERT_EQ(1, device_->WritePort(7, 0x5A));
    uint8_t value = 0;
    ASSERT_EQ(1, device_->ReadPort(7, &value));
    EXPECT_EQ(0x5A, value);
    ASSERT_EQ(1, device_->WriteSromID(40, 0x77));
    ASSERT_EQ(1, device_->ReadSromID(40, &value));
    EXPECT_EQ(0x77, value);
    ASSERT_EQ(1, device_->ReadSromID(255, &value));
    EXPECT_TRUE(SameSequence({Port(7, 0x5A), ReadPortOf(7), SromWrite(0x1828, 0x77), SromRead(0x1828),
                              SromRead(0x18FF)},
                             TakeLog()));
    // Without a camera the reads fail and leave the caller's byte alone.
    ASSERT_TRUE(sim_.Detach(0));
    value = 0xC3;
    EXPECT_EQ(0, device_->ReadPort(7, &value));
    EXPECT_EQ(0xC3, value);
    EXPECT_EQ(0, device_->ReadSromID(40, &value));
    EXPECT_EQ(0xC3, value);
    EXPECT_EQ(0, device_->WritePort(7, 1));
    EXPECT_EQ(0, device_->WriteSromID(40, 1));
}

TEST_F(VendorCommands, ReadsWhoseCommandIsRefusedFailInsteadOfReturningTheLastAnswer) {
    // The answer of an earlier read still waits in the response pipe.
    const struct {
        const char* name;
        std::function<int(CQuorinM52DXLTXSdk&, uint8_t*)> read;
        uint8_t leftInOut;
    } cases[] = {
        {"port", [](CQuorinM52DXLTXSdk& d, uint8_t* v) { return d.ReadPort(7, v); }, 0},
        {"serial memory", [](CQuorinM52DXLTXSdk& d, uint8_t* v) { return d.ReadSromID(40, v); }, 0xC3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(1, device_->WritePort(7, 0x5A));
        uint8_t value = 0;
        ASSERT_EQ(1, device_->ReadPort(7, &value));
        ASSERT_TRUE(sim_.Fault(0, M52SIM_FAULT_REFUSE));
        value = 0xC3;
        EXPECT_EQ(0, c.read(*device_, &value));
        EXPECT_EQ(c.leftInOut, value);
        EXPECT_EQ(0u, sim_.Status(0).fault);  // the refusal was used up by this read
    }
}

TEST_F(VendorCommands, HalfClockWritesPortThreeForModeTwoAndReprogramsTheSensor) {
    ASSERT_EQ(1, device_->SetHalfClock(2));
    const Blocks log = TakeLog();
    ASSERT_GE(log.size(), 4u);
    EXPECT_TRUE(SameSequence({Reg(32, 0), Port(15, 3), Port(6, 0x11), Port(6, 0)},
                             Blocks(log.begin(), log.begin() + 4)));
    int clock = -1;
    ASSERT_EQ(1, device_->GetHalfClock(&clock));
    EXPECT_EQ(2, clock);
    uint32_t r25 = 0;
    device_->ReadRegister(25, &r25);
    EXPECT_EQ(42u, r25);
    EXPECT_FALSE(device_->IsReinitPending());
    ASSERT_EQ(1, device_->SetHalfClock(0));
    ASSERT_EQ(1, device_->GetHalfClock(&clock));
    EXPECT_EQ(0, clock);
    device_->ReadRegister(25, &r25);
    EXPECT_EQ(32u, r25);
}

TEST_F(VendorCommands, FullCaptureWindowWritesTransferSizeToPorts) {
    ASSERT_EQ(0, device_->SetCaptureWindow(0, 0, 1360, 1024, 0));
    EXPECT_TRUE(SameSequence({Reg(54, 0), TransferSize(1360 * 1024), Port(0, 0x00), Port(1, 0x40),
                              Port(2, 0x15), Port(3, 0x00)},
                             TakeLog()));
    EXPECT_EQ(1360u * 1024u, sim_.Status(0).transfer_size);

    ASSERT_EQ(0, device_->SetCaptureWindow(0, 0, 1360, 1024, 2));
    const uint32_t quarter = 1360 * 256;
    EXPECT_TRUE(SameSequence({Reg(54, 9), TransferSize(quarter), Port(0, quarter & 0xFF),
                              Port(1, (quarter >> 8) & 0xFF), Port(2, quarter >> 16), Port(3, 0)},
                             TakeLog()));
    EXPECT_EQ(2, device_->GetSubSampleMode());
}

TEST_F(VendorCommands, RejectedCaptureWindowsChangeNothing) {
    const quorin::FrameGeometry before = device_->Geometry();
    EXPECT_EQ(1, device_->SetCaptureWindow(1, 0, 1360, 1024, 0));
    EXPECT_EQ(1, device_->SetCaptureWindow(0, 0, 3, 1024, 0));
    EXPECT_EQ(1, device_->SetCaptureWindow(0, 0, 1360, 1024, 4));
    EXPECT_EQ(1, device_->SetCaptureWindow(0, 0, 100, 3, 2));
    EXPECT_TRUE(SameSequence({}, TakeLog()));
    EXPECT_EQ(before.imageWidth, device_->Geometry().imageWidth);
    EXPECT_EQ(before.imageHeight, device_->Geometry().imageHeight);
    EXPECT_EQ(0, device_->GetCaptureWindow().x);
    EXPECT_EQ(1360, device_->GetCaptureWindow().width);
}

TEST_F(VendorCommands, DriverParameterReachesTheDriver) {
    device_->SetDriverParameter(2500);
    EXPECT_EQ(2500u, sim_.Status(0).frame_timeout_ms);
    EXPECT_EQ(2500, device_->GetDriverParameter());
    EXPECT_TRUE(SameSequence({}, TakeLog()));  // not a command block
}

TEST_F(VendorCommands, CommandsLeaveNoHandleOpen) {
    const uint32_t refusedBefore = sim_.Status(0).refused_requests;
    device_->SetGain(300);
    uint8_t value = 0;
    device_->ReadPort(7, &value);
    device_->ReadSromID(3, &value);
    EXPECT_EQ(0u, sim_.Status(0).open_handles);
    EXPECT_EQ(refusedBefore, sim_.Status(0).refused_requests);
}

TEST_F(VendorCommands, ConcurrentShutterCallsNeverLeaveTheRegistersHalfSwitched) {
    // One caller crosses into the long range while another stays in the normal
    // one; whichever wins, the camera must decode the value the device stored.
    for (int round = 0; round < 40; ++round) {
        ASSERT_EQ(1, device_->SetShutter(100));
        std::atomic<int> ready{0};
        auto call = [&](uint16_t value) {
            ++ready;
            while (ready.load() < 2) {
            }
            device_->SetShutter(value);
        };
        std::thread toLong(call, uint16_t(1069 + round % 5));
        std::thread toNormal(call, uint16_t(200 + round));
        toLong.join();
        toNormal.join();
        ASSERT_EQ(uint32_t(device_->GetShutter()), sim_.Status(0).shutter) << "round " << round;
    }
}
