#include "still_test_support.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace {

uint32_t Hash(uint32_t a, uint32_t b, uint32_t c, uint32_t seed)
{
    uint32_t h = seed * 0x9E3779B9u ^ a * 0x85EBCA6Bu ^ b * 0xC2B2AE35u ^ c * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

int BytesPerSample(const CDibImage& image)
{
    return image.bitCount >= 48 || image.bitCount == 16 ? 2 : 1;
}

int SamplesPerPixel(const CDibImage& image)
{
    return image.bitCount / 8 / BytesPerSample(image);
}

void PutSample(CDibImage& image, int x, int y, int k, uint32_t value)
{
    uint8_t* p = image.bits + static_cast<size_t>(y) * image.stride + static_cast<size_t>(x) * (image.bitCount / 8);
    if (BytesPerSample(image) == 2) {
        p[2 * k] = static_cast<uint8_t>(value);
        p[2 * k + 1] = static_cast<uint8_t>(value >> 8);
    } else {
        p[k] = static_cast<uint8_t>(value);
    }
}

}  // namespace

void FillPattern(CDibImage& image, Pattern pattern, uint32_t seed)
{
    // Padding bytes get noise too: a writer that stores them where pixels belong shows up.
    for (int32_t i = 0; i < image.height * image.stride; ++i)
        image.bits[i] = static_cast<uint8_t>(Hash(static_cast<uint32_t>(i), 7, 7, seed));
    const bool wide = BytesPerSample(image) == 2;
    const uint32_t max = wide ? 1023 : 255;
    const int samples = SamplesPerPixel(image);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            for (int k = 0; k < samples; ++k) {
                uint32_t value;
                if (pattern == Pattern::Noise || k == 3) {
                    value = Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y), static_cast<uint32_t>(k), seed) % (max + 1);
                } else {
                    // Brightest at the top-left, each channel with its own slope, so a flipped,
                    // mirrored or channel-swapped file differs far beyond JPEG's losses.
                    // At most full swing over 64 pixels, so tiny pictures stay nearly flat.
                    const double fx = double(x) / std::max(image.width - 1, 63);
                    const double fy = double(y) / std::max(image.height - 1, 63);
                    const double level = 1.0 - 0.45 * fy - (0.15 + 0.2 * k) * fx;
                    value = static_cast<uint32_t>(level * max + 0.5);
                }
                PutSample(image, x, y, k, value);
            }
        }
    }
}

uint32_t SourceSample(const CDibImage& image, int x, int y, int k)
{
    const uint8_t* p = image.bits + static_cast<size_t>(y) * image.stride + static_cast<size_t>(x) * (image.bitCount / 8);
    if (BytesPerSample(image) == 2)
        return p[2 * k] | (uint32_t{p[2 * k + 1]} << 8);
    return p[k];
}

Picture ExpectedPicture(const CDibImage& image, int fileType)
{
    Picture out;
    out.width = image.width;
    out.height = image.height;
    const int depth = image.bitCount;
    out.channels = depth == 8 || depth == 16 ? 1 : (depth == 24 || depth == 48 ? 3 : 4);
    out.bitDepth = depth == 16 || depth >= 48 ? 16 : 8;
    const bool png = fileType == 5;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (out.channels == 1) {
                const uint32_t s = SourceSample(image, x, y, 0);
                out.samples.push_back(depth == 16 ? (s << 6) & 0xFFFF : s);
                continue;
            }
            const uint32_t shift = out.bitDepth == 16 ? 6 : 0;
            for (int k = 2; k >= 0; --k)
                out.samples.push_back((SourceSample(image, x, y, k) << shift) & 0xFFFF);
            if (out.channels == 4) {
                if (depth == 64)
                    out.samples.push_back(65535);
                else
                    out.samples.push_back(png ? 255 - SourceSample(image, x, y, 3) : 0);
            }
        }
    }
    return out;
}

Picture ExpectedJpegPicture(const CDibImage& image)
{
    Picture out;
    out.width = image.width;
    out.height = image.height;
    out.bitDepth = 8;
    const int depth = image.bitCount;
    out.channels = depth <= 16 ? 1 : 3;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (depth == 8) {
                out.samples.push_back(SourceSample(image, x, y, 0));
            } else if (depth == 16) {
                out.samples.push_back((SourceSample(image, x, y, 0) >> 2) & 0xFF);
            } else {
                const uint32_t shift = depth >= 48 ? 2 : 0;
                for (int k = 2; k >= 0; --k)
                    out.samples.push_back((SourceSample(image, x, y, k) >> shift) & 0xFF);
            }
        }
    }
    return out;
}

namespace {

void PngReadError(png_structp png, png_const_charp message)
{
    std::fprintf(stderr, "test png reader: %s\n", message);
    png_longjmp(png, 1);
}

bool DecodePng(std::FILE* file, Picture* out, int* colourType, std::vector<uint8_t>* data,
               std::vector<png_bytep>* rows)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngReadError, nullptr);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    out->width = static_cast<int>(width);
    out->height = static_cast<int>(height);
    out->bitDepth = png_get_bit_depth(png, info);
    out->channels = png_get_channels(png, info);
    *colourType = png_get_color_type(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    data->resize(rowBytes * height);
    rows->resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        (*rows)[y] = data->data() + y * rowBytes;
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

bool ReadPng(const std::string& path, Picture* out, int* colourType)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    std::vector<uint8_t> data;
    std::vector<png_bytep> rows;
    const bool ok = DecodePng(file, out, colourType, &data, &rows);
    std::fclose(file);
    if (!ok)
        return false;
    out->samples.clear();
    if (out->bitDepth == 16) {
        for (size_t i = 0; i + 1 < data.size(); i += 2)
            out->samples.push_back(uint32_t{data[i]} << 8 | data[i + 1]);  // big-endian
    } else {
        out->samples.assign(data.begin(), data.end());
    }
    return true;
}

