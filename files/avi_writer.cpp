#include "files/avi_writer.h"

#include <cstring>

namespace {

constexpr uint32_t kDefaultFramesPerSecond = 30;
constexpr uint32_t kDefaultRateHundredths = 3000;
constexpr uint32_t kStreamRate = 10000000;       // the stream's time base: scale / 10^7 s
constexpr uint32_t kAviFlags = 0x10010;          // has index, was capture file
constexpr uint32_t kKeyFrame = 0x10;
constexpr uint32_t kChunkHeaderBytes = 8;
constexpr uint32_t kIndexEntryBytes = 16;

// Header fields patched at close, as file offsets.
constexpr int64_t kRiffSizeOffset = 4;
constexpr int64_t kMicroSecPerFrameOffset = 32;
constexpr int64_t kTotalFramesOffset = 48;
constexpr int64_t kStreamScaleOffset = 128;
constexpr int64_t kStreamLengthOffset = 140;
// Patched at close in a Motion-JPEG file only, where they depend on the frames written.
constexpr int64_t kMaxBytesPerSecOffset = 36;
constexpr int64_t kMainSuggestedBufferOffset = 60;
constexpr int64_t kStreamSuggestedBufferOffset = 144;
constexpr int64_t kSizeImageOffset = 200;

void PutU32(uint8_t* at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

void PutU16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

uint64_t CAviWriter::FileLengthWith(uint64_t frames) const
{
    return kHeaderBytes + frames * (kChunkHeaderBytes + uint64_t{frameSize_}) + kChunkHeaderBytes +
           frames * kIndexEntryBytes;
}

void CAviWriter::FillHeaders(uint32_t framesPerSecond)
{
    std::memset(mainHeader_, 0, sizeof mainHeader_);
    std::memset(streamHeader_, 0, sizeof streamHeader_);
    std::memset(bitmapHeader_, 0, sizeof bitmapHeader_);

    // A Motion-JPEG file's largest frame, and with it the byte rate and the suggested buffer
    // size, is known at close only; they are 0 until then.
    const bool mjpeg = codec_ == AviCodec::Mjpeg;
    const uint32_t suggestedBuffer = mjpeg ? 0 : frameSize_ + kChunkHeaderBytes;
    const uint64_t bytesPerSecond = uint64_t{frameSize_} * framesPerSecond;
    PutU32(mainHeader_ + 0, 1000000 / framesPerSecond);
    if (!mjpeg)
        PutU32(mainHeader_ + 4, bytesPerSecond > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytesPerSecond));
    PutU32(mainHeader_ + 12, kAviFlags);
    PutU32(mainHeader_ + 16, frameCount_);
    PutU32(mainHeader_ + 24, 1);  // streams
    PutU32(mainHeader_ + 28, suggestedBuffer);
    PutU32(mainHeader_ + 32, static_cast<uint32_t>(width_));
    PutU32(mainHeader_ + 36, static_cast<uint32_t>(height_));

    std::memcpy(streamHeader_ + 0, "vids", 4);
    std::memcpy(streamHeader_ + 4, mjpeg ? "MJPG" : "DIB ", 4);
    PutU32(streamHeader_ + 20, kStreamRate / framesPerSecond);  // scale
    PutU32(streamHeader_ + 24, kStreamRate);
    PutU32(streamHeader_ + 32, frameCount_);                     // length
    PutU32(streamHeader_ + 36, suggestedBuffer);

    PutU32(bitmapHeader_ + 0, 40);
    PutU32(bitmapHeader_ + 4, static_cast<uint32_t>(width_));
    PutU32(bitmapHeader_ + 8, static_cast<uint32_t>(height_));  // positive: bottom-up rows
    PutU16(bitmapHeader_ + 12, 1);
    PutU16(bitmapHeader_ + 14, 24);
    if (mjpeg)
        std::memcpy(bitmapHeader_ + 16, "MJPG", 4);  // biCompression; biSizeImage follows at close
}

bool CAviWriter::WriteHeaders()
{
    COutputFile& f = file_;
    bool ok = f.WriteFourCC("RIFF") && f.WriteU32(0) && f.WriteFourCC("AVI ");
    ok = ok && f.WriteFourCC("LIST") && f.WriteU32(200) && f.WriteFourCC("hdrl");
    ok = ok && f.WriteFourCC("avih") && f.WriteU32(sizeof mainHeader_) && f.Write(mainHeader_, sizeof mainHeader_);
    ok = ok && f.WriteFourCC("LIST") && f.WriteU32(124) && f.WriteFourCC("strl");
    ok = ok && f.WriteFourCC("strh") && f.WriteU32(sizeof streamHeader_) &&
         f.Write(streamHeader_, sizeof streamHeader_);
    ok = ok && f.WriteFourCC("strf") && f.WriteU32(sizeof bitmapHeader_) &&
         f.Write(bitmapHeader_, sizeof bitmapHeader_);
    ok = ok && f.WriteFourCC("LIST") && f.WriteU32(0) && f.WriteFourCC("movi");
    return ok;
}

int CAviWriter::Open(const char* path, int width, int height, int bitCount, int framesPerSecond, AviCodec codec)
{
    Reset();
    if (width <= 0 || height <= 0)
        return 0;
    const uint64_t stride = (uint64_t{3} * static_cast<uint32_t>(width) + 3) & ~uint64_t{3};
    const uint64_t frameSize = stride * static_cast<uint32_t>(height);
    codec_ = codec;
    if (codec == AviCodec::Mjpeg) {
        // Compressed frames are checked against the limit one by one as they come.
        frameSize_ = frameSize > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(frameSize);
        if (frameSize_ == 0 || kHeaderBytes + 2 * kChunkHeaderBytes + kIndexEntryBytes > sizeLimit_) {
            Reset();
            return 0;
        }
    } else {
        frameSize_ = frameSize > sizeLimit_ ? 0 : static_cast<uint32_t>(frameSize);
        if (frameSize_ == 0 || FileLengthWith(1) > sizeLimit_) {
            Reset();  // not even one frame would fit
            return 0;
        }
    }
    width_ = width;
    height_ = height;
    bitCount_ = bitCount;
    // A rate of 0 would divide by zero below; the nominal rate stands in for it.
    FillHeaders(framesPerSecond > 0 ? static_cast<uint32_t>(framesPerSecond) : kDefaultFramesPerSecond);

    if (!file_.Create(path)) {
        Reset();
        return 0;
    }
    file_.SetUnbuffered();
    if (!WriteHeaders()) {
        file_.Discard();
        Reset();
        return 0;
    }
    riffSize_ = kHeaderBytes - 8;
    moviSize_ = 4;
    nextOffset_ = 4;
    moviEnd_ = kHeaderBytes;
    return 1;
}

AviFrameResult CAviWriter::WriteFrame(const void* frame)
{
    return WriteFrame(frame, frameSize_);
}

AviFrameResult CAviWriter::WriteFrame(const void* data, uint32_t bytes)
{
    if (!file_.IsOpen() || writeFailed_ || data == nullptr || bytes == 0)
        return AviFrameResult::Failed;
    if (codec_ == AviCodec::Dib24 && bytes != frameSize_)
        return AviFrameResult::Failed;
    // RIFF chunks start on even offsets: an odd chunk is followed by a pad byte that its size
    // does not count.
    const uint32_t pad = bytes & 1u;
    const uint64_t chunkBytes = uint64_t{kChunkHeaderBytes} + bytes + pad;
    // Refuse the frame rather than let a 32-bit size or offset wrap; with the index that
    // close appends for it the file must still stay within the limit.
    const uint64_t lengthWith =
        moviEnd_ + chunkBytes + kChunkHeaderBytes + (uint64_t{frameCount_} + 1) * kIndexEntryBytes;
    if (lengthWith > sizeLimit_)
        return AviFrameResult::FileFull;

    const char* chunkId = codec_ == AviCodec::Mjpeg ? "00dc" : "00db";
    uint8_t entry[kIndexEntryBytes];
    std::memcpy(entry, chunkId, 4);
    PutU32(entry + 4, kKeyFrame);
    PutU32(entry + 8, nextOffset_);
    PutU32(entry + 12, bytes);
    try {
        index_.insert(index_.end(), entry, entry + sizeof entry);
    } catch (...) {
        writeFailed_ = true;
        return AviFrameResult::Failed;
    }

    const uint8_t zero = 0;
    const bool ok = file_.WriteFourCC(chunkId) && file_.WriteU32(bytes) && file_.Write(data, bytes) &&
                    (pad == 0 || file_.Write(&zero, 1));
    if (!ok) {
        // The chunk may be partly on disk; close cuts it off again.
        index_.resize(index_.size() - sizeof entry);
        writeFailed_ = true;
        return AviFrameResult::Failed;
    }
    ++frameCount_;
    if (bytes > largestFrame_)
        largestFrame_ = bytes;
    riffSize_ += static_cast<uint32_t>(chunkBytes);
    moviSize_ += static_cast<uint32_t>(chunkBytes);
    nextOffset_ += static_cast<uint32_t>(chunkBytes);
    moviEnd_ += chunkBytes;
    return AviFrameResult::Written;
}

int CAviWriter::Close(uint32_t rateHundredths)
{
    if (!file_.IsOpen()) {
        Reset();
        return 0;
    }
    if (rateHundredths == 0)
        rateHundredths = kDefaultRateHundredths;
    const uint64_t moviEnd = moviEnd_;
    if (writeFailed_) {
        // Finish the frames that made it: drop the broken chunk first, which also gives back
        // the space the index needs on a full disk.
        file_.ClearError();
        file_.Truncate(static_cast<int64_t>(moviEnd));
    }
    const uint32_t indexBytes = kIndexEntryBytes * frameCount_;
    bool ok = file_.Seek(static_cast<int64_t>(moviEnd)) && file_.WriteFourCC("idx1") && file_.WriteU32(indexBytes) &&
              file_.Write(index_.data(), index_.size());
    riffSize_ += kChunkHeaderBytes + indexBytes;

    ok = ok && file_.Seek(kRiffSizeOffset) && file_.WriteU32(riffSize_);
    ok = ok && file_.Seek(kMoviSizeOffset) && file_.WriteU32(moviSize_);
    ok = ok && file_.Seek(kTotalFramesOffset) && file_.WriteU32(frameCount_);
    ok = ok && file_.Seek(kStreamLengthOffset) && file_.WriteU32(frameCount_);
    ok = ok && file_.Seek(kMicroSecPerFrameOffset) && file_.WriteU32(100000000u / rateHundredths);
    ok = ok && file_.Seek(kStreamScaleOffset) && file_.WriteU32(1000000000u / rateHundredths);
    if (codec_ == AviCodec::Mjpeg)
        PatchCompressedSizes(rateHundredths, &ok);
    ok = file_.Close() && ok;
    Reset();
    return ok ? 1 : 0;
}

void CAviWriter::PatchCompressedSizes(uint32_t rateHundredths, bool* ok)
{
    // The largest chunk with its header and pad byte is what a reader's buffer must hold; the byte
    // rate is that chunk at the measured frame rate, rounded up.
    const uint32_t largestChunk = largestFrame_ + (largestFrame_ & 1u) + kChunkHeaderBytes;
    const uint64_t bytesPerSecond = (uint64_t{largestChunk} * rateHundredths + 99) / 100;
    const uint32_t byteRate = bytesPerSecond > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytesPerSecond);
    bool done = *ok;
    done = done && file_.Seek(kMaxBytesPerSecOffset) && file_.WriteU32(byteRate);
    done = done && file_.Seek(kMainSuggestedBufferOffset) && file_.WriteU32(largestChunk);
    done = done && file_.Seek(kStreamSuggestedBufferOffset) && file_.WriteU32(largestChunk);
    done = done && file_.Seek(kSizeImageOffset) && file_.WriteU32(largestFrame_);
    *ok = done;
}

void CAviWriter::Reset()
{
    file_.Close();
    index_.clear();
    index_.shrink_to_fit();
    std::memset(mainHeader_, 0, sizeof mainHeader_);
    std::memset(streamHeader_, 0, sizeof streamHeader_);
    std::memset(bitmapHeader_, 0, sizeof bitmapHeader_);
    width_ = height_ = bitCount_ = 0;
    frameSize_ = frameCount_ = largestFrame_ = 0;
    riffSize_ = moviSize_ = 0;
    nextOffset_ = 4;
    moviEnd_ = kHeaderBytes;
    codec_ = AviCodec::Dib24;
    writeFailed_ = false;
}
