#include "camera/shared_section.h"

int CSharedSection::Open(const char* name) {
    Close();
    mapping_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
    if (!mapping_) return 0;
    view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    return 1;
}

int CSharedSection::Create(const char* name, DWORD size) {
    if (Open(name)) return 1;
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    if (!mapping_) return 0;
    // Another process may have created it between our open and create: then it is not ours.
    created_ = GetLastError() != ERROR_ALREADY_EXISTS;
    view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    return 1;
}

void CSharedSection::Close() {
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
    if (file_) CloseHandle(file_);
    view_ = nullptr;
    mapping_ = nullptr;
    file_ = nullptr;
    created_ = false;
}

size_t CSharedSection::ViewSize() const {
    if (!view_) return 0;
    MEMORY_BASIC_INFORMATION info;
    if (!VirtualQuery(view_, &info, sizeof info)) return 0;
    return info.RegionSize;
}
