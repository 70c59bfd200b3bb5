// Hue and saturation on the integer hexcone model. The gray and inverse tables are process-wide
// and read-only after their one-time build; the saturation table is made per call, so cameras
// processing frames at the same moment with different saturations never share it.
#include "imaging/filter_block.h"
#include "imaging/filter_kernels.h"
#include "imaging/filter_tables.h"

namespace {

template <int Bpp>
void HueSat8(const FilterBlock& block, const uint8_t satTable[256], HueShift shift,
             const HexconeTables& tables) {
    for (int y = 0; y < block.height; ++y) {
        const uint8_t* s = block.SrcRow(y);
        uint8_t* d = block.DstRow(y);
        for (int x = 0; x < block.width; ++x, s += Bpp, d += Bpp) {
            const uint32_t packed = HueSatPixel(s[0], s[1], s[2], satTable, shift, tables);
            d[0] = uint8_t(packed);
            d[1] = uint8_t(packed >> 8);
            d[2] = uint8_t(packed >> 16);
        }
    }
}

// 16-bit samples are brought to 8 bits by the sample width minus 8 and put back by the same
// shift (their low bits cleared). A sample above the sample width counts as 255.
template <int Bpp>
void HueSat16(const FilterBlock& block, int downShift, const uint8_t satTable[256],
              HueShift shift, const HexconeTables& tables) {
    auto toByte = [downShift](const uint8_t* p) {
        const int32_t v = LoadSample16(p) >> downShift;
        return v > 255 ? 255 : v;
    };
    for (int y = 0; y < block.height; ++y) {
        const uint8_t* s = block.SrcRow(y);
        uint8_t* d = block.DstRow(y);
        for (int x = 0; x < block.width; ++x, s += Bpp, d += Bpp) {
            const uint32_t packed =
                HueSatPixel(toByte(s), toByte(s + 2), toByte(s + 4), satTable, shift, tables);
            StoreSample16(d, uint16_t((packed & 0xFF) << downShift));
            StoreSample16(d + 2, uint16_t(((packed >> 8) & 0xFF) << downShift));
            StoreSample16(d + 4, uint16_t(((packed >> 16) & 0xFF) << downShift));
        }
    }
}

}  // namespace

int HueSatRgb8(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 3, 4)
    const HueSatParams* p = FilterParamBlock<const HueSatParams>(params);
    if (p == nullptr) return 0;
    uint8_t satTable[256];
    BuildSatTable(p->saturation, satTable);
    const HueShift shift = HueShiftFor(p->hue);
    const HexconeTables& tables = SharedHexconeTables();
    if (block.bytesPerPixel == 3)
        HueSat8<3>(block, satTable, shift, tables);
    else
        HueSat8<4>(block, satTable, shift, tables);
    return 1;
}

int HueSatRgb16(PIXEL_KERNEL_ARGS) {
    RESOLVE_FILTER_BLOCK(block, 6, 8)
    const HueSatParams* p = FilterParamBlock<const HueSatParams>(params);
    if (p == nullptr) return 0;
    uint8_t satTable[256];
    BuildSatTable(p->saturation, satTable);
    const HueShift shift = HueShiftFor(p->hue);
    const HexconeTables& tables = SharedHexconeTables();
    const int downShift = FilterSampleBits(p->bits) - 8;
    if (block.bytesPerPixel == 6)
        HueSat16<6>(block, downShift, satTable, shift, tables);
    else
        HueSat16<8>(block, downShift, satTable, shift, tables);
    return 1;
}
