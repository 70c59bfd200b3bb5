// The driver channel's own contract: argument checks, byte counts and handles.
#include <gtest/gtest.h>

#include <cstring>

#include "device/command_block.h"
#include "device/device_protocol.h"
#include "device/driver_channel.h"
#include "tests/device/sim_camera.h"

using namespace quorin;

namespace {

constexpr char kCamera0[] = "\\\\.\\ZadeZ52EZIZE-0";

}  // namespace

TEST(DriverChannel, ArgumentsAreCheckedBeforeTheDriverIsAsked) {
    uint8_t buffer[64] = {};
    uint32_t moved = 0xDEADF00D;
    // A null buffer is reported before the handle is looked at.
    EXPECT_EQ(DEV_PIPE_NO_BUFFER, PipeTransfer(nullptr, PIPE_COMMAND, nullptr, 64, IOCTL_PIPE_IN_DIRECT, &moved));
    EXPECT_EQ(DEV_PIPE_NO_HANDLE, PipeTransfer(nullptr, PIPE_COMMAND, buffer, 64, IOCTL_PIPE_IN_DIRECT, &moved));
    EXPECT_EQ(0xDEADF00Du, moved);
    EXPECT_EQ(DEV_NO_HANDLE, ReadPipe(nullptr, PIPE_RESPONSE, 64, buffer));
    EXPECT_EQ(DEV_NO_HANDLE, WritePipe(nullptr, PIPE_COMMAND, 64, buffer));
    EXPECT_EQ(nullptr, OpenDevice(nullptr));
    EXPECT_EQ(nullptr, OpenDevice("\\\\.\\ZadeZ52EZIZE-Z"));  // nothing there: null, not INVALID_HANDLE_VALUE
    HANDLE empty = nullptr;
    EXPECT_EQ(0, CloseDevice(&empty));
    EXPECT_EQ(0, CloseDevice(nullptr));
}

TEST(DriverChannel, WrongByteCountsAreCommandFailures) {
    simtest::SimControl sim;
    ASSERT_TRUE(sim.IsOpen());
    ASSERT_TRUE(sim.Attach(0));
    HANDLE device = OpenDevice(kCamera0);
    ASSERT_NE(nullptr, device);
    const uint32_t openBefore = sim.Status(0).open_handles;
    EXPECT_GE(openBefore, 1u);

    CommandBlock readPort = EncodeReadPort(7);
    ASSERT_EQ(DEV_OK, WritePipe(device, PIPE_COMMAND, 64, readPort.bytes));
    uint8_t response[64];
    EXPECT_EQ(DEV_OK, ReadPipe(device, PIPE_RESPONSE, 64, response));
    // A response read of 63 bytes, and a 63-byte command, are failures.
    EXPECT_EQ(DEV_COMMAND_FAILED, ReadPipe(device, PIPE_RESPONSE, 63, response));
    EXPECT_EQ(DEV_COMMAND_FAILED, WritePipe(device, PIPE_COMMAND, 63, readPort.bytes));
    // The response pipe only reads; the command pipe does not answer.
    uint32_t moved = 0;
    EXPECT_EQ(DEV_PIPE_REFUSED,
              PipeTransfer(device, PIPE_RESPONSE, response, 64, IOCTL_PIPE_IN_DIRECT, &moved));

    EXPECT_EQ(1, CloseDevice(&device));
    EXPECT_EQ(nullptr, device);
    EXPECT_EQ(openBefore - 1, sim.Status(0).open_handles);
}