bool ReadTiff(const std::string& path, Picture* out, TiffTags* tags)
{
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr)
        return false;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &tags->width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &tags->height);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &tags->bitsPerSample);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &tags->photometric);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &tags->samplesPerPixel);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &tags->compression);
    TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &tags->planar);
    tags->strips = TIFFNumberOfStrips(tif);
    tags->bigEndian = TIFFIsBigEndian(tif) != 0;
    out->width = static_cast<int>(tags->width);
    out->height = static_cast<int>(tags->height);
    out->channels = tags->samplesPerPixel;
    out->bitDepth = tags->bitsPerSample;
    out->samples.clear();
    std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tif)));
    bool ok = true;
    for (uint32_t y = 0; y < tags->height && ok; ++y) {
        ok = TIFFReadScanline(tif, row.data(), y, 0) == 1;
        const size_t count = static_cast<size_t>(tags->width) * tags->samplesPerPixel;
        for (size_t i = 0; ok && i < count; ++i) {
            if (tags->bitsPerSample == 16) {
                uint16_t v;
                std::memcpy(&v, row.data() + 2 * i, 2);  // libtiff hands samples in machine order
                out->samples.push_back(v);
            } else {
                out->samples.push_back(row[i]);
            }
        }
    }
    TIFFClose(tif);
    return ok;
}

namespace {

struct TestJpegError {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void TestJpegErrorExit(j_common_ptr cinfo)
{
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<TestJpegError*>(cinfo->err)->jump, 1);
}

bool DecodeJpeg(jpeg_decompress_struct* cinfo, TestJpegError* errors, std::FILE* file, Picture* out,
                bool* progressive, std::vector<uint8_t>* data)
{
    if (setjmp(errors->jump) != 0)
        return false;
    jpeg_create_decompress(cinfo);
    jpeg_stdio_src(cinfo, file);
    jpeg_read_header(cinfo, TRUE);
    *progressive = cinfo->progressive_mode != 0;
    jpeg_start_decompress(cinfo);
    out->width = static_cast<int>(cinfo->output_width);
    out->height = static_cast<int>(cinfo->output_height);
    out->channels = cinfo->output_components;
    out->bitDepth = 8;
    const size_t rowBytes = size_t{cinfo->output_width} * cinfo->output_components;
    data->resize(rowBytes * cinfo->output_height);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = data->data() + rowBytes * cinfo->output_scanline;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

}  // namespace

bool ReadJpeg(const std::string& path, Picture* out, bool* progressive)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    jpeg_decompress_struct cinfo;
    TestJpegError errors;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = TestJpegErrorExit;
    std::vector<uint8_t> data;
    const bool ok = DecodeJpeg(&cinfo, &errors, file, out, progressive, &data);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    out->samples.assign(data.begin(), data.end());
    return ok;
}

std::string ComparePictures(const Picture& expected, const Picture& actual, uint32_t tolerance)
{
    std::ostringstream report;
    if (expected.width != actual.width || expected.height != actual.height ||
        expected.channels != actual.channels || expected.bitDepth != actual.bitDepth ||
        expected.samples.size() != actual.samples.size()) {
        report << "shape: expected " << expected.width << "x" << expected.height << "x" << expected.channels << "@"
               << expected.bitDepth << ", got " << actual.width << "x" << actual.height << "x" << actual.channels
               << "@" << actual.bitDepth << " (" << actual.samples.size() << " samples)";
        return report.str();
    }
    size_t mismatches = 0;
    for (size_t i = 0; i < expected.samples.size(); ++i) {
        const uint32_t e = expected.samples[i], a = actual.samples[i];
        if ((e > a ? e - a : a - e) <= tolerance)
            continue;
        if (mismatches++ == 0) {
            const size_t pixel = i / expected.channels;
            report << "first mismatch at x=" << pixel % expected.width << " y=" << pixel / expected.width
                   << " channel=" << i % expected.channels << ": expected " << e << ", got " << a;
        }
    }
    if (mismatches != 0)
        report << " (" << mismatches << " samples differ)";
    return report.str();
}

double MeanAbsDifference(const Picture& expected, const Picture& actual)
{
    if (expected.samples.size() != actual.samples.size() || expected.samples.empty())
        return 1e9;
    double sum = 0;
    for (size_t i = 0; i < expected.samples.size(); ++i)
        sum += std::abs(static_cast<double>(expected.samples[i]) - static_cast<double>(actual.samples[i]));
    return sum / static_cast<double>(expected.samples.size());
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset)
{
    return bytes[offset] | uint32_t{bytes[offset + 1]} << 8 | uint32_t{bytes[offset + 2]} << 16 |
           uint32_t{bytes[offset + 3]} << 24;
}

uint16_t U16At(const std::vector<uint8_t>& bytes, size_t offset)
{
    return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

ScratchDir::ScratchDir()
{
    static unsigned counter = 0;
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
        std::ostringstream name;
        name << "quorin-files-" << std::hex << random() << "-" << counter++;
        std::filesystem::path candidate = base / name.str();
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate.string();
            return;
        }
    }
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ScratchDir::File(const std::string& name) const
{
    return (std::filesystem::path(path_) / name).string();
}
