#include "tests/settings/registry_test_keys.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "tests/support/product_key.h"

namespace {

const char kBackupPath[] = "Software\\Zudada\\QuorinM52DXLTXSdk.settings-test-backup";

}  // namespace

std::string ProductPath() { return qtest::kProductKey; }

std::string CameraPath(int camera) {
    char name[32];
    std::snprintf(name, sizeof(name), "\\Camera_%02d", camera);
    return ProductPath() + name;
}

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void DeleteTree(const std::string& path) {
    const LONG rc = RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    if (rc == ERROR_SUCCESS) RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    ASSERT_FALSE(KeyExists(path)) << path;
}

void WriteRaw(const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr))
        << path;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size)) << name;
    RegCloseKey(key);
}

void WriteDword(const std::string& path, const char* name, int32_t value) {
    WriteRaw(path, name, REG_DWORD, &value, sizeof(value));
}

void DeleteValue(const std::string& path, const char* name) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key)) << path;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

std::map<std::string, int64_t> ReadValues(const std::string& path) {
    std::map<std::string, int64_t> values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof(name);
        DWORD type = 0;
        BYTE data[64];
        DWORD size = sizeof(data);
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        int32_t dword = 0;
        std::memcpy(&dword, data, sizeof(dword));
        values[name] = (type == REG_DWORD && size == 4) ? dword : kNotADword;
    }
    RegCloseKey(key);
    return values;
}

std::vector<std::string> SubkeyNames(const std::string& path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof(name);
        if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

ProductTreeAside::ProductTreeAside() {
    DeleteTree(kBackupPath);
    hadTree_ = KeyExists(ProductPath());
    if (hadTree_) {
        HKEY source = nullptr;
        HKEY backup = nullptr;
        RegOpenKeyExA(HKEY_CURRENT_USER, ProductPath().c_str(), 0, KEY_READ, &source);
        RegCreateKeyExA(HKEY_CURRENT_USER, kBackupPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &backup, nullptr);
        EXPECT_EQ(ERROR_SUCCESS, RegCopyTreeA(source, nullptr, backup));
        RegCloseKey(source);
        RegCloseKey(backup);
    }
    DeleteTree(ProductPath());
}

ProductTreeAside::~ProductTreeAside() {
    DeleteTree(ProductPath());
    if (!hadTree_) return;
    HKEY backup = nullptr;
    HKEY product = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, kBackupPath, 0, KEY_READ, &backup);
    RegCreateKeyExA(HKEY_CURRENT_USER, ProductPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &product,
                    nullptr);
    EXPECT_EQ(ERROR_SUCCESS, RegCopyTreeA(backup, nullptr, product));
    RegCloseKey(backup);
    RegCloseKey(product);
    DeleteTree(kBackupPath);
}
