#include "camera/device_table.h"

#include <windows.h>

#include <cstring>

namespace {
const char kLibraryName[] = "VazadoZir_O52RO_VIZ.dll";
const size_t kOwnerOffset = 0, kModuleOffset = 8, kStateOffset = 16, kNameOffset = 24, kNameSize = 128;

volatile LONG64* OwnerField(uint8_t* entry) { return reinterpret_cast<volatile LONG64*>(entry + kOwnerOffset); }
volatile LONG* ProcessField(uint8_t* entry) {
    return reinterpret_cast<volatile LONG*>(entry + DeviceTable::kProcessIdOffset);
}
uint64_t ThisModule() { return reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)); }
LONG ThisProcess() { return static_cast<LONG>(GetCurrentProcessId()); }
LONG ProcessOf(uint8_t* entry) { return InterlockedCompareExchange(ProcessField(entry), 0, 0); }

// Whether the process that wrote its id into an entry has ended (killed, or gone without releasing).
// An entry without an id (another client's, or a claim being written) counts as owned.
bool ProcessEnded(LONG id) {
    if (id == 0 || id == ThisProcess()) return false;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;  // no process has that id
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}
}  // namespace

int DeviceTable::Claim(int index, uint64_t owner) {
    if (!view_ || index < 0 || index >= kEntries || owner == 0) return 0;
    uint8_t* e = Entry(index);
    const LONG64 previous = InterlockedCompareExchange64(OwnerField(e), static_cast<LONG64>(owner), 0);
    if (previous != 0) {
        // The same owner value is ours only when this process wrote it. A winner in another
        // process that has not yet stored its id leaves 0 here, which is never a process id.
        const LONG holder = ProcessOf(e);
        if (static_cast<uint64_t>(previous) == owner && holder == ThisProcess()) return 1;
        // An entry left behind by a process that ended is free. The process id is swapped first,
        // so of two clients taking it over only one succeeds.
        if (!ProcessEnded(holder) || InterlockedCompareExchange(ProcessField(e), ThisProcess(), holder) != holder)
            return 0;
        InterlockedExchange64(OwnerField(e), static_cast<LONG64>(owner));
    } else {
        InterlockedExchange(ProcessField(e), ThisProcess());
    }
    const uint64_t module = ThisModule();
    std::memcpy(e + kModuleOffset, &module, sizeof module);
    const int32_t state = 0;
    std::memcpy(e + kStateOffset, &state, sizeof state);
    std::memset(e + kNameOffset, 0, kNameSize);
    std::memcpy(e + kNameOffset, kLibraryName, sizeof kLibraryName);
    return 1;
}

void DeviceTable::Release(int index, uint64_t owner) {
    if (!view_ || index < 0 || index >= kEntries || owner == 0) return;
    uint8_t* e = Entry(index);
    uint64_t module;
    int32_t state;
    std::memcpy(&module, e + kModuleOffset, sizeof module);
    std::memcpy(&state, e + kStateOffset, sizeof state);
    if (Owner(index) != owner || module != ThisModule() || state != 0 || ProcessOf(e) != ThisProcess()) return;
    const uint64_t zero = 0;
    std::memcpy(e + kModuleOffset, &zero, sizeof zero);
    std::memset(e + kNameOffset, 0, kNameSize);
    InterlockedExchange(ProcessField(e), 0);
    // The owner goes last: the entry reads as free only once it is clean.
    InterlockedExchange64(OwnerField(e), 0);
}

bool DeviceTable::IsInUse(int index) const {
    return Owner(index) != 0 && !ProcessEnded(ProcessOf(Entry(index)));
}

uint64_t DeviceTable::Owner(int index) const {
    if (!view_ || index < 0 || index >= kEntries) return 0;
    return static_cast<uint64_t>(InterlockedCompareExchange64(OwnerField(Entry(index)), 0, 0));
}
