// Constants of the camera's driver protocol: pipes, control codes, command
// codes, controller ports and the result codes used throughout device access.
// Portable: no Win32 types.
#pragma once

#include <cstdint>

namespace quorin {

// Pipe numbers; the 32-bit pipe number is the input buffer of every transfer.
enum : uint32_t {
    PIPE_COMMAND = 0,   // to the device: one 64-byte command block
    PIPE_RESPONSE = 1,  // from the device: one 64-byte response block
    PIPE_IMAGE = 2,     // from the device: one raw frame
};

// Control codes (FILE_DEVICE_UNKNOWN, FILE_ANY_ACCESS). The direction of a
// transfer follows the pipe, not the code.
enum : uint32_t {
    IOCTL_PIPE_OUT_DIRECT = 0x22204E,
    IOCTL_PIPE_IN_DIRECT = 0x222051,
    IOCTL_PIPE_OUT_DIRECT_ALT = 0x2220A6,
    IOCTL_PIPE_IN_DIRECT_ALT = 0x2220A9,
    IOCTL_SET_PARAMETER = 0x2220A0,
};

constexpr uint32_t kCommandBlockSize = 64;
constexpr uint32_t kResponseBlockSize = 64;
constexpr uint32_t kParameterBlockSize = 44;

// Vendor command codes (byte 0 of a command block).
enum : uint8_t {
    CMD_PREPARE = 1,
    CMD_REQUEST_FRAME = 2,
    CMD_WRITE_REGISTER = 4,
    CMD_SET_TRANSFER_SIZE = 9,
    CMD_SET_WORD_MODE = 10,
    CMD_WRITE_PORT = 0x25,
    CMD_READ_PORT = 0x26,
    CMD_SROM_WRITE = 0x40,
    CMD_SROM_READ = 0x41,
};

// The serial memory's fixed target id inside the serial-memory commands.
constexpr uint8_t kSromTarget = 0x51;
// Start of the per-unit identification area of the serial memory.
constexpr uint16_t kSromIdBase = 0x1800;

// Ports of the camera's controller (8-bit values).
enum : uint8_t {
    PORT_TRANSFER_SIZE = 0,  // ports 0..3 hold the transfer size, LSB first
    PORT_SENSOR_RESET = 6,
    PORT_USER_IO = 7,
    PORT_TRIGGER = 11,
    PORT_PIXEL_WIDTH = 14,
    PORT_CLOCK = 15,
};

// Result codes of device access. Status operations return 0 or one of these.
enum DeviceResult : int {
    DEV_PIPE_NO_HANDLE = -3,
    DEV_PIPE_NO_BUFFER = -2,
    DEV_PIPE_REFUSED = -1,
    DEV_OK = 0,
    DEV_BAD_RING_OR_WINDOW = 1,   // fewer than 2 ring buffers; window rejected
    DEV_BAD_WIDTH = 3,
    DEV_BAD_LINES = 4,
    DEV_NO_MEMORY = 7,
    DEV_NO_HANDLE = 10,
    DEV_COMMAND_FAILED = 12,
    DEV_NO_BUFFER = 14,
    DEV_FRAME_FAILED = 19,
    DEV_NO_ANSWER = 20,           // a single frame read got no answer within kSnapReadLimitMs
    DEV_ALREADY_STREAMING = 21,
    DEV_BAD_INDEX = 22,
    DEV_FRAME_TIMEOUT = 23,       // a single frame read ended empty at the device's time-out
                                  // (in trigger mode: no pulse came)
};

// Device naming.
constexpr const char kDeviceBaseName[] = "ZadeZ52EZIZE";
constexpr int kMaxDeviceCount = 32;
constexpr int kDeviceSuffixCount = 36;
constexpr int kDevicePathSize = 128;

// Suffix characters by device index: 0-9, A-L, then N before M, then O-Z.
// Index 22 is "N" and index 23 is "M".
extern const char DeviceSuffixTable[kDeviceSuffixCount][2];

// Sensor geometry of this model.
constexpr int kSensorWidth = 1360;
constexpr int kSensorHeight = 1024;

}  // namespace quorin
