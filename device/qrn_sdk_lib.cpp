#include "device/qrn_sdk_lib.h"

#include <cstdio>
#include <cstring>

#include "device/device_paths.h"
#include "device/driver_channel.h"

using namespace quorin;

namespace {

// Serial-memory timing of the controller.
constexpr DWORD kSromReadSettleMs = 6;
constexpr DWORD kSromWriteSettleMs = 10;
constexpr int kSromIdCount = 256;
// A stop lets the frame in progress finish (a frame takes at most about 150 ms
// at the slower clock); a read still pending after this is cancelled.
constexpr DWORD kStopGraceMs = 1000;
constexpr DWORD kCancelRetryMs = 20;
// A single frame read ends at the driver's trigger time-out (3000 ms) at the latest; one still
// pending well after that belongs to a camera that stopped answering and is cancelled.
constexpr DWORD kSnapReadLimitMs = 5000;

struct SnapWatch {
    HANDLE device;
    volatile LONG fired;
};

VOID CALLBACK CancelUnansweredRead(PVOID param, BOOLEAN) {
    SnapWatch* watch = static_cast<SnapWatch*>(param);
    InterlockedExchange(&watch->fired, 1);
    CancelIoEx(watch->device, nullptr);
}

}  // namespace

CQRNSdkLib::CQRNSdkLib() {
    InitializeCriticalSection(&commandLock_);
    transfer_.endEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    transfer_.frameEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

CQRNSdkLib::~CQRNSdkLib() {
    // Buffers must not go away under a running thread; the stop is bounded
    // even when the camera stalls.
    if (thread_ != nullptr) StopTransfer();
    CloseSnapHandle();
    FreeBuffers();
    if (transfer_.frameEvent != nullptr) CloseHandle(transfer_.frameEvent);
    if (transfer_.endEvent != nullptr) CloseHandle(transfer_.endEvent);
    DeleteCriticalSection(&commandLock_);
}

void CQRNSdkLib::SetBaseName(const char* name) {
    std::snprintf(baseName_, sizeof baseName_, "%s", name);
}

// ---------------------------------------------------------------- paths

void CQRNSdkLib::ProbeDevices() {
    for (int index = 0; index < kMaxDeviceCount; ++index) {
        char path[256];
        FormatDevicePath(baseName_, index, path, sizeof path);
        HANDLE device = OpenDevice(path);
        presence_[index] = device != nullptr ? 1 : 0;
        CloseDevice(&device);
    }
    // The selection is left as it was: the streaming device stays the selected one.
}

int CQRNSdkLib::IsDevicePresent(int index) const {
    return (index >= 0 && index < kMaxDeviceCount && presence_[index] == 1) ? 1 : 0;
}

int CQRNSdkLib::SelectDevice(int index) {
    if (static_cast<unsigned>(index) > static_cast<unsigned>(kMaxDeviceCount)) return DEV_BAD_INDEX;
    DeviceCommandGuard guard(&commandLock_);  // commands read the path under the lock
    selectedIndex_ = index;
    FormatDevicePath(baseName_, index, devicePath_, sizeof devicePath_);
    return DEV_OK;
}

void CQRNSdkLib::SetDriverParameter(int32_t value) {
    DeviceCommandGuard guard(&commandLock_);
    driverParameter_ = value;
    HANDLE device = OpenDevice(devicePath_);
    if (device == nullptr) return;
    uint8_t block[kParameterBlockSize];
    EncodeParameterBlock(value, block);
    DWORD moved = 0;
    DeviceIoControl(device, IOCTL_SET_PARAMETER, block, sizeof block, nullptr, 0, &moved, nullptr);
    CloseDevice(&device);
}

// ---------------------------------------------------------------- commands

int CQRNSdkLib::SendCommand(HANDLE device, const CommandBlock& block) {
    return WritePipe(device, PIPE_COMMAND, kCommandBlockSize, block.bytes);
}

int CQRNSdkLib::ReadResponse(HANDLE device, uint8_t* firstByte) {
    // The controller answers the second read; the first one only clears the pipe.
    uint8_t response[kResponseBlockSize] = {};
    ReadPipe(device, PIPE_RESPONSE, kResponseBlockSize, response);
    std::memset(response, 0, sizeof response);
    const int rc = ReadPipe(device, PIPE_RESPONSE, kResponseBlockSize, response);
    if (rc == DEV_OK) *firstByte = response[0];
    return rc;
}

int CQRNSdkLib::SendSingleCommand(const CommandBlock& block) {
    DeviceCommandGuard guard(&commandLock_);
    HANDLE device = OpenDevice(devicePath_);
    if (device == nullptr) return 0;
    const int rc = SendCommand(device, block);
    CloseDevice(&device);
    return rc == DEV_OK ? 1 : 0;
}

int CQRNSdkLib::WritePort(uint8_t port, uint8_t value) {
    return SendSingleCommand(EncodeWritePort(port, value));
}

int CQRNSdkLib::ReadPort(uint8_t port, uint8_t* out) {
    if (out == nullptr) return 0;
    DeviceCommandGuard guard(&commandLock_);
    HANDLE device = OpenDevice(devicePath_);
    if (device == nullptr) return 0;
    int result = 0;
    uint8_t value = 0;
    if (SendCommand(device, EncodeReadPort(port)) == DEV_OK &&
        ReadResponse(device, &value) == DEV_OK) {
        result = 1;
    }
    *out = result ? value : 0;
    CloseDevice(&device);
    return result;
}

int CQRNSdkLib::ReadSrom(int address, uint8_t* out) {
    if (out == nullptr || address < kSromIdBase || address > 0xFFFF) return 0;
    DeviceCommandGuard guard(&commandLock_);
    HANDLE device = OpenDevice(devicePath_);
    if (device == nullptr) return 0;
    // A refused command leaves the previous answer in the response pipe.
    if (SendCommand(device, EncodeSromRead(static_cast<uint16_t>(address))) != DEV_OK) {
        CloseDevice(&device);
        return 0;
    }
    Sleep(kSromReadSettleMs);
    uint8_t value = 0;
    const int rc = ReadResponse(device, &value);
    Sleep(kSromReadSettleMs);
    CloseDevice(&device);
    if (rc != DEV_OK) return 0;
    *out = value;
    return 1;
}

int CQRNSdkLib::ReadSromID(int index, uint8_t* out) {
    if (index < 0 || index >= kSromIdCount) return 0;
    return ReadSrom(kSromIdBase + index, out);
}

int CQRNSdkLib::WriteSromID(int index, uint8_t value) {
    if (index < 0 || index >= kSromIdCount) return 0;
    DeviceCommandGuard guard(&commandLock_);
    HANDLE device = OpenDevice(devicePath_);
    if (device == nullptr) return 0;
    const int rc = SendCommand(device, EncodeSromWrite(static_cast<uint16_t>(kSromIdBase + index), value));
    Sleep(kSromWriteSettleMs);
    CloseDevice(&device);
    return rc == DEV_OK ? 1 : 0;
}

int CQRNSdkLib::SendPrepare() {
    DeviceCommandGuard guard(&commandLock_);
    HANDLE device = OpenDevice(devicePath_);
    if (device == nullptr) return 0;
    SendCommand(device, EncodePrepare());
    CloseDevice(&device);
    return 1;
}

int CQRNSdkLib::SendTransferSize() {
    SendSingleCommand(EncodeSetTransferSize(transferSize_));
    return 1;
}

int CQRNSdkLib::ResetSensor() {
    DeviceCommandGuard guard(&commandLock_);
    if (!WritePort(PORT_SENSOR_RESET, 0x11)) return 0;
    return WritePort(PORT_SENSOR_RESET, 0);
}

// ---------------------------------------------------------------- virtual slots

int CQRNSdkLib::CopyWindow(void* dst, size_t dstBytes, const void* src) {
    return CopyFrameWindow(static_cast<uint8_t*>(dst), dstBytes, static_cast<const uint8_t*>(src),
                           geometry_, PixelBytes());
}

int CQRNSdkLib::ConvertYuvRect(void*, const void*, int, const RECT*) { return 0; }

int CQRNSdkLib::ConvertYuv(void*, const void*, int) { return 0; }

int CQRNSdkLib::CopyInterlaced(void*, const void*) { return 0; }

int CQRNSdkLib::SetSubType(int value) {
    subType_ = (value >= 0 && value <= 2) ? value : 1;
    return 1;
}

int CQRNSdkLib::SetWordMode(int on) {
    DeviceCommandGuard guard(&commandLock_);
    if (IsStreaming()) return DEV_ALREADY_STREAMING;
    wordMode_ = on != 0 ? 1 : 0;
    SendSingleCommand(EncodeSetWordMode(static_cast<uint8_t>(wordMode_)));
    return 1;
}

// ---------------------------------------------------------------- geometry

void CQRNSdkLib::ResetDefaults() {
    DeviceCommandGuard guard(&commandLock_);
    wordMode_ = 0;
    geometry_.lineWidth = 1339;
    geometry_.xOffset = 50;
    geometry_.imageWidth = 1280;
    geometry_.totalLines = 1040;
    geometry_.yOffset = 10;
    geometry_.imageHeight = 1028;
    transferSize_ = TransferSizeOf(geometry_);
    window_.mode = 0;
    driverParameter_ = kDefaultDriverParameter;
    subType_ = 0;
    CloseSnapHandle();
}

int CQRNSdkLib::SetGeometry(int32_t L, int32_t X, int32_t W, int32_t T, int32_t Y, int32_t H,
                            int32_t N) {
    const FrameGeometry g = {L, X, W, T, Y, H, N};
    const int check = CheckFrameGeometry(g);
    if (check != DEV_OK) return check;
    DeviceCommandGuard guard(&commandLock_);
    if (BuffersInUse()) return DEV_ALREADY_STREAMING;
    FreeBuffers();
    geometry_ = g;
    transferSize_ = TransferSizeOf(g);
    const size_t bufferBytes = static_cast<size_t>(transferSize_) * 2;  // room for 16-bit pixels
    if (!raw_.Allocate(bufferBytes)) return DEV_NO_MEMORY;
    if (!ring_.Allocate(N, bufferBytes)) return DEV_NO_MEMORY;
    SendTransferSize();
    return DEV_OK;
}

void CQRNSdkLib::FreeBuffers() {
    DeviceCommandGuard guard(&commandLock_);
    if (BuffersInUse()) return;
    transfer_.handOver.Reset(0);  // nothing stays held in a ring that is gone
    raw_.Release();
    ring_.Release();
}

size_t CQRNSdkLib::WindowBytes() const {
    return static_cast<size_t>(geometry_.imageWidth) * static_cast<size_t>(geometry_.imageHeight) *
           static_cast<size_t>(PixelBytes());
}

// ---------------------------------------------------------------- streaming

void CQRNSdkLib::ReapTransferThread() {
    if (thread_ == nullptr) return;
    WaitForSingleObject(thread_, INFINITE);  // the end event precedes the thread's exit
    CloseHandle(thread_);
    thread_ = nullptr;
}

int CQRNSdkLib::StartTransfer() {
    DeviceCommandGuard guard(&commandLock_);  // no geometry change can slip in
    if (transfer_.stopFlag.load() == 0) return DEV_ALREADY_STREAMING;
    ReapTransferThread();  // a run that ended on its own
    const uint32_t length = transferSize_ * (wordMode_ ? 2u : 1u);
    if (ring_.Count() < 2 || length == 0 || length > ring_.BufferSize()) return DEV_NO_BUFFER;
    if (transfer_.endEvent == nullptr || transfer_.frameEvent == nullptr) return DEV_NO_MEMORY;
    SendPrepare();
    ResetEvent(transfer_.endEvent);
    ResetEvent(transfer_.frameEvent);
    transfer_.transferLength.store(length);
    transfer_.endCode.store(DEV_OK);
    transfer_.errorFlag.store(0);
    transfer_.framesCompleted.store(0);
    transfer_.ringCount = ring_.Count();
    transfer_.ring = ring_.Entries();
    transfer_.handOver.Reset(ring_.Count());
    transfer_.alternateCode = alternateTransferCode_;
    std::memcpy(transfer_.devicePath, devicePath_, sizeof transfer_.devicePath);
    transfer_.stopFlag.store(0);
    thread_ = CreateThread(nullptr, 0, TransferThread, &transfer_, 0, nullptr);
    if (thread_ == nullptr) {
        transfer_.stopFlag.store(1);
        return DEV_NO_MEMORY;
    }
    SetThreadPriority(thread_, THREAD_PRIORITY_HIGHEST);
    return DEV_OK;
}

int CQRNSdkLib::StopTransfer() {
    DeviceCommandGuard guard(&commandLock_);
    // A run that ended without a failure (never started, or no device) reports 0.
    const bool quiet = transfer_.stopFlag.load() == 1 && transfer_.errorFlag.load() == 0;
    int32_t endCode = DEV_OK;
    if (thread_ != nullptr) {
        transfer_.stopFlag.store(1);
        // The frame in progress may finish; a camera that does not answer is
        // cut short by cancelling the read (again until the thread is out, as
        // a cancel can come just before the read is issued).
        DWORD wait = WaitForSingleObject(transfer_.endEvent, kStopGraceMs);
        while (wait == WAIT_TIMEOUT) {
            CancelTransferRead(&transfer_);
            wait = WaitForSingleObject(transfer_.endEvent, kCancelRetryMs);
        }
        ReapTransferThread();
        endCode = transfer_.endCode.load();
        // A waiter in WaitFrame wakes and finds the run over.
        SetEvent(transfer_.frameEvent);
    }
    transfer_.stopFlag.store(1);
    transfer_.errorFlag.store(0);
    return quiet ? DEV_OK : endCode;
}

int CQRNSdkLib::WaitFrame() {
    if (transfer_.errorFlag.load() == 1) return WAIT_FRAME_FAILED;
    if (transfer_.stopFlag.load() == 1) return WAIT_FRAME_NOT_STREAMING;
    {
        // The claim is atomic by itself; the lock keeps it from changing the
        // held entry while FetchFrame copies it.
        DeviceCommandGuard guard(&commandLock_);
        if (transfer_.errorFlag.load() == 1) return WAIT_FRAME_FAILED;
        if (transfer_.stopFlag.load() == 1) return WAIT_FRAME_NOT_STREAMING;
        if (transfer_.handOver.Claim(nullptr)) return WAIT_FRAME_READY;
    }
    const DWORD wait = WaitForSingleObject(transfer_.frameEvent, kFrameWaitMs);
    return wait == WAIT_OBJECT_0 ? WAIT_FRAME_AGAIN : WAIT_FRAME_FAILED;
}

int CQRNSdkLib::SnapFrame() {
    HANDLE device = nullptr;
    uint8_t* target = nullptr;
    uint32_t length = 0;
    uint32_t code = 0;
    {
        DeviceCommandGuard guard(&commandLock_);
        if (snapBusy_) return DEV_ALREADY_STREAMING;
        length = transferSize_ * (wordMode_ ? 2u : 1u);
        if (raw_.Data() == nullptr || length == 0 || length > raw_.Size()) return DEV_NO_BUFFER;
        if (snapHandle_ == nullptr || snapHandle_ == INVALID_HANDLE_VALUE) {
            snapHandle_ = OpenDevice(devicePath_);
            if (snapHandle_ == nullptr) return DEV_NO_HANDLE;
        }
        // The read runs outside the lock (a triggered frame may take seconds);
        // meanwhile the buffer and the handle stay put.
        snapBusy_ = true;
        snapCloseRequested_ = false;
        device = snapHandle_;
        target = raw_.Data();
        code = alternateSnapCode_ ? IOCTL_PIPE_IN_DIRECT_ALT : IOCTL_PIPE_IN_DIRECT;
    }
    SendPrepare();
    SendCommand(device, EncodeRequestFrame());  // a lost request shows up as a failed read
    uint32_t moved = 0;
    SnapWatch watch = {device, 0};
    HANDLE timer = nullptr;
    if (!CreateTimerQueueTimer(&timer, nullptr, CancelUnansweredRead, &watch, kSnapReadLimitMs, 0,
                               WT_EXECUTEONLYONCE))
        timer = nullptr;
    const int rc = PipeTransfer(device, PIPE_IMAGE, target, length, code, &moved);
    // The driver ends a read that waited its whole time-out for a trigger with a time-out status;
    // any other failure, or a short frame, is a failed frame.
    const DWORD readError = rc != 0 ? GetLastError() : ERROR_SUCCESS;
    const bool timedOut = rc != 0 && moved == 0 && readError == ERROR_SEM_TIMEOUT;
    // A camera unplugged while the read waited: as gone as one whose path no longer opens.
    const bool gone = rc != 0 && (readError == ERROR_DEVICE_NOT_CONNECTED || readError == ERROR_DEV_NOT_EXIST);
    if (timer != nullptr) DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);  // waits for a running cancel

    DeviceCommandGuard guard(&commandLock_);
    snapBusy_ = false;
    if (rc != 0 || moved != length) {
        CloseDevice(&snapHandle_);  // the next snapshot reopens
        if (watch.fired && !snapCloseRequested_) return DEV_NO_ANSWER;
        if (gone && !snapCloseRequested_) return DEV_NO_HANDLE;
        return timedOut ? DEV_FRAME_TIMEOUT : DEV_FRAME_FAILED;
    }
    if (snapCloseRequested_) CloseDevice(&snapHandle_);
    return DEV_OK;
}

