#include "settings/size_entry.h"

namespace quorin {

const SizeEntry* FindSizeEntry(const std::vector<SizeEntry>& table, int32_t width, int32_t height) {
    for (const SizeEntry& entry : table) {
        if (entry.width == width && entry.height == height) return &entry;
    }
    return nullptr;
}

}  // namespace quorin
