// The second process of the process-end tests. It loads the library itself, so that FreeLibrary can
// unload it, opens camera 0 and then, by its first argument:
//   free-live             streams with a caller buffer, frees the library without Quorin_Release
//   free-record PATH      records 2 s, frees the library 0.8 s in, lives on until it would be done
//   exit-record PATH      records 20 s and returns from main 1.5 s in, without Quorin_Release
//   stream EVENT          streams, sets the named event and waits to be killed
// Exit code 0 when every call it made succeeded, 1 when one failed, 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

typedef int(__stdcall* InitializeFn)(HWND);
typedef int(__stdcall* CallBackPreviewFn)(int, HWND, BYTE*, int, int);
typedef int(__stdcall* RecordFn)(int, const char*, int, int);

int Fail(const char* what) {
    std::printf("child: %s failed\n", what);
    std::fflush(stdout);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const char* mode = argv[1];
    const char* arg = argc > 2 ? argv[2] : "";
    HMODULE library = LoadLibraryA("VazadoZir_O52RO_VIZ.dll");
    if (!library) return Fail("LoadLibrary");
    auto initialize = reinterpret_cast<InitializeFn>(GetProcAddress(library, "Quorin_Initialize"));
    auto callBack = reinterpret_cast<CallBackPreviewFn>(GetProcAddress(library, "Quorin_CallBackPreview"));
    auto record = reinterpret_cast<RecordFn>(GetProcAddress(library, "Quorin_Record"));
    if (!initialize || !callBack || !record) return Fail("GetProcAddress");
    const int h = initialize(nullptr);
    if (!h) return Fail("Quorin_Initialize");
    static std::vector<BYTE> buffer(4080 * 1024);
    const int size = static_cast<int>(buffer.size());

    if (!std::strcmp(mode, "free-live")) {
        if (!callBack(h, nullptr, buffer.data(), size, 1)) return Fail("Quorin_CallBackPreview");
        Sleep(1500);
        FreeLibrary(library);
        Sleep(1500);
    } else if (!std::strcmp(mode, "free-record")) {
        if (!record(h, arg, 2000, 0)) return Fail("Quorin_Record");
        Sleep(800);
        FreeLibrary(library);
        Sleep(5000);
    } else if (!std::strcmp(mode, "exit-record")) {
        if (!record(h, arg, 20000, 0)) return Fail("Quorin_Record");
        Sleep(1500);
    } else if (!std::strcmp(mode, "stream")) {
        if (!callBack(h, nullptr, buffer.data(), size, 1)) return Fail("Quorin_CallBackPreview");
        HANDLE streaming = OpenEventA(EVENT_MODIFY_STATE, FALSE, arg);
        if (!streaming) return Fail("OpenEvent");
        SetEvent(streaming);
        Sleep(INFINITE);
    } else {
        return 2;
    }
    std::printf("child: %s done\n", mode);
    std::fflush(stdout);
    return 0;
}
