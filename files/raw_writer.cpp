#include "files/raw_writer.h"

#include <cstddef>

#include "files/output_file.h"
#include "files/working_image.h"

int WriteRawFile(const char* path, const CDibImage& image)
{
    if (!HasPixelData(image))
        return 0;
    COutputFile file;
    if (!file.Create(path))
        return 0;
    const size_t size = static_cast<size_t>(image.height) * static_cast<size_t>(image.stride);
    if (!file.Write(image.bits, size)) {
        file.Discard();
        return 0;
    }
    return file.CloseOrDiscard() ? 1 : 0;
}
