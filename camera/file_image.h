// Reads a whole file (or a resource of the main module) into memory.
#pragma once

#include <windows.h>

#include <cstdint>

class CFileImage {
public:
    CFileImage() = default;
    ~CFileImage();
    CFileImage(const CFileImage&) = delete;
    CFileImage& operator=(const CFileImage&) = delete;

    // The largest file Load reads: its size must fit the 32-bit size.
    static const int64_t kMaxBytes = 0xFFFFFFFFLL;

    // Reads the whole file. Returns the data, or null when nothing could be read (no file, a file
    // larger than kMaxBytes, or a read error). An empty file yields a non-null pointer and Size() 0.
    const uint8_t* Load(const char* path);
    // Takes the bytes of a resource of the calling process's main module.
    const uint8_t* LoadResource(const char* name, const char* type);
    void Close();

    const uint8_t* Data() const { return data_; }
    uint32_t Size() const { return size_; }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE mapping_ = nullptr;  // unused slot kept for symmetry with the shared section
    void* view_ = nullptr;
    const uint8_t* data_ = nullptr;
    const uint8_t* end_ = nullptr;
    const uint8_t* cursor_ = nullptr;
    uint32_t size_ = 0;
    uint8_t* buffer_ = nullptr;
};
