// Fixture for device tests against the simulated camera: camera 0 attached
// with default simulator settings and fast pacing, a device object built on
// it, and helpers to compare logged command blocks with expected ones.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device/quorin_m52dx_ltx_sdk.h"
#include "tests/device/sim_camera.h"

namespace simtest {

// Expected blocks, described as Describe() prints them.
std::string Reg(uint32_t reg, uint32_t value);
std::string Port(uint32_t port, uint32_t value);
std::string ReadPortOf(uint32_t port);
std::string SromRead(uint32_t address);
std::string SromWrite(uint32_t address, uint32_t value);
std::string TransferSize(uint32_t bytes);
std::string WordMode(uint32_t mode);
std::string Command(uint32_t code);
// A read of the response pipe, as TakeLogWithResponses() shows it.
std::string ResponseRead();

std::vector<std::string> Describe(const std::vector<LoggedBlock>& log);

// Compares two block sequences and names the first difference.
::testing::AssertionResult SameSequence(const std::vector<std::string>& expected,
                                        const std::vector<std::string>& actual);

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The blocks camera 0 received since the last call (the log is cleared).
    std::vector<std::string> TakeLog(uint32_t camera = 0);
    // The same with every read of the response pipe in its place.
    std::vector<std::string> TakeLogWithResponses(uint32_t camera = 0);

    SimControl sim_;
    std::unique_ptr<CQuorinM52DXLTXSdk> device_;
};

}  // namespace simtest
