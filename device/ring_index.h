// Index rules of the frame ring shared by the transfer thread (writer) and
// the consumer (reader). Portable; the callers load and store the indices
// atomically and pass plain values here.
#pragma once

#include <cstdint>

namespace quorin {

// The entry the writer fills after `write`: the next one, skipping the entry
// held by the reader.
inline int32_t NextWriteIndex(int32_t write, int32_t read, int32_t count) {
    int32_t next = write + 1;
    if (next >= count) next = 0;
    if (next == read) {
        ++next;
        if (next >= count) next = 0;
    }
    return next;
}

// Number of completed frames between the reader and the writer.
inline int32_t FramesPending(int32_t write, int32_t read, int32_t count) {
    if (write < read) write += count;
    return write - read;
}

// The newest completed entry (the one before `write`), for a reader that
// jumps over older frames. Only meaningful when FramesPending(...) >= 1.
inline int32_t NewestFrameIndex(int32_t write, int32_t read, int32_t count) {
    if (write < read) write += count;
    const int32_t newest = write - 1;
    if (newest < 0) return count - 1;
    if (newest >= count) return newest - count;
    return newest;
}

// The read index after the entry at `read` was copied out.
inline int32_t NextReadIndex(int32_t read, int32_t count) {
    return read + 1 >= count ? 0 : read + 1;
}

}  // namespace quorin
