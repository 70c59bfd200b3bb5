// The table of cameras in use, in the shared section that every client process maps: one 152-byte
// entry per device index, owner 0 meaning free.
#pragma once

#include <cstddef>
#include <cstdint>

class DeviceTable {
public:
    static constexpr size_t kSectionSize = 0x4C0000;
    static constexpr size_t kOffset = 0x1FD700;
    static constexpr size_t kEntrySize = 152;
    static constexpr int kEntries = 32;
    // Bytes a view must hold for the table.
    static constexpr size_t kEnd = kOffset + kEntrySize * kEntries;
    // Where an entry keeps the id of the process that owns it. The owner value alone (a window
    // handle, or an object's address) can repeat in two processes of the same program, and so can
    // the module handle, so the process id tells them apart.
    static constexpr size_t kProcessIdOffset = 20;

    explicit DeviceTable(void* view) : view_(static_cast<uint8_t*>(view)) {}

    // Takes entry index for owner (never 0) in one compare-and-exchange on the owner field, or
    // on the process id when the entry's owning process has ended without releasing it.
    // 1 when the entry is now this owner's in this process (also when it already was), 0 when
    // another owner, or the same owner value in another process, has it.
    int Claim(int index, uint64_t owner);
    // Frees the entry when it belongs to owner in this process with state 0.
    void Release(int index, uint64_t owner);
    // Owned, by a process that still runs.
    bool IsInUse(int index) const;
    uint64_t Owner(int index) const;

private:
    uint8_t* Entry(int index) const { return view_ + kOffset + kEntrySize * static_cast<size_t>(index); }
    uint8_t* view_;
};
