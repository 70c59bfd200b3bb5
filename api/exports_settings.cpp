// Exports: adjustable values, sensor and device access, dialogs, and the functions this camera model
// does not support.
#include "api/export_dispatch.h"

extern "C" {

QUORIN_API int QUORIN_CALL Quorin_GetFilterValue(int handle, int id, int* ok) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.GetFilterValue(id, ok); });
}

QUORIN_API int QUORIN_CALL Quorin_SetFilterValue(int handle, int id, int value) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetFilterValue(id, value); });
}

// Each named getter and setter is the generic function with its id.
#define QUORIN_FILTER_PAIR(Name, id)                                                       \
    QUORIN_API int QUORIN_CALL Quorin_Get##Name(int handle, int* ok) {                     \
        return Quorin_GetFilterValue(handle, id, ok);                                      \
    }                                                                                      \
    QUORIN_API int QUORIN_CALL Quorin_Set##Name(int handle, int value) {                   \
        return Quorin_SetFilterValue(handle, id, value);                                   \
    }
QUORIN_FILTER_PAIR(Brightness, QUORIN_BRIGHTNESS)
QUORIN_FILTER_PAIR(Contrast, QUORIN_CONTRAST)
QUORIN_FILTER_PAIR(Hue, QUORIN_HUE)
QUORIN_FILTER_PAIR(Saturation, QUORIN_SATURATION)
QUORIN_FILTER_PAIR(Sharpness, QUORIN_SHARPNESS)
QUORIN_FILTER_PAIR(BayerGainRGB, QUORIN_BAYER_GAIN_RGB)
QUORIN_FILTER_PAIR(BayerGainRed, QUORIN_BAYER_GAIN_RED)
QUORIN_FILTER_PAIR(BayerGainGreen, QUORIN_BAYER_GAIN_GREEN)
QUORIN_FILTER_PAIR(BayerGainBlue, QUORIN_BAYER_GAIN_BLUE)
QUORIN_FILTER_PAIR(BayerGainAuto, QUORIN_BAYER_GAIN_AUTO)
QUORIN_FILTER_PAIR(Gamma, QUORIN_GAMMA)
QUORIN_FILTER_PAIR(BayerMode, QUORIN_BAYER_MODE)
QUORIN_FILTER_PAIR(GlobalGain, QUORIN_GLOBAL_GAIN)
QUORIN_FILTER_PAIR(ColorGainRed, QUORIN_COLOR_GAIN_RED)
QUORIN_FILTER_PAIR(ColorGainGreen1, QUORIN_COLOR_GAIN_GREEN1)
QUORIN_FILTER_PAIR(ColorGainGreen2, QUORIN_COLOR_GAIN_GREEN2)
QUORIN_FILTER_PAIR(ColorGainBlue, QUORIN_COLOR_GAIN_BLUE)
QUORIN_FILTER_PAIR(ExposureTime, QUORIN_EXPOSURE_TIME)
QUORIN_FILTER_PAIR(GrayMode, QUORIN_GRAY_MODE)
QUORIN_FILTER_PAIR(GrayGainR, QUORIN_GRAY_GAIN_R)
QUORIN_FILTER_PAIR(GrayGainG1, QUORIN_GRAY_GAIN_G1)
QUORIN_FILTER_PAIR(GrayGainG2, QUORIN_GRAY_GAIN_G2)
QUORIN_FILTER_PAIR(GrayGainB, QUORIN_GRAY_GAIN_B)
QUORIN_FILTER_PAIR(GrayOffsetR, QUORIN_GRAY_OFFSET_R)
QUORIN_FILTER_PAIR(GrayOffsetG1, QUORIN_GRAY_OFFSET_G1)
QUORIN_FILTER_PAIR(GrayOffsetG2, QUORIN_GRAY_OFFSET_G2)
QUORIN_FILTER_PAIR(GrayOffsetB, QUORIN_GRAY_OFFSET_B)
#undef QUORIN_FILTER_PAIR

// Register exports take the address as a byte and the value as a 16-bit word; the Ex forms cut the
// address to 8 bits but pass the whole value.
QUORIN_API int QUORIN_CALL Quorin_ReadRegister(int handle, BYTE address, int* ok) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.ReadRegister(address, ok); });
}

QUORIN_API int QUORIN_CALL Quorin_ReadRegisterEx(int handle, int address, int* ok) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.ReadRegister(address & 0xFF, ok); });
}

