#include "files/png_writer.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <png.h>

#include "files/output_file.h"
#include "files/working_image.h"
#include "imaging/convert_kernels.h"

namespace {

struct PngLayout {
    int bitDepth;
    int colourType;
};

bool LayoutFor(uint16_t bitCount, PngLayout* layout)
{
    switch (bitCount) {
    case 8:  *layout = {8, PNG_COLOR_TYPE_GRAY}; return true;
    case 16: *layout = {16, PNG_COLOR_TYPE_GRAY}; return true;
    case 24: *layout = {8, PNG_COLOR_TYPE_RGB}; return true;
    case 32: *layout = {8, PNG_COLOR_TYPE_RGB_ALPHA}; return true;
    case 48: *layout = {16, PNG_COLOR_TYPE_RGB}; return true;
    case 64: *layout = {16, PNG_COLOR_TYPE_RGB_ALPHA}; return true;
    default: return false;
    }
}

void PngErrorHandler(png_structp png, png_const_charp message)
{
    std::fprintf(stderr, "libpng error: %s\n", message);
    png_longjmp(png, 1);
}

// One write's library state and buffers; everything a longjmp must still find to free.
struct PngWrite {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytep* rows = nullptr;
    png_bytep swapped = nullptr;  // big-endian copy of 16-bit samples
};

int EncodeImage(PngWrite* w, std::FILE* file, const CDibImage* data, const PngLayout* layout)
{
    if (setjmp(png_jmpbuf(w->png)) != 0)
        return 0;
    png_init_io(w->png, file);
    png_set_IHDR(w->png, w->info, static_cast<png_uint_32>(data->width), static_cast<png_uint_32>(data->height),
                 layout->bitDepth, layout->colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(w->png, w->info);
    png_set_bgr(w->png);  // the samples are in blue, green, red order

    const size_t stride = static_cast<size_t>(data->stride);
    const size_t height = static_cast<size_t>(data->height);
    w->rows = static_cast<png_bytep*>(std::malloc(height * sizeof(png_bytep)));
    if (w->rows == nullptr)
        png_error(w->png, "Visualpng: Out of memory");
    const uint8_t* base = data->bits;
    if (layout->bitDepth == 16) {
        w->swapped = static_cast<png_bytep>(std::malloc(stride * height));
        if (w->swapped == nullptr)
            png_error(w->png, "Visualpng: Out of memory");
        // PNG stores 16-bit samples big-endian; rows end on whole samples, so swap pairwise.
        for (size_t i = 0; i + 1 < stride * height; i += 2) {
            w->swapped[i] = data->bits[i + 1];
            w->swapped[i + 1] = data->bits[i];
        }
        base = w->swapped;
    }
    for (size_t row = 0; row < height; ++row)
        w->rows[row] = const_cast<png_bytep>(base + row * stride);
    png_write_image(w->png, w->rows);
    png_write_end(w->png, w->info);
    return 1;
}

// The data PNG stores for a source depth, rows in buffer order: 8 and 24 bits as they are, the
// rest through a working image.
const CDibImage* PngData(CDibImage& work, const CDibImage& image, int sampleBits)
{
    const bool shift4 = sampleBits == 12;
    switch (image.bitCount) {
    case 8:
    case 24:
        return &image;
    case 16:
        return MakeWorkingImage(work, image, 16, shift4 ? Gray16Shl4 : Gray16Shl6) ? &work : nullptr;
    case 32:  // the fourth byte becomes alpha: 0 there means opaque
        return MakeWorkingImage(work, image, 32, Rgb32InvAlpha) ? &work : nullptr;
    case 48:
        return MakeWorkingImage(work, image, 48, shift4 ? Rgb48Shl4 : Rgb48Shl6) ? &work : nullptr;
    case 64:
        return MakeWorkingImage(work, image, 64, shift4 ? Rgb64Shl4 : Rgb64Shl6) ? &work : nullptr;
    default:
        return nullptr;
    }
}

}  // namespace

int WritePngFile(const char* path, const CDibImage& image, int sampleBits)
{
    PngLayout layout;
    if (!HasPixelData(image) || !LayoutFor(image.bitCount, &layout) || path == nullptr || path[0] == '\0')
        return 0;
    CDibImage work;
    const CDibImage* data = PngData(work, image, sampleBits);
    if (data == nullptr)
        return 0;

    COutputFile file;
    if (!file.Create(path))
        return 0;
    PngWrite w;
    // The library checks the version string against itself, so it gets its own.
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorHandler, nullptr);
    if (w.png != nullptr)
        w.info = png_create_info_struct(w.png);
    int encoded = 0;
    if (w.info != nullptr)
        encoded = EncodeImage(&w, file.Stream(), data, &layout);
    png_destroy_write_struct(&w.png, &w.info);
    std::free(w.rows);
    std::free(w.swapped);
    if (!encoded) {
        file.Discard();
        return 0;
    }
    return file.CloseOrDiscard() ? 1 : 0;
}
