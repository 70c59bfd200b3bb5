// CQRNSdkLib: the device object's base. It owns the driver path and
// selection, the controller's port and serial-memory commands, the frame
// geometry with its buffers, the transfer thread and the window copy.
//
// Every command opens the device path, does its transfers and closes the
// handle again; the transfer thread and the snapshot keep handles of their
// own. Composite command sequences, the transfer state (thread, events,
// snapshot handle) and the frame buffers are guarded by one lock per object
// (recursive); a snapshot reads its frame outside it and a stop holds it for
// a bounded time. Lock order: a caller's frame lock first, then this lock;
// this class never calls out while holding it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "device/command_block.h"
#include "device/device_protocol.h"
#include "device/frame_buffers.h"
#include "device/frame_geometry.h"
#include "device/transfer_thread.h"

namespace quorin {

// Holds the object's command lock for one scope.
class DeviceCommandGuard {
public:
    explicit DeviceCommandGuard(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
    ~DeviceCommandGuard() { LeaveCriticalSection(lock_); }
    DeviceCommandGuard(const DeviceCommandGuard&) = delete;
    DeviceCommandGuard& operator=(const DeviceCommandGuard&) = delete;

private:
    CRITICAL_SECTION* lock_;
};

// WaitFrame results.
enum WaitFrameResult : int {
    WAIT_FRAME_NOT_STREAMING = 0,
    WAIT_FRAME_FAILED = 1,      // the run failed, or no frame within the time-out
    WAIT_FRAME_AGAIN = 2,       // a frame arrived: ask again
    WAIT_FRAME_READY = 3,       // the newest frame is at the read index
};

constexpr DWORD kFrameWaitMs = 6000;
constexpr int32_t kDefaultDriverParameter = 3000;

}  // namespace quorin

// The device classes keep the global names the camera object refers to.
class CQRNSdkLib {
public:
    CQRNSdkLib(const CQRNSdkLib&) = delete;
    CQRNSdkLib& operator=(const CQRNSdkLib&) = delete;

    // --- Virtual slots, in this order ---
    // 0: copies the window of a raw frame into `dst` (W x H pixels, packed).
    // Returns 0, or 14 when dst is missing or smaller than the window.
    virtual int CopyWindow(void* dst, size_t dstBytes, const void* src);
    // 1-3: YUV and interlaced converters of another output mode; without
    // effect on this model, whose output mode is always 1.
    virtual int ConvertYuvRect(void* dst, const void* src, int flags, const RECT* rect);
    virtual int ConvertYuv(void* dst, const void* src, int flags);
    virtual int CopyInterlaced(void* dst, const void* src);
    // 4: stores 0, 1 or 2 (anything else as 1); returns 1.
    virtual int SetSubType(int value);
    // 5: pixel width of the transfer, 0 for 8-bit and 1 for 16-bit; returns 1,
    // or 21 while streaming (the frame length is fixed for the run).
    virtual int SetWordMode(int on);

    // --- Device paths ---
    // Probes indices 0 to 31; the selected index is kept.
    void ProbeDevices();
    int IsDevicePresent(int index) const;
    // 0, or 22 for an index above 32 (compared unsigned): nothing changes then.
    int SelectDevice(int index);
    int GetSelectedIndex() const { return selectedIndex_; }
    static int MaxDeviceCount() { return quorin::kMaxDeviceCount; }
    const char* DevicePath() const { return devicePath_; }
    void SetDriverParameter(int32_t value);
    int32_t GetDriverParameter() const { return driverParameter_; }

    // --- Controller commands (1 success, 0 failure) ---
    int WritePort(uint8_t port, uint8_t value);
    // Leaves *out alone when the device cannot be opened, sets 0 on failure.
    int ReadPort(uint8_t port, uint8_t* out);
    // Serial memory; addresses below 0x1800 are refused without a transfer.
    int ReadSrom(int address, uint8_t* out);
    int ReadSromID(int index, uint8_t* out);           // index 0 to 255
    int WriteSromID(int index, uint8_t value);         // index 0 to 255
    int SendPrepare();
    int SendTransferSize();
    int ResetSensor();

