// The camera SDK as the capture filter sees it: VazadoZir_O52RO_VIZ.dll loaded at run time from the
// filter's own folder (or the DLL search path), and the exports the filter uses, found by name. The
// filter depends on nothing else of the SDK, exactly like any application.
#pragma once

#include <windows.h>

struct QuorinFrameInfo;

namespace quorin_dshow {

class SdkLibrary {
public:
    // The process-wide instance; null when the DLL or one of its exports cannot be found.
    static const SdkLibrary* Get();

    int (__stdcall* Initialize)(HWND);
    int (__stdcall* Release)(int);
    int (__stdcall* GetLastError)(int);
    int (__stdcall* GetDeviceName)(int, int, char*, int);
    int (__stdcall* SetDeviceNumber)(int, int);
    int (__stdcall* SetPreviewWindow)(int, HWND, int, int, int, int);
    int (__stdcall* CallBackPreview)(int, HWND, BYTE*, int, int);
    int (__stdcall* StopPreview)(int);
    int (__stdcall* Capture)(int);
    int (__stdcall* GetImage)(int, BYTE*, int, int);
    int (__stdcall* SetCaptureWindowEx)(int, int, int, int, int, int, int);
    int (__stdcall* SetColorMode)(int, int);
    int (__stdcall* GetHalfClock)(int, int*);
    int (__stdcall* GetRealExposureTime)(int, int*);
    int (__stdcall* SetRealExposureTime)(int, int);
    int (__stdcall* GetFilterValue)(int, int, int*);
    int (__stdcall* SetFilterValue)(int, int, int);
    int (__stdcall* GetAutoIris)(int, int*);
    int (__stdcall* SetAutoIris)(int, int);

private:
    SdkLibrary() = default;
    bool Load();
    HMODULE module_ = nullptr;
};

// The module handle of QuorinCapture.ax itself (set in DllMain).
extern HMODULE g_captureModule;

}  // namespace quorin_dshow
