#include "directshow/camera_device.h"

#include <cmath>
#include <cstdio>

namespace quorin_dshow {

namespace {

constexpr int kSensorWidth = 1360, kSensorHeight = 1024;
constexpr int kLineClocks = 1790;
constexpr double kUsbBytesPerSecond = 40e6;  // the camera's bulk transfer rate
constexpr int kErrDeviceBusy = 2;

// Centred windows offered beside the full sensor and the camera's stored size list: the common
// sizes video programs ask for.
constexpr SIZE kCentredSizes[] = {{1280, 1024}, {1024, 768}, {640, 480}, {320, 240}};

}  // namespace

std::shared_ptr<CameraDevice> CameraDevice::Open(int deviceIndex, HRESULT* result) {
    const SdkLibrary* sdk = SdkLibrary::Get();
    if (!sdk) {
        *result = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const int handle = sdk->Initialize(nullptr);
    if (!handle) {
        *result = E_OUTOFMEMORY;
        return nullptr;
    }
    *result = S_OK;
    std::shared_ptr<CameraDevice> camera(new CameraDevice(sdk, handle, deviceIndex, deviceIndex == kAnyCamera));
    camera->Select();
    return camera;
}

HRESULT CameraDevice::Select() {
    if (selected_) return S_OK;
    int index = deviceIndex_;
    if (anyCamera_) {
        // The first attached camera that can be selected (one another program streams from cannot).
        bool anyAttached = false;
        for (index = 0; index < 32; ++index) {
            if (!Present(index)) continue;
            anyAttached = true;
            if (index == 0 || sdk_->SetDeviceNumber(handle_, index)) break;
        }
        if (index == 32) return anyAttached ? HRESULT_FROM_WIN32(ERROR_BUSY) : VFW_E_NO_CAPTURE_HARDWARE;
    } else if (index != 0 || !Present(0)) {
        // Quorin_Initialize opened index 0; another index is selected explicitly, which the SDK
        // refuses while another program streams from that camera.
        if (!sdk_->SetDeviceNumber(handle_, index))
            return Present(index) ? HRESULT_FROM_WIN32(ERROR_BUSY) : VFW_E_NO_CAPTURE_HARDWARE;
    }
    deviceIndex_ = index;
    selected_ = true;
    return S_OK;
}

CameraDevice::~CameraDevice() { sdk_->Release(handle_); }

bool CameraDevice::Present(int index) const {
    char name[64];
    return sdk_->GetDeviceName(handle_, index, name, static_cast<int>(sizeof name)) != 0;
}

double CameraDevice::ClockHz() const {
    // Read from the camera once: only the camera dialog changes it, and a new filter reads it again.
    if (clockHz_ == 0) {
        int ok = 0;
        clockHz_ = sdk_->GetHalfClock(handle_, &ok) == 1 ? 12e6 : 24e6;
    }
    return clockHz_;
}

LONGLONG CameraDevice::FrameTime(int width, int height, bool sixteenBit) const {
    int ok = 0;
    const int exposureUs = sdk_->GetRealExposureTime(handle_, &ok);
    return FrameTime(width, height, sixteenBit, ClockHz(), ok ? exposureUs : 0);
}

LONGLONG CameraDevice::FrameTime(int width, int height, bool sixteenBit, double clockHz, int exposureUs) {
    // A frame takes the longest of: reading its lines out, the exposure, and its USB transfer.
    const double pixels = static_cast<double>(width) * height;
    const double lines = std::ceil(pixels / kSensorWidth);
    double seconds = lines * kLineClocks / clockHz;
    if (exposureUs / 1e6 > seconds) seconds = exposureUs / 1e6;
    const double usb = pixels * (sixteenBit ? 2 : 1) / kUsbBytesPerSecond;
    if (usb > seconds) seconds = usb;
    return static_cast<LONGLONG>(seconds * 1e7 + 0.5);
}

void CameraDevice::ReadStoredSizes(int deviceIndex, std::vector<POINT>* origins, std::vector<SIZE>* sizes) {
    // The camera dialog's size list, as the SDK stores it per device number.
    if (deviceIndex < 0) return;
    char keyName[96];
    std::snprintf(keyName, sizeof keyName, "Software\\Zudada\\QuorinM52DXLTXSdk\\Camera_%02d", deviceIndex);
    HKEY cameraKey = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName, 0, KEY_READ, &cameraKey) != ERROR_SUCCESS) return;
    for (int i = 0; i < 100; ++i) {
        char entryName[16];
        std::snprintf(entryName, sizeof entryName, "Size_%02d", i);
        HKEY entry = nullptr;
        if (RegOpenKeyExA(cameraKey, entryName, 0, KEY_READ, &entry) != ERROR_SUCCESS) break;
        DWORD values[4] = {0, 0, 0, 0};
        const char* names[4] = {"EH", "EV", "EHS", "EVS"};
        for (int v = 0; v < 4; ++v) {
            DWORD size = sizeof(DWORD);
            RegQueryValueExA(entry, names[v], nullptr, nullptr, reinterpret_cast<BYTE*>(&values[v]), &size);
        }
        RegCloseKey(entry);
        const LONG w = static_cast<LONG>(values[0]), h = static_cast<LONG>(values[1]);
        const LONG x = static_cast<LONG>(values[2]), y = static_cast<LONG>(values[3]);
        // Rows of DirectShow's gray formats have no padding: widths stay multiples of 4.
        if (w <= 0 || h <= 0 || w % 4 || x < 0 || y < 0 || x + w > kSensorWidth || y + h > kSensorHeight) continue;
        origins->push_back(POINT{x, y});
        sizes->push_back(SIZE{w, h});
    }
    RegCloseKey(cameraKey);
}

