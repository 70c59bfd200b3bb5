// A second process of the four-camera case: opens one handle per camera named on its command
// line, streams them all with a caller buffer until the parent sets the named event
// kChildStopEvent (at least 1.5 s, at most the given milliseconds) and reads each handle's latest
// image a few times a second. Exit code 0 when every handle showed only its own camera's
// mark (at least three times), 1 otherwise, 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "VazadoZir_O52RO_VIZ.h"
#include "tests/faults/fault_support.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const DWORD ms = static_cast<DWORD>(std::atoi(argv[argc - 1]));
    const int size = 4080 * 1024;
    struct Stream {
        int camera = 0, handle = 0, own = 0, other = 0, unreadable = 0;
        std::vector<uint8_t> buffer, latest;
    };
    std::vector<Stream> streams(static_cast<size_t>(argc - 2));
    int failures = 0;
    const DWORD opening = GetTickCount();
    for (size_t i = 0; i < streams.size(); ++i) {
        Stream& s = streams[i];
        s.camera = std::atoi(argv[i + 1]);
        s.buffer.assign(size, 0);
        s.latest.assign(size, 0);
        s.handle = Quorin_Initialize(nullptr);
        if (!s.handle || Quorin_SetDeviceNumber(s.handle, s.camera) != 1) {
            std::printf("child: camera %d did not open (error %d)\n", s.camera, s.handle ? Quorin_GetLastError(s.handle) : 0);
            ++failures;
        }
    }
    // All cameras of both children are opened before any streams (when the parent coordinates
    // them): a camera's start-up (about a thousand commands) beside running streams takes many
    // times longer on a busy machine.
    HANDLE opened = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, faulttest::kChildOpenedSemaphore);
    HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, faulttest::kChildGoEvent);
    if (opened && go) {
        ReleaseSemaphore(opened, 1, nullptr);
        WaitForSingleObject(go, ms);
    }
    if (opened) CloseHandle(opened);
    if (go) CloseHandle(go);
    for (Stream& s : streams) {
        if (s.handle && Quorin_CallBackPreview(s.handle, nullptr, s.buffer.data(), size, 1) != 1) {
            std::printf("child: camera %d did not start (error %d)\n", s.camera, Quorin_GetLastError(s.handle));
            ++failures;
        }
    }
    std::printf("child: cameras opened and started in %lu ms\n", static_cast<unsigned long>(GetTickCount() - opening));
    // The parent holds the cameras' claims to account while these streams run, so they run until
    // it says it is done rather than for a fixed time that a slow opening could use up.
    HANDLE stop = OpenEventA(SYNCHRONIZE, FALSE, faulttest::kChildStopEvent);
    const DWORD start = GetTickCount();
    const DWORD kLeast = 1500;
    while (GetTickCount() - start < ms) {
        if (stop && GetTickCount() - start >= kLeast && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) break;
        Sleep(150);
        for (Stream& s : streams) {
            if (!s.handle || Quorin_GetImage(s.handle, s.latest.data(), size, 1) != 1) continue;
            const int marked = faulttest::MarkedCamera(s.latest.data(), 4080);
            if (marked == s.camera) ++s.own;
            else if (marked == -1) ++s.unreadable;
            else ++s.other;
        }
    }
    for (Stream& s : streams) {
        if (s.handle) {
            Quorin_StopPreview(s.handle);
            Quorin_Release(s.handle);
        }
        std::printf("child: camera %d: %d images of its own, %d of another camera, %d unreadable\n", s.camera, s.own,
                    s.other, s.unreadable);
        if (s.own < 3 || s.other != 0) ++failures;
    }
    if (stop) CloseHandle(stop);
    std::fflush(stdout);
    return failures ? 1 : 0;
}
