// CQuorinM52DXLTXSdk: the device object of the M52DX-LTX camera. Adds the
// sensor's register space with its shadow, the model settings (gain,
// shutter, trigger, half clock, mirrors), the sensor start-up sequence and
// the capture window to CQRNSdkLib.
#pragma once

#include <cstdint>

#include "device/qrn_sdk_lib.h"
#include "device/sensor_programming.h"

class CQuorinM52DXLTXSdk final : public CQRNSdkLib {
public:
    // Probes the devices, initialises device 0 (full start-up), then sets
    // gain 512, shutter 64 and register 8 = 0.
    CQuorinM52DXLTXSdk();
    ~CQuorinM52DXLTXSdk() = default;

    // Slot 5: word mode is always on at the camera; the controller's pixel
    // width port selects 8 or 16 bits. 21 while streaming.
    int SetWordMode(int on) override;

    // --- Sensor registers (1 success, 0 failure) ---
    // Refuses registers 192-255 and above 1023 without a transfer. The shadow
    // keeps the value as passed, before masking.
    int WriteRegister(uint32_t reg, uint32_t value);
    int ReadRegister(uint32_t reg, uint32_t* out) const;

    // --- Model settings ---
    int SetGain(uint16_t value);
    uint16_t GetGain() const { return gain_; }
    int SetShutter(uint16_t value);
    uint16_t GetShutter() const { return shutter_; }
    int SetTriggerMode(int on);
    int GetHalfClock(int* out);
    // The port write's result, or 21 while streaming (nothing is sent).
    int SetHalfClock(int mode);
    int SetMirrorH(int on);  // stores only; returns 0
    int SetMirrorV(int on);  // stores only; returns 0
    int GetMirrorH() const { return mirrorH_; }
    int GetMirrorV() const { return mirrorV_; }

    static int GainDefault() { return quorin::kGainDefault; }
    static int GainMax() { return quorin::kGainMax; }
    static int ShutterDefault() { return quorin::kShutterDefault; }
    static int ShutterMax() { return quorin::kShutterMax; }
    static int ShutterMin() { return quorin::kShutterMin; }

    // --- Start-up and window ---
    // 0, or 22 for an index above 32, 21 while streaming (nothing changes).
    // Reprograms the sensor when the index changes (or a reprogram is pending).
    int InitializeDevice(int index);
    // Runs the register sequence when a reprogram is pending; returns 1.
    int SensorStartUp();
    // 0, or 1 for a window off the sensor, 21 while streaming or a snapshot
    // reads (nothing changes then), 7 when the frame buffers of the window
    // cannot be allocated (the window is stored, no buffers are left).
    int SetCaptureWindow(int x, int y, int width, int height, int mode);
    const quorin::CaptureWindow& GetCaptureWindow() const { return window_; }
    int GetSubSampleMode() const { return window_.mode; }
    bool IsReinitPending() const { return reinit_; }

private:
    // Sends a plan in order; returns the result of its last write.
    int WritePlan(const quorin::RegisterPlan& plan);
    void ApplyPerUnitValues();

    uint32_t shadow_[1024] = {};
    uint16_t gain_ = 0;
    uint16_t shutter_ = 0;
    int mirrorH_ = 0;
    int mirrorV_ = 0;
    bool reinit_ = true;
};
