#include "settings/record_format_store.h"

#include "settings/settings_keys.h"

namespace quorin {

namespace {
const char kRecordGroup[] = "Record";
const char kFormatValue[] = "Format";
const char kQualityValue[] = "Quality";
}  // namespace

int CRecordFormatStore::Load(int cameraIndex) {
    RegistryKey key;
    if (!OpenSettingsKey(cameraIndex, kRecordGroup, &key)) {
        record_ = kDefaultRecordFormat;
        return 0;
    }
    int32_t value = 0;
    if (key.ReadDword(kFormatValue, &value) && (value == 0 || value == 1)) record_.format = value;
    if (key.ReadDword(kQualityValue, &value) && value >= 1 && value <= 100) record_.quality = value;
    return 1;
}

int CRecordFormatStore::Save(int cameraIndex) const {
    RegistryKey key;
    if (!CreateSettingsKey(cameraIndex, kRecordGroup, &key)) return 0;
    const bool ok = key.WriteDword(kFormatValue, record_.format) && key.WriteDword(kQualityValue, record_.quality);
    return ok ? 1 : 0;
}

}  // namespace quorin
