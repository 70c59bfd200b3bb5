#include "files/mjpeg_encoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <jerror.h>

namespace {

// libjpeg's own error exit ends the process; this one jumps back into Encode instead. Warnings and
// messages are not printed: a recording has no console to print them to.
struct EncoderErrors {
    jpeg_error_mgr base;  // first, so the library's pointer converts back
    std::jmp_buf jump;
};

void EncoderErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<EncoderErrors*>(cinfo->err)->jump, 1);
}

void EncoderSilentMessage(j_common_ptr) {}

// An output buffer that grows by doubling and is kept for the next frame.
struct MemoryDestination {
    jpeg_destination_mgr base;  // first, so the library's pointer converts back
    JOCTET* buffer;
    size_t capacity;
    size_t used;
};

MemoryDestination* DestinationOf(j_compress_ptr cinfo) {
    return reinterpret_cast<MemoryDestination*>(cinfo->dest);
}

void InitDestination(j_compress_ptr cinfo) {
    MemoryDestination* dest = DestinationOf(cinfo);
    dest->base.next_output_byte = dest->buffer;
    dest->base.free_in_buffer = dest->capacity;
    dest->used = 0;
}

// Called when the whole buffer is full.
boolean GrowDestination(j_compress_ptr cinfo) {
    MemoryDestination* dest = DestinationOf(cinfo);
    const size_t grown = dest->capacity * 2;
    JOCTET* bigger = grown > dest->capacity ? static_cast<JOCTET*>(std::realloc(dest->buffer, grown)) : nullptr;
    if (bigger == nullptr)
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    dest->buffer = bigger;
    dest->base.next_output_byte = bigger + dest->capacity;
    dest->base.free_in_buffer = grown - dest->capacity;
    dest->capacity = grown;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    MemoryDestination* dest = DestinationOf(cinfo);
    dest->used = dest->capacity - dest->base.free_in_buffer;
}

}  // namespace

struct CMjpegEncoder::State {
    jpeg_compress_struct cinfo;
    EncoderErrors errors;
    MemoryDestination destination;
    bool created = false;
    bool valid = false;          // the buffer holds a finished image
    std::vector<JSAMPROW> rows;  // the frame's rows, top line first
};

namespace {

// Everything between setjmp and a possible longjmp lives in plain structures of the caller, so no
// destructor is skipped and no local is left indeterminate.
bool CompressFrame(jpeg_compress_struct* cinfo, EncoderErrors* errors, MemoryDestination* destination,
                   bool* created, JSAMPROW* rows, int width, int height, int components, int quality) {
    if (setjmp(errors->jump) != 0) {
        jpeg_abort_compress(cinfo);
        return false;
    }
    if (!*created) {
        jpeg_CreateCompress(cinfo, JPEG_LIB_VERSION, sizeof(jpeg_compress_struct));
        *created = true;
        cinfo->dest = &destination->base;
    }
    cinfo->image_width = static_cast<JDIMENSION>(width);
    cinfo->image_height = static_cast<JDIMENSION>(height);
    cinfo->input_components = components;
    // libjpeg-turbo takes the DIB's blue, green, red order as it stands.
    cinfo->in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(cinfo);
    // Baseline tables (entries at most 255) for every quality, as Motion-JPEG decoders expect.
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    JDIMENSION done = 0;
    while (done < cinfo->image_height) {
        const JDIMENSION wrote = jpeg_write_scanlines(cinfo, rows + done, cinfo->image_height - done);
        if (wrote == 0)
            ERREXIT(cinfo, JERR_BAD_STATE);  // only a suspending destination writes nothing
        done += wrote;
    }
    jpeg_finish_compress(cinfo);
    return true;
}

}  // namespace

CMjpegEncoder::CMjpegEncoder() : state_(new (std::nothrow) State) {
    if (!state_)
        return;
    std::memset(&state_->cinfo, 0, sizeof state_->cinfo);
    state_->cinfo.err = jpeg_std_error(&state_->errors.base);
    state_->errors.base.error_exit = EncoderErrorExit;
    state_->errors.base.output_message = EncoderSilentMessage;
    MemoryDestination& dest = state_->destination;
    std::memset(&dest, 0, sizeof dest);
    dest.base.init_destination = InitDestination;
    dest.base.empty_output_buffer = GrowDestination;
    dest.base.term_destination = TermDestination;
}

CMjpegEncoder::~CMjpegEncoder() {
    if (!state_)
        return;
    if (state_->created)
        jpeg_destroy_compress(&state_->cinfo);
    std::free(state_->destination.buffer);
}

bool CMjpegEncoder::Encode(const uint8_t* bits, int width, int height, int stride, int bitCount, int quality) {
    if (!state_)
        return false;
    State& s = *state_;
    s.valid = false;
    const int components = bitCount == 24 ? 3 : bitCount == 8 ? 1 : 0;
    // JPEG images are at most 65500 pixels on a side.
    if (bits == nullptr || components == 0 || width <= 0 || height <= 0 || width > 65500 || height > 65500 ||
        stride < width * components || quality < 1 || quality > 100)
        return false;

    // A first buffer of a quarter of the raw frame holds most frames at the usual qualities.
    MemoryDestination& dest = s.destination;
    if (dest.buffer == nullptr) {
        const size_t first = size_t(width) * size_t(height) * size_t(components) / 4 + 4096;
        dest.buffer = static_cast<JOCTET*>(std::malloc(first));
        if (dest.buffer == nullptr)
            return false;
        dest.capacity = first;
    }
    try {
        s.rows.resize(size_t(height));
    } catch (...) {
        return false;
    }
    // The frame is stored bottom line first; the JPEG image starts with the top line.
    for (int y = 0; y < height; ++y)
        s.rows[size_t(y)] = const_cast<JSAMPROW>(bits + size_t(height - 1 - y) * size_t(stride));

    s.valid = CompressFrame(&s.cinfo, &s.errors, &dest, &s.created, s.rows.data(), width, height, components,
                            quality);
    return s.valid;
}

const uint8_t* CMjpegEncoder::Data() const {
    return state_ && state_->valid ? state_->destination.buffer : nullptr;
}

size_t CMjpegEncoder::Size() const {
    return state_ && state_->valid ? state_->destination.used : 0;
}
