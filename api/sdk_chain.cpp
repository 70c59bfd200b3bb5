#include "api/sdk_chain.h"

#include <cstdlib>

#include "camera/quorin_camera.h"

CSdkChain g_sdkChain;

namespace {
struct Locked {
    explicit Locked(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
    ~Locked() { LeaveCriticalSection(cs_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    CRITICAL_SECTION* cs_;
};
}  // namespace

CSdkChain::CSdkChain() { InitializeCriticalSection(&lock_); }

CSdkChain::~CSdkChain() {
    // Frees the nodes only: cameras still registered at unload are not destroyed.
    {
        Locked hold(&lock_);
        RemoveAll();
    }
    DeleteCriticalSection(&lock_);
}

// handle = tick count + rand() + number of open handles, in unsigned 32-bit arithmetic. A handle of
// 0 would read as failure and a duplicate would hide the older camera, so either is drawn again.
// Called with the lock held.
int32_t CSdkChain::DrawHandle() {
    for (;;) {
        const uint32_t t = GetTickCount();
        const uint32_t r = static_cast<uint32_t>(std::rand());
        const uint32_t n = static_cast<uint32_t>(Count());
        const int32_t handle = static_cast<int32_t>(t + r + n);
        if (handle != 0 && !Contains(handle, KeyOf)) return handle;
    }
}

int32_t CSdkChain::NewCamera() {
    CQuorin* camera = new (std::nothrow) CQuorin();
    if (!camera) return 0;
    int32_t handle;
    {
        Locked hold(&lock_);
        handle = DrawHandle();
        if (Add(CSDKDATA{handle, camera})) return handle;
    }
    delete camera;
    return 0;
}

CSdkChain::Node* CSdkChain::Lookup(int32_t handle) {
    Locked hold(&lock_);
    return Find(handle, KeyOf) ? Head() : nullptr;
}

bool CSdkChain::Detach(int32_t handle, CQuorin** camera) {
    Locked hold(&lock_);
    if (!Find(handle, KeyOf)) return false;
    Node* node = Head();
    *camera = node->data.camera;
    node->data.camera = nullptr;
    Unlink(node);
    return true;
}

int CSdkChain::Remove(int32_t handle) {
    Locked hold(&lock_);
    return Find(handle, KeyOf) ? RemoveHead() : 0;
}
