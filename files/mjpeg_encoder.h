// Motion-JPEG frames: one baseline JPEG image per recorded frame, encoded into memory by
// libjpeg-turbo. The encoder keeps its compressor and output buffer from frame to frame, so a
// recording allocates nothing per frame once the first frame is done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class CMjpegEncoder {
public:
    CMjpegEncoder();
    ~CMjpegEncoder();
    CMjpegEncoder(const CMjpegEncoder&) = delete;
    CMjpegEncoder& operator=(const CMjpegEncoder&) = delete;

    // Encodes a frame of width x height whose rows lie bottom line first, stride bytes apart (as a
    // DIB holds them): bitCount 24 is blue, green, red per pixel and gives a colour JPEG, bitCount 8
    // is gray and gives a gray JPEG. quality 1..100 scales the standard quantisation tables. True
    // when Data() and Size() hold the image; false for bad arguments, out of memory or an encoder
    // error (the encoder stays usable).
    bool Encode(const uint8_t* bits, int width, int height, int stride, int bitCount, int quality);

    // The last image encoded; valid until the next Encode.
    const uint8_t* Data() const;
    size_t Size() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
