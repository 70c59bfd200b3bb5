#include "files/bmp_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "files/output_file.h"
#include "files/working_image.h"
#include "imaging/convert_kernels.h"

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kColourTableBytes = 256 * 4;

void PutU16(uint8_t* at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* at, uint32_t value)
{
    PutU16(at, value);
    PutU16(at + 2, value >> 16);
}

}  // namespace

int WriteBmpFile(const char* path, const CDibImage& image)
{
    if (!HasPixelData(image))
        return 0;
    const uint64_t pixelBytes = uint64_t{static_cast<uint32_t>(image.height)} * static_cast<uint32_t>(image.stride);
    const bool hasTable = image.bitCount <= 8;
    const uint32_t pixelOffset = kFileHeaderBytes + kInfoHeaderBytes + (hasTable ? kColourTableBytes : 0);
    if (pixelOffset + pixelBytes > 0xFFFFFFFFu)
        return 0;  // the file size would not fit its 32-bit field

    // The file stores the bottom line first; memory row 0 is the top line.
    CDibImage work;
    if (!MakeWorkingImage(work, image, image.bitCount, RowCopyRev))
        return 0;

    uint8_t fileHeader[kFileHeaderBytes] = {};
    PutU16(fileHeader + 0, 0x4D42);  // "BM"
    PutU32(fileHeader + 2, pixelOffset + static_cast<uint32_t>(pixelBytes));
    PutU32(fileHeader + 10, pixelOffset);

    // The info header goes out as the image holds it, little-endian field by field.
    const DibInfoHeader& h = work.header;
    uint8_t infoHeader[kInfoHeaderBytes] = {};
    PutU32(infoHeader + 0, h.biSize);
    PutU32(infoHeader + 4, static_cast<uint32_t>(h.biWidth));
    PutU32(infoHeader + 8, static_cast<uint32_t>(h.biHeight));
    PutU16(infoHeader + 12, h.biPlanes);
    PutU16(infoHeader + 14, h.biBitCount);
    PutU32(infoHeader + 16, h.biCompression);
    PutU32(infoHeader + 20, h.biSizeImage);
    PutU32(infoHeader + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
    PutU32(infoHeader + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
    PutU32(infoHeader + 32, h.biClrUsed);
    PutU32(infoHeader + 36, h.biClrImportant);

    COutputFile file;
    if (!file.Create(path))
        return 0;
    bool ok = file.Write(fileHeader, sizeof fileHeader) && file.Write(infoHeader, sizeof infoHeader);
    if (hasTable) {
        // The palette the image shows with: its DIB section's table, which a caller's palette
        // changes without touching the header's copy.
        DibColour table[256];
        image.ReadColourTable(table);
        ok = ok && file.Write(table, kColourTableBytes);
    }
    ok = ok && file.Write(work.bits, static_cast<size_t>(pixelBytes));
    if (!ok) {
        file.Discard();
        return 0;
    }
    // A full disk may only show when the last block is flushed.
    return file.CloseOrDiscard() ? 1 : 0;
}
