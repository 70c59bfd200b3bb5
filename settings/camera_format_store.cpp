#include "settings/camera_format_store.h"

#include "settings/settings_keys.h"

namespace quorin {

namespace {

struct SizeValue {
    const char* name;
    int32_t SizeEntry::*field;
};

const SizeValue kSizeValues[] = {
    {"TH", &SizeEntry::hTotal}, {"TV", &SizeEntry::vTotal}, {"EH", &SizeEntry::width},
    {"EV", &SizeEntry::height}, {"EHS", &SizeEntry::hStart}, {"EVS", &SizeEntry::vStart},
    {"Buf", &SizeEntry::bufferCount},
};

void ReadSizeValues(const RegistryKey& key, SizeEntry* entry) {
    for (const SizeValue& v : kSizeValues) key.ReadDword(v.name, &(entry->*v.field));
}

bool WriteSizeValues(RegistryKey& key, const SizeEntry& entry) {
    bool written = true;
    for (const SizeValue& v : kSizeValues) written = key.WriteDword(v.name, entry.*v.field) && written;
    return written;
}

// The tree a first run leaves: Camera_NN with the first-run format and Size_00 as the full sensor.
void CreateFirstRunTree(int cameraIndex) {
    RegistryKey camera;
    if (!CreateSettingsKey(cameraIndex, nullptr, &camera)) return;
    RegistryKey size;
    if (size.Create(camera.Handle(), SizeKeyName(0).text)) WriteSizeValues(size, kFullSensorSize);
    camera.WriteDword("Size", 0);
    camera.WriteDword("Color", kFirstRunFormat.colourType);
    camera.WriteDword("SubSample", kFirstRunFormat.subSample);
    camera.WriteDword("WaitTime", kFirstRunFormat.waitTime);
    camera.WriteDword("Clock", kFirstRunFormat.clockMode);
}

// Appends Size_00, Size_01, ... below parent until the first missing one.
void ReadSizeEntries(HKEY parent, std::vector<SizeEntry>* table) {
    for (int i = 0; i < kMaxSizeEntries; ++i) {
        RegistryKey size;
        if (!size.Open(parent, SizeKeyName(i).text)) break;
        SizeEntry entry = {0, 0, 0, 0, 0, 0, 0};
        ReadSizeValues(size, &entry);
        table->push_back(entry);
    }
}

}  // namespace

int LoadCaptureGeometry(int cameraIndex, SizeEntry* geometry) {
    RegistryKey product;
    if (!product.Open(HKEY_CURRENT_USER, kProductKeyPath)) {
        CreateFirstRunTree(cameraIndex);
        return 0;
    }
    RegistryKey camera;
    if (!camera.Open(product.Handle(), CameraKeyName(cameraIndex).text)) return 0;
    int32_t selected = 0;
    if (!camera.ReadDword("Size", &selected)) return 0;
    RegistryKey size;
    if (!size.Open(camera.Handle(), SizeKeyName(selected).text)) return 0;
    ReadSizeValues(size, geometry);
    return 1;
}

int LoadCameraFormatValues(int cameraIndex, CameraFormat* format) {
    RegistryKey camera;
    if (!OpenSettingsKey(cameraIndex, nullptr, &camera)) return 0;
    camera.ReadDword("Color", &format->colourType);
    camera.ReadDword("SubSample", &format->subSample);
    int32_t value = 0;
    // A negative wait would make every live loop sleep for ever.
    if (camera.ReadDword("WaitTime", &value) && value >= 0) format->waitTime = value;
    if (camera.ReadDword("Clock", &value) && value >= 0 && value <= 2) format->clockMode = value;
    return 1;
}

bool ReadSizeTable(int cameraIndex, std::vector<SizeEntry>* table) {
    table->clear();
    RegistryKey product;
    if (!product.Open(HKEY_CURRENT_USER, kProductKeyPath)) return false;
    RegistryKey camera;
    if (camera.Open(product.Handle(), CameraKeyName(cameraIndex).text)) {
        ReadSizeEntries(camera.Handle(), table);
        if (!table->empty()) return true;
    }
    ReadSizeEntries(product.Handle(), table);
    return true;
}

int LoadCameraFormatRecord(int cameraIndex, CameraFormatRecord* record) {
    RegistryKey camera;
    if (!OpenSettingsKey(cameraIndex, nullptr, &camera)) return 0;
    record->sizes.clear();
    for (int i = 0; i < kMaxSizeEntries; ++i) {
        RegistryKey size;
        if (!size.Open(camera.Handle(), SizeKeyName(i).text)) break;
        SizeEntry entry = kFullSensorSize;
        ReadSizeValues(size, &entry);
        record->sizes.push_back(entry);
    }
    camera.ReadDword("Size", &record->sizeIndex);
    camera.ReadDword("Color", &record->format.colourType);
    camera.ReadDword("SubSample", &record->format.subSample);
    camera.ReadDword("WaitTime", &record->format.waitTime);
    camera.ReadDword("Clock", &record->format.clockMode);
    return 1;
}

int SaveCameraFormatRecord(int cameraIndex, const CameraFormatRecord& record) {
    RegistryKey camera;
    if (!CreateSettingsKey(cameraIndex, nullptr, &camera)) return 0;
    bool written = true;
    const size_t count = record.sizes.size() < static_cast<size_t>(kMaxSizeEntries) ? record.sizes.size()
                                                                                    : kMaxSizeEntries;
    for (size_t i = 0; i < count; ++i) {
        RegistryKey size;
        if (!size.Create(camera.Handle(), SizeKeyName(static_cast<int>(i)).text)) {
            written = false;
            break;
        }
        written = WriteSizeValues(size, record.sizes[i]) && written;
    }
    written = camera.WriteDword("Size", record.sizeIndex) && written;
    written = camera.WriteDword("Color", record.format.colourType) && written;
    written = camera.WriteDword("SubSample", record.format.subSample) && written;
    written = camera.WriteDword("WaitTime", record.format.waitTime) && written;
    written = camera.WriteDword("Clock", record.format.clockMode) && written;
    return written ? 1 : 0;
}

}  // namespace quorin