template <typename FrameTimeOf>
std::vector<VideoFormat> CameraDevice::ListFormats(int deviceIndex, FrameTimeOf timeOf) {
    std::vector<POINT> origins = {POINT{0, 0}};
    std::vector<SIZE> sizes = {SIZE{kSensorWidth, kSensorHeight}};
    ReadStoredSizes(deviceIndex, &origins, &sizes);
    for (const SIZE& size : kCentredSizes) {
        origins.push_back(POINT{(kSensorWidth - size.cx) / 2 & ~1, (kSensorHeight - size.cy) / 2 & ~1});
        sizes.push_back(size);
    }
    std::vector<VideoFormat> formats;
    const PixelKind kinds[] = {PixelKind::Rgb24, PixelKind::Rgb32, PixelKind::Gray8, PixelKind::Gray16};
    for (PixelKind kind : kinds) {
        for (size_t i = 0; i < sizes.size(); ++i) {
            VideoFormat format = {kind, static_cast<int>(sizes[i].cx), static_cast<int>(sizes[i].cy),
                                  static_cast<int>(origins[i].x), static_cast<int>(origins[i].y), 0};
            bool duplicate = false;
            for (const VideoFormat& f : formats) duplicate = duplicate || f.SameShape(format);
            if (duplicate) continue;  // a stored entry of a size already listed
            format.frameTime = timeOf(format.width, format.height, kind == PixelKind::Gray16);
            formats.push_back(format);
        }
    }
    return formats;
}

std::vector<VideoFormat> CameraDevice::Formats() const {
    return ListFormats(deviceIndex_, [this](int w, int h, bool sixteenBit) { return FrameTime(w, h, sixteenBit); });
}

std::vector<VideoFormat> CameraDevice::UnopenedFormats(int deviceIndex) {
    return ListFormats(deviceIndex, [](int w, int h, bool sixteenBit) { return FrameTime(w, h, sixteenBit, 24e6, 0); });
}

HRESULT CameraDevice::LastErrorResult() {
    int code = 0, newest = 0;
    while ((code = sdk_->GetLastError(handle_)) != 0) {
        if (newest == 0 || code == kErrDeviceBusy) newest = code;  // a busy camera outranks what follows
    }
    if (newest == kErrDeviceBusy) return HRESULT_FROM_WIN32(ERROR_BUSY);
    return newest ? E_FAIL : S_OK;
}

bool CameraDevice::TryReserve() {
    // Capture mode prepares the camera and is refused (code 2) while another client streams.
    while (sdk_->GetLastError(handle_) != 0) {}
    const int ok = sdk_->Capture(handle_);
    sdk_->StopPreview(handle_);
    return ok != 0;
}

HRESULT CameraDevice::Reserve() {
    if (TryReserve()) return S_OK;
    HRESULT result = LastErrorResult();
    if (!anyCamera_) return FAILED(result) ? result : E_FAIL;
    for (int index = 0; index < 32; ++index) {
        if (index == deviceIndex_ || !Present(index)) continue;
        if (!sdk_->SetDeviceNumber(handle_, index)) continue;
        deviceIndex_ = index;
        clockHz_ = 0;
        if (TryReserve()) return S_OK;
    }
    return HRESULT_FROM_WIN32(ERROR_BUSY);
}

HRESULT CameraDevice::Apply(const VideoFormat& format) {
    const SdkLibrary& sdk = *sdk_;
    if (!sdk.SetColorMode(handle_, format.SdkColourBits())) return E_FAIL;
    if (!sdk.SetCaptureWindowEx(handle_, kSensorWidth, format.hStart, format.width, kSensorHeight, format.vStart,
                                format.height))
        return E_FAIL;
    // Frames are processed without the SDK's own preview window.
    sdk.SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0);
    return S_OK;
}

}  // namespace quorin_dshow
