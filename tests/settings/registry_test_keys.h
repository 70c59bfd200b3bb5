// Direct access to the settings tree for the store tests, bypassing the code under test. The tests
// work on camera numbers no attached camera uses, and put back whatever they take away.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Device numbers 0 to 31 belong to real cameras; the tests use these.
constexpr int kTestCamera = 97;
constexpr int kOtherTestCamera = 98;

std::string ProductPath();
std::string CameraPath(int camera);  // product path + "\Camera_NN"

bool KeyExists(const std::string& path);
void DeleteTree(const std::string& path);
void WriteDword(const std::string& path, const char* name, int32_t value);
void WriteRaw(const std::string& path, const char* name, DWORD type, const void* data, DWORD size);
void DeleteValue(const std::string& path, const char* name);

// Every value of a key that is a 4-byte REG_DWORD, by name; values of other types map to a marker
// so a test sees they are there.
constexpr int64_t kNotADword = -0x100000000LL;
std::map<std::string, int64_t> ReadValues(const std::string& path);
std::vector<std::string> SubkeyNames(const std::string& path);

// Removes one test camera's key before and after a test.
class TestCameraKey {
public:
    explicit TestCameraKey(int camera) : camera_(camera) { DeleteTree(CameraPath(camera_)); }
    ~TestCameraKey() { DeleteTree(CameraPath(camera_)); }
    std::string Path() const { return CameraPath(camera_); }

private:
    int camera_;
};

// Moves the whole product tree aside for a test that needs a first run, and puts it back after.
class ProductTreeAside {
public:
    ProductTreeAside();
    ~ProductTreeAside();

private:
    bool hadTree_ = false;
};
