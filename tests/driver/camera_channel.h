// A test's own view of a simulated camera: its device path, the five control codes and the
// pipes, used exactly as a camera driver's client uses them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "tests/driver/command_blocks.h"

namespace m52test {

constexpr DWORD kPipeOutDirect = 0x22204E;
constexpr DWORD kPipeInDirect = 0x222051;
constexpr DWORD kPipeOutDirectAlt = 0x2220A6;
constexpr DWORD kPipeInDirectAlt = 0x2220A9;
constexpr DWORD kSetParameter = 0x2220A0;
constexpr uint32_t kPipeCommand = 0, kPipeResponse = 1, kPipeImage = 2;

// Result of one DeviceIoControl: whether it succeeded, the bytes moved and the error code.
struct TransferResult {
    bool ok = false;
    DWORD moved = 0;
    DWORD error = 0;
};

class CameraChannel {
public:
    explicit CameraChannel(unsigned index);
    ~CameraChannel();
    CameraChannel(const CameraChannel &) = delete;
    CameraChannel &operator=(const CameraChannel &) = delete;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    DWORD OpenError() const { return openError_; }
    HANDLE Handle() const { return handle_; }
    void Close();

    TransferResult Transfer(DWORD code, uint32_t pipe, void *buffer, DWORD length);
    TransferResult RawIoctl(DWORD code, const void *input, DWORD inputLength, void *output, DWORD outputLength);
    // A command block on pipe 0 (the code a command operation uses).
    TransferResult Send(const Block &block, DWORD code = kPipeInDirect);
    // Reads the 64-byte response block once; returns its byte 0 through `value`.
    TransferResult Response(uint8_t *value);
    // Reads an answer as the SDK does: twice, the second read decides and carries it.
    TransferResult Answer(uint8_t *value);
    // Frame request followed by a frame read of `length` bytes into `frame`.
    TransferResult Snap(std::vector<uint8_t> *frame, DWORD length);
    TransferResult SetParameter(int32_t value, uint32_t first = 1, DWORD blockSize = 44);

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DWORD openError_ = 0;
};

}  // namespace m52test
