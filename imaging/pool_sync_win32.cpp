#include "imaging/pool_sync.h"

#include <windows.h>

static_assert(sizeof(SRWLOCK) == sizeof(void*), "a slim lock is one pointer");
static_assert(sizeof(CONDITION_VARIABLE) == sizeof(void*), "a condition variable is one pointer");

// The slot is the lock itself; zero is SRWLOCK_INIT and CONDITION_VARIABLE_INIT.
static SRWLOCK* LockOf(void** slot) { return reinterpret_cast<SRWLOCK*>(slot); }
static CONDITION_VARIABLE* ConditionOf(void** slot) { return reinterpret_cast<CONDITION_VARIABLE*>(slot); }

PoolMutex::PoolMutex() = default;
PoolMutex::~PoolMutex() = default;
void PoolMutex::lock() { AcquireSRWLockExclusive(LockOf(&slot_)); }
void PoolMutex::unlock() { ReleaseSRWLockExclusive(LockOf(&slot_)); }

PoolCondition::PoolCondition() = default;
PoolCondition::~PoolCondition() = default;
void PoolCondition::NotifyAll() { WakeAllConditionVariable(ConditionOf(&slot_)); }
void PoolCondition::WaitOnce(PoolMutex& held) {
    SleepConditionVariableSRW(ConditionOf(&slot_), LockOf(&held.slot_), INFINITE, 0);
}
