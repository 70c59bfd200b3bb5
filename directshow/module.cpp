// The entry points of QuorinCapture.ax, an in-process COM server.
#include <windows.h>
#include <olectl.h>

#include "directshow/capture_filter.h"
#include "directshow/class_factory.h"
#include "directshow/device_registration.h"
#include "directshow/module_lock.h"
#include "directshow/sdk_library.h"

using namespace quorin_dshow;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_captureModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_QuorinCapture) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) ClassFactory();
    if (!factory) return E_OUTOFMEMORY;
    ModuleLock::Add();  // balanced by the Release below
    const HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return ModuleLock::Idle() ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return RegisterCaptureFilter(); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return UnregisterCaptureFilter(); }
