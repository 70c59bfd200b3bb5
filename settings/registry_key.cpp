#include "settings/registry_key.h"

namespace quorin {

bool RegistryKey::Open(HKEY parent, const char* subkey, REGSAM access) {
    Close();
    if (parent == nullptr) return false;
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, subkey, 0, access, &key) != ERROR_SUCCESS) return false;
    key_ = key;
    return true;
}

bool RegistryKey::Create(HKEY parent, const char* subkey) {
    Close();
    if (parent == nullptr) return false;
    HKEY key = nullptr;
    char emptyClass[1] = {0};
    if (RegCreateKeyExA(parent, subkey, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    key_ = key;
    return true;
}

void RegistryKey::Close() {
    if (key_ != nullptr) {
        RegCloseKey(key_);
        key_ = nullptr;
    }
}

bool RegistryKey::ReadDword(const char* name, int32_t* value) const {
    if (key_ == nullptr) return false;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    // A longer value fails with ERROR_MORE_DATA and a shorter one reports its own size: neither is
    // taken, so a stray string or QWORD never lands in a setting.
    if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS) {
        return false;
    }
    if (type != REG_DWORD || size != sizeof(data)) return false;
    *value = static_cast<int32_t>(data);
    return true;
}

bool RegistryKey::WriteDword(const char* name, int32_t value) {
    if (key_ == nullptr) return false;
    const DWORD data = static_cast<DWORD>(value);
    return RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) ==
           ERROR_SUCCESS;
}

}  // namespace quorin
