// Which controls of the filter dialog are enabled, by the camera's colour mode when it opens.
#pragma once

enum FilterEnableFlag {
    kEnableBrightness = 0,
    kEnableContrast = 1,
    kEnableHue = 2,
    kEnableSaturation = 3,
    kEnableSharpness = 4,
    kEnableRedGain = 5,
    kEnableGreenGain = 6,
    kEnableBlueGain = 7,
    kEnableGamma = 8,
    kEnableGrayPage = 9,     // the "Gray Filter" tab and page
    kEnableWhiteBalance = 15,  // "Once", "All frames" and the Bayer Mode buttons of the image page
    kFilterEnableFlagCount = 19
};

struct FilterEnableFlags {
    bool on[kFilterEnableFlagCount];
};

// Gray modes (0, 1) keep the gray page and drop the colour controls; colour modes (2 to 5) the
// other way round. Flags 16 and 17 are set for colour modes and govern nothing.
FilterEnableFlags FilterEnableFlagsFor(int colourMode);
