// The count of live objects and server locks that DllCanUnloadNow answers from.
#pragma once

#include <windows.h>

namespace quorin_dshow {

class ModuleLock {
public:
    static void Add() { InterlockedIncrement(&count_); }
    static void Remove() { InterlockedDecrement(&count_); }
    static bool Idle() { return count_ == 0; }

private:
    static LONG count_;
};

}  // namespace quorin_dshow
