// AVI file of one video stream: uncompressed 24-bit frames ("00db" chunks of one size) or
// Motion-JPEG frames ("00dc" chunks, one JPEG image each, of any size), and an "idx1" index. The
// header goes out with placeholders at Open and is patched at Close.
#pragma once

#include <cstdint>
#include <vector>

#include "files/output_file.h"

enum class AviFrameResult {
    Written,   // the frame is in the file
    FileFull,  // the frame would push a size or offset past the file limit; nothing written
    Failed     // no file open, or a write failed; the writer takes no more frames
};

// What the frame chunks hold.
enum class AviCodec {
    Dib24,  // bottom-up 24-bit frames, FrameSize() bytes each
    Mjpeg   // one JPEG image per frame ('MJPG')
};

class CAviWriter {
public:
    // Largest file the writer produces. Every RIFF size, list size and index offset is then a
    // non-negative 32-bit value, which is what AVI readers (and our own seeks) can handle.
    static constexpr uint64_t kDefaultSizeLimit = 0x7FFFFFFFu;
    static constexpr uint32_t kHeaderBytes = 232;  // everything up to and including "movi"
    static constexpr uint32_t kMoviSizeOffset = 224;

    CAviWriter() = default;
    ~CAviWriter() { Reset(); }
    CAviWriter(const CAviWriter&) = delete;
    CAviWriter& operator=(const CAviWriter&) = delete;

    // Starts a new file for frames of width x height (bitCount is recorded only; an uncompressed
    // file always holds 24-bit frames) at a nominal rate in whole frames per second. Returns 1, or
    // 0 when the file cannot be created or the geometry is unusable.
    int Open(const char* path, int width, int height, int bitCount, int framesPerSecond,
             AviCodec codec = AviCodec::Dib24);

    // Appends FrameSize() bytes of bottom-up 24-bit frame data (an uncompressed file).
    AviFrameResult WriteFrame(const void* frame);
    // Appends one frame of bytes: a JPEG image in a Motion-JPEG file; in an uncompressed file
    // bytes must be FrameSize(). An odd-sized chunk is followed by one pad byte, as RIFF wants.
    AviFrameResult WriteFrame(const void* data, uint32_t bytes);

    // Writes the index, patches the header with the frame count and the measured rate in
    // hundredths of a frame per second (0 stands for the nominal 30 fps), and closes.
    // Returns 1 when the finished file is complete on disk, else 0.
    int Close(uint32_t rateHundredths);

    // Closes a file left open without patching it and forgets the index.
    void Reset();

    bool IsOpen() const { return file_.IsOpen(); }
    uint32_t FrameCount() const { return frameCount_; }
    // The size of one uncompressed 24-bit frame of the file's geometry.
    uint32_t FrameSize() const { return frameSize_; }
    // The largest frame written so far (FrameSize() in an uncompressed file once one is written).
    uint32_t LargestFrame() const { return largestFrame_; }
    AviCodec Codec() const { return codec_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitCount() const { return bitCount_; }

    // Lowers the file limit; a test hook, so the full-file path can be driven with small files.
    void SetSizeLimit(uint64_t bytes) { sizeLimit_ = bytes < kDefaultSizeLimit ? bytes : kDefaultSizeLimit; }

private:
    void FillHeaders(uint32_t framesPerSecond);
    bool WriteHeaders();
    uint64_t FileLengthWith(uint64_t frames) const;
    void PatchCompressedSizes(uint32_t rateHundredths, bool* ok);

    COutputFile file_;
    int width_ = 0;
    int height_ = 0;
    int bitCount_ = 0;
    uint32_t frameSize_ = 0;
    uint32_t frameCount_ = 0;
    uint32_t largestFrame_ = 0;
    uint64_t moviEnd_ = kHeaderBytes;  // the file offset after the last whole chunk
    AviCodec codec_ = AviCodec::Dib24;
    uint32_t riffSize_ = 0;      // bytes after the 8-byte RIFF header
    uint32_t moviSize_ = 0;      // the "movi" list, counting its own fourcc
    uint32_t nextOffset_ = 4;    // index offset of the next chunk
    uint64_t sizeLimit_ = kDefaultSizeLimit;
    bool writeFailed_ = false;
    std::vector<uint8_t> index_;  // 16-byte "idx1" entries, as they go to the file
    uint8_t mainHeader_[56] = {};
    uint8_t streamHeader_[64] = {};
    uint8_t bitmapHeader_[40] = {};
};
