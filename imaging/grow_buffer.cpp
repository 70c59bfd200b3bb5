#include "imaging/grow_buffer.h"

#include <cstdlib>

uint8_t* GrowBuffer::Room(size_t bytes) {
    if (bytes > size_) {
        Release();
        data_ = static_cast<uint8_t*>(std::malloc(bytes));
        if (data_ != nullptr) size_ = bytes;
    }
    return data_;
}

void GrowBuffer::Release() {
    std::free(data_);
    data_ = nullptr;
    size_ = 0;
}
