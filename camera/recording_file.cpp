#include "camera/recording_file.h"

#include <cstdio>

namespace {
const int kNominalFramesPerSecond = 30;
}  // namespace

std::string CRecordingFile::ContinuationName(const std::string& path, uint32_t n) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "_%03u", n);
    // Only a '.' followed by plain ASCII without separators starts an extension. Bytes below 0x80
    // after a '.' cannot be the second half of a double-byte character (no lead byte precedes
    // them), so the split never falls inside a multi-byte file name.
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos) {
        bool plain = true;
        for (size_t i = dot + 1; i < path.size() && plain; ++i) {
            const unsigned char c = static_cast<unsigned char>(path[i]);
            plain = c < 0x80 && c != '\\' && c != '/' && c != ':';
        }
        if (plain) return path.substr(0, dot) + suffix + path.substr(dot);
    }
    return path + suffix;
}

uint32_t CRecordingFile::MeasuredRate(uint64_t frames, uint32_t elapsedMs) {
    // 64-bit, over at least 1 ms: frames x 100000 passes 32 bits after 42949 frames, and two frames
    // within one millisecond would divide by zero.
    const uint64_t rate = frames * 100000u / (elapsedMs > 0 ? elapsedMs : 1u);
    if (rate == 0) return 1;
    return rate > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(rate);
}

bool CRecordingFile::OpenFile(const std::string& path) {
    writer_.SetSizeLimit(sizeLimit_);
    const AviCodec codec = Compressed() ? AviCodec::Mjpeg : AviCodec::Dib24;
    if (!writer_.Open(path.c_str(), width_, height_, bitCount_, kNominalFramesPerSecond, codec)) return false;
    ++files_;
    return true;
}

int CRecordingFile::Open(const char* path, int width, int height, int bitCount, RecordFormat format) {
    writer_.Reset();
    format_ = format;
    path_ = path ? path : "";
    width_ = width;
    height_ = height;
    bitCount_ = bitCount;
    totalFrames_ = 0;
    files_ = 0;
    return !path_.empty() && OpenFile(path_) ? 1 : 0;
}

bool CRecordingFile::Append(const void* frame, uint32_t rateSoFar) {
    if (!frame || height_ <= 0) return false;
    const int stride = static_cast<int>(writer_.FrameSize() / static_cast<uint32_t>(height_));
    return Append(static_cast<const uint8_t*>(frame), stride, 24, rateSoFar);
}

bool CRecordingFile::Append(const uint8_t* bits, int stride, int bitCount, uint32_t rateSoFar) {
    if (!bits || !writer_.IsOpen()) return false;
    if (!Compressed()) {
        // Uncompressed files hold the 24-bit frame as it is.
        if (bitCount != 24 || stride < 0 || static_cast<uint64_t>(stride) * static_cast<uint32_t>(height_) !=
                                                 writer_.FrameSize())
            return false;
        return AppendChunk(bits, writer_.FrameSize(), rateSoFar);
    }
    if (!encoder_.Encode(bits, width_, height_, stride, bitCount, format_.quality)) return false;
    return AppendChunk(encoder_.Data(), static_cast<uint32_t>(encoder_.Size()), rateSoFar);
}

bool CRecordingFile::AppendChunk(const void* data, uint32_t bytes, uint32_t rateSoFar) {
    AviFrameResult result = writer_.WriteFrame(data, bytes);
    if (result == AviFrameResult::FileFull) {
        // The full file is finished before the next is begun: each one stays playable even if
        // the next cannot be created.
        const bool finished = writer_.Close(rateSoFar) == 1;
        if (!finished || !OpenFile(ContinuationName(path_, files_))) return false;
        result = writer_.WriteFrame(data, bytes);
    }
    if (result != AviFrameResult::Written) return false;
    ++totalFrames_;
    return true;
}

int CRecordingFile::Finish(uint32_t rateHundredths) {
    if (!writer_.IsOpen()) return 0;
    return writer_.Close(rateHundredths);
}

void CRecordingFile::Discard() {
    const bool open = writer_.IsOpen();
    writer_.Reset();
    if (open && files_ == 1 && totalFrames_ == 0) std::remove(path_.c_str());
    files_ = 0;
}
