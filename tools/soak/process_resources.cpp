#include "tools/soak/process_resources.h"

#include <psapi.h>

namespace {

// Handle values are multiples of 4; a process of ours never holds more than a few thousand, so
// the probe stops after a long run of free values past the last live one.
long ProbeHandleCount() {
    long count = 0;
    uintptr_t freeRun = 0;
    for (uintptr_t value = 4; value < 0x100000 && freeRun < 4096; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
            freeRun = 0;
        } else {
            ++freeRun;
        }
    }
    return count;
}

// The GDI handle table a process shares with its graphics subsystem (the PEB points at it): one
// 24-byte entry per handle index, the object type in byte 14, 0 for a free entry.
struct GdiHandleEntry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "one GDI table entry is 24 bytes");
constexpr int kGdiTableEntries = 0x10000;

const GdiHandleEntry* GdiHandleTable() {
#if defined(_WIN64)
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"  // mingw's NtCurrentTeb reads gs:[0x30] through a null array
#endif
    const BYTE* teb = reinterpret_cast<const BYTE*>(NtCurrentTeb());
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    const BYTE* peb = *reinterpret_cast<const BYTE* const*>(teb + 0x60);
    const void* table = *reinterpret_cast<const void* const*>(peb + 0xF8);
    return static_cast<const GdiHandleEntry*>(table);
#else
    return nullptr;
#endif
}

long CountGdiTable() {
    const GdiHandleEntry* table = GdiHandleTable();
    if (!table) return -1;
    MEMORY_BASIC_INFORMATION info;
    if (!VirtualQuery(table, &info, sizeof info) || info.State != MEM_COMMIT) return -1;
    long count = 0;
    for (int i = 0; i < kGdiTableEntries; ++i)
        if (table[i].type != 0 && table[i].object != 0) ++count;
    return count;
}

// The table is only trusted when ten new brushes show up in it as ten entries.
bool GdiTableCounts() {
    static int verdict = -1;
    if (verdict >= 0) return verdict == 1;
    const long before = CountGdiTable();
    HBRUSH brushes[10];
    for (HBRUSH& brush : brushes) brush = CreateSolidBrush(RGB(1, 2, 3));
    const long during = CountGdiTable();
    for (HBRUSH brush : brushes) DeleteObject(brush);
    const long after = CountGdiTable();
    verdict = before >= 0 && during == before + 10 && after == before ? 1 : 0;
    return verdict == 1;
}

struct WindowCount {
    DWORD process;
    long count;
};

BOOL CALLBACK CountChild(HWND window, LPARAM param) {
    WindowCount* windows = reinterpret_cast<WindowCount*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == windows->process) ++windows->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
    WindowCount* windows = reinterpret_cast<WindowCount*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != windows->process) return TRUE;
    ++windows->count;
    EnumChildWindows(window, CountChild, param);  // all descendants
    return TRUE;
}

long CountOwnWindows() {
    WindowCount windows = {GetCurrentProcessId(), 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    // Message-only windows are not top-level windows; they are the children of HWND_MESSAGE.
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr))
        CountTopLevel(window, reinterpret_cast<LPARAM>(&windows));
    return windows.count;
}

uint64_t CommittedPrivateBytes() {
    uint64_t total = 0;
    const BYTE* address = nullptr;
    MEMORY_BASIC_INFORMATION info;
    while (VirtualQuery(address, &info, sizeof info) == sizeof info) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
        const BYTE* next = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return total;
}

}  // namespace

ProcessResources SampleProcessResources() {
    ProcessResources sample;
    DWORD handles = 0;
    sample.handles = GetProcessHandleCount(GetCurrentProcess(), &handles) && handles > 0 ? long(handles)
                                                                                         : ProbeHandleCount();
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    sample.gdiObjects = gdi > 0 ? long(gdi) : GdiTableCounts() ? CountGdiTable() : -1;
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    sample.userObjects = user > 0 ? long(user) : CountOwnWindows();
    sample.committedPrivate = CommittedPrivateBytes();
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        sample.privateUsage = memory.PrivateUsage;
    return sample;
}

ResourceMeasures DescribeResourceMeasures() {
    ResourceMeasures measures;
    DWORD handles = 0;
    measures.handles = GetProcessHandleCount(GetCurrentProcess(), &handles) && handles > 0
                           ? "GetProcessHandleCount"
                           : "handle values accepted by GetHandleInformation";
    measures.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) > 0 ? "GetGuiResources"
                   : GdiTableCounts()                                      ? "live entries of the GDI handle table"
                                                                           : "not measurable";
    measures.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS) > 0 ? "GetGuiResources"
                                                                             : "windows of the process";
    return measures;
}
