#include "tests/device/device_fixture.h"

#include <cstdio>

#include "tests/support/sim.h"

namespace simtest {

std::string Reg(uint32_t reg, uint32_t value) {
    uint32_t bits = 32, mask = 0x3FFFFF;
    if (reg < 192) {
        bits = 16;
        mask = 0x3F;
    } else if (reg < 384) {
        bits = 26;
        mask = 0xFFFF;
    }
    char text[64];
    std::snprintf(text, sizeof text, "reg %u = 0x%X (%u bits)", reg, value & mask, bits);
    return text;
}

std::string Port(uint32_t port, uint32_t value) {
    const uint8_t b[64] = {0x25, uint8_t(port), uint8_t(value)};
    return Describe(b);
}

std::string ReadPortOf(uint32_t port) {
    const uint8_t b[64] = {0x26, uint8_t(port)};
    return Describe(b);
}

std::string SromRead(uint32_t address) {
    const uint8_t b[64] = {0x41, 0x51, 2, 1, uint8_t(address >> 8), uint8_t(address)};
    return Describe(b);
}

std::string SromWrite(uint32_t address, uint32_t value) {
    const uint8_t b[64] = {0x40, 0x51, 3, uint8_t(address >> 8), uint8_t(address), uint8_t(value)};
    return Describe(b);
}

std::string TransferSize(uint32_t bytes) {
    const uint8_t b[64] = {9, uint8_t(bytes), uint8_t(bytes >> 8), uint8_t(bytes >> 16), uint8_t(bytes >> 24)};
    return Describe(b);
}

std::string WordMode(uint32_t mode) {
    const uint8_t b[64] = {10, uint8_t(mode)};
    return Describe(b);
}

std::string Command(uint32_t code) {
    const uint8_t b[64] = {uint8_t(code)};
    return Describe(b);
}

std::string ResponseRead() { return "response read"; }

std::vector<std::string> Describe(const std::vector<LoggedBlock>& log) {
    std::vector<std::string> out;
    for (const LoggedBlock& b : log) {
        if (b.IsResponse()) {
            out.push_back(ResponseRead() + (b.refused ? " (refused)" : ""));
            continue;
        }
        std::string text = Describe(b.bytes);
        // Bytes a command does not define must be zero: show any that are not.
        size_t used = 1;
        switch (b.bytes[0]) {
        case 4: case 0x41: case 0x40: used = 6; break;
        case 9: used = 5; break;
        case 0x25: used = 3; break;
        case 0x26: case 10: used = 2; break;
        default: break;
        }
        for (size_t i = used; i < 64; ++i) {
            if (b.bytes[i] != 0) text += " +byte" + std::to_string(i) + "=" + std::to_string(b.bytes[i]);
        }
        if (b.refused) text += " (refused)";
        out.push_back(text);
    }
    return out;
}

::testing::AssertionResult SameSequence(const std::vector<std::string>& expected,
                                        const std::vector<std::string>& actual) {
    const size_t n = expected.size() < actual.size() ? expected.size() : actual.size();
    for (size_t i = 0; i < n; ++i) {
        if (expected[i] != actual[i]) {
            return ::testing::AssertionFailure()
                   << "block " << i << ": expected \"" << expected[i] << "\", got \"" << actual[i] << "\"";
        }
    }
    if (expected.size() != actual.size()) {
        return ::testing::AssertionFailure()
               << "expected " << expected.size() << " blocks, got " << actual.size()
               << (actual.size() > n ? ", first extra: \"" + actual[n] + "\"" : std::string())
               << (expected.size() > n ? ", first missing: \"" + expected[n] + "\"" : std::string());
    }
    return ::testing::AssertionSuccess();
}

void DeviceTest::SetUp() {
    ASSERT_TRUE(qtest::SimReady(0));
    ASSERT_TRUE(sim_.Pace(0, M52SIM_PACE_FAST));
    device_.reset(new CQuorinM52DXLTXSdk());
    sim_.ClearLog(0);
}

void DeviceTest::TearDown() {
    if (device_) device_->StopTransfer();
    device_.reset();
    sim_.Attach(0);
    sim_.Reset(0);
}

std::vector<std::string> DeviceTest::TakeLog(uint32_t camera) {
    uint32_t dropped = 0;
    std::vector<std::string> log = Describe(sim_.Log(camera, &dropped));
    EXPECT_EQ(0u, dropped) << "the simulator's log overflowed";
    sim_.ClearLog(camera);
    return log;
}

std::vector<std::string> DeviceTest::TakeLogWithResponses(uint32_t camera) {
    uint32_t dropped = 0;
    std::vector<std::string> log = Describe(sim_.Log(camera, &dropped, true));
    EXPECT_EQ(0u, dropped) << "the simulator's log overflowed";
    sim_.ClearLog(camera);
    return log;
}

}  // namespace simtest
