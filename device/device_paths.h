// Device path naming: "\\.\<base>-<suffix>" with the suffix of a device index.
#pragma once

#include <cstddef>

namespace quorin {

// Formats the path of device `index` (0 to 35) into `out` (truncated to
// `size` bytes including the NUL). Returns false for an index without a suffix.
bool FormatDevicePath(const char* baseName, int index, char* out, size_t size);

}  // namespace quorin
