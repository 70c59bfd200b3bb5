// Hand-over of frame ring entries between the transfer thread (writer) and
// the consumer (reader). Portable.
//
// The whole hand-over state is one 32-bit word, so every step of either side
// is a single compare-and-exchange and the two can never disagree about which
// entry is being filled and which one is being read:
//
//   bits  0-9   write:   the entry the writer fills now
//   bits 10-19  latest:  the newest completed entry
//   bits 20-29  held:    the entry handed to the reader (after a fetch, the
//                        one after it, as the read index moves on)
//   bit  30     fresh:   `latest` holds a completed frame not handed over yet
//   bit  31     holding: the reader holds `held`; the writer never picks it
//
// The writer only ever picks an entry that is neither held nor `latest` (with
// a ring of two it may have to reuse `latest`, which then stops being fresh in
// the same step), and the reader only ever claims `latest` while it is fresh,
// so no entry is written while it is read.
#pragma once

#include <atomic>
#include <cstdint>

namespace quorin {

// Largest ring count the 10-bit indices describe.
constexpr int32_t kMaxRingCount = 1023;

struct RingState {
    int32_t write;
    int32_t latest;
    int32_t held;
    bool fresh;
    bool holding;
};

inline uint32_t PackRingState(const RingState& s) {
    return (static_cast<uint32_t>(s.write) & 0x3FFu) |
           (static_cast<uint32_t>(s.latest) & 0x3FFu) << 10 |
           (static_cast<uint32_t>(s.held) & 0x3FFu) << 20 | (s.fresh ? 1u << 30 : 0u) |
           (s.holding ? 1u << 31 : 0u);
}

inline RingState UnpackRingState(uint32_t word) {
    RingState s;
    s.write = static_cast<int32_t>(word & 0x3FFu);
    s.latest = static_cast<int32_t>(word >> 10 & 0x3FFu);
    s.held = static_cast<int32_t>(word >> 20 & 0x3FFu);
    s.fresh = (word >> 30 & 1u) != 0;
    s.holding = (word >> 31 & 1u) != 0;
    return s;
}

// The entry the writer fills after `write`: the next one, skipping `skip`
// (the held entry, or -1 for none).
inline int32_t NextWriteIndex(int32_t write, int32_t skip, int32_t count) {
    int32_t next = write + 1;
    if (next >= count) next = 0;
    if (next == skip) {
        ++next;
        if (next >= count) next = 0;
    }
    return next;
}

// The read index after the entry at `read` was copied out.
inline int32_t NextReadIndex(int32_t read, int32_t count) {
    return read + 1 >= count ? 0 : read + 1;
}

// Writer: the entry at `write` is complete. It becomes the fresh `latest` and
// the writer moves on to the next entry that is not held.
inline uint32_t StateAfterFrameCompleted(uint32_t word, int32_t count) {
    RingState s = UnpackRingState(word);
    s.latest = s.write;
    s.fresh = true;
    s.write = NextWriteIndex(s.write, s.holding ? s.held : -1, count);
    if (s.write == s.latest) s.fresh = false;  // two entries, one held: the new frame is overwritten
    return PackRingState(s);
}

// Reader: takes the fresh `latest` entry (any entry held before is given up).
// False, and *next untouched, when no completed frame waits.
inline bool StateAfterClaim(uint32_t word, uint32_t* next) {
    RingState s = UnpackRingState(word);
    if (!s.fresh) return false;
    s.held = s.latest;
    s.holding = true;
    s.fresh = false;
    *next = PackRingState(s);
    return true;
}

// Reader: the held entry was copied out; it goes back to the writer and the
// read index moves on.
inline uint32_t StateAfterFetch(uint32_t word, int32_t count) {
    RingState s = UnpackRingState(word);
    s.held = NextReadIndex(s.held, count);
    s.holding = false;
    return PackRingState(s);
}

// The shared word with the atomic steps of both sides. The ring count is set
// by Reset before the writer starts and stays fixed while it runs.
class RingHandOver {
public:
    // Writer at entry 0, nothing completed, nothing held.
    void Reset(int32_t count) {
        count_.store(count);
        state_.store(0);
    }

    // Writer: publishes the entry it filled; returns the entry to fill next.
    int32_t CompleteFrame() {
        uint32_t word = state_.load();
        uint32_t next;
        do {
            next = StateAfterFrameCompleted(word, count_.load());
        } while (!state_.compare_exchange_weak(word, next));
        return UnpackRingState(next).write;
    }

    // Reader: claims the newest completed frame; false when none waits.
    bool Claim(int32_t* held) {
        uint32_t word = state_.load();
        uint32_t next;
        do {
            if (!StateAfterClaim(word, &next)) return false;
        } while (!state_.compare_exchange_weak(word, next));
        if (held != nullptr) *held = UnpackRingState(next).held;
        return true;
    }

    // Reader: gives the held entry back after copying it.
    void Release() {
        uint32_t word = state_.load();
        while (!state_.compare_exchange_weak(word, StateAfterFetch(word, count_.load()))) {
        }
    }

    RingState State() const { return UnpackRingState(state_.load()); }
    int32_t WriteIndex() const { return State().write; }
    int32_t ReadIndex() const { return State().held; }
    bool Holding() const { return State().holding; }
    int32_t Count() const { return count_.load(); }

private:
    std::atomic<uint32_t> state_{0};
    std::atomic<int32_t> count_{0};
};

}  // namespace quorin
