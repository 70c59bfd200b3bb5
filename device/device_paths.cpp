#include "device/device_paths.h"

#include <cstdio>

#include "device/device_protocol.h"

namespace quorin {

const char DeviceSuffixTable[kDeviceSuffixCount][2] = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L",
    "N", "M",  // the driver numbers N before M
    "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",
};

bool FormatDevicePath(const char* baseName, int index, char* out, size_t size) {
    if (index < 0 || index >= kDeviceSuffixCount || out == nullptr || size == 0) return false;
    std::snprintf(out, size, "\\\\.\\%s-%s", baseName, DeviceSuffixTable[index]);
    return true;
}

}  // namespace quorin
