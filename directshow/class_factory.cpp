#include "directshow/class_factory.h"

#include "directshow/capture_filter.h"
#include "directshow/module_lock.h"

namespace quorin_dshow {

LONG ModuleLock::count_ = 0;

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() {
    ModuleLock::Add();
    return InterlockedIncrement(&references_);
}

STDMETHODIMP_(ULONG) ClassFactory::Release() {
    const LONG left = InterlockedDecrement(&references_);
    ModuleLock::Remove();
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return CaptureFilter::Create(iid, object);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
    if (lock) ModuleLock::Add();
    else ModuleLock::Remove();
    return S_OK;
}

}  // namespace quorin_dshow
