// Shared pieces of the file writer tests: source images with known samples, the picture each
// file format should hold for them, scratch folders, and readers built on the image libraries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/dib_image.h"

enum class Pattern {
    Noise,   // independent pseudo-random samples: catches any misplaced byte
    Smooth,  // gentle gradients with a bright top-left corner: lossy formats can be compared
};

// Fills every sample of image (the row padding too) for its depth: 16-bit samples 0..1023,
// fourth bytes and samples included.
void FillPattern(CDibImage& image, Pattern pattern, uint32_t seed);

// Sample k (0 blue, 1 green, 2 red, 3 fourth; gray: 0) of the pixel at column x of memory row y.
uint32_t SourceSample(const CDibImage& image, int x, int y, int k);

// A decoded picture: rows top line first, samples interleaved in the file's channel order
// (gray; or R, G, B[, A]).
struct Picture {
    int width = 0;
    int height = 0;
    int channels = 0;
    int bitDepth = 0;
    std::vector<uint32_t> samples;
    uint32_t At(int x, int y, int c) const { return samples[(static_cast<size_t>(y) * width + x) * channels + c]; }
};

// What a lossless file of the format (5 PNG, 6 TIFF) must hold for image with 10-bit samples.
Picture ExpectedPicture(const CDibImage& image, int fileType);
// What a JPEG must approximate: 8-bit gray or R, G, B.
Picture ExpectedJpegPicture(const CDibImage& image);

// Readers on the image libraries; false when the file does not decode.
bool ReadPng(const std::string& path, Picture* out, int* colourType);
struct TiffTags {
    uint32_t width = 0, height = 0;
    uint16_t bitsPerSample = 0, photometric = 0, samplesPerPixel = 0, compression = 0, planar = 0;
    uint32_t strips = 0;
    bool bigEndian = false;
};
bool ReadTiff(const std::string& path, Picture* out, TiffTags* tags);
bool ReadJpeg(const std::string& path, Picture* out, bool* progressive);

// Mismatch report of a comparison; empty when every sample is within tolerance.
std::string ComparePictures(const Picture& expected, const Picture& actual, uint32_t tolerance);
// Mean absolute sample difference (pictures of equal shape).
double MeanAbsDifference(const Picture& expected, const Picture& actual);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset);
uint16_t U16At(const std::vector<uint8_t>& bytes, size_t offset);

// A fresh folder under the system's temporary directory, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    std::string File(const std::string& name) const;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};
