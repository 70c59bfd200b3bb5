#include "files/working_image.h"

#include <cstring>

bool HasPixelData(const CDibImage& image)
{
    if (image.bits == nullptr || image.width <= 0 || image.height <= 0 || image.bitCount == 0 ||
        image.bitCount % 8 != 0)
        return false;
    return image.stride == CDibImage::StrideFor(image.width, image.bitCount);
}

bool MakeWorkingImage(CDibImage& work, const CDibImage& source, uint16_t bitCount, PixelKernel kernel)
{
    const int created = bitCount == source.bitCount ? work.CreateLike(&source)
                                                    : work.Create(source.width, source.height, bitCount);
    if (!created || work.bits == nullptr)
        return false;
    // Kernels that fill fewer samples than a pixel holds leave the rest as it is: make that 0.
    std::memset(work.bits, 0, static_cast<size_t>(work.height) * static_cast<size_t>(work.stride));
    return RunPixelKernel(work, kernel, source, nullptr, 0, 0, nullptr, nullptr) == 1;
}
