#include "camera/file_image.h"

#include <new>

CFileImage::~CFileImage() { Close(); }

void CFileImage::Close() {
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    delete[] buffer_;
    view_ = nullptr;
    mapping_ = nullptr;
    file_ = INVALID_HANDLE_VALUE;
    buffer_ = nullptr;
    data_ = end_ = cursor_ = nullptr;
    size_ = 0;
}

const uint8_t* CFileImage::Load(const char* path) {
    Close();
    if (!path) return nullptr;
    file_ = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER fileSize;
    // Sizes are 32-bit here: a file of 4 GiB or more is refused rather than read cut short.
    if (!GetFileSizeEx(file_, &fileSize) || fileSize.QuadPart < 0 || fileSize.QuadPart > kMaxBytes) {
        Close();
        return nullptr;
    }
    const DWORD length = static_cast<DWORD>(fileSize.QuadPart);
    // One spare byte so an empty file still has a buffer to point at.
    buffer_ = new (std::nothrow) uint8_t[static_cast<size_t>(length) + 1];
    if (!buffer_) {
        Close();
        return nullptr;
    }
    DWORD read = 0;
    const BOOL ok = ReadFile(file_, buffer_, length, &read, nullptr);
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    if (!ok) {
        Close();
        return nullptr;
    }
    // Only what was actually read counts: the file may have shrunk since its size was taken.
    size_ = read;
    data_ = cursor_ = buffer_;
    end_ = buffer_ + read;
    return data_;
}

const uint8_t* CFileImage::LoadResource(const char* name, const char* type) {
    Close();
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(module, name, type);
    if (!info) return nullptr;
    HGLOBAL res = ::LoadResource(module, info);
    const void* bytes = res ? LockResource(res) : nullptr;
    if (!bytes) return nullptr;
    size_ = SizeofResource(module, info);
    data_ = cursor_ = static_cast<const uint8_t*>(bytes);
    end_ = data_ + size_;
    return data_;
}
