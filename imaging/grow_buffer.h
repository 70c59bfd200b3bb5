// A block of working memory kept from one frame to the next: it grows when a frame needs more and
// is given back only when its owner ends or lets it go, so frames do not take and return a heap
// block each time.
#pragma once

#include <cstddef>
#include <cstdint>

class GrowBuffer {
public:
    GrowBuffer() = default;
    ~GrowBuffer() { Release(); }
    GrowBuffer(const GrowBuffer&) = delete;
    GrowBuffer& operator=(const GrowBuffer&) = delete;

    // At least bytes of memory (the contents are not kept when it grows); null without the memory.
    uint8_t* Room(size_t bytes);
    void Release();

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};
