#include "settings/settings_keys.h"

#include <cstdio>

namespace quorin {

KeyName CameraKeyName(int cameraIndex) {
    KeyName name;
    std::snprintf(name.text, sizeof(name.text), "Camera_%02d", cameraIndex);
    return name;
}

KeyName SizeKeyName(int entry) {
    KeyName name;
    std::snprintf(name.text, sizeof(name.text), "Size_%02d", entry);
    return name;
}

bool OpenSettingsKey(int cameraIndex, const char* group, RegistryKey* key) {
    RegistryKey product;
    if (!product.Open(HKEY_CURRENT_USER, kProductKeyPath)) return false;
    if (group == nullptr) return key->Open(product.Handle(), CameraKeyName(cameraIndex).text);
    RegistryKey camera;
    if (!camera.Open(product.Handle(), CameraKeyName(cameraIndex).text)) return false;
    return key->Open(camera.Handle(), group);
}

bool CreateSettingsKey(int cameraIndex, const char* group, RegistryKey* key) {
    RegistryKey product;
    if (!product.Create(HKEY_CURRENT_USER, kProductKeyPath)) return false;
    if (group == nullptr) return key->Create(product.Handle(), CameraKeyName(cameraIndex).text);
    RegistryKey camera;
    if (!camera.Create(product.Handle(), CameraKeyName(cameraIndex).text)) return false;
    return key->Create(camera.Handle(), group);
}

}  // namespace quorin
