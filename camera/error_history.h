// The camera's last 20 error codes, newest first, shared by the caller's threads and the camera's
// workers. Each push and pop is one step under a short lock.
#pragma once

#include <cstdint>

#include "camera/critical_section.h"

class ErrorHistory {
public:
    static const int kDepth = 20;

    // Shifts every entry one place towards the old end (the oldest drops out) and stores the code.
    void Push(int32_t code);
    // Takes the newest code (0 when empty) and shifts the rest towards the new end.
    int32_t Pop();

private:
    CriticalSection lock_;
    int32_t entries_[kDepth] = {};
};
