#include "files/still_image_writer.h"

#include "files/bmp_writer.h"
#include "files/jpeg_writer.h"
#include "files/png_writer.h"
#include "files/raw_writer.h"
#include "files/tiff_writer.h"
#include "files/working_image.h"

int SaveStillImage(const char* path, const CDibImage& image, int fileType, int sampleBits)
{
    if (path == nullptr || path[0] == '\0' || !HasPixelData(image))
        return 0;
    // Compared unsigned: negative codes are as unknown as 7.
    switch (static_cast<unsigned>(fileType)) {
    case kStillFileBmp:
        return WriteBmpFile(path, image);
    case kStillFileRaw:
        return WriteRawFile(path, image);
    case kStillFileJpeg100:
        return WriteJpegFile(path, image, 100, sampleBits);
    case kStillFileJpeg70:
        return WriteJpegFile(path, image, 70, sampleBits);
    case kStillFileJpeg20:
        return WriteJpegFile(path, image, 20, sampleBits);
    case kStillFilePng:
        return WritePngFile(path, image, sampleBits);
    case kStillFileTiff:
        return WriteTiffFile(path, image, sampleBits);
    default:
        return 0;
    }
}
