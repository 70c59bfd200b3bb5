// QuorinCapture: the DirectShow capture source filter for one M52DX-LTX. Bound from a device
// moniker it reads the camera's device index ("DeviceIndex", -1 for the first camera not in use)
// through IPersistPropertyBag; it holds one SDK handle on that camera for its lifetime, streams
// through its CapturePin and exposes the camera's values as IAMVideoProcAmp and IAMCameraControl.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <memory>

#include "directshow/camera_control_interface.h"
#include "directshow/camera_device.h"
#include "directshow/capture_pin.h"

namespace quorin_dshow {

// {5B7C3A10-4E2D-4F6A-9C1B-2D8E4A6F5C31}
extern const CLSID CLSID_QuorinCapture;

class CaptureFilter final : public IBaseFilter, public IPersistPropertyBag, public IAMVideoProcAmp,
                      public IAMFilterMiscFlags {
public:
    static HRESULT Create(REFIID iid, void** object);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPersist, IMediaFilter, IBaseFilter
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    // IPersistPropertyBag
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // IAMVideoProcAmp (IAMCameraControl is the member cameraControl_)
    STDMETHODIMP GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* def, LONG* caps) override;
    STDMETHODIMP Set(LONG property, LONG value, LONG flags) override;
    STDMETHODIMP Get(LONG property, LONG* value, LONG* flags) override;

    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override;

    // For the pin.
    CRITICAL_SECTION* Lock() { return &lock_; }
    FILTER_STATE State() const { return state_; }
    IFilterGraph* Graph() const { return graph_; }
    int DeviceIndex() const { return deviceIndex_; }
    // The camera, opened on first use and kept; null with *result when it cannot be opened or
    // selected (ERROR_BUSY while another program streams from it: asked again on each call).
    std::shared_ptr<CameraDevice> Camera(HRESULT* result);
    bool StreamTime(REFERENCE_TIME* now);
    void NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);

private:
    CaptureFilter();
    ~CaptureFilter();
    void SetState(FILTER_STATE state);

    LONG references_ = 1;
    CRITICAL_SECTION lock_;        // state changes, connection, camera
    CRITICAL_SECTION streamLock_;  // what the streaming thread reads: state, clock, start, graph
    FILTER_STATE state_ = State_Stopped;
    IReferenceClock* clock_ = nullptr;
    REFERENCE_TIME start_ = 0;
    IFilterGraph* graph_ = nullptr;  // not counted: the graph holds the filter
    WCHAR name_[MAX_FILTER_NAME] = {};
    int deviceIndex_ = kAnyCamera;
    std::shared_ptr<CameraDevice> camera_;
    CapturePin pin_;
    CameraControlInterface cameraControl_;
};

}  // namespace quorin_dshow
