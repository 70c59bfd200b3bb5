#include "settings/stored_filter_values.h"

#include "settings/value_ranges.h"

namespace quorin {

void ReadFilterValues(const RegistryKey& key, const StoredFilterValue* values, size_t count,
                      FilterSettings& settings) {
    for (size_t i = 0; i < count; ++i) {
        int32_t value = 0;
        if (!key.ReadDword(values[i].name, &value)) continue;
        ValueRange range = {value, value};
        StoredFilterValueRange(values[i].id, &range);
        (settings.*values[i].field) = ClampToRange(value, range);
    }
}

bool WriteFilterValues(RegistryKey& key, const StoredFilterValue* values, size_t count,
                       const FilterSettings& settings) {
    bool written = true;
    for (size_t i = 0; i < count; ++i) {
        written = key.WriteDword(values[i].name, (settings.*values[i].field).load()) && written;
    }
    return written;
}

}  // namespace quorin
