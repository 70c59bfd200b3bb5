#include "directshow/sdk_library.h"

#include <cwchar>

namespace quorin_dshow {

HMODULE g_captureModule = nullptr;

namespace {

template <typename F>
bool Bind(HMODULE module, const char* name, F* slot) {
    *slot = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *slot != nullptr;
}

}  // namespace

bool SdkLibrary::Load() {
    // First beside the filter (the release folder keeps both together), then the search path.
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(g_captureModule, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        wchar_t* slash = std::wcsrchr(path, L'\\');
        if (slash && (slash - path) + 24 < MAX_PATH) {
            std::wcscpy(slash + 1, L"VazadoZir_O52RO_VIZ.dll");
            module_ = LoadLibraryW(path);
        }
    }
    if (!module_) module_ = LoadLibraryW(L"VazadoZir_O52RO_VIZ.dll");
    if (!module_) return false;
    bool ok = Bind(module_, "Quorin_Initialize", &Initialize) && Bind(module_, "Quorin_Release", &Release) &&
              Bind(module_, "Quorin_GetLastError", &GetLastError) &&
              Bind(module_, "Quorin_GetDeviceName", &GetDeviceName) &&
              Bind(module_, "Quorin_SetDeviceNumber", &SetDeviceNumber) &&
              Bind(module_, "Quorin_SetPreviewWindow", &SetPreviewWindow) &&
              Bind(module_, "Quorin_CallBackPreview", &CallBackPreview) &&
              Bind(module_, "Quorin_StopPreview", &StopPreview) && Bind(module_, "Quorin_Capture", &Capture) &&
              Bind(module_, "Quorin_GetImage", &GetImage) &&
              Bind(module_, "Quorin_SetCaptureWindowEx", &SetCaptureWindowEx) &&
              Bind(module_, "Quorin_SetColorMode", &SetColorMode) &&
              Bind(module_, "Quorin_GetHalfClock", &GetHalfClock) &&
              Bind(module_, "Quorin_GetRealExposureTime", &GetRealExposureTime) &&
              Bind(module_, "Quorin_SetRealExposureTime", &SetRealExposureTime) &&
              Bind(module_, "Quorin_GetFilterValue", &GetFilterValue) &&
              Bind(module_, "Quorin_SetFilterValue", &SetFilterValue) &&
              Bind(module_, "Quorin_GetAutoIris", &GetAutoIris) && Bind(module_, "Quorin_SetAutoIris", &SetAutoIris);
    return ok;
}

const SdkLibrary* SdkLibrary::Get() {
    // Loaded once and kept for the life of the process: camera handles may outlive any one filter.
    static SdkLibrary* instance = [] {
        SdkLibrary* library = new SdkLibrary();
        if (!library->Load()) {
            delete library;
            return static_cast<SdkLibrary*>(nullptr);
        }
        return library;
    }();
    return instance;
}

}  // namespace quorin_dshow
