#include "files/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "files/output_file.h"
#include "files/working_image.h"
#include "imaging/convert_kernels.h"

namespace {

// libjpeg's own error exit ends the process; this one jumps back to the writer instead.
struct JpegErrorManager {
    jpeg_error_mgr base;  // first, so the library's pointer converts back
    std::jmp_buf jump;
};

void JpegErrorExit(j_common_ptr cinfo)
{
    JpegErrorManager* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(manager->jump, 1);
}

// Everything between setjmp and a possible longjmp lives in plain structures of the caller, so no
// destructor is skipped and no local is left indeterminate.
int CompressRows(jpeg_compress_struct* cinfo, JpegErrorManager* errors, std::FILE* file,
                 const CDibImage* work, int quality, JSAMPLE* rowBuffer)
{
    if (setjmp(errors->jump) != 0)
        return 0;
    jpeg_CreateCompress(cinfo, JPEG_LIB_VERSION, sizeof(jpeg_compress_struct));
    jpeg_stdio_dest(cinfo, file);

    const int components = work->bitCount == 8 ? 1 : 3;
    cinfo->image_width = static_cast<JDIMENSION>(work->width);
    cinfo->image_height = static_cast<JDIMENSION>(work->height);
    cinfo->input_components = components;
    cinfo->in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_simple_progression(cinfo);
    jpeg_start_compress(cinfo, TRUE);

    // The working image holds the picture bottom line first, so its last row is the top line.
    const int width = work->width;
    for (int row = work->height - 1; row >= 0; --row) {
        const uint8_t* src = work->bits + static_cast<size_t>(row) * static_cast<size_t>(work->stride);
        if (components == 1) {
            std::memcpy(rowBuffer, src, static_cast<size_t>(width));
        } else {
            for (int x = 0; x < width; ++x) {  // B, G, R in memory; R, G, B in the file
                rowBuffer[3 * x + 0] = src[3 * x + 2];
                rowBuffer[3 * x + 1] = src[3 * x + 1];
                rowBuffer[3 * x + 2] = src[3 * x + 0];
            }
        }
        JSAMPROW rows[1] = {rowBuffer};
        jpeg_write_scanlines(cinfo, rows, 1);
    }
    jpeg_finish_compress(cinfo);
    return 1;
}

// The working image for a source depth: 8-bit gray or 24-bit colour, rows reversed.
bool MakeJpegImage(CDibImage& work, const CDibImage& image, int sampleBits)
{
    switch (image.bitCount) {
    case 8:
        return MakeWorkingImage(work, image, 8, RowCopyRev);
    case 16:
        return MakeWorkingImage(work, image, 8, sampleBits == 12 ? Gray16To8Hi12Rev : Gray16To8Rev);
    case 24:
    case 32:
        return MakeWorkingImage(work, image, 24, Rgb24Rev);
    case 48:
    case 64:
        return MakeWorkingImage(work, image, 24, Rgb48To24Rev);
    default:
        return false;
    }
}

}  // namespace

int WriteJpegFile(const char* path, const CDibImage& image, int quality, int sampleBits)
{
    if (!HasPixelData(image) || path == nullptr || path[0] == '\0')
        return 0;
    CDibImage work;
    if (!MakeJpegImage(work, image, sampleBits))
        return 0;
    const int components = work.bitCount == 8 ? 1 : 3;
    JSAMPLE* rowBuffer = static_cast<JSAMPLE*>(std::malloc(static_cast<size_t>(work.width) * components));
    if (rowBuffer == nullptr)
        return 0;

    COutputFile file;
    if (!file.Create(path)) {
        std::free(rowBuffer);
        return 0;
    }
    jpeg_compress_struct cinfo;
    JpegErrorManager errors;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = JpegErrorExit;

    const int compressed = CompressRows(&cinfo, &errors, file.Stream(), &work, quality, rowBuffer);
    jpeg_destroy_compress(&cinfo);
    std::free(rowBuffer);
    if (!compressed) {
        file.Discard();
        return 0;
    }
    return file.CloseOrDiscard() ? 1 : 0;
}