QUORIN_API int QUORIN_CALL Quorin_WriteRegister(int handle, BYTE address, WORD value) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.WriteRegister(address, value); });
}

QUORIN_API int QUORIN_CALL Quorin_WriteRegisterEx(int handle, int address, int value) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.WriteRegister(address & 0xFF, value); });
}

QUORIN_API int QUORIN_CALL Quorin_ReadSromID(int handle, int address, int* ok) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.ReadSromID(address, ok); });
}

QUORIN_API int QUORIN_CALL Quorin_WriteSromID(int handle, int address, int value) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.WriteSromID(address, value); });
}

QUORIN_API int QUORIN_CALL Quorin_GetIOPort(int handle, BYTE* value) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.GetIOPort(value); });
}

QUORIN_API int QUORIN_CALL Quorin_SetIOPort(int handle, int value) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetIOPort(value); });
}

QUORIN_API int QUORIN_CALL Quorin_SetMirrorH(int handle, int on) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetMirrorH(on); });
}

QUORIN_API int QUORIN_CALL Quorin_SetMirrorV(int handle, int on) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetMirrorV(on); });
}

QUORIN_API int QUORIN_CALL Quorin_GetMirrorH(int handle) {
    return WithCamera(handle, 0, [](CQuorin& c) { return c.GetMirrorH(); });
}

QUORIN_API int QUORIN_CALL Quorin_GetMirrorV(int handle) {
    return WithCamera(handle, 0, [](CQuorin& c) { return c.GetMirrorV(); });
}

QUORIN_API int QUORIN_CALL Quorin_SetAutoIris(int handle, int mode) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.SetAutoIris(mode); });
}

QUORIN_API int QUORIN_CALL Quorin_GetAutoIris(int handle, int* ok) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.GetAutoIris(ok); });
}

QUORIN_API int QUORIN_CALL Quorin_SetCameraDlg(int handle, HWND parent) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.ShowDialog(CQuorin::kCameraDialog, parent); });
}

QUORIN_API int QUORIN_CALL Quorin_SetAnalogDlg(int handle, HWND parent) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.ShowDialog(CQuorin::kAnalogDialog, parent); });
}

QUORIN_API int QUORIN_CALL Quorin_SetImageDlg(int handle, HWND parent) {
    return WithCamera(handle, 0, [&](CQuorin& c) { return c.ShowDialog(CQuorin::kImageDialog, parent); });
}

// ---- Not supported by this camera model ---------------------------------------------------------

static int NotSupportedNotify(int handle) {
    return WithCamera(handle, 0, [](CQuorin& c) {
        c.NotifyError(QUORIN_ERR_UNSUPPORTED);
        return 0;
    });
}

static int NotSupportedZeroValue(int handle, int* value) {
    return WithCamera(handle, 0, [&](CQuorin&) {
        if (value) *value = 0;
        return 0;
    });
}

static int NotSupportedReport(int handle) {
    return WithCamera(handle, 0, [](CQuorin& c) {
        c.ReportError(QUORIN_ERR_UNSUPPORTED);
        return -1;
    });
}

QUORIN_API int QUORIN_CALL Quorin_Fpga_ReadRegister(int handle, int, int*) { return NotSupportedNotify(handle); }
QUORIN_API int QUORIN_CALL Quorin_Fpga_WriteRegister(int handle, int, int) { return NotSupportedNotify(handle); }
QUORIN_API int QUORIN_CALL Quorin_Fps(int handle, int) { return NotSupportedNotify(handle); }
QUORIN_API int QUORIN_CALL Quorin_SetCrossbar(int handle, int, int) { return NotSupportedNotify(handle); }
QUORIN_API int QUORIN_CALL Quorin_SetSamplingRate(int handle, int) { return NotSupportedNotify(handle); }
QUORIN_API int QUORIN_CALL Quorin_GetSamplingRate(int handle, int* value) { return NotSupportedZeroValue(handle, value); }
QUORIN_API int QUORIN_CALL Quorin_GetVideoFormat(int handle, int* value) { return NotSupportedZeroValue(handle, value); }
QUORIN_API int QUORIN_CALL Quorin_GetConfigFilter(int handle) { return NotSupportedReport(handle); }
QUORIN_API int QUORIN_CALL Quorin_SetConfigFilter(int handle, int) { return NotSupportedReport(handle); }

}  // extern "C"
