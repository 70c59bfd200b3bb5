// A view of a named shared memory section, opened by every client process of the library.
#pragma once

#include <windows.h>

#include <cstddef>

class CSharedSection {
public:
    CSharedSection() = default;
    ~CSharedSection() { Close(); }
    CSharedSection(const CSharedSection&) = delete;
    CSharedSection& operator=(const CSharedSection&) = delete;

    // Opens an existing section and maps all of it. 1 when the section existed.
    int Open(const char* name);
    // Open, or else create the section on the paging file and map it. 0 only when neither gave a
    // section. Created() tells whether this call made it.
    int Create(const char* name, DWORD size);
    void Close();

    void* View() const { return view_; }
    bool Created() const { return created_; }
    // Bytes mapped at View() (the whole section, rounded up to pages), 0 without a view.
    size_t ViewSize() const;

private:
    HANDLE mapping_ = nullptr;
    HANDLE file_ = nullptr;  // a second handle slot, unused for paging-file sections
    void* view_ = nullptr;
    bool created_ = false;
};
