#include "directshow/camera_properties.h"

#include <cmath>

#include "VazadoZir_O52RO_VIZ.h"
#include "directshow/camera_device.h"

namespace quorin_dshow {

namespace {

constexpr long kAuto = 1, kManual = 2;  // VideoProcAmp_Flags_* and CameraControl_Flags_* alike
constexpr int kAutoIrisOff = 0, kAutoIrisExposure = 1, kAutoIrisGain = 2;
constexpr int kLineClocks = 1790, kExposureFixedClocks = 200, kMaxExposureLines = 1066;

struct PlainValue {
    long property;
    int filterId;
    long min, max, def;
};

// Values that are the SDK's own, with its ranges and defaults.
constexpr PlainValue kPlainValues[] = {
    {VideoProcAmp_Brightness, QUORIN_BRIGHTNESS, -255, 255, 0},
    {VideoProcAmp_Contrast, QUORIN_CONTRAST, -127, 127, 0},
    {VideoProcAmp_Hue, QUORIN_HUE, -360, 360, 0},
    {VideoProcAmp_Saturation, QUORIN_SATURATION, -255, 255, 0},
    {VideoProcAmp_Sharpness, QUORIN_SHARPNESS, 0, 30, 0},
    {VideoProcAmp_Gamma, QUORIN_GAMMA, 0, 200, 100},
    {VideoProcAmp_Gain, QUORIN_GLOBAL_GAIN, 0, 1023, 512},
};

const PlainValue* FindPlain(long property) {
    for (const PlainValue& v : kPlainValues)
        if (v.property == property) return &v;
    return nullptr;
}

constexpr long kWhiteBalanceMin = -200, kWhiteBalanceMax = 200;

int GetValue(CameraDevice& camera, int id, bool* ok) {
    int success = 0;
    const int value = camera.Sdk().GetFilterValue(camera.Handle(), id, &success);
    if (!success) *ok = false;
    return value;
}

int AutoIris(CameraDevice& camera) {
    int ok = 0;
    return camera.Sdk().GetAutoIris(camera.Handle(), &ok);
}

// Seconds per sensor clock at the camera's present clock.
double ClockSeconds(CameraDevice& camera) { return 1.0 / camera.ClockHz(); }

void ExposureLimits(CameraDevice& camera, long* min, long* max) {
    const double clock = ClockSeconds(camera);
    *min = static_cast<long>(std::ceil(std::log2(kExposureFixedClocks * clock)));
    *max = static_cast<long>(std::floor(std::log2((kMaxExposureLines * static_cast<double>(kLineClocks) +
                                                   kExposureFixedClocks) * clock)));
}

}  // namespace

HRESULT ProcAmpRange(CameraDevice& camera, long property, long* min, long* max, long* step, long* def, long* caps) {
    if (!min || !max || !step || !def || !caps) return E_POINTER;
    *step = 1;
    if (const PlainValue* v = FindPlain(property)) {
        *min = v->min;
        *max = v->max;
        *def = v->def;
        *caps = property == VideoProcAmp_Gain ? (kManual | kAuto) : kManual;
        return S_OK;
    }
    if (property == VideoProcAmp_WhiteBalance) {
        *min = kWhiteBalanceMin;
        *max = kWhiteBalanceMax;
        *def = 0;
        *caps = kManual | kAuto;
        return S_OK;
    }
    return E_PROP_ID_UNSUPPORTED;
}

HRESULT ProcAmpGet(CameraDevice& camera, long property, long* value, long* flags) {
    if (!value || !flags) return E_POINTER;
    bool ok = true;
    if (const PlainValue* v = FindPlain(property)) {
        *value = GetValue(camera, v->filterId, &ok);
        *flags = property == VideoProcAmp_Gain && AutoIris(camera) == kAutoIrisGain ? kAuto : kManual;
    } else if (property == VideoProcAmp_WhiteBalance) {
        *value = GetValue(camera, QUORIN_BAYER_GAIN_BLUE, &ok) - GetValue(camera, QUORIN_BAYER_GAIN_RED, &ok);
        *flags = GetValue(camera, QUORIN_BAYER_GAIN_AUTO, &ok) ? kAuto : kManual;
    } else {
        return E_PROP_ID_UNSUPPORTED;
    }
    return ok ? S_OK : E_FAIL;
}

HRESULT ProcAmpSet(CameraDevice& camera, long property, long value, long flags) {
    const SdkLibrary& sdk = camera.Sdk();
    const int h = camera.Handle();
    const bool automatic = (flags & kAuto) != 0;
    if (const PlainValue* v = FindPlain(property)) {
        if (property == VideoProcAmp_Gain) {
            // Automatic gain is the SDK's auto iris in gain mode; manual ends it (and only it).
            if (automatic) return sdk.SetAutoIris(h, kAutoIrisGain) ? S_OK : E_FAIL;
            if (AutoIris(camera) == kAutoIrisGain) sdk.SetAutoIris(h, kAutoIrisOff);
        } else if (automatic) {
            return E_INVALIDARG;
        }
        if (value < v->min || value > v->max) return E_INVALIDARG;
        return sdk.SetFilterValue(h, v->filterId, static_cast<int>(value)) ? S_OK : E_FAIL;
    }
    if (property == VideoProcAmp_WhiteBalance) {
        if (automatic) return sdk.SetFilterValue(h, QUORIN_BAYER_GAIN_AUTO, 1) ? S_OK : E_FAIL;
        if (value < kWhiteBalanceMin || value > kWhiteBalanceMax) return E_INVALIDARG;
        sdk.SetFilterValue(h, QUORIN_BAYER_GAIN_AUTO, 0);
        const int red = 100 - static_cast<int>(value) / 2;
        const int blue = red + static_cast<int>(value);
        return sdk.SetFilterValue(h, QUORIN_BAYER_GAIN_RED, red) && sdk.SetFilterValue(h, QUORIN_BAYER_GAIN_BLUE, blue)
                   ? S_OK
                   : E_FAIL;
    }
    return E_PROP_ID_UNSUPPORTED;
}

HRESULT CameraControlRange(CameraDevice& camera, long property, long* min, long* max, long* step, long* def,
                           long* caps) {
    if (!min || !max || !step || !def || !caps) return E_POINTER;
    if (property != CameraControl_Exposure) return E_PROP_ID_UNSUPPORTED;
    ExposureLimits(camera, min, max);
    *step = 1;
    // The SDK's default exposure register 64 is 1010 lines: about 75 ms at 24 MHz.
    const double seconds = ((1074 - 64) * static_cast<double>(kLineClocks) + kExposureFixedClocks) * ClockSeconds(camera);
    *def = static_cast<long>(std::lround(std::log2(seconds)));
    if (*def > *max) *def = *max;
    *caps = kManual | kAuto;
    return S_OK;
}

HRESULT CameraControlGet(CameraDevice& camera, long property, long* value, long* flags) {
    if (!value || !flags) return E_POINTER;
    if (property != CameraControl_Exposure) return E_PROP_ID_UNSUPPORTED;
    int ok = 0;
    const int microseconds = camera.Sdk().GetRealExposureTime(camera.Handle(), &ok);
    if (!ok || microseconds <= 0) return E_FAIL;
    *value = static_cast<long>(std::lround(std::log2(microseconds / 1e6)));
    *flags = AutoIris(camera) == kAutoIrisExposure ? kAuto : kManual;
    return S_OK;
}

HRESULT CameraControlSet(CameraDevice& camera, long property, long value, long flags) {
    if (property != CameraControl_Exposure) return E_PROP_ID_UNSUPPORTED;
    const SdkLibrary& sdk = camera.Sdk();
    const int h = camera.Handle();
    if (flags & kAuto) return sdk.SetAutoIris(h, kAutoIrisExposure) ? S_OK : E_FAIL;
    long min = 0, max = 0;
    ExposureLimits(camera, &min, &max);
    if (value < min || value > max) return E_INVALIDARG;
    if (AutoIris(camera) == kAutoIrisExposure) sdk.SetAutoIris(h, kAutoIrisOff);
    const int microseconds = static_cast<int>(std::ldexp(1e6, static_cast<int>(value)));
    return sdk.SetRealExposureTime(h, microseconds) ? S_OK : E_FAIL;
}

}  // namespace quorin_dshow
