// Reading and writing a list of FilterSettings fields, each under its registry value name and filter
// value id (whose range clamps what is loaded). Shared by the "Filter" and "Gray" stores.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "settings/filter_settings.h"
#include "settings/registry_key.h"

namespace quorin {

struct StoredFilterValue {
    const char* name;
    int id;
    std::atomic<int32_t> FilterSettings::*field;
};

void ReadFilterValues(const RegistryKey& key, const StoredFilterValue* values, size_t count,
                      FilterSettings& settings);
bool WriteFilterValues(RegistryKey& key, const StoredFilterValue* values, size_t count,
                       const FilterSettings& settings);

}  // namespace quorin
