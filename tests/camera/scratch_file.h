// A file of the test's own in the temporary folder, deleted again at the end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class ScratchFile {
public:
    ScratchFile() {
        char dir[MAX_PATH];
        char path[MAX_PATH];
        if (GetTempPathA(MAX_PATH, dir) && GetTempFileNameA(dir, "cfg", 0, path)) path_ = path;
    }
    ~ScratchFile() {
        if (!path_.empty()) DeleteFileA(path_.c_str());
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const char* Path() const { return path_.c_str(); }
    bool Write(const std::vector<uint8_t>& bytes) const {
        HANDLE f = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        const BOOL ok = bytes.empty() ||
                        WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(f);
        return ok && written == bytes.size();
    }

private:
    std::string path_;
};
