#include "camera/quorin_camera.h"

#include <cstring>

#include "camera/wide_path.h"
#include "camera/file_image.h"

CQuorin::CQuorin() = default;

CQuorin::~CQuorin() {
    // Close the preview and acquisition; with no device object this records 1 like any stop.
    Close();
}

int CQuorin::Initialize(HWND notify) {
    notifyWindow_ = notify;
    return 1;
}

// ---- Error history and notification -------------------------------------------------------------

void CQuorin::ReportError(int32_t code) {
    errorHistory_.Push(code);
    if (notifyWindow_) PostMessageA(notifyWindow_, QUORIN_WM_ERROR, 0, code);
}

void CQuorin::NotifyError(int32_t code) {
    // Not tested for null on purpose: a null window queues the message to the calling thread.
    PostMessageA(notifyWindow_, QUORIN_WM_ERROR, 0, code);
}

bool CQuorin::RequireDevice() {
    if (device_) return true;
    ReportError(QUORIN_ERR_NO_DEVICE);
    return false;
}

bool CQuorin::NotifyUnlessDevice() {
    if (device_) return true;
    NotifyError(QUORIN_ERR_NO_DEVICE);
    return false;
}

// ---- Device selection and information -----------------------------------------------------------

int CQuorin::EnumDevice(char* names) {
    if (!RequireDevice()) return 0;
    if (!names) return ReportError(QUORIN_ERR_PARAMETER), 0;
    return 0;
}

int CQuorin::EnumDeviceW(wchar_t* names) {
    if (!RequireDevice()) return 0;
    if (!names) return ReportError(QUORIN_ERR_PARAMETER), 0;
    return 0;
}

