#include "camera/frame_info_pool.h"

#include <new>
#include <vector>

#include "camera/critical_section.h"

namespace {

// Created on first use and deliberately never destroyed, so neither the lock nor the blocks go
// away before the last notice is handled.
struct FrameInfoPool {
    CriticalSection lock;
    std::vector<QuorinFrameInfo*> spare;  // rotations of kFrameInfoRotation blocks
};

FrameInfoPool& Pool() {
    static FrameInfoPool* pool = new FrameInfoPool;
    return *pool;
}

}  // namespace

QuorinFrameInfo* TakeFrameInfoBlocks() {
    FrameInfoPool& pool = Pool();
    QuorinFrameInfo* block = nullptr;
    {
        CriticalSectionLock hold(pool.lock);
        if (!pool.spare.empty()) {
            block = pool.spare.back();
            pool.spare.pop_back();
        }
    }
    if (!block) block = new (std::nothrow) QuorinFrameInfo[kFrameInfoRotation];
    if (!block) return nullptr;
    for (int i = 0; i < kFrameInfoRotation; ++i) {
        block[i] = QuorinFrameInfo();
        block[i].size = sizeof(QuorinFrameInfo);
    }
    return block;
}

void ReturnFrameInfoBlocks(QuorinFrameInfo* block) {
    if (!block) return;
    FrameInfoPool& pool = Pool();
    CriticalSectionLock hold(pool.lock);
    try {
        pool.spare.push_back(block);
    } catch (const std::bad_alloc&) {
        // Leaked rather than freed: a notice may still point at it.
    }
}
