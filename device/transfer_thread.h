// The streaming thread: requests and reads frames back to back into the
// frame ring on its own driver handle and signals one event per frame.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "device/device_protocol.h"
#include "device/frame_buffers.h"
#include "device/ring_index.h"

namespace quorin {

// Shared by the transfer thread and the consumer without the device's lock:
// every field the two sides both touch is a single atomic 32-bit value, and
// the ring entries change hands through one atomic state word. The frame
// event orders a completed frame before the consumer looks at the ring; the
// end event orders the thread's last stores before the stopper reads them.
struct TransferBlock {
    std::atomic<uint32_t> transferLength{0};  // bytes per frame read
    HANDLE frameEvent = nullptr;              // auto reset, one signal per completed slot
    HANDLE endEvent = nullptr;                // manual reset, set as the thread's last act
    std::atomic<int32_t> endCode{0};          // 0 stopped, 10 no device, 19 frame failed
    std::atomic<int32_t> stopFlag{1};         // 1: no thread runs or stop requested
    std::atomic<int32_t> errorFlag{0};        // 1: the run ended with 19
    int32_t ringCount = 0;
    FrameRingEntry* ring = nullptr;
    RingHandOver handOver;                    // write, newest and held entries
    std::atomic<uint32_t> framesCompleted{0}; // frames completed since the start of the run
    int32_t alternateCode = 0;                // frame reads with the alternate code
    char devicePath[kDevicePathSize] = {};    // a copy: the selection may change meanwhile

    // The thread's own driver handle, published so that a stop can cancel a
    // read the camera never answers. The lock keeps the handle open while it
    // is cancelled.
    SRWLOCK deviceLock = SRWLOCK_INIT;
    HANDLE device = nullptr;
};

// Thread procedure; `param` is the TransferBlock. Returns 0.
DWORD WINAPI TransferThread(LPVOID param);

// Cancels the frame transfer the thread is waiting in, if any.
void CancelTransferRead(TransferBlock* block);

}  // namespace quorin
