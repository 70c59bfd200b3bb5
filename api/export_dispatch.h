// The common frame of every handle-taking export: look the handle up, return the export's failure
// value at once for an unknown handle (reporting nothing: there is no history to take it), else run
// the operation on the camera. No C++ exception crosses the library boundary.
#pragma once

#include <new>

#include "api/sdk_chain.h"
#include "camera/quorin_camera.h"

// One export's hold on its camera: while it lasts, a Quorin_Release of the same handle on another
// thread leaves the camera alive, and the last hold to end destroys it.
class CameraCall {
public:
    explicit CameraCall(int32_t handle) : node_(g_sdkChain.BeginCall(handle)) {}
    ~CameraCall() {
        if (node_) g_sdkChain.EndCall(node_);
    }
    CameraCall(const CameraCall&) = delete;
    CameraCall& operator=(const CameraCall&) = delete;
    CQuorin* Camera() const { return node_ ? node_->data.camera : nullptr; }

private:
    CSdkChain::Node* node_;
};

template <typename Operation>
int WithCamera(int handle, int failureValue, Operation operation) {
    CQuorin* camera = nullptr;
    try {
        CameraCall call(handle);
        camera = call.Camera();
        if (!camera) return failureValue;
        try {
            return operation(*camera);
        } catch (const std::bad_alloc&) {
            camera->ReportError(QUORIN_ERR_MEMORY);
            return failureValue;
        }
    } catch (...) {
        return failureValue;
    }
}
