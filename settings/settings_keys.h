// The per-user key tree the camera settings live in:
//   HKEY_CURRENT_USER\Software\Zudada\QuorinM52DXLTXSdk\Camera_NN\{Size_MM, Gain, Filter, Gray}
// one Camera_NN per device number.
#pragma once

#include "settings/registry_key.h"

namespace quorin {

constexpr const char* kProductKeyPath = "Software\\Zudada\\QuorinM52DXLTXSdk";
constexpr int kMaxSizeEntries = 100;

// "Camera_%02d" and "Size_%02d"; the buffer holds any int.
struct KeyName {
    char text[32];
};
KeyName CameraKeyName(int cameraIndex);
KeyName SizeKeyName(int entry);

// Opens the product key, the camera key and (when group is given) the group below it for reading.
// False when any of them is missing; the keys opened on the way are closed again.
bool OpenSettingsKey(int cameraIndex, const char* group, RegistryKey* key);

// Creates (or opens) the product key, the camera key and the group below it with full access.
bool CreateSettingsKey(int cameraIndex, const char* group, RegistryKey* key);

}  // namespace quorin