void CQRNSdkLib::CloseSnapHandle() {
    DeviceCommandGuard guard(&commandLock_);
    if (snapBusy_) {
        // The snapshot still reads on it: end the read, the snapshot closes.
        snapCloseRequested_ = true;
        CancelIoEx(snapHandle_, nullptr);
        return;
    }
    CloseDevice(&snapHandle_);
    snapHandle_ = nullptr;
}

int CQRNSdkLib::FetchFrame(void* dst, size_t dstBytes) {
    DeviceCommandGuard guard(&commandLock_);  // the ring stays while it is copied
    const int32_t count = ring_.Count();
    if (dst == nullptr || count == 0) return DEV_NO_BUFFER;
    if (WindowSourceBytes(geometry_, PixelBytes()) > ring_.BufferSize()) return DEV_NO_BUFFER;
    // Only a handed-over entry is safe from the writer.
    if (!transfer_.handOver.Holding()) return DEV_NO_BUFFER;
    const int32_t held = transfer_.handOver.ReadIndex();
    const int rc = CopyWindow(dst, dstBytes, ring_.Data(held));
    if (rc != DEV_OK) return rc;
    transfer_.handOver.Release();
    return rc;
}

uint32_t CQRNSdkLib::ReadFrameNumber() const {
    const int32_t read = transfer_.handOver.ReadIndex();
    const FrameRingEntry* entries = ring_.Entries();
    return (entries != nullptr && read >= 0 && read < ring_.Count()) ? entries[read].frameNumber : 0;
}

int64_t CQRNSdkLib::ReadFrameArrival() const {
    const int32_t read = transfer_.handOver.ReadIndex();
    const FrameRingEntry* entries = ring_.Entries();
    return (entries != nullptr && read >= 0 && read < ring_.Count()) ? entries[read].arrivalTicks : 0;
}

int CQRNSdkLib::FetchSnapFrame(void* dst, size_t dstBytes) {
    DeviceCommandGuard guard(&commandLock_);
    if (dst == nullptr || raw_.Data() == nullptr) return DEV_NO_BUFFER;
    if (snapBusy_) return DEV_ALREADY_STREAMING;  // the buffer is being filled
    if (WindowSourceBytes(geometry_, PixelBytes()) > raw_.Size()) return DEV_NO_BUFFER;
    return CopyWindow(dst, dstBytes, raw_.Data());
}
