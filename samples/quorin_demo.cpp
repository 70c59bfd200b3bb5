// The demo: opens the first camera, lists the cameras attached, shows what the SDK knows about the
// selected one, sets gain and exposure, and releases it.
#include <cstdio>

#include "VazadoZir_O52RO_VIZ.h"

static void PrintHistory(int handle) {
    int count = 0;
    for (int code; (code = Quorin_GetLastError(handle)) != 0; ++count) std::printf("  error history: %d\n", code);
    if (count == 0) std::printf("  error history: empty\n");
}

int main() {
    std::printf("SDK version 0x%08X\n", static_cast<unsigned>(Quorin_GetDllVersion()));
    const int handle = Quorin_Initialize(nullptr);
    if (!handle) {
        std::printf("Quorin_Initialize failed: no camera object\n");
        return 1;
    }
    std::printf("handle %d\n", handle);
    PrintHistory(handle);

    static char names[256 * 32];
    const int count = Quorin_EnumDevice(handle, names);
    std::printf("%d camera(s) attached\n", count);
    for (int i = 0; i < count; ++i) std::printf("  %s\n", names + i * 256);

    QuorinCameraInfo info = {};
    info.size = sizeof info;
    if (Quorin_GetCameraInfo(handle, &info))
        std::printf("sensor %d x %d, global gain %d..%d, exposure register %d..%d\n", info.sensorWidth,
                    info.sensorHeight, info.minGlobalGain, info.maxGlobalGain, info.minExposure, info.maxExposure);
    int hTotal, hStart, width, vTotal, vStart, height;
    Quorin_GetCaptureWindowEx(handle, &hTotal, &hStart, &width, &vTotal, &vStart, &height);
    std::printf("capture window %d x %d at (%d, %d), colour mode %d, wait %d ms\n", width, height, hStart, vStart,
                Quorin_GetColorMode(handle), Quorin_GetWaitTime(handle));

    int ok = 0;
    std::printf("set global gain 600: %d, exposure register 900: %d\n", Quorin_SetGlobalGain(handle, 600),
                Quorin_SetExposureTime(handle, 900));
    std::printf("global gain %d, exposure register %d, real exposure %d us, clock mode %d\n",
                Quorin_GetGlobalGain(handle, &ok), Quorin_GetExposureTime(handle, &ok),
                Quorin_GetRealExposureTime(handle, &ok), Quorin_GetHalfClock(handle, &ok));
    std::printf("sensor register 6 = 0x%X, 7 = 0x%X\n", Quorin_ReadRegister(handle, 6, &ok),
                Quorin_ReadRegister(handle, 7, &ok));
    PrintHistory(handle);
    std::printf("release: %d\n", Quorin_Release(handle));
    return 0;
}
