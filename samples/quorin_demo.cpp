// The demo: opens the first camera, prints what the SDK says about it, and releases it.
#include <cstdio>

#include "VazadoZir_O52RO_VIZ.h"

int main() {
    const int version = Quorin_GetDllVersion();
    std::printf("SDK version 0x%08X\n", static_cast<unsigned>(version));
    const int handle = Quorin_Initialize(nullptr);
    if (!handle) {
        std::printf("Quorin_Initialize failed: no camera object\n");
        return 1;
    }
    std::printf("handle %d\n", handle);
    std::printf("capture window %d x %d, colour mode %d\n", Quorin_Width(handle), Quorin_Height(handle),
                Quorin_GetColorMode(handle));
    int count = 0;
    for (int code; (code = Quorin_GetLastError(handle)) != 0; ++count)
        std::printf("error history: %d\n", code);
    if (count == 0) std::printf("error history: empty\n");
    std::printf("release: %d\n", Quorin_Release(handle));
    return 0;
}
