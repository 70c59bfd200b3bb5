// The colour-type tables behind Quorin_SetColorMode and Quorin_GetColorMode.
#include "imaging/colour_modes.h"

namespace {
const int kSetValues[6] = {8, 16, 24, 32, 48, 64};
// The three 16-bit-per-sample types report their bit count minus 6 (10 significant bits).
const int kReportedModes[6] = {8, 10, 24, 32, 42, 58};
}  // namespace

int ColourTypeFromSetValue(int value) {
    for (int type = 0; type < 6; ++type)
        if (kSetValues[type] == value) return type;
    return -1;
}

int ColorModeResultOf(int colourType) {
    if (colourType < 0 || colourType > 5) return -1;
    return kReportedModes[colourType];
}

uint16_t BitCountOfColourType(int colourType) {
    if (colourType < 0 || colourType > 5) return 0;
    return static_cast<uint16_t>(kSetValues[colourType]);
}

int ColourTypeUsesRaw16(int colourType) {
    return colourType == kColourRaw16 || colourType == kColourRgb48 || colourType == kColourRgb64;
}
