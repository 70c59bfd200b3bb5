// Table builders of the filter kernels: gray gains, brightness, contrast, gamma, sharpness and the
// hexcone hue/saturation tables.
#include "imaging/filter_tables.h"

#include <cmath>

namespace {

// trunc(v) limited to 0..maxValue; infinities and NaN (from typed exponents) land on the limits.
int32_t TruncateToRange(double v, int32_t maxValue) {
    if (v >= double(maxValue)) return maxValue;
    if (!(v > 0.0)) return 0;
    return static_cast<int32_t>(v);
}

}  // namespace

int32_t GrayGainTop16(int32_t bits) {
    switch (bits) {
        case 10: return 1023;
        case 12: return 4095;
        case 14: return 16383;
        default: return 65535;
    }
}

void BuildGrayGainTable8(int32_t gain, int32_t offset, uint8_t table[256]) {
    for (int32_t v = 0; v < 256; ++v) table[v] = static_cast<uint8_t>(GrayGainSample(v, gain, offset, 255));
}

float BrightnessFactor(int32_t value) {
    // The constants are 10 / 255 and 1 / 255 as the doubles the factor has always been made of.
    if (value > 0) return static_cast<float>(1.0 + double(value) * 0.0392156862745098);
    if (value < 0) return static_cast<float>(1.0 - -double(value) * 0.00392156862745098);
    return 1.0f;
}

void BuildBrightnessTable8(int32_t value, uint8_t table[256]) {
    const float factor = BrightnessFactor(value);
    for (int32_t i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(BrightnessSample(i, factor, 255));
}

void BuildContrastTable8(int32_t m, uint8_t table[256]) {
    const int64_t m64 = m;
    const double scale = 256.0 / double(256 - 2 * m64);
    for (int64_t i = 0; i < 256; ++i) {
        if (i < m64)
            table[i] = 0;
        else if (i > 255 - m64)
            table[i] = 255;
        else
            table[i] = static_cast<uint8_t>(TruncateToRange(scale * double(i - m64), 255));
    }
}

void BuildContrastTable16(int32_t m, int sampleBits, uint16_t* table) {
    const int64_t size = int64_t(1) << sampleBits;
    const int64_t o = int64_t(m) * (int64_t(1) << (sampleBits - 8));
    const double scale = double(size) / double(size - 2 * o);
    const int32_t top = int32_t(size - 1);
    for (int64_t i = 0; i < size; ++i) {
        if (i < o)
            table[i] = 0;
        else if (i > size - o - 1)
            table[i] = static_cast<uint16_t>(top);
        else
            table[i] = static_cast<uint16_t>(TruncateToRange(scale * double(i - o), top));
    }
}

double GammaExponent(int32_t g) {
    if (g > 100) return (g - 100) / 10.0 + 1;
    return g / 100.0;
}

double GammaExponentRgb8(int32_t g) {
    const double e = GammaExponent(g);
    return e < 0.001 ? 0.001 : e > 99.999 ? 99.999 : e;
}

void BuildGammaTable8(double e, uint8_t table[256]) {
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<uint8_t>(TruncateToRange(std::pow(i / 255.0, e) * 255, 255));
}

void BuildGammaTable16(double e, int sampleBits, uint16_t* table) {
    const int32_t size = int32_t(1) << sampleBits;
    const int32_t top = size - 1;
    for (int32_t i = 0; i < size; ++i)
        table[i] = static_cast<uint16_t>(TruncateToRange(std::pow(i / double(size), e) * top, top));
}

void BuildSharpenTable(int32_t a, int32_t top, int32_t* table) {
    const int64_t count = int64_t(SharpenTableSize(top));
    for (int64_t i = 0; i < count; ++i) {
        int64_t d = int64_t(a) * (i - top) / 10;
        d = d < -65536 ? -65536 : d > 65536 ? 65536 : d;
        table[i] = int32_t(d);
    }
}

HueShift HueShiftFor(int32_t hue) {
    const int64_t angle = int64_t(hue) * 65536 / 360;  // truncated toward zero
    const uint32_t turn = uint32_t(angle) & 0xFFFFu;
    const int32_t x = int32_t((turn * 6) >> 8);
    const int32_t k = (x + 256) >> 9;
    int32_t m = x % 512;
    if (m >= 256) m -= 512;
    int32_t shift = m + 510 * (k % 3);
    if (shift < 0) shift += 1530;
    if (shift >= 1530) shift -= 1530;
    HueShift result;
    result.sector = shift / 255;
    result.remainder = shift % 255;
    return result;
}

void BuildSatTable(int32_t saturation, uint8_t table[256]) {
    const int64_t scale = (int64_t(saturation) + 256) * 256;
    for (int64_t c = 0; c < 256; ++c) {
        const int64_t product = scale * c + 32768;
        const int64_t entry = product < 0 ? 0 : product >> 16;
        table[c] = static_cast<uint8_t>(entry > 255 ? 255 : entry);
    }
}

const HexconeTables& SharedHexconeTables() {
    // A function-local static is initialised exactly once, even when two cameras' frames arrive
    // at the same moment; nothing writes the tables afterwards.
    static const HexconeTables tables = [] {
        HexconeTables t;
        for (uint32_t k = 0; k < 256; ++k) t.gray[k] = k * 0x010101u;
        t.inverse[0] = 0;
        for (uint32_t c = 1; c < 256; ++c) t.inverse[c] = 0xFF0000u / c;
        return t;
    }();
    return tables;
}

const uint32_t kHexconeMask[18] = {
    0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF,
    0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF,
    0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF,
};
const int32_t kHexconeMultiplier[18] = {
    -1, 256, -65536, 1, -256, 65536,
    -1, 256, -65536, 1, -256, 65536,
    -1, 256, -65536, 1, -256, 65536,
};
