// The frame numbers of the newest frames the graph did not get, for IAMDroppedFrames::GetDroppedInfo:
// a small ring written by the streaming thread and read by the application's threads.
#pragma once

#include <windows.h>

namespace quorin_dshow {

class DroppedFrameLog {
public:
    static constexpr long kCapacity = 64;

    DroppedFrameLog() { InitializeCriticalSection(&lock_); }
    ~DroppedFrameLog() { DeleteCriticalSection(&lock_); }
    DroppedFrameLog(const DroppedFrameLog&) = delete;
    DroppedFrameLog& operator=(const DroppedFrameLog&) = delete;

    // Frames first .. first + count - 1 were dropped; of a long run only the newest are kept.
    void Add(long first, long count);
    // Copies up to size of the kept numbers, oldest first; returns how many.
    long Copy(long* numbers, long size) const;

private:
    mutable CRITICAL_SECTION lock_;
    long numbers_[kCapacity] = {};
    long next_ = 0;   // where the next number goes
    long kept_ = 0;   // how many are kept (at most kCapacity)
};

}  // namespace quorin_dshow
