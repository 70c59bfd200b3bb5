#include "tests/support/scratch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace qtest {

std::string UniqueTmpName(const std::string& what) {
    static LONG made = 0;
    // Process ids repeat across the lanes (each lane has a wineserver of its own), so the lane's
    // letter goes into the name too.
    const char* lane = std::getenv("QUORIN_LANE");
    char name[200];
    std::snprintf(name, sizeof name, "Z:\\tmp\\quorin_%s_%s%lu_%ld", what.c_str(), lane ? lane : "", GetCurrentProcessId(),
                  InterlockedIncrement(&made));
    return name;
}

namespace {

std::string UniqueName(const char* kind, const std::string& purpose) { return UniqueTmpName(purpose + "_" + kind); }

}  // namespace

ScratchFolder::ScratchFolder(const std::string& purpose) {
    windows_ = UniqueName("dir", purpose);
    RemoveTree(windows_);  // left over from a run that was killed
    CreateDirectoryA(windows_.c_str(), nullptr);
    windows_ += "\\";
}

ScratchFolder::~ScratchFolder() { RemoveTree(Path()); }

std::string ScratchFolder::Unix() const { return UnixPath(windows_); }

std::vector<std::string> ScratchFolder::Files() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((windows_ + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

ScratchFile::ScratchFile(const std::string& purpose) : path_(UniqueName("file", purpose)) {}

ScratchFile::~ScratchFile() {
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path_.c_str());
}

bool ScratchFile::Write(const std::vector<uint8_t>& bytes) const { return WriteBytes(path_, bytes); }

std::string UnixPath(const std::string& windowsPath) {
    std::string unix = windowsPath.size() > 2 && windowsPath[1] == ':' ? windowsPath.substr(2) : windowsPath;
    for (char& c : unix)
        if (c == '\\') c = '/';
    return unix;
}

void RemoveTree(const std::string& windowsPath) {
    const std::wstring dir(windowsPath.begin(), windowsPath.end());
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(std::string(path.begin(), path.end()));
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = bytes.empty() || WriteFile(f, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == bytes.size();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

uint64_t FileBytes(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

}  // namespace qtest
