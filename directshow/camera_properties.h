// The camera's adjustable values behind IAMVideoProcAmp and IAMCameraControl.
//
// IAMVideoProcAmp: brightness, contrast, hue, saturation, sharpness, gamma and gain are the SDK's
// own values with its ranges and defaults (gain is the sensor's global gain, auto = automatic gain
// from the frames). White balance maps onto the red and blue white-balance gains (100 = 1.0):
// value v = blue gain - red gain, and setting v gives red 100 - v/2 and blue 100 + v/2, so higher
// values are bluer, 0 is neutral; auto = the SDK's automatic white balance.
// IAMCameraControl: exposure in log2 seconds, as DirectShow defines it (-4 = 1/16 s), through the
// SDK's exposure time in microseconds (lines of 1790 sensor clocks); auto = automatic exposure.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace quorin_dshow {

class CameraDevice;

HRESULT ProcAmpRange(CameraDevice& camera, long property, long* min, long* max, long* step, long* def, long* caps);
HRESULT ProcAmpGet(CameraDevice& camera, long property, long* value, long* flags);
HRESULT ProcAmpSet(CameraDevice& camera, long property, long value, long flags);

HRESULT CameraControlRange(CameraDevice& camera, long property, long* min, long* max, long* step, long* def,
                           long* caps);
HRESULT CameraControlGet(CameraDevice& camera, long property, long* value, long* flags);
HRESULT CameraControlSet(CameraDevice& camera, long property, long value, long flags);

}  // namespace quorin_dshow
