// Start and end of the camera's own threads (the acquisition worker and the recorder). Each has a
// stop that cuts its pauses short and a manual-reset end event that it sets as its last act; the
// thread is ended by its flag, its stop and that event, never killed.
#pragma once

#include <windows.h>

// A thread's stop. Its pauses wait on a condition variable, in user space: a wait on a kernel
// event is a round trip to the kernel (under Wine to the wineserver, which is busy moving the next
// frame's request just when the acquisition worker pauses before each frame: 0.5 ms late as a
// rule, up to 3 ms in the worst frames).
class CameraThreadStop {
public:
    CameraThreadStop() = default;
    CameraThreadStop(const CameraThreadStop&) = delete;
    CameraThreadStop& operator=(const CameraThreadStop&) = delete;

    // Waits ms unless the stop is cut; false once it is cut.
    bool Pause(DWORD ms);
    // Ends every pause at once and makes later ones return false (true), or lets them run their
    // time again (false).
    void Cut(bool cut = true);

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE wake_ = CONDITION_VARIABLE_INIT;
    bool cut_ = false;
};

// Lets the stop's pauses run, creates the end event (non-signalled) and then the thread. False,
// with every handle made so far closed and cleared, when either cannot be made.
bool StartCameraThread(LPTHREAD_START_ROUTINE routine, void* param, HANDLE& thread, DWORD& threadId,
                       HANDLE& done, CameraThreadStop& stop);

// Cuts the stop, waits without time-out for the end event and for the thread (only a thread that
// exists ever sets its end event), then closes and clears every handle. Safe to call again.
void EndCameraThread(HANDLE& thread, DWORD& threadId, HANDLE& done, CameraThreadStop& stop);
