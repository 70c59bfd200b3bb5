#include "dialogs/filter_enable_flags.h"

FilterEnableFlags FilterEnableFlagsFor(int colourMode) {
    const bool colour = colourMode >= 2;
    FilterEnableFlags flags = {};
    flags.on[kEnableBrightness] = true;
    flags.on[kEnableContrast] = true;
    flags.on[kEnableSharpness] = true;
    flags.on[kEnableGamma] = true;
    flags.on[kEnableHue] = colour;
    flags.on[kEnableSaturation] = colour;
    flags.on[kEnableRedGain] = colour;
    flags.on[kEnableGreenGain] = colour;
    flags.on[kEnableBlueGain] = colour;
    flags.on[kEnableGrayPage] = !colour;
    flags.on[kEnableWhiteBalance] = colour;
    flags.on[16] = colour;
    flags.on[17] = colour;
    return flags;
}
