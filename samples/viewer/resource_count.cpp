// Counting the process's resources from inside. GetProcessHandleCount and GetGuiResources are the
// platform's own counters; under Wine they read 0, so there the counts come from probing instead:
// every handle value is asked for its flags (only an open handle has them), and the GDI objects
// are the used entries of the process's GDI handle table but the cached window DCs.
#include "resource_count.h"

#include <winternl.h>

namespace {

bool RunsOnWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

long ProbeHandles() {
    long count = 0;
    DWORD flags = 0;
    // Handle values are multiples of 4; a process of this size stays far below 64K of them.
    for (ULONG_PTR value = 4; value < 0x10000; value += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    return count;
}

// One entry of the GDI handle table the process environment block points to (64-bit layout).
struct GdiTableEntry {
    unsigned long long object;
    unsigned long owner;
    unsigned short unique;  // low 7 bits: type, bit 7: stock object
    unsigned char type;     // 0 for a free entry
    unsigned char flags;
    unsigned long long user;
};

long CountGdiTable(long kinds[0x80]) {
#if defined(_M_X64) || defined(__x86_64__)
    // The process environment block points to the table at 0xF8.
    typedef LONG(WINAPI * QueryProcess)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    const QueryProcess query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
    const unsigned char* peb = reinterpret_cast<const unsigned char*>(basic.PebBaseAddress);
    const GdiTableEntry* table = *reinterpret_cast<GdiTableEntry* const*>(peb + 0xF8);
    if (!table) return -1;
    // Window DCs (kind 0x01; memory DCs are 0x41) come from the system's DC cache, which keeps
    // as many as were ever in use at once: painting in several threads at the same moment grows
    // it for good on a busy machine. They are not counted; every other object is.
    long count = 0;
    for (unsigned index = 0; index < 0x10000; ++index)
        if (table[index].type != 0 && !(table[index].unique & 0x80) && (table[index].unique & 0x7F) != 0x01) {
            ++count;
            ++kinds[table[index].unique & 0x7F];
        }
    return count;
#else
    return -1;
#endif
}

BOOL CALLBACK CountWindow(HWND, LPARAM context) {
    ++*reinterpret_cast<long*>(context);
    return TRUE;
}

}  // namespace

ResourceCount CountResources(HWND main) {
    ResourceCount count = {};
    DWORD handles = 0;
    count.handles = GetProcessHandleCount(GetCurrentProcess(), &handles) && handles ? static_cast<long>(handles)
                                                                                    : ProbeHandles();
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    count.gdi = gdi ? static_cast<long>(gdi) : RunsOnWine() ? CountGdiTable(count.gdiKinds) : -1;
    count.windows = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count.windows));
    EnumChildWindows(main, CountWindow, reinterpret_cast<LPARAM>(&count.windows));
    return count;
}
