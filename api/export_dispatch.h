// The common frame of every handle-taking export: look the handle up, return the export's failure
// value at once for an unknown handle (reporting nothing: there is no history to take it), else run
// the operation on the camera. No C++ exception crosses the library boundary.
#pragma once

#include <new>

#include "api/sdk_chain.h"
#include "camera/quorin_camera.h"

template <typename Operation>
int WithCamera(int handle, int failureValue, Operation operation) {
    CQuorin* camera = nullptr;
    try {
        CSdkChain::Node* node = g_sdkChain.Lookup(handle);
        camera = node ? node->data.camera : nullptr;
        if (!camera) return failureValue;
        return operation(*camera);
    } catch (const std::bad_alloc&) {
        if (camera) camera->ReportError(QUORIN_ERR_MEMORY);
        return failureValue;
    } catch (...) {
        return failureValue;
    }
}
