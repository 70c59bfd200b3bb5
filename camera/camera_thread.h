// Start and end of the camera's own threads (the acquisition worker and the recorder). Each has a
// manual-reset stop event that wakes its waits and a manual-reset end event that it sets as its
// last act; the thread is ended by its flag and these events, never killed.
#pragma once

#include <windows.h>

// Creates both events (non-signalled) and then the thread. False, with every handle made so far
// closed and cleared, when any of them cannot be made.
bool StartCameraThread(LPTHREAD_START_ROUTINE routine, void* param, HANDLE& thread, DWORD& threadId,
                       HANDLE& done, HANDLE& stop);

// Sets the stop event, waits without time-out for the end event and for the thread (only a thread
// that exists ever sets its end event), then closes and clears every handle. Safe to call again.
void EndCameraThread(HANDLE& thread, DWORD& threadId, HANDLE& done, HANDLE& stop);
