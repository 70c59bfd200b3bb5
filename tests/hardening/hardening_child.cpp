// The second process of the process-end tests: it loads the library itself (so FreeLibrary can
// unload it), opens the camera its first argument names and, by its second, streams and frees the library
// (free-live), records 2 s and frees it 0.8 s in (free-record PATH), records 20 s and returns
// from main 1.5 s in (exit-record PATH), or streams, sets the named event and waits to be killed
// (stream EVENT). None calls Quorin_Release. Exit code 0, or 1 when a call failed.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    const int camera = argc > 1 ? std::atoi(argv[1]) : 0;
    const char* mode = argc > 2 ? argv[2] : "";
    const char* arg = argc > 3 ? argv[3] : "";
    HMODULE sdk = LoadLibraryA("VazadoZir_O52RO_VIZ.dll");
    auto initialize = reinterpret_cast<int(__stdcall*)(HWND)>(GetProcAddress(sdk, "Quorin_Initialize"));
    auto live = reinterpret_cast<int(__stdcall*)(int, HWND, BYTE*, int, int)>(GetProcAddress(sdk, "Quorin_CallBackPreview"));
    auto select = reinterpret_cast<int(__stdcall*)(int, int)>(GetProcAddress(sdk, "Quorin_SetDeviceNumber"));
    auto record = reinterpret_cast<int(__stdcall*)(int, const char*, int, int)>(GetProcAddress(sdk, "Quorin_Record"));
    static std::vector<BYTE> buffer(4080 * 1024);
    const int h = initialize ? initialize(nullptr) : 0;
    const bool recording = !std::strcmp(mode, "free-record") || !std::strcmp(mode, "exit-record");
    if (!h || (camera != 0 && !select(h, camera)) || !(recording ? record(h, arg, mode[0] == 'f' ? 2000 : 20000, 0)
                          : live(h, nullptr, buffer.data(), int(buffer.size()), 1)))
        return 1;
    if (!std::strcmp(mode, "stream")) {
        SetEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, arg));
        Sleep(INFINITE);
    }
    Sleep(mode[0] == 'f' && recording ? 800 : 1500);
    if (mode[0] == 'f') FreeLibrary(sdk);
    if (mode[0] == 'f') Sleep(recording ? 5000 : 1500);
    return 0;
}