int CQuorin::GetDeviceName(int index, char* name, int size) {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::GetDeviceNameW(int index, wchar_t* name, int size) {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::SetDeviceNumber(int index) {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::GetCameraInfo(QuorinCameraInfo* info) {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::LoadConfigFile(const char* path) {
    CFileImage file;
    const uint8_t* data = file.Load(path);
    if (!data) return 0;
    CriticalSectionLock hold(configLock_);
    configList_.clear();
    // One pair per complete 8-byte record, little-endian; a trailing partial record is ignored.
    const uint32_t records = file.Size() / 8;
    configList_.reserve(records);
    for (uint32_t i = 0; i < records; ++i) {
        const uint8_t* r = data + i * 8;
        const int32_t first = static_cast<int32_t>(r[0] | (r[1] << 8) | (r[2] << 16) | (uint32_t(r[3]) << 24));
        const int32_t second = static_cast<int32_t>(r[4] | (r[5] << 8) | (r[6] << 16) | (uint32_t(r[7]) << 24));
        configList_.emplace_back(first, second);
    }
    return 1;
}

int CQuorin::LoadConfigFileW(const wchar_t* path) {
    char ansi[kAnsiPathBytes];
    if (!WideToAnsi(path, ansi, sizeof ansi)) return ReportError(QUORIN_ERR_FILE), 0;
    return LoadConfigFile(ansi);
}

std::vector<std::pair<int32_t, int32_t>> CQuorin::ConfigList() {
    CriticalSectionLock hold(configLock_);
    return configList_;
}

// ---- Acquisition --------------------------------------------------------------------------------

int CQuorin::Preview() {
    callbackWindow_ = nullptr;
    callerBuffer_ = nullptr;
    callerBufferSize_ = 0;
    callerTopDown_ = 0;
    if (StartPreview()) return 1;
    Close();
    ReportError(QUORIN_ERR_FRAME_READ);
    return 0;
}

int CQuorin::CallBackPreview(HWND window, BYTE* buffer, int size, int topDown) {
    callbackWindow_ = window;
    callerBuffer_ = buffer;
    callerBufferSize_ = size;
    callerTopDown_ = topDown;
    if (StartPreview()) return 1;
    Close();
    ReportError(QUORIN_ERR_FRAME_READ);
    return 0;
}

int CQuorin::StartPreview() {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::StopPreview() {
    runFlag_ = 0;
    if (!RequireDevice()) return 0;
    return 1;
}

int CQuorin::Capture() {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::SnapShot(BYTE* buffer, int size, int topDown) {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::Trigger(HWND window, BYTE* buffer, int size, int topDown) {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::GetImage(BYTE* buffer, int size, int topDown) {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::Close() {
    StopPreview();
    imageReady_ = 0;
    return 1;
}

int CQuorin::SetPreviewWindow(HWND parent, int left, int top, int right, int bottom) {
    if (!RequireDevice()) return 0;
    return 0;
}

// ---- Capture geometry, format and timing --------------------------------------------------------

int CQuorin::SetCaptureWindow(int w, int h) {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::SetCaptureWindowEx(int hTotal, int hStart, int hEffective, int vTotal, int vStart, int vEffective) {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::GetCaptureWindowEx(int* hTotal, int* hStart, int* hEffective, int* vTotal, int* vStart,
                                int* vEffective) {
    if (hTotal) *hTotal = hTotal_;
    if (hStart) *hStart = hStart_;
    if (hEffective) *hEffective = width_;
    if (vTotal) *vTotal = vTotal_;
    if (vStart) *vStart = vStart_;
    if (vEffective) *vEffective = height_;
    return 1;
}

int CQuorin::SetColorMode(int bits) {
    static const int kBits[] = {8, 16, 24, 32, 48, 64};
    for (int type = 0; type < 6; ++type) {
        if (kBits[type] == bits) {
            colourType_ = type;
            return 1;
        }
    }
    ReportError(QUORIN_ERR_PARAMETER);
    return 0;
}

int CQuorin::GetColorMode() const {
    // The three 16-bit-per-sample modes read back as their bit count minus 6.
    static const int kReported[] = {8, 10, 24, 32, 42, 58};
    const int32_t type = colourType_;
    return (type >= 0 && type < 6) ? kReported[type] : -1;
}

int CQuorin::SetSubSample(int mode) {
    if (mode != 0) return 0;
    subSample_ = 0;
    return 1;
}

int CQuorin::SetWaitTime(int ms) {
    if (ms < 0) return 0;
    waitTime_ = ms;
    return 1;
}

int CQuorin::SetHalfClock(int mode) {
    halfClock_ = mode;
    return 1;
}

int CQuorin::GetHalfClock(int* ok) {
    if (ok) *ok = 0;
    if (!NotifyUnlessDevice()) return 0;
    return 0;
}

int CQuorin::GetRealExposureTime(int* ok) {
    if (ok) *ok = 0;
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::SetRealExposureTime(int microseconds) {
    if (!RequireDevice()) return 0;
    return 0;
}

// ---- Recording and still files ------------------------------------------------------------------

int CQuorin::Record(const char* path, int durationMs, int showWindow) {
    if (!path || !*path) return ReportError(QUORIN_ERR_PARAMETER), 0;
    callbackWindow_ = nullptr;
    callerBuffer_ = nullptr;
    callerBufferSize_ = 0;
    callerTopDown_ = 0;
    if (!StartPreview()) {
        Close();
        ReportError(QUORIN_ERR_FILE);
        return 0;
    }
    return 0;
}

int CQuorin::RecordW(const wchar_t* path, int durationMs, int showWindow) {
    char ansi[kAnsiPathBytes];
    if (!WideToAnsi(path, ansi, sizeof ansi)) return ReportError(QUORIN_ERR_FILE), 0;
    return Record(ansi, durationMs, showWindow);
}

int CQuorin::SaveImage(const char* path, int fileType) {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::SaveImageW(const wchar_t* path, int fileType) {
    if (!RequireDevice()) return 0;
    return 0;
}

// ---- Adjustable values --------------------------------------------------------------------------

int CQuorin::GetFilterValue(int id, int* ok) {
    if (ok) *ok = 0;
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::SetFilterValue(int id, int value) {
    if (!RequireDevice()) return 0;
    return 0;
}

// ---- Sensor and device access -------------------------------------------------------------------

int CQuorin::ReadRegister(int address, int* ok) {
    if (ok) *ok = 0;
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::WriteRegister(int address, int value) {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::ReadSromID(int address, int* ok) {
    if (ok) *ok = 0;
    if (!NotifyUnlessDevice()) return 0;
    return 0;
}

int CQuorin::WriteSromID(int address, int value) {
    if (!NotifyUnlessDevice()) return 0;
    return 0;
}

int CQuorin::GetIOPort(BYTE* value) {
    if (!NotifyUnlessDevice()) return 0;
    if (!value) return NotifyError(QUORIN_ERR_PARAMETER), 0;
    return 0;
}

int CQuorin::SetIOPort(int value) {
    if (!NotifyUnlessDevice()) return 0;
    return 0;
}

int CQuorin::SetMirrorH(int on) {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::SetMirrorV(int on) {
    if (!NotifyUnlessDevice()) return 0;
    return 0;
}

int CQuorin::GetMirrorH() {
    if (!RequireDevice()) return 0;
    return 0;
}

int CQuorin::GetMirrorV() {
    if (!NotifyUnlessDevice()) return 0;
    return 0;
}

int CQuorin::SetAutoIris(int mode) {
    // Compared unsigned, so negative modes fail too.
    if (static_cast<uint32_t>(mode) > 2) return NotifyError(QUORIN_ERR_PARAMETER), 0;
    autoIris_ = mode;
    return 1;
}

int CQuorin::GetAutoIris(int* ok) {
    if (ok) *ok = 1;
    return autoIris_;
}

int CQuorin::ShowDialog(int which, HWND parent) {
    if (!RequireDevice()) return 0;
    return 0;
}
