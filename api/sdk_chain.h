// The process-wide handle registry: maps the integer handles given to applications to their camera
// objects.
#pragma once

#include <windows.h>

#include "api/ring_list.h"

class CQuorin;

struct CSDKDATA {
    int32_t handle;
    CQuorin* camera;
};

class CSdkChain : public CTRing<CSDKDATA> {
public:
    using Node = CTRing<CSDKDATA>::Node;

    CSdkChain();
    ~CSdkChain() override;

    // Creates a camera object and its handle and registers them. Returns the handle, or 0 when the
    // camera object cannot be made.
    int32_t NewCamera();
    // The node of a registered handle (it becomes the head), or null. The node stays valid until
    // that handle is released.
    Node* Lookup(int32_t handle);
    // Unlinks the handle's node under the lock and hands back its camera (null for an unknown
    // handle, or a node without camera). The caller destroys the camera after the lock is gone,
    // so other handles' calls never wait behind a camera's shutdown.
    bool Detach(int32_t handle, CQuorin** camera);
    int Remove(int32_t handle);

private:
    static int32_t KeyOf(const CSDKDATA& d) { return d.handle; }
    int32_t DrawHandle();

    CRITICAL_SECTION lock_;
};

extern CSdkChain g_sdkChain;
