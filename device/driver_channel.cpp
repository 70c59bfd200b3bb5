#include "device/driver_channel.h"

#include "device/device_protocol.h"

namespace quorin {

HANDLE OpenDevice(const char* path) {
    if (path == nullptr) return nullptr;
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

int CloseDevice(HANDLE* slot) {
    if (slot == nullptr || *slot == nullptr || *slot == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(*slot);
    *slot = nullptr;
    return 1;
}

int PipeTransfer(HANDLE handle, uint32_t pipe, void* buffer, uint32_t length, uint32_t code,
                 uint32_t* transferred) {
    if (buffer == nullptr) return DEV_PIPE_NO_BUFFER;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return DEV_PIPE_NO_HANDLE;
    DWORD pipeNumber = pipe;
    DWORD moved = 0;
    const BOOL ok = DeviceIoControl(handle, code, &pipeNumber, sizeof pipeNumber, buffer, length,
                                    &moved, nullptr);
    if (transferred != nullptr) *transferred = moved;
    return ok ? DEV_OK : DEV_PIPE_REFUSED;
}

namespace {

int ExactTransfer(HANDLE handle, uint32_t pipe, uint32_t length, void* buffer, uint32_t code) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return DEV_NO_HANDLE;
    uint32_t moved = 0;
    if (PipeTransfer(handle, pipe, buffer, length, code, &moved) != 0 || moved != length) {
        return DEV_COMMAND_FAILED;
    }
    return DEV_OK;
}

}  // namespace

int ReadPipe(HANDLE handle, uint32_t pipe, uint32_t length, void* buffer) {
    return ExactTransfer(handle, pipe, length, buffer, IOCTL_PIPE_OUT_DIRECT);
}

int WritePipe(HANDLE handle, uint32_t pipe, uint32_t length, const void* buffer) {
    // The driver maps the buffer but only reads it for an outgoing pipe.
    return ExactTransfer(handle, pipe, length, const_cast<void*>(buffer), IOCTL_PIPE_IN_DIRECT);
}

}  // namespace quorin
