#include "device/transfer_thread.h"

#include "device/command_block.h"
#include "device/driver_channel.h"

namespace quorin {

namespace {

// Streams until a stop is requested or a frame fails; returns the end code.
int32_t StreamFrames(TransferBlock* block, HANDLE device) {
    const uint32_t readCode = block->alternateCode ? IOCTL_PIPE_IN_DIRECT_ALT : IOCTL_PIPE_IN_DIRECT;
    const uint32_t length = block->transferLength.load();
    bool shortFrameForgiven = false;  // one short frame per run is dropped, not fatal
    int32_t write = block->handOver.WriteIndex();
    for (;;) {
        uint8_t* buffer = block->ring[write].data;

        CommandBlock request = EncodeRequestFrame();
        uint32_t moved = 0;
        PipeTransfer(device, PIPE_COMMAND, request.bytes, kCommandBlockSize, IOCTL_PIPE_OUT_DIRECT,
                     &moved);  // a lost request shows up as a failed read

        moved = 0;
        const int rc = PipeTransfer(device, PIPE_IMAGE, buffer, length, readCode, &moved);
        const bool failed = rc != 0;
        // A read cut short by a stop is the end of the run, not a failure.
        if (failed && block->stopFlag.load() == 1) return DEV_OK;
        const bool shortFrame = !failed && moved != length;
        if (failed || (shortFrame && shortFrameForgiven)) {
            // Flag first, then wake the consumer: the slot is never handed on.
            block->errorFlag.store(1);
            SetEvent(block->frameEvent);
            return DEV_FRAME_FAILED;
        }
        if (shortFrame) {
            shortFrameForgiven = true;  // refill the same slot
        } else {
            // Numbered and timed before the slot is handed on, so the consumer sees both with it.
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            block->ring[write].arrivalTicks = now.QuadPart;
            block->ring[write].frameNumber = block->framesCompleted.fetch_add(1) + 1;
            write = block->handOver.CompleteFrame();
            SetEvent(block->frameEvent);
        }
        if (block->stopFlag.load() == 1) return DEV_OK;
    }
}

void PublishDevice(TransferBlock* block, HANDLE device) {
    AcquireSRWLockExclusive(&block->deviceLock);
    block->device = device;
    ReleaseSRWLockExclusive(&block->deviceLock);
}

}  // namespace

DWORD WINAPI TransferThread(LPVOID param) {
    TransferBlock* block = static_cast<TransferBlock*>(param);
    int32_t endCode = DEV_OK;
    HANDLE device = OpenDevice(block->devicePath);
    if (device == nullptr) {
        endCode = DEV_NO_HANDLE;
    } else {
        PublishDevice(block, device);
        if (block->stopFlag.load() != 1) endCode = StreamFrames(block, device);
        // Unpublished before it is closed: a cancel never reaches a reused handle value.
        PublishDevice(block, nullptr);
        CloseDevice(&device);
    }
    block->endCode.store(endCode);
    block->errorFlag.store(endCode == DEV_FRAME_FAILED ? 1 : 0);
    block->stopFlag.store(1);
    SetEvent(block->endEvent);
    // A consumer waiting for a frame learns at once that none will come (a camera that could not
    // be opened leaves no failed frame behind to wake it).
    SetEvent(block->frameEvent);
    return 0;
}

void CancelTransferRead(TransferBlock* block) {
    AcquireSRWLockShared(&block->deviceLock);
    if (block->device != nullptr) CancelIoEx(block->device, nullptr);
    ReleaseSRWLockShared(&block->deviceLock);
}

}  // namespace quorin
