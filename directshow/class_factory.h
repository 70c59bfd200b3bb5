// The class object of CLSID_QuorinCapture that DllGetClassObject hands out.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace quorin_dshow {

class ClassFactory final : public IClassFactory {
public:
    ClassFactory() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    LONG references_ = 1;
};

}  // namespace quorin_dshow
