#include "camera/camera_thread.h"

bool CameraThreadStop::Pause(DWORD ms) {
    AcquireSRWLockExclusive(&lock_);
    if (!cut_ && ms > 0) SleepConditionVariableSRW(&wake_, &lock_, ms, 0);
    const bool cut = cut_;
    ReleaseSRWLockExclusive(&lock_);
    return !cut;
}

void CameraThreadStop::Cut(bool cut) {
    AcquireSRWLockExclusive(&lock_);
    cut_ = cut;
    ReleaseSRWLockExclusive(&lock_);
    if (cut) WakeAllConditionVariable(&wake_);
}

bool StartCameraThread(LPTHREAD_START_ROUTINE routine, void* param, HANDLE& thread, DWORD& threadId,
                       HANDLE& done, CameraThreadStop& stop) {
    stop.Cut(false);
    done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (done) thread = CreateThread(nullptr, 0, routine, param, 0, &threadId);
    if (thread && threadId) return true;
    EndCameraThread(thread, threadId, done, stop);
    return false;
}

void EndCameraThread(HANDLE& thread, DWORD& threadId, HANDLE& done, CameraThreadStop& stop) {
    stop.Cut();
    if (thread) {
        WaitForSingleObject(done, INFINITE);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    if (done) CloseHandle(done);
    thread = nullptr;
    threadId = 0;
    done = nullptr;
}
