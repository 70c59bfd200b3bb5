// The camera's device object seen as the AnalogDevice the adjustable values talk to.
#pragma once

#include "device/quorin_m52dx_ltx_sdk.h"
#include "settings/analog_device.h"

namespace quorin {

class DeviceAnalogAdapter final : public AnalogDevice {
public:
    explicit DeviceAnalogAdapter(::CQuorinM52DXLTXSdk& device) : device_(device) {}

    int SetGain(uint16_t value) override { return device_.SetGain(value); }
    int GetGain() const override { return device_.GetGain(); }
    int SetShutter(uint16_t value) override { return device_.SetShutter(value); }
    int GetShutter() const override { return device_.GetShutter(); }
    int SetMirrorV(int on) override { return device_.SetMirrorV(on); }
    int SetMirrorH(int on) override { return device_.SetMirrorH(on); }
    int GetMirrorV() const override { return device_.GetMirrorV(); }
    int GetMirrorH() const override { return device_.GetMirrorH(); }
    // The sensor's gain register starts at 0.
    int GainMin() const override { return 0; }
    int GainMax() const override { return ::CQuorinM52DXLTXSdk::GainMax(); }
    int GainDefault() const override { return ::CQuorinM52DXLTXSdk::GainDefault(); }
    int ShutterMin() const override { return ::CQuorinM52DXLTXSdk::ShutterMin(); }
    int ShutterMax() const override { return ::CQuorinM52DXLTXSdk::ShutterMax(); }
    int ShutterDefault() const override { return ::CQuorinM52DXLTXSdk::ShutterDefault(); }

private:
    ::CQuorinM52DXLTXSdk& device_;
};

}  // namespace quorin
