// Reading a 24-bit BMP file into the simulated camera's picture: 1360 x 1024 R, G, B bytes,
// top line first, scaled with the nearest source pixel. Portable: no platform headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace m52sim {

constexpr unsigned kPictureWidth = 1360;
constexpr unsigned kPictureHeight = 1024;

// `file` is the whole BMP file. Accepts uncompressed 24-bit BMPs, bottom-up or top-down.
// On failure returns false and says why in `error`.
bool DecodeBmpPicture(const std::vector<uint8_t> &file, std::vector<uint8_t> *rgb, std::string *error);

}  // namespace m52sim
