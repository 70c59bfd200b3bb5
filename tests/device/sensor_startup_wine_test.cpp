// The device object's construction and sensor start-up, block by block,
// against the sequence written out here word for word.
#include <gtest/gtest.h>

#include <string>

#include "tests/device/device_fixture.h"

using namespace simtest;

using Blocks = std::vector<std::string>;

namespace {

// Registers 512 to 989 in ascending order: the ten clock patterns of the
// sensor's line timing.
const uint32_t kPatternWords[478] = {
    // pattern 1: 28 words from register 512
    0x032019, 0x072032, 0x310035, 0x252036, 0x104037, 0x18D03A, 0x1C107D, 0x00C07E,
    0x0F30A7, 0x048157, 0x0A317D, 0x0AF1AF, 0x1EE25D, 0x0ED2FC, 0x28132F, 0x119379,
    0x1F5385, 0x31D3BC, 0x200416, 0x1AA451, 0x07E492, 0x36F543, 0x023606, 0x39969B,
    0x27A6DC, 0x03C6F9, 0x03A6FD, 0x3FE6FE,
    // pattern 2: 25 words from register 540
    0x2DD0DA, 0x1B50DD, 0x26612D, 0x01E143, 0x0CF18F, 0x005199, 0x0D225D, 0x29F2B3,
    0x2E330D, 0x21F348, 0x1EE34D, 0x1D4383, 0x089449, 0x0B045D, 0x2E5479, 0x07F4A0,
    0x30D4BB, 0x0B9560, 0x05A57B, 0x08457E, 0x2865B4, 0x2665C0, 0x0E066C, 0x13B69F,
    0x3FE6FE,
    // pattern 3: 27 words from register 565
    0x2B20A8, 0x303146, 0x3B114E, 0x39A16E, 0x1901C8, 0x21E1ED, 0x3AD1FD, 0x2B0383,
    0x0CF3B3, 0x04E41A, 0x2AF44A, 0x2A8476, 0x348484, 0x096495, 0x02C4A2, 0x2E64DB,
    0x27E592, 0x39C5C6, 0x005608, 0x17D652, 0x10D693, 0x0486A3, 0x1A06AE, 0x02D6BB,
    0x0846DF, 0x2126E7, 0x3FE6FE,
    // pattern 4: 37 words from register 592
    0x38D01B, 0x2BD06F, 0x36408F, 0x3230B6, 0x0C50C7, 0x0EB0CB, 0x2320EA, 0x14E12A,
    0x145145, 0x17414A, 0x38114C, 0x17818E, 0x12F19E, 0x00A1BB, 0x0AD20A, 0x2B9215,
    0x1A0228, 0x109278, 0x0592A7, 0x1F02FD, 0x0E5312, 0x3463BB, 0x2D0411, 0x032472,
    0x14F4F1, 0x2FD53E, 0x0BE56F, 0x2DF593, 0x3BE5F2, 0x1335FA, 0x10C5FE, 0x17661D,
    0x32F646, 0x1BA66A, 0x2BD6BB, 0x2B76D9, 0x3FE6FE,
    // pattern 5: 28 words from register 629
    0x35E031, 0x21309A, 0x0B00A2, 0x3450B0, 0x01110E, 0x141114, 0x20A1D3, 0x0FA239,
    0x0D7241, 0x07824A, 0x299274, 0x1603C3, 0x1D63FF, 0x069405, 0x0EC434, 0x2C84CB,
    0x16F4F2, 0x352505, 0x08F556, 0x039564, 0x04F5AF, 0x21D5B3, 0x08A5D2, 0x32C5F7,
    0x20665B, 0x31D6E1, 0x0C46EF, 0x3FE6FE,
    // pattern 6: 64 words from register 657
    0x246033, 0x13A04A, 0x2CB0B6, 0x2050BB, 0x36E0BD, 0x2240BF, 0x0790F9, 0x316113,
    0x3BA118, 0x229153, 0x15115E, 0x3B0169, 0x18B198, 0x3251C7, 0x35A1CF, 0x2971DB,
    0x1B320A, 0x11A237, 0x0A1240, 0x28C26C, 0x225280, 0x2012BA, 0x3932C9, 0x3092E2,
    0x2F7330, 0x11A357, 0x2EE363, 0x32C36D, 0x003379, 0x2DB37D, 0x1CB380, 0x0B8385,
    0x36639C, 0x3C13BC, 0x3DA3D7, 0x1F13DD, 0x38C3DF, 0x1C43FB, 0x0B1441, 0x15A455,
    0x0CB45E, 0x18D497, 0x35C4B9, 0x3354CF, 0x2A8544, 0x3B154D, 0x281566, 0x1E158D,
    0x237598, 0x22159C, 0x1175BD, 0x1E15CA, 0x0615CD, 0x07E5D9, 0x32E621, 0x38F625,
    0x154628, 0x1AF637, 0x1B6662, 0x01C676, 0x24C687, 0x0EF6C5, 0x1966F3, 0x3FE6FE,
    // pattern 7: 61 words from register 721
    0x3D302F, 0x033065, 0x24C07E, 0x0E10D1, 0x13C0F5, 0x2830FC, 0x225101, 0x32A116,
    0x3BF117, 0x22B120, 0x2DC13A, 0x28614B, 0x32415C, 0x00B177, 0x040187, 0x24919D,
    0x1601C2, 0x2391C3, 0x2311C9, 0x04C220, 0x218240, 0x21E28B, 0x12C28C, 0x1052B2,
    0x1922BB, 0x1622D0, 0x24B32A, 0x32B33B, 0x185343, 0x359360, 0x281361, 0x00D37A,
    0x23A390, 0x0593A3, 0x0F63D9, 0x28C422, 0x143435, 0x3B2469, 0x0914A4, 0x2884A6,
    0x2C74CB, 0x15E4CC, 0x1874CF, 0x2FB500, 0x210504, 0x3A5519, 0x026546, 0x04354A,
    0x0A856D, 0x026586, 0x18558E, 0x1C0596, 0x2EC5A0, 0x2DB5C7, 0x1905D3, 0x218600,
    0x07A60C, 0x1E965D, 0x0B5664, 0x0A36ED, 0x3FE6FE,
    // pattern 8: 63 words from register 782
    0x0AD012, 0x150014, 0x259030, 0x212031, 0x3C9054, 0x2DB06A, 0x104079, 0x03F07E,
    0x24D0FB, 0x0540FE, 0x286103, 0x0A6163, 0x3D81A1, 0x1E91C9, 0x34E1CC, 0x1731F6,
    0x1E0209, 0x10322C, 0x25F27C, 0x14E28B, 0x0D22A2, 0x2542AB, 0x34A2C0, 0x0AB2C3,
    0x0FA311, 0x1B5337, 0x2A8356, 0x0DB36A, 0x09238F, 0x016394, 0x2E83A1, 0x1283B8,
    0x33B3C2, 0x0E43C4, 0x0713CB, 0x1E03D0, 0x1A1442, 0x167472, 0x0A448C, 0x35F4B7,
    0x21A4F7, 0x12552F, 0x0F1577, 0x151579, 0x3BD5AB, 0x2E35B6, 0x3555C0, 0x3E65E3,
    0x0415FB, 0x0E95FE, 0x0FB614, 0x1D162D, 0x11162F, 0x1C1636, 0x08E669, 0x331674,
    0x237688, 0x2956A9, 0x2E36B4, 0x2C06C9, 0x1F86D1, 0x35C6FA, 0x3FE6FE,
    // pattern 9: 81 words from register 845
    0x099063, 0x0ED074, 0x01D075, 0x0F90A9, 0x1E40B3, 0x18D0B7, 0x3410C4, 0x0BF0DA,
    0x3C4116, 0x0E3119, 0x35113D, 0x127154, 0x28A15D, 0x2891A0, 0x0D51A5, 0x2541B6,
    0x3461BC, 0x17D1DE, 0x0D01E2, 0x0A0209, 0x07120A, 0x354221, 0x28F22B, 0x18322C,
    0x3FC238, 0x12B273, 0x04E28F, 0x20E2AE, 0x1322C4, 0x05E2DB, 0x00A2F8, 0x1F2313,
    0x2C3337, 0x07433A, 0x066355, 0x15035D, 0x2D5368, 0x28B386, 0x328395, 0x2EC3B7,
    0x3C93B9, 0x3E93DD, 0x27A3DE, 0x2BF3F3, 0x1B83FB, 0x060410, 0x011434, 0x28343F,
    0x104441, 0x118468, 0x2C646D, 0x0EA47D, 0x36E48B, 0x2A4491, 0x1B7492, 0x15754A,
    0x3D854C, 0x38C553, 0x15C555, 0x216561, 0x1D2564, 0x0A857A, 0x2525A4, 0x0885AB,
    0x3245D4, 0x0325E7, 0x08460B, 0x3B9612, 0x0DB617, 0x3B461A, 0x25661C, 0x1D866C,
    0x312681, 0x3AA685, 0x2746A1, 0x2EB6B7, 0x1886D2, 0x2E76D9, 0x37A6E6, 0x2A06F8,
    0x3FE6FE,
    // pattern 10: 64 words from register 926
    0x066016, 0x04401D, 0x372022, 0x264030, 0x199060, 0x13F069, 0x11C073, 0x26E083,
    0x2BC084, 0x160094, 0x20D0B0, 0x2920BE, 0x2FF0CC, 0x3C00D5, 0x05D110, 0x07F138,
    0x1CC168, 0x2C3197, 0x21119E, 0x2051A0, 0x0D31EE, 0x3AD264, 0x37728F, 0x14129F,
    0x3F42D5, 0x3CA2DC, 0x1E42F8, 0x263312, 0x2CF31B, 0x01A330, 0x3AD33F, 0x0A2356,
    0x3BD370, 0x218372, 0x2B1381, 0x26338C, 0x3153A5, 0x3A63BF, 0x168403, 0x20040D,
    0x093437, 0x37243C, 0x3A2453, 0x24B462, 0x1134CB, 0x1AA4F0, 0x3434F6, 0x38C52C,
    0x092531, 0x27C546, 0x2EF561, 0x0DF56C, 0x337570, 0x1A259D, 0x3855A7, 0x07E5C8,
    0x178612, 0x35C618, 0x304643, 0x3BC65F, 0x21466D, 0x3F1691, 0x09B6E6, 0x3FE6FE,
};

// Registers 35 to 46.
const uint32_t kBiasWords[12] = {62, 7, 32, 39, 55, 6, 22, 1, 32, 39, 5, 2};
// Registers 384 to 392, then 400 to 408.
const uint32_t kTimingWordsA[9] = {0x035001, 0x220001, 0x01C003, 0x050006, 0x035007,
                                   0x075011, 0x03501B, 0x00042C, 0x3E042C};
const uint32_t kTimingWordsB[9] = {0x10E001, 0x220001, 0x0D1003, 0x14D006, 0x10E007,
                                   0x19E009, 0x10E00A, 0x09110B, 0x3E010B};
// The 6-bit control registers: 0 to 30, 33 and 34, 47 to 62, 64 to 75, 124 to 163.
const uint32_t kControl0To30[31] = {0, 8, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0,
                                    3, 30, 6, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const uint32_t kControl33To34[2] = {0, 5};
const uint32_t kControl47To62[16] = {9, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const uint32_t kControl124To163[40] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 124-139
                                       56, 3, 0, 56, 5, 2, 0, 0, 0, 0, 0, 0, 1, 0, 0, 7,  // 140-155
                                       0, 1, 36, 1, 0, 0, 0, 0};                          // 156-163

template <size_t N>
void AppendRun(Blocks* out, uint32_t first, const uint32_t (&values)[N]) {
    for (size_t i = 0; i < N; ++i) out->push_back(Reg(first + uint32_t(i), values[i]));
}

void AppendZeros(Blocks* out, uint32_t first, uint32_t last) {
    for (uint32_t reg = first; reg <= last; ++reg) out->push_back(Reg(reg, 0));
}

// A command answered on the response pipe: the SDK reads it twice.
void AppendAnswered(Blocks* out, const std::string& command, bool secondReadFails = false) {
    out->push_back(command);
    out->push_back(ResponseRead());
    out->push_back(ResponseRead() + (secondReadFails ? " (refused)" : ""));
}

// Serial memory of the camera as a test sets it: the tag bytes at 0x1810 to
// 0x1816 and the per-unit bytes at 0x1800 to 0x1808; -1 marks a byte whose
// read fails.
struct SerialMemory {
    int tag[7];
    int unit[9];
};

const SerialMemory kFactoryUnit0 = {{'R', 'O', 'R', 'U', '5', '2', 0xFF}, {4, 29, 7, 3, 2, 1, 0, 5, 12}};

// Step 7 for a clock port that reads 0 (or anything but 1 and 3).
const Blocks kFullClockWrites = {Reg(25, 32), Reg(26, 1)};

// The whole start-up with the requests and response reads in order.
Blocks StartUp(const SerialMemory& srom, const Blocks& clockWrites) {
    Blocks b = {Port(6, 0x11), Port(6, 0)};
    AppendRun(&b, 35, kBiasWords);
    AppendRun(&b, 384, kTimingWordsA);
    AppendRun(&b, 400, kTimingWordsB);
    AppendRun(&b, 512, kPatternWords);
    AppendRun(&b, 0, kControl0To30);
    AppendRun(&b, 33, kControl33To34);
    AppendRun(&b, 47, kControl47To62);
    AppendZeros(&b, 64, 75);
    AppendRun(&b, 124, kControl124To163);
    b.push_back(Reg(158, 36));
    b.push_back(Reg(159, 1));
    AppendZeros(&b, 76, 123);
    AppendAnswered(&b, ReadPortOf(15));
    b.insert(b.end(), clockWrites.begin(), clockWrites.end());
    for (uint32_t i = 0; i < 7; ++i) AppendAnswered(&b, SromRead(0x1810 + i), srom.tag[i] < 0);
    const char tag[] = "RORU52";
    bool tagged = true;
    for (int i = 0; i < 6; ++i) tagged = tagged && srom.tag[i] == tag[i];
    if (tagged) {
        for (uint32_t i = 0; i < 9; ++i) {
            AppendAnswered(&b, SromRead(0x1800 + i), srom.unit[i] < 0);
            if (srom.unit[i] >= 0 && srom.unit[i] < 64) b.push_back(Reg(16 + i, uint32_t(srom.unit[i])));
        }
    }
    b.push_back(Reg(32, 11));
    b.push_back(Reg(24, 15));
    return b;
}

// What the constructor sends around the start-up.
Blocks Construction(const SerialMemory& srom, const Blocks& clockWrites = kFullClockWrites) {
    Blocks b = {WordMode(1), Port(14, 0)};
    const Blocks startUp = StartUp(srom, clockWrites);
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
    void SetUp() override {
        DeviceTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(1, device_->WritePort(15, 0));  // full clock
        sim_.ClearLog(0);
    }

    // Sets camera 0's serial memory, then builds a new device object on it.
    void ConstructWith(const SerialMemory& srom) {
        device_.reset();
        for (uint32_t i = 0; i < 7; ++i) {
            ASSERT_TRUE(sim_.Srom(0, 0x1810 + i, uint8_t(srom.tag[i]), srom.tag[i] >= 0));
        }
        for (uint32_t i = 0; i < 9; ++i) {
            ASSERT_TRUE(sim_.Srom(0, 0x1800 + i, uint8_t(srom.unit[i]), srom.unit[i] >= 0));
        }
        sim_.ClearLog(0);
        device_.reset(new CQuorinM52DXLTXSdk());
    }
};

TEST_F(SensorStartUp, ConstructionSendsTheWholeSequenceWithPerUnitValues) {
    device_.reset();
    sim_.ClearLog(0);
    const uint32_t wrongCodesBefore = sim_.Status(0).wrong_code_requests;
    device_.reset(new CQuorinM52DXLTXSdk());  // on the factory serial memory of unit 0
    EXPECT_TRUE(SameSequence(Construction(kFactoryUnit0), TakeLogWithResponses()));
    const uint32_t expected[9] = {4, 29, 7, 3, 2, 1, 0, 5, 15};  // 24 = 15 overrides the unit's 12
    for (uint32_t i = 0; i < 9; ++i) {
        uint32_t value = 99;
        device_->ReadRegister(16 + i, &value);
        EXPECT_EQ(expected[i], value) << 16 + i;
    }
    EXPECT_EQ(0, device_->GetSelectedIndex());
    EXPECT_EQ(512, device_->GetGain());
    EXPECT_EQ(64, device_->GetShutter());
    const M52SimStatus status = sim_.Status(0);
    EXPECT_EQ(64u, status.shutter);
    EXPECT_EQ(0u, status.register_errors);
    EXPECT_EQ(wrongCodesBefore, status.wrong_code_requests);
    EXPECT_EQ(0u, status.open_handles);
}

TEST_F(SensorStartUp, PerUnitBytesAreAppliedOnlyWhenTaggedReadableAndBelow64) {
    const struct {
        const char* what;
        SerialMemory srom;
        uint32_t registers16To24[9];  // afterwards
    } kCases[] = {
        {"bytes of 64 and more, and failed reads, are skipped",
         {{'R', 'O', 'R', 'U', '5', '2', 0xFF}, {10, 64, 200, 33, -1, 63, 0, -1, 12}},
         {10, 30, 6, 33, 1, 63, 0, 0, 15}},
        {"no model tag", {{'R', 'O', 'R', 'U', '5', 'X', 0xFF}, {10, 11, 12, 13, 14, 15, 16, 17, 18}},
         {3, 30, 6, 2, 1, 0, 0, 0, 15}},
        {"a tag byte that cannot be read", {{'R', -1, 'R', 'U', '5', '2', 0xFF}, {10, 11, 12, 13, 14, 15, 16, 17, 18}},
         {3, 30, 6, 2, 1, 0, 0, 0, 15}},
        {"the seventh tag read does not matter", {{'R', 'O', 'R', 'U', '5', '2', -1}, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
         {1, 2, 3, 4, 5, 6, 7, 8, 15}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        ConstructWith(c.srom);
        EXPECT_TRUE(SameSequence(Construction(c.srom), TakeLogWithResponses()));
        for (uint32_t i = 0; i < 9; ++i) {
            uint32_t value = 99;
            device_->ReadRegister(16 + i, &value);
            EXPECT_EQ(c.registers16To24[i], value) << "register " << 16 + i;
        }
    }
}

TEST_F(SensorStartUp, ClockDependentRegistersFollowTheClockPort) {
    const struct {
        uint8_t port;
        Blocks writes;
    } kCases[] = {
        {1, {Reg(25, 24), Reg(26, 1)}},
        {3, {Reg(25, 42), Reg(26, 1), Reg(17, 24), Reg(19, 15)}},  // port value 3 is half clock 2
        {2, {Reg(25, 42), Reg(26, 1), Reg(17, 24), Reg(19, 15)}},
        {5, {Reg(25, 32), Reg(26, 1)}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE("clock port " + std::to_string(c.port));
        ASSERT_EQ(1, device_->WritePort(15, c.port));
        device_.reset();
        sim_.ClearLog(0);
        device_.reset(new CQuorinM52DXLTXSdk());
        EXPECT_TRUE(SameSequence(Construction(kFactoryUnit0, c.writes), TakeLogWithResponses()));
    }
    ASSERT_EQ(1, device_->WritePort(15, 0));
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
