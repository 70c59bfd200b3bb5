// IAMCameraControl of the capture filter. Its methods have the same names and signatures as
// IAMVideoProcAmp's, which the filter implements itself, so it lives in this member object that
// shares the filter's reference count and interfaces.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace quorin_dshow {

class CaptureFilter;

class CameraControlInterface : public IAMCameraControl {
public:
    explicit CameraControlInterface(CaptureFilter* filter) : filter_(filter) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* def, LONG* caps) override;
    STDMETHODIMP Set(LONG property, LONG value, LONG flags) override;
    STDMETHODIMP Get(LONG property, LONG* value, LONG* flags) override;

private:
    CaptureFilter* filter_;
};

}  // namespace quorin_dshow
