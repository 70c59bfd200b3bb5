#include "settings/filter_settings.h"

namespace quorin {

void SetImageFilterDefaults(FilterSettings& settings) {
    settings.brightness = 0;
    settings.contrast = 0;
    settings.hue = 0;
    settings.saturation = 0;
    settings.sharpness = 0;
    settings.bayerGainRed = 100;
    settings.bayerGainGreen = 100;
    settings.bayerGainBlue = 100;
    settings.gamma = 100;
    settings.bayerMode = 1;
    settings.bayerGainAuto = 0;
    settings.WhiteBalanceOnce[0] = 0;
    settings.WhiteBalanceOnce[1] = 0;
}

void SetGrayFilterDefaults(FilterSettings& settings) {
    settings.grayMode = 0;
    settings.grayGainR = 128;
    settings.grayGainG1 = 128;
    settings.grayGainG2 = 128;
    settings.grayGainB = 128;
    settings.grayOffsetR = 0;
    settings.grayOffsetG1 = 0;
    settings.grayOffsetG2 = 0;
    settings.grayOffsetB = 0;
}

}  // namespace quorin
