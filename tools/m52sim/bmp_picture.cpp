#include "tools/m52sim/bmp_picture.h"

namespace m52sim {
namespace {

uint32_t Le16(const std::vector<uint8_t> &f, size_t at) { return f[at] | (f[at + 1] << 8); }
uint32_t Le32(const std::vector<uint8_t> &f, size_t at)
{
    return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (static_cast<uint32_t>(f[at + 3]) << 24);
}

bool Refuse(std::string *error, const char *why)
{
    if (error) *error = why;
    return false;
}

}  // namespace

bool DecodeBmpPicture(const std::vector<uint8_t> &file, std::vector<uint8_t> *rgb, std::string *error)
{
    constexpr size_t kFileHeader = 14, kInfoHeader = 40;
    if (file.size() < kFileHeader + kInfoHeader || file[0] != 'B' || file[1] != 'M')
        return Refuse(error, "not a BMP file");
    const uint32_t dataOffset = Le32(file, 10);
    const uint32_t infoSize = Le32(file, 14);
    const int32_t width = static_cast<int32_t>(Le32(file, 18));
    const int32_t rawHeight = static_cast<int32_t>(Le32(file, 22));
    if (infoSize < kInfoHeader || Le16(file, 26) != 1) return Refuse(error, "unsupported BMP header");
    if (Le16(file, 28) != 24) return Refuse(error, "only 24-bit BMP files are supported");
    if (Le32(file, 30) != 0) return Refuse(error, "compressed BMP files are not supported");
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN || width > 65536 || rawHeight > 65536 ||
        rawHeight < -65536)
        return Refuse(error, "BMP size out of range");
    const bool topDown = rawHeight < 0;
    const uint32_t height = static_cast<uint32_t>(topDown ? -rawHeight : rawHeight);
    const uint64_t stride = (static_cast<uint64_t>(width) * 3 + 3) & ~static_cast<uint64_t>(3);
    if (dataOffset < kFileHeader + infoSize || dataOffset > file.size() ||
        stride * height > file.size() - dataOffset)
        return Refuse(error, "BMP file is truncated");

    rgb->assign(static_cast<size_t>(kPictureWidth) * kPictureHeight * 3, 0);
    for (unsigned y = 0; y < kPictureHeight; ++y) {
        const uint32_t sy = static_cast<uint32_t>(static_cast<uint64_t>(y) * height / kPictureHeight);
        const uint32_t row = topDown ? sy : height - 1 - sy;
        const uint8_t *src = file.data() + dataOffset + row * stride;
        uint8_t *dst = rgb->data() + static_cast<size_t>(y) * kPictureWidth * 3;
        for (unsigned x = 0; x < kPictureWidth; ++x) {
            const uint32_t sx = static_cast<uint32_t>(static_cast<uint64_t>(x) * width / kPictureWidth);
            const uint8_t *px = src + sx * 3; // stored blue, green, red
            dst[3 * x] = px[2];
            dst[3 * x + 1] = px[1];
            dst[3 * x + 2] = px[0];
        }
    }
    return true;
}

}  // namespace m52sim
