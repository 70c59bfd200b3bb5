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
// Each registered camera holds one reference on this library: its threads run the library's code,
// so an application that frees the library without Quorin_Release must not have it unmapped under
// them. The reference is taken with the camera and dropped after it is destroyed, inside an export,
// where the application's own reference still holds the library.
void HoldLibrary() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&HoldLibrary), &self);
}

void DestroyCamera(CQuorin* camera) {
    if (!camera) return;
    delete camera;
    HMODULE self = nullptr;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&HoldLibrary), &self))
        FreeLibrary(self);
}
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
        if (Add(CSDKDATA{handle, camera, 0, false})) {
            HoldLibrary();
            return handle;
        }
    }
    delete camera;
    return 0;
}

CSdkChain::Node* CSdkChain::BeginCall(int32_t handle) {
    Locked hold(&lock_);
    if (!Find(handle, KeyOf)) return nullptr;
    Node* node = Head();
    if (!node->data.camera) return nullptr;
    ++node->data.callsInFlight;
    return node;
}

void CSdkChain::EndCall(Node* node) {
    CQuorin* camera = nullptr;
    {
        Locked hold(&lock_);
        if (--node->data.callsInFlight > 0 || !node->data.released) return;
        camera = node->data.camera;
        delete node;
    }
    // Destroyed after the lock is gone: shutting a camera down waits for its workers, and other
    // handles' calls must not queue behind that.
    DestroyCamera(camera);
}

int CSdkChain::Release(int32_t handle) {
    CQuorin* camera = nullptr;
    {
        Locked hold(&lock_);
        if (!Find(handle, KeyOf)) return 0;
        Node* node = Head();
        Detach(node);
        if (node->data.callsInFlight > 0) {
            node->data.released = true;
            return 1;
        }
        camera = node->data.camera;
        delete node;
    }
    DestroyCamera(camera);
    return 1;
}
