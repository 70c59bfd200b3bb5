// Raw frame buffers owned by the device object: the snapshot buffer and the
// ring of locked global-memory buffers that the transfer thread fills.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace quorin {

// Test hook: the next `count` frame-buffer allocations of this process fail as when memory runs
// out. Only code linked with the device library directly (the tests) can call it; no export leads
// here.
void FailNextFrameBufferAllocations(int count);

struct FrameRingEntry {
    HGLOBAL memory;
    uint8_t* data;  // locked for the buffer's whole life
    uint32_t frameNumber;  // ring entries: the transfer thread's count of the frame it holds
    int64_t arrivalTicks;  // ring entries: QueryPerformanceCounter when the frame was complete
};

// Zero-filled, locked global-memory buffer.
class LockedBuffer {
public:
    LockedBuffer() = default;
    ~LockedBuffer() { Release(); }
    LockedBuffer(const LockedBuffer&) = delete;
    LockedBuffer& operator=(const LockedBuffer&) = delete;

    bool Allocate(size_t bytes);
    void Release();
    uint8_t* Data() const { return entry_.data; }
    size_t Size() const { return size_; }
    const FrameRingEntry& Entry() const { return entry_; }

private:
    FrameRingEntry entry_ = {nullptr, nullptr, 0, 0};
    size_t size_ = 0;
};

class FrameRing {
public:
    FrameRing() = default;
    ~FrameRing() { Release(); }
    FrameRing(const FrameRing&) = delete;
    FrameRing& operator=(const FrameRing&) = delete;

    // All or nothing: on failure whatever was allocated is released.
    bool Allocate(int32_t count, size_t bytesEach);
    void Release();

    int32_t Count() const { return count_; }
    size_t BufferSize() const { return bytesEach_; }
    FrameRingEntry* Entries() const { return entries_; }
    uint8_t* Data(int32_t index) const {
        return (entries_ != nullptr && index >= 0 && index < count_) ? entries_[index].data
                                                                     : nullptr;
    }

private:
    FrameRingEntry* entries_ = nullptr;
    int32_t count_ = 0;
    size_t bytesEach_ = 0;
};

}  // namespace quorin
