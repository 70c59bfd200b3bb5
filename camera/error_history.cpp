#include "camera/error_history.h"

void ErrorHistory::Push(int32_t code) {
    CriticalSectionLock hold(lock_);
    for (int i = kDepth - 1; i > 0; --i) entries_[i] = entries_[i - 1];
    entries_[0] = code;
}

int32_t ErrorHistory::Pop() {
    CriticalSectionLock hold(lock_);
    const int32_t newest = entries_[0];
    for (int i = 0; i < kDepth - 1; ++i) entries_[i] = entries_[i + 1];
    entries_[kDepth - 1] = 0;
    return newest;
}
