#include <cstdio>

#include "VazadoZir_O52RO_VIZ.h"

int main() {
    std::printf("0x%08X\n", static_cast<unsigned>(Quorin_GetDllVersion()));
    return Quorin_GetDllVersion() == 0x01AD051F ? 0 : 1;
}
