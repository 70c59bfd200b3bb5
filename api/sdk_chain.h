// The process-wide handle registry: maps the integer handles given to applications to their camera
// objects.
#pragma once

#include <windows.h>

#include "api/ring_list.h"

class CQuorin;

struct CSDKDATA {
    int32_t handle;
    CQuorin* camera;
    // Exports running on this camera at the moment; changed only under the registry's lock.
    int32_t callsInFlight;
    // Set when Quorin_Release unlinked the node while calls were still running on its camera: the
    // last of them destroys the camera and frees the node.
    bool released;
};

class CSdkChain : public CTRing<CSDKDATA> {
public:
    using Node = CTRing<CSDKDATA>::Node;

    CSdkChain();
    ~CSdkChain() override;

    // Creates a camera object and its handle and registers them. Returns the handle, or 0 when the
    // camera object cannot be made.
    int32_t NewCamera();
    // The node of a registered handle (it becomes the head) with one more call counted on it, or
    // null. A non-null node and its camera stay valid until the matching EndCall.
    Node* BeginCall(int32_t handle);
    // Ends a call begun by BeginCall. The last call on a released handle destroys its camera.
    void EndCall(Node* node);
    // Unlinks the handle at once, so later calls with it fail, and destroys its camera now or,
    // while calls are still running on it, when the last of them ends. 0 for an unknown handle.
    int Release(int32_t handle);

private:
    static int32_t KeyOf(const CSDKDATA& d) { return d.handle; }
    int32_t DrawHandle();

    CRITICAL_SECTION lock_;
};

extern CSdkChain g_sdkChain;
