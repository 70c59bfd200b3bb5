#include "directshow/dropped_frame_log.h"

#include "directshow/filter_lock.h"

namespace quorin_dshow {

void DroppedFrameLog::Add(long first, long count) {
    if (count <= 0) return;
    if (count > kCapacity) {  // older ones would be overwritten at once
        first += count - kCapacity;
        count = kCapacity;
    }
    FilterLock lock(&lock_);
    for (long i = 0; i < count; ++i) {
        numbers_[next_] = first + i;
        next_ = (next_ + 1) % kCapacity;
    }
    kept_ = kept_ + count > kCapacity ? kCapacity : kept_ + count;
}

long DroppedFrameLog::Copy(long* numbers, long size) const {
    FilterLock lock(&lock_);
    const long copied = size < kept_ ? size : kept_;
    const long oldest = (next_ - kept_ + kCapacity) % kCapacity;
    for (long i = 0; i < copied; ++i) numbers[i] = numbers_[(oldest + i) % kCapacity];
    return copied;
}

}  // namespace quorin_dshow
