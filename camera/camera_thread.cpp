#include "camera/camera_thread.h"

bool StartCameraThread(LPTHREAD_START_ROUTINE routine, void* param, HANDLE& thread, DWORD& threadId,
                       HANDLE& done, HANDLE& stop) {
    done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (done && stop) thread = CreateThread(nullptr, 0, routine, param, 0, &threadId);
    if (thread && threadId) return true;
    EndCameraThread(thread, threadId, done, stop);
    return false;
}

void EndCameraThread(HANDLE& thread, DWORD& threadId, HANDLE& done, HANDLE& stop) {
    if (stop) SetEvent(stop);
    if (thread) {
        WaitForSingleObject(done, INFINITE);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    if (done) CloseHandle(done);
    if (stop) CloseHandle(stop);
    thread = nullptr;
    threadId = 0;
    done = nullptr;
    stop = nullptr;
}
