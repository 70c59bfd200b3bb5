// Exports: life cycle, handles, device selection and information.
#include "api/export_dispatch.h"

namespace {
const int kDllVersion = 0x01AD051F;
}

extern "C" {

QUORIN_API int QUORIN_CALL Quorin_Initialize(HWND notifyWindow) {
    try {
        const int32_t handle = g_sdkChain.NewCamera();
        if (handle == 0) return 0;
        // The handle is returned even when the second stage fails: its code is in the history.
        WithCamera(handle, 0, [&](CQuorin& c) { return c.Initialize(notifyWindow); });
        return handle;
    } catch (...) {
        return 0;
    }
}

QUORIN_API int QUORIN_CALL Quorin_Release(int handle) {
    try {
        // New calls with the handle fail from here on; calls still running on the camera keep it
        // alive until the last of them returns.
        return g_sdkChain.Release(handle);
    } catch (...) {
        return 0;
    }
}

QUORIN_API int QUORIN_CALL Quorin_GetDllVersion(void) { return kDllVersion; }

QUORIN_API int QUORIN_CALL Quorin_GetLastError(int handle) {
    return WithCamera(handle, 0, [](CQuorin& c) { return c.PopError(); });
}

QUORIN_API int QUORIN_CALL Quorin_GetStatus(int handle, int) {
    return WithCamera(handle, 0, [](CQuorin&) { return 0; });
}

QUORIN_API int QUORIN_CALL Quorin_EnumDevice(int handle, char* names) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.EnumDevice(names); });
}

QUORIN_API int QUORIN_CALL Quorin_EnumDeviceW(int handle, wchar_t* names) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.EnumDeviceW(names); });
}

QUORIN_API int QUORIN_CALL Quorin_GetDeviceName(int handle, int index, char* name, int size) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.GetDeviceName(index, name, size); });
}

QUORIN_API int QUORIN_CALL Quorin_GetDeviceNameW(int handle, int index, wchar_t* name, int size) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.GetDeviceNameW(index, name, size); });
}

QUORIN_API int QUORIN_CALL Quorin_SetDeviceNumber(int handle, int index) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetDeviceNumber(index); });
}

QUORIN_API int QUORIN_CALL Quorin_GetCameraInfo(int handle, QuorinCameraInfo* info) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.GetCameraInfo(info); });
}

QUORIN_API int QUORIN_CALL Quorin_LoadConfigFileA(int handle, const char* path) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.LoadConfigFile(path); });
}

QUORIN_API int QUORIN_CALL Quorin_LoadConfigFileW(int handle, const wchar_t* path) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.LoadConfigFileW(path); });
}

}  // extern "C"
