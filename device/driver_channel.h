// The channel to the camera's kernel driver: open and close a device path
// and move buffers over its pipes with DeviceIoControl. Free functions
// without state of their own.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quorin {

// CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, OPEN_EXISTING). Returns
// null on failure (never INVALID_HANDLE_VALUE); a null path fails at once.
HANDLE OpenDevice(const char* path);

// Closes the handle in `slot` and clears it: 1, or 0 when the slot was empty.
int CloseDevice(HANDLE* slot);

// One synchronous transfer on `pipe`. Returns 0 on success, -2 for a null
// buffer (checked first), -3 for a null handle, -1 when the driver refused.
int PipeTransfer(HANDLE handle, uint32_t pipe, void* buffer, uint32_t length, uint32_t code,
                 uint32_t* transferred);

// Transfers of exactly `length` bytes: 0, 10 (no handle) or 12 (refused or a
// different byte count). ReadPipe uses IOCTL_PIPE_OUT_DIRECT, WritePipe
// IOCTL_PIPE_IN_DIRECT, as the driver expects.
int ReadPipe(HANDLE handle, uint32_t pipe, uint32_t length, void* buffer);
int WritePipe(HANDLE handle, uint32_t pipe, uint32_t length, const void* buffer);

}  // namespace quorin
