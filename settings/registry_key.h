// An open registry key that is closed on every path, with the 4-byte REG_DWORD reads and writes
// every stored setting uses.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quorin {

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens an existing subkey, for reading unless told otherwise.
    bool Open(HKEY parent, const char* subkey, REGSAM access = KEY_READ);
    // Creates the subkey, or opens it when it exists, with full access.
    bool Create(HKEY parent, const char* subkey);
    void Close();

    HKEY Handle() const { return key_; }
    bool IsOpen() const { return key_ != nullptr; }

    // True only for a value of type REG_DWORD and exactly 4 bytes; anything else counts as missing
    // and leaves *value alone.
    bool ReadDword(const char* name, int32_t* value) const;
    bool WriteDword(const char* name, int32_t value);

private:
    HKEY key_ = nullptr;
};

}  // namespace quorin
