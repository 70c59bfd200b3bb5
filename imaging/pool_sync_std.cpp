#include "imaging/pool_sync.h"

#include <condition_variable>

static std::mutex& MutexOf(void* slot) { return *static_cast<std::mutex*>(slot); }
static std::condition_variable& ConditionOf(void* slot) { return *static_cast<std::condition_variable*>(slot); }

PoolMutex::PoolMutex() : slot_(new std::mutex) {}
PoolMutex::~PoolMutex() { delete &MutexOf(slot_); }
void PoolMutex::lock() { MutexOf(slot_).lock(); }
void PoolMutex::unlock() { MutexOf(slot_).unlock(); }

PoolCondition::PoolCondition() : slot_(new std::condition_variable) {}
PoolCondition::~PoolCondition() { delete &ConditionOf(slot_); }
void PoolCondition::NotifyAll() { ConditionOf(slot_).notify_all(); }
void PoolCondition::WaitOnce(PoolMutex& held) {
    // The caller holds the lock: the standard wait takes it over and hands it back held.
    std::unique_lock<std::mutex> inner(MutexOf(held.slot_), std::adopt_lock);
    ConditionOf(slot_).wait(inner);
    inner.release();
}
