#include "device/frame_buffers.h"

#include <atomic>
#include <new>

namespace quorin {

namespace {

std::atomic<int> g_failingAllocations{0};

// Uses up one of the allocations the test hook asked to fail.
bool AllocationFailsForTest() {
    int left = g_failingAllocations.load();
    while (left > 0)
        if (g_failingAllocations.compare_exchange_weak(left, left - 1)) return true;
    return false;
}

bool AllocateEntry(size_t bytes, FrameRingEntry* entry) {
    if (AllocationFailsForTest()) return false;
    entry->memory = GlobalAlloc(GMEM_ZEROINIT, bytes);
    if (entry->memory == nullptr) return false;
    entry->data = static_cast<uint8_t*>(GlobalLock(entry->memory));
    if (entry->data == nullptr) {
        GlobalFree(entry->memory);
        entry->memory = nullptr;
        return false;
    }
    return true;
}

void ReleaseEntry(FrameRingEntry* entry) {
    if (entry->memory != nullptr) {
        if (entry->data != nullptr) GlobalUnlock(entry->memory);
        GlobalFree(entry->memory);
    }
    entry->memory = nullptr;
    entry->data = nullptr;
}

}  // namespace

void FailNextFrameBufferAllocations(int count) { g_failingAllocations = count > 0 ? count : 0; }

bool LockedBuffer::Allocate(size_t bytes) {
    Release();
    if (bytes == 0 || !AllocateEntry(bytes, &entry_)) return false;
    size_ = bytes;
    return true;
}

void LockedBuffer::Release() {
    ReleaseEntry(&entry_);
    size_ = 0;
}

bool FrameRing::Allocate(int32_t count, size_t bytesEach) {
    Release();
    if (count <= 0 || bytesEach == 0) return false;
    entries_ = new (std::nothrow) FrameRingEntry[count];
    if (entries_ == nullptr) return false;
    for (int32_t i = 0; i < count; ++i) entries_[i] = {nullptr, nullptr, 0, 0};
    count_ = count;
    bytesEach_ = bytesEach;
    for (int32_t i = 0; i < count; ++i) {
        if (!AllocateEntry(bytesEach, &entries_[i])) {
            Release();
            return false;
        }
    }
    return true;
}

void FrameRing::Release() {
    if (entries_ != nullptr) {
        for (int32_t i = 0; i < count_; ++i) ReleaseEntry(&entries_[i]);
        delete[] entries_;
    }
    entries_ = nullptr;
    count_ = 0;
    bytesEach_ = 0;
}

}  // namespace quorin
