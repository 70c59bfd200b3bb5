#pragma once
// A critical section of the filter held for the length of one scope (the filter and its pin use it).
#include <windows.h>

class FilterLock {
public:
    explicit FilterLock(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
    ~FilterLock() { LeaveCriticalSection(lock_); }
    FilterLock(const FilterLock&) = delete;
    FilterLock& operator=(const FilterLock&) = delete;

private:
    CRITICAL_SECTION* lock_;
};