    // --- Defaults and geometry ---
    void ResetDefaults();
    // 0, or 3/4/1 for a bad geometry, 7 when buffers cannot be allocated,
    // 21 while the transfer thread runs or a snapshot reads (the buffers are
    // in use).
    int SetGeometry(int32_t L, int32_t X, int32_t W, int32_t T, int32_t Y, int32_t H, int32_t N);
    // Does nothing while the buffers are in use (as SetGeometry).
    void FreeBuffers();
    const quorin::FrameGeometry& Geometry() const { return geometry_; }
    uint32_t TransferSize() const { return transferSize_; }
    int GetWordMode() const { return wordMode_; }
    int GetSubType() const { return subType_; }
    int GetOutputMode() const { return outputMode_; }
    int PixelBytes() const { return wordMode_ ? 2 : 1; }
    // Bytes CopyWindow writes for the current geometry and word mode.
    size_t WindowBytes() const;

    // --- Frames ---
    // Start, stop, snapshot and the buffer setters exclude each other through
    // the object's lock; WaitFrame waits outside it.
    // 0, 21 while a thread runs, 14 without fitting buffers.
    int StartTransfer();
    // Returns the run's end code. Bounded even when the camera never answers:
    // a read still pending after a grace period is cancelled.
    int StopTransfer();
    // 0 not streaming, 1 failed or no frame within 6000 ms, 2 call again,
    // 3 the newest completed frame is held at the read index.
    int WaitFrame();
    // 0, 10 (no handle, or the camera went away during the read), 14, 19 (failed or short), 20 (no answer), 23 (the device's time-out passed without
    // a frame: in trigger mode, no pulse), or 21 while another snapshot reads into the buffer.
    int SnapFrame();
    void CloseSnapHandle();
    // Copies the window of the frame WaitFrame handed over, then gives it back
    // and moves the read index on. 14 when no frame is held.
    int FetchFrame(void* dst, size_t dstBytes);
    int FetchSnapFrame(void* dst, size_t dstBytes);
    // The transfer thread's number (1 for the first frame of a run) of the frame at the read
    // index: valid after WaitFrame returned 3 and before FetchFrame moves the index on.
    uint32_t ReadFrameNumber() const;
    // QueryPerformanceCounter when that frame was complete in the ring (same validity); 0 if none.
    int64_t ReadFrameArrival() const;

    // Buffers and indices, for the camera object's diagnostics and for tests.
    const uint8_t* RawBuffer() const { return raw_.Data(); }
    const uint8_t* RingBuffer(int32_t index) const { return ring_.Data(index); }
    int32_t RingCount() const { return ring_.Count(); }
    int32_t ReadIndex() const { return transfer_.handOver.ReadIndex(); }
    int32_t WriteIndex() const { return transfer_.handOver.WriteIndex(); }
    bool IsStreaming() const { return transfer_.stopFlag.load() == 0; }

protected:
    CQRNSdkLib();
    ~CQRNSdkLib();  // not virtual: the object is always destroyed as its model class

    // Sends one command block on an open handle: 0, 10 or 12.
    static int SendCommand(HANDLE device, const quorin::CommandBlock& block);
    // Reads the response twice; the second read decides. 0 or 12.
    static int ReadResponse(HANDLE device, uint8_t* firstByte);
    // Opens the path, sends one block, closes: 1 or 0.
    int SendSingleCommand(const quorin::CommandBlock& block);
    void SetBaseName(const char* name);
    CRITICAL_SECTION* CommandLock() { return &commandLock_; }
    // The raw buffer or the ring is being filled (lock held).
    bool BuffersInUse() const { return IsStreaming() || snapBusy_; }

    int32_t wordMode_ = 0;
    quorin::CaptureWindow window_ = {0, 0, 0, 0, 0};
    int32_t alternateTransferCode_ = 0;
    int32_t alternateSnapCode_ = 0;

private:
    // Joins a thread that has ended or been told to stop and closes its
    // handle. The events live as long as the object, so a waiter inside
    // WaitFrame never sees them closed.
    void ReapTransferThread();

    CRITICAL_SECTION commandLock_;
    char baseName_[16] = {};
    char devicePath_[quorin::kDevicePathSize] = {};
    int32_t presence_[quorin::kMaxDeviceCount] = {};
    int32_t selectedIndex_ = 0;
    int32_t driverParameter_ = quorin::kDefaultDriverParameter;
    int32_t subType_ = 0;
    int32_t outputMode_ = 1;

    quorin::FrameGeometry geometry_ = {0, 0, 0, 0, 0, 0, 0};
    uint32_t transferSize_ = 0;
    quorin::LockedBuffer raw_;
    quorin::FrameRing ring_;

    quorin::TransferBlock transfer_;
    HANDLE thread_ = nullptr;
    HANDLE snapHandle_ = nullptr;
    bool snapBusy_ = false;           // a snapshot reads on snapHandle_ outside the lock
    bool snapCloseRequested_ = false; // closed by the snapshot when its read returns
};
