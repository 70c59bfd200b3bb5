#include "directshow/camera_control_interface.h"

#include "directshow/camera_properties.h"
#include "directshow/capture_filter.h"

namespace quorin_dshow {

STDMETHODIMP CameraControlInterface::QueryInterface(REFIID iid, void** object) {
    return static_cast<IBaseFilter*>(filter_)->QueryInterface(iid, object);
}
STDMETHODIMP_(ULONG) CameraControlInterface::AddRef() { return static_cast<IBaseFilter*>(filter_)->AddRef(); }
STDMETHODIMP_(ULONG) CameraControlInterface::Release() { return static_cast<IBaseFilter*>(filter_)->Release(); }

STDMETHODIMP CameraControlInterface::GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* def,
                                              LONG* caps) {
    HRESULT result = S_OK;
    std::shared_ptr<CameraDevice> camera = filter_->Camera(&result);
    return camera ? CameraControlRange(*camera, property, min, max, step, def, caps) : result;
}

STDMETHODIMP CameraControlInterface::Set(LONG property, LONG value, LONG flags) {
    HRESULT result = S_OK;
    std::shared_ptr<CameraDevice> camera = filter_->Camera(&result);
    return camera ? CameraControlSet(*camera, property, value, flags) : result;
}

STDMETHODIMP CameraControlInterface::Get(LONG property, LONG* value, LONG* flags) {
    HRESULT result = S_OK;
    std::shared_ptr<CameraDevice> camera = filter_->Camera(&result);
    return camera ? CameraControlGet(*camera, property, value, flags) : result;
}

}  // namespace quorin_dshow
