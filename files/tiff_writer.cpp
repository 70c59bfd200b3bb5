#include "files/tiff_writer.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <tiffio.h>

#include "files/output_file.h"
#include "files/working_image.h"
#include "imaging/convert_kernels.h"

namespace {

struct TiffLayout {
    uint16_t bitsPerSample;
    uint16_t photometric;
    uint16_t samplesPerPixel;
};

bool LayoutFor(uint16_t bitCount, TiffLayout* layout)
{
    switch (bitCount) {
    case 8:  *layout = {8, PHOTOMETRIC_MINISBLACK, 1}; return true;
    case 16: *layout = {16, PHOTOMETRIC_MINISBLACK, 1}; return true;
    case 24: *layout = {8, PHOTOMETRIC_RGB, 3}; return true;
    case 32: *layout = {8, PHOTOMETRIC_RGB, 4}; return true;
    case 48: *layout = {16, PHOTOMETRIC_RGB, 3}; return true;
    case 64: *layout = {16, PHOTOMETRIC_RGB, 4}; return true;
    default: return false;
    }
}

// Messages of this open go to stderr, never to a global handler that might show a window.
int TiffMessage(TIFF*, void* kind, const char* module, const char* format, va_list args)
{
    std::fprintf(stderr, "libtiff %s: %s: ", static_cast<const char*>(kind), module != nullptr ? module : "");
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    return 1;  // handled
}

char kErrorKind[] = "error";
char kWarningKind[] = "warning";

// libtiff writes through the writer's own file, so the file is opened like every other still file
// (existing one truncated, hidden or not; held exclusively) rather than by libtiff's own open.
int64_t StreamSeek(std::FILE* stream, int64_t offset, int whence)
{
#ifdef _WIN32
    if (_fseeki64(stream, offset, whence) != 0)
        return -1;
    return _ftelli64(stream);
#else
    if (fseeko(stream, static_cast<off_t>(offset), whence) != 0)
        return -1;
    return static_cast<int64_t>(ftello(stream));
#endif
}

std::FILE* StreamOf(thandle_t handle)
{
    return static_cast<COutputFile*>(handle)->Stream();
}

tmsize_t TiffRead(thandle_t handle, void* data, tmsize_t size)
{
    return static_cast<tmsize_t>(std::fread(data, 1, static_cast<size_t>(size), StreamOf(handle)));
}

tmsize_t TiffWrite(thandle_t handle, void* data, tmsize_t size)
{
    return static_cast<tmsize_t>(std::fwrite(data, 1, static_cast<size_t>(size), StreamOf(handle)));
}

toff_t TiffSeek(thandle_t handle, toff_t offset, int whence)
{
    return static_cast<toff_t>(StreamSeek(StreamOf(handle), static_cast<int64_t>(offset), whence));
}

int TiffClose(thandle_t)
{
    return 0;  // the writer closes its file itself
}

toff_t TiffSize(thandle_t handle)
{
    std::FILE* stream = StreamOf(handle);
    const int64_t at = StreamSeek(stream, 0, SEEK_CUR);
    const int64_t end = StreamSeek(stream, 0, SEEK_END);
    StreamSeek(stream, at, SEEK_SET);
    return static_cast<toff_t>(end);
}

int TiffMap(thandle_t, void**, toff_t*)
{
    return 0;  // no mapping
}

void TiffUnmap(thandle_t, void*, toff_t) {}

TIFF* OpenForWriting(const char* path, COutputFile* file)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, TiffMessage, kErrorKind);
    TIFFOpenOptionsSetWarningHandlerExtR(options, TiffMessage, kWarningKind);
    TIFF* tif = TIFFClientOpenExt(path, "w", file, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize,
                                  TiffMap, TiffUnmap, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

// The samples TIFF stores for a source depth, rows in buffer order and R, G, B order.
const CDibImage* TiffData(CDibImage& work, const CDibImage& image, int sampleBits)
{
    const bool shift4 = sampleBits == 12;
    switch (image.bitCount) {
    case 8:
        return &image;
    case 16:
        return MakeWorkingImage(work, image, 16, shift4 ? Gray16Shl4 : Gray16Shl6) ? &work : nullptr;
    case 24:
        return MakeWorkingImage(work, image, 24, Rgb24Swap) ? &work : nullptr;
    case 32:  // the fourth sample is added as 0 when the strip is assembled
        return MakeWorkingImage(work, image, 24, Rgb24Swap) ? &work : nullptr;
    case 48:
        return MakeWorkingImage(work, image, 48, shift4 ? Rgb48Shl4Swap : Rgb48Shl6Swap) ? &work : nullptr;
    case 64:
        return MakeWorkingImage(work, image, 64, shift4 ? Rgb64Shl4Swap : Rgb64Shl6Swap) ? &work : nullptr;
    default:
        return nullptr;
    }
}

}  // namespace

int WriteTiffFile(const char* path, const CDibImage& image, int sampleBits)
{
    TiffLayout layout;
    if (!HasPixelData(image) || !LayoutFor(image.bitCount, &layout) || path == nullptr || path[0] == '\0')
        return 0;
    CDibImage work;
    const CDibImage* data = TiffData(work, image, sampleBits);
    if (data == nullptr)
        return 0;

    // The strip holds rows without the DIB's padding.
    const size_t pixelBytes = static_cast<size_t>(layout.samplesPerPixel) * (layout.bitsPerSample / 8);
    const size_t rowBytes = static_cast<size_t>(data->width) * pixelBytes;
    const size_t stripBytes = rowBytes * static_cast<size_t>(data->height);
    uint8_t* strip = static_cast<uint8_t*>(std::calloc(stripBytes, 1));
    if (strip == nullptr)
        return 0;
    const size_t dataPixelBytes = data->bitCount / 8u;
    for (int row = 0; row < data->height; ++row) {
        uint8_t* dst = strip + static_cast<size_t>(row) * rowBytes;
        const uint8_t* src = data->bits + static_cast<size_t>(row) * static_cast<size_t>(data->stride);
        if (dataPixelBytes == pixelBytes) {
            std::memcpy(dst, src, rowBytes);
        } else {  // 24-bit R, G, B into four samples, the fourth left 0
            for (int x = 0; x < data->width; ++x)
                std::memcpy(dst + x * pixelBytes, src + x * dataPixelBytes, dataPixelBytes);
        }
    }

    COutputFile file;
    if (!file.Create(path)) {
        std::free(strip);
        return 0;
    }
    TIFF* tif = OpenForWriting(path, &file);
    if (tif == nullptr) {
        std::free(strip);
        file.Discard();
        return 0;
    }
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(data->width)) == 1 &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(data->height)) == 1 &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1 &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample) == 1 &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric) == 1 &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel) == 1;
    if (ok && layout.samplesPerPixel == 4) {
        // Declares the fourth sample as one with no meaning; without the tag the file breaks
        // the rule that photometric channels plus extra samples make up every sample.
        const uint16_t extra[1] = {EXTRASAMPLE_UNSPECIFIED};
        ok = TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra) == 1;
    }
    ok = ok && TIFFWriteEncodedStrip(tif, 0, strip, static_cast<tmsize_t>(stripBytes)) > 0;
    // The directory is written by the flush; TIFFClose would swallow its failure.
    ok = ok && TIFFFlush(tif) == 1;
    TIFFClose(tif);
    std::free(strip);
    if (!ok) {
        file.Discard();
        return 0;
    }
    return file.CloseOrDiscard() ? 1 : 0;
}
