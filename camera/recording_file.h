// The AVI file of one recording. A recording longer than one AVI file can hold continues in new
// files beside the first, "name_001.avi", "name_002.avi", ...: no frame is lost and each file is
// complete and plays on its own. Frames go in uncompressed, or as Motion-JPEG images encoded here,
// on the recorder's thread.
#pragma once

#include <cstdint>
#include <string>

#include "files/avi_writer.h"
#include "files/mjpeg_encoder.h"

// How a recording stores its frames: the values of Quorin_SetRecordFormat.
struct RecordFormat {
    static constexpr int kUncompressed = 0;
    static constexpr int kMjpeg = 1;
    static constexpr int kDefaultQuality = 90;
    int format = kUncompressed;
    int quality = kDefaultQuality;  // 1..100, used by Motion-JPEG only

    static bool Valid(int format, int quality) {
        return (format == kUncompressed || format == kMjpeg) && quality >= 1 && quality <= 100;
    }
};

class CRecordingFile {
public:
    // Opens the first file at path for frames of width x height (bitCount of the source image is
    // recorded only) at the nominal 30 frames per second, stored as format says. 1, or 0 when it
    // cannot be created.
    int Open(const char* path, int width, int height, int bitCount, RecordFormat format = RecordFormat());

    // Appends one bottom-up 24-bit frame of FrameSize() bytes. When the current file is full it is
    // finished with rateSoFar (hundredths of a frame per second) and the frame goes to the next
    // file. False when the frame could not be written; the files finished so far stay complete.
    bool Append(const void* frame, uint32_t rateSoFar);
    // The same for a frame of the recording's geometry with rows stride bytes apart, bottom line
    // first: 24-bit blue, green, red, or (Motion-JPEG only, as a gray image) 8-bit gray.
    bool Append(const uint8_t* bits, int stride, int bitCount, uint32_t rateSoFar);

    // Finishes the current file with the measured rate (0: the nominal rate). 1 when it is complete
    // on disk. Nothing happens when no file is open.
    int Finish(uint32_t rateHundredths);

    // Closes the first file of a recording that never started and deletes it.
    void Discard();

    bool IsOpen() const { return writer_.IsOpen(); }
    bool Compressed() const { return format_.format == RecordFormat::kMjpeg; }
    uint32_t FrameSize() const { return writer_.FrameSize(); }
    // Frames in every file of this recording.
    uint64_t TotalFrames() const { return totalFrames_; }
    // Files begun so far (the first counts as one).
    uint32_t Files() const { return files_; }

    // Largest file; a test hook that makes the continuation files appear with small recordings.
    void SetSizeLimit(uint64_t bytes) { sizeLimit_ = bytes; }

    // The rate of frames taken over elapsedMs in hundredths of a frame per second: at least 1 (0
    // would stand for the nominal rate), at most the largest 32-bit value.
    static uint32_t MeasuredRate(uint64_t frames, uint32_t elapsedMs);

    // Whether more than durationMs have passed from start to now on the millisecond timer, which
    // wraps after 49.7 days: the unsigned difference stays right across the wrap.
    static bool DurationPassed(uint32_t startMs, uint32_t nowMs, uint32_t durationMs) {
        return nowMs - startMs > durationMs;
    }

    // The name of continuation file n (1, 2, ...) of path: "_%03u" goes before a plain ASCII
    // extension, or at the end when there is none.
    static std::string ContinuationName(const std::string& path, uint32_t n);

private:
    bool OpenFile(const std::string& path);
    bool AppendChunk(const void* data, uint32_t bytes, uint32_t rateSoFar);

    CAviWriter writer_;
    CMjpegEncoder encoder_;
    RecordFormat format_;
    std::string path_;
    int width_ = 0;
    int height_ = 0;
    int bitCount_ = 0;
    uint64_t totalFrames_ = 0;
    uint32_t files_ = 0;
    uint64_t sizeLimit_ = CAviWriter::kDefaultSizeLimit;
};
