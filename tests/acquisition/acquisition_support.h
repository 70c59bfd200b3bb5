// What the acquisition tests (and the programs that check frames like them) compute on their own:
// sensor pictures with known contents, the mosaic the simulated camera must read from them and
// its demosaic. The camera, the notices and the simulated camera's control are the shared
// harness's (tests/support/).
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/camera.h"

namespace acqtest {

// The sensor picture as R, G, B bytes, top line first.
std::vector<uint8_t> NoisePicture(uint32_t seed);
std::vector<uint8_t> RedLeftBlueRightPicture();

// The mosaic the simulated camera reads from picture with the exposure and gain it holds now:
// 1360 x 1024 samples, 8-bit or (word mode) 16-bit little-endian.
std::vector<uint8_t> SimulatedMosaic(uint32_t camera, const std::vector<uint8_t>& picture, bool wordMode);

// The demosaic (phase R G / G B, unity gains) of a mosaic into a colour image of bitsPerPixel
// 24, 32, 48 or 64, in stored row order with the image's stride.
std::vector<uint8_t> DemosaicOf(const std::vector<uint8_t>& mosaic, int bitsPerPixel);

}  // namespace acqtest
