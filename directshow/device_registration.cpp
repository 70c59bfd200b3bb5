#include "directshow/device_registration.h"

#include <dshow.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "directshow/capture_filter.h"
#include "directshow/sdk_library.h"

namespace quorin_dshow {

namespace {

constexpr wchar_t kInstancePrefix[] = L"QuorinCapture_";
constexpr wchar_t kFilterName[] = L"M52DX-LTX Capture";

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring CategoryInstanceKey() { return L"CLSID\\" + GuidText(CLSID_VideoInputDeviceCategory) + L"\\Instance"; }

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG WriteInstance(const std::wstring& instance, const std::wstring& friendlyName, int deviceIndex) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, (CategoryInstanceKey() + L"\\" + instance).c_str(), 0, nullptr,
                                  0, KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = SetString(key, L"FriendlyName", friendlyName);
    if (status == ERROR_SUCCESS) status = SetString(key, L"CLSID", GuidText(CLSID_QuorinCapture));
    const DWORD index = static_cast<DWORD>(deviceIndex);
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(key, L"DeviceIndex", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&index), sizeof index);
    RegCloseKey(key);
    return status;
}

// Deletes every category entry of ours (their names start with the prefix).
void DeleteInstances() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, CategoryInstanceKey().c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::wstring> ours;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (std::wcsncmp(name, kInstancePrefix, std::wcslen(kInstancePrefix)) == 0) ours.push_back(name);
    }
    for (const std::wstring& n : ours) RegDeleteTreeW(key, n.c_str());
    RegCloseKey(key);
}

}  // namespace

HRESULT RegisterCaptureFilter() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(g_captureModule, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return E_FAIL;
    const std::wstring classKey = L"CLSID\\" + GuidText(CLSID_QuorinCapture);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, classKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    SetString(key, nullptr, kFilterName);
    RegCloseKey(key);
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, (classKey + L"\\InprocServer32").c_str(), 0, nullptr, 0, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    SetString(key, nullptr, path);
    SetString(key, L"ThreadingModel", L"Both");
    RegCloseKey(key);

    DeleteInstances();
    // The attached cameras, as the SDK sees them now.
    const SdkLibrary* sdk = SdkLibrary::Get();
    if (!sdk) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    const int handle = sdk->Initialize(nullptr);
    if (!handle) return E_OUTOFMEMORY;
    LONG status = WriteInstance(std::wstring(kInstancePrefix) + L"Default", L"M52DX-LTX (first free camera)", -1);
    for (int index = 0; index < 32 && status == ERROR_SUCCESS; ++index) {
        char name[64];
        if (!sdk->GetDeviceName(handle, index, name, static_cast<int>(sizeof name))) continue;
        wchar_t instance[64], friendly[64];
        std::swprintf(instance, 64, L"%lsCamera_%02d", kInstancePrefix, index);
        std::swprintf(friendly, 64, L"M52DX-LTX camera %d", index);
        status = WriteInstance(instance, friendly, index);
    }
    sdk->Release(handle);
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT UnregisterCaptureFilter() {
    DeleteInstances();
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(CLSID_QuorinCapture)).c_str());
    return S_OK;
}

}  // namespace quorin_dshow
