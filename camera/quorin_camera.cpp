#include "camera/quorin_camera.h"

#include <cstring>

#include <windows.h>
#include <mmsystem.h>
#include <new>

#include "camera/config_records.h"
#include "camera/device_table.h"
#include "camera/file_image.h"
#include "camera/frame_info_pool.h"
#include "camera/wide_path.h"
#include "device/quorin_m52dx_ltx_sdk.h"
#include "files/still_image_writer.h"
#include "imaging/colour_modes.h"
#include "imaging/dib_image.h"
#include "settings/analog_settings.h"
#include "settings/analog_settings_store.h"
#include "settings/camera_format_store.h"
#include "settings/device_analog_adapter.h"
#include "settings/exposure_model.h"
#include "settings/filter_settings_store.h"
#include "settings/filter_values.h"
#include "settings/gray_settings_store.h"
#include "settings/record_format_store.h"
#include "settings/size_entry.h"

namespace {
const char kSectionName[] = "ZUDADA_USBCAMERA";
const char kDisplayName[] = "RuvadeR52EV-UZI";
const wchar_t kDisplayNameW[] = L"RuvadeR52EV-UZI";
const int kNameEntryChars = 256;
const int kSensorWidth = 1360, kSensorHeight = 1024;
// "RuvadeR52EV-UZI_NN" and its terminator.
const int kDeviceNameChars = 19;
const int kSerialConfigAddress = 7856;
}  // namespace

CQuorin::CQuorin() : fpsWindowStart_(timeGetTime()), frameInfo_(TakeFrameInfoBlocks()) {}

CQuorin::~CQuorin() {
    // Groups that were never loaded hold zeros, not the camera's settings: they must not replace
    // the stored ones.
    if (device_ && settingsLoaded_) SaveSettingsGroups(device_->GetSelectedIndex());
    Close();
    if (device_) {
        if (claimedIndex_ >= 0) ReleaseDevice(claimedIndex_);
        pipeline_.reset();
        analogDevice_.reset();
        delete device_;
        device_ = nullptr;
    }
    for (CDibImage** image : {&image8_, &image16_, &image24_, &image32_, &image48_, &image64_, &workImage_,
                              &displayImage_})
        DeleteImage(*image);
    sharedSection_.Close();
    ReturnFrameInfoBlocks(frameInfo_);
}

int CQuorin::Initialize(HWND notify) {
    if (!sharedSection_.Open(kSectionName)) {
        // Only the process that made the section clears its head; an opened one holds other
        // clients' claims.
        if (sharedSection_.Create(kSectionName, DeviceTable::kSectionSize) && sharedSection_.View() &&
            sharedSection_.Created())
            std::memset(sharedSection_.View(), 0, 32768);
    }
    if (!sharedSection_.View() || sharedSection_.ViewSize() < DeviceTable::kEnd) {
        // A section of that name too small for the device table is as good as none.
        sharedSection_.Close();
        ReportError(QUORIN_ERR_MEMORY);
        return 0;
    }

    device_ = new (std::nothrow) CQuorinM52DXLTXSdk();
    if (device_) analogDevice_.reset(new (std::nothrow) quorin::DeviceAnalogAdapter(*device_));
    if (analogDevice_)
        pipeline_.reset(new (std::nothrow) FramePipeline(values_.filter, values_.analog, analogDevice_.get(), this));
    for (CDibImage** image : {&image8_, &image16_, &image24_, &image32_, &image48_, &image64_, &workImage_,
                              &displayImage_})
        *image = MakeImage();
    notifyWindow_ = notify;
    if (device_ && (!analogDevice_ || !pipeline_ || !frameInfo_)) {
        // The device cannot be driven without its adapter, nor frames delivered without the
        // pipeline and the frame block: treat it as not made.
        pipeline_.reset();
        analogDevice_.reset();
        delete device_;
        device_ = nullptr;
    }
    if (!device_ || !image8_ || !image16_ || !image24_ || !image32_ || !image48_ || !image64_ || !workImage_ ||
        !displayImage_) {
        ReportError(QUORIN_ERR_MEMORY);
        return 0;
    }

    const int index = deviceIndex_;
    LoadStoredGeometry(index);
    device_->SensorStartUp();
    if (!IsCaptureWindowValid()) {
        ReportError(QUORIN_ERR_CAPTURE_WINDOW);
        ResetCaptureWindowToSensor();
    }
    device_->SetCaptureWindow(hStart_, vStart_, width_, height_, subSample_);
    previewRect_ = RECT{0, 0, width_, height_};

    LoadSettingsGroups(index);
    settingsLoaded_ = true;
    ApplyAnalogToDevice();

    LoadStoredFormatValues(index);
    return 1;
}

void CQuorin::LoadStoredGeometry(int index) {
    quorin::SizeEntry size = {hTotal_, vTotal_, width_, height_, hStart_, vStart_, bufferCount_};
    if (!quorin::LoadCaptureGeometry(index, &size)) return;
    hTotal_ = size.hTotal;
    vTotal_ = size.vTotal;
    width_ = size.width;
    height_ = size.height;
    hStart_ = size.hStart;
    vStart_ = size.vStart;
    bufferCount_ = size.bufferCount;
}

void CQuorin::LoadStoredFormatValues(int index) {
    quorin::CameraFormat format = {colourType_, subSample_, waitTime_, halfClock_};
    quorin::LoadCameraFormatValues(index, &format);
    colourType_ = format.colourType;
    subSample_ = format.subSample;
    waitTime_ = format.waitTime;
    halfClock_ = format.clockMode;
}

void CQuorin::DeleteImage(CDibImage*& image) {
    if (!image) return;
    image->Release();
    delete image;
    image = nullptr;
}

CDibImage* CQuorin::MakeImage() {
    CDibImage* image = new (std::nothrow) CDibImage;
    if (image) image->Init();
    return image;
}

void CQuorin::LoadSettingsGroups(int index) {
    quorin::CFilterSettingsStore(values_.filter).Load(index);
    quorin::CGraySettingsStore(values_.filter).Load(index);
    quorin::CAnalogSettingsStore(values_.analog, *analogDevice_).Load(index);
    CriticalSectionLock hold(configLock_);
    quorin::CRecordFormatStore(recordFormat_).Load(index);
}

void CQuorin::SaveSettingsGroups(int index) {
    quorin::CAnalogSettingsStore(values_.analog, *analogDevice_).Save(index);
    quorin::CFilterSettingsStore(values_.filter).Save(index);
    quorin::CGraySettingsStore(values_.filter).Save(index);
    CriticalSectionLock hold(configLock_);
    quorin::CRecordFormatStore(recordFormat_).Save(index);
}

void CQuorin::ApplyAnalogToDevice() { quorin::ApplyAnalogSettings(values_.analog, *analogDevice_); }

void CQuorin::ResetCaptureWindowToSensor() {
    hTotal_ = width_ = kSensorWidth;
    vTotal_ = height_ = kSensorHeight;
    hStart_ = vStart_ = 0;
}

bool CQuorin::IsCaptureWindowValid() const {
    const int32_t w = width_, h = height_, x = hStart_, y = vStart_, mode = subSample_;
    if (w < 0 || h < 0 || x < 0 || y < 0) return false;
    if (w > kSensorWidth || h > kSensorHeight || x > kSensorWidth || y > kSensorHeight) return false;
    if (x + w > kSensorWidth || y + h > kSensorHeight) return false;
    switch (mode) {
        case 1: case 2: case 3: case 17: case 18: case 19: return false;
        default: return true;
    }
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

// ---- The shared device table ----------------------------------------------------------------------

uint64_t CQuorin::OwnerToken() const {
    if (notifyWindow_) return reinterpret_cast<uintptr_t>(notifyWindow_);
    return reinterpret_cast<uintptr_t>(this);
}

int CQuorin::ClaimDevice(int index) {
    if (!sharedSection_.View()) return 0;
    if (!DeviceTable(sharedSection_.View()).Claim(index, OwnerToken())) {
        ReportError(QUORIN_ERR_DEVICE_BUSY);  // another client took it first
        return 0;
    }
    claimedIndex_ = index;
    return 1;
}

void CQuorin::ReleaseDevice(int index) {
    if (!sharedSection_.View()) return;
    DeviceTable(sharedSection_.View()).Release(index, OwnerToken());
    if (claimedIndex_ == index) claimedIndex_ = -1;
}

bool CQuorin::IsDeviceInUse(int index) const {
    return sharedSection_.View() && DeviceTable(sharedSection_.View()).IsInUse(index);
}

// ---- Device selection and information -----------------------------------------------------------

int CQuorin::EnumDevice(char* names) {
    if (!RequireDevice()) return 0;
    if (!names) return ReportError(QUORIN_ERR_PARAMETER), 0;
    int found = 0;
    for (int j = 0; j < CQRNSdkLib::MaxDeviceCount(); ++j) {
        device_->ProbeDevices();
        if (device_->IsDevicePresent(j)) {
            ++found;
            wsprintfA(names + (found - 1) * kNameEntryChars, "%s_%02d", kDisplayName, found);
        }
    }
    for (int k = found; k < 10; ++k) names[k * kNameEntryChars] = '\0';
    return found;
}

int CQuorin::EnumDeviceW(wchar_t* names) {
    if (!RequireDevice()) return 0;
    if (!names) return ReportError(QUORIN_ERR_PARAMETER), 0;
    // Uses the presence table of the last probe.
    int found = 0;
    for (int j = 0; j < CQRNSdkLib::MaxDeviceCount(); ++j) {
        if (!device_->IsDevicePresent(j)) continue;
        ++found;
        wsprintfW(names + (found - 1) * kNameEntryChars, L"%s_%02d", kDisplayNameW, found);
    }
    for (int k = found; k < 10; ++k) names[k * kNameEntryChars] = L'\0';
    return found;
}

bool CQuorin::CheckDeviceNameRequest(int index, const void* name, int size) {
    if (!RequireDevice()) return false;
    // The name with its number and terminator takes 19 bytes (characters): a smaller buffer would
    // overrun.
    if (!name || size < kDeviceNameChars || index < 0 || index >= CQRNSdkLib::MaxDeviceCount())
        return ReportError(QUORIN_ERR_PARAMETER), false;
    if (!device_->IsDevicePresent(index)) return ReportError(QUORIN_ERR_DEVICE_BUSY), false;
    return true;
}

int CQuorin::GetDeviceName(int index, char* name, int size) {
    if (!CheckDeviceNameRequest(index, name, size)) return 0;
    wsprintfA(name, "%s_%02d", kDisplayName, index + 1);
    return 1;
}

int CQuorin::GetDeviceNameW(int index, wchar_t* name, int size) {
    if (!CheckDeviceNameRequest(index, name, size)) return 0;
    wchar_t display[kNameEntryChars];
    if (!MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, kDisplayName, -1, display, kNameEntryChars))
        return ReportError(QUORIN_ERR_DEVICE_BUSY), 0;
    wsprintfW(name, L"%s_%02d", display, index + 1);
    return 1;
}

int CQuorin::SetDeviceNumber(int index) {
    if (!RequireDevice()) return 0;
    // Re-selection frees the frame buffers, which a running transfer is writing into.
    if (acquisitionMode_ != 0) return ReportError(QUORIN_ERR_NO_DEVICE), 0;
    if (settingsLoaded_) SaveSettingsGroups(device_->GetSelectedIndex());
    if (index < 0 || index >= CQRNSdkLib::MaxDeviceCount()) return ReportError(QUORIN_ERR_DEVICE_BUSY), 0;
    // A fresh probe, so a camera unplugged since the last one is not selected.
    device_->ProbeDevices();
    // Selecting a camera resets its sensor and window: never one that another client streams
    // from (its frames would change size under it).
    if (!device_->IsDevicePresent(index) || (IsDeviceInUse(index) && claimedIndex_ != index) ||
        device_->InitializeDevice(index) != 0)
        return ReportError(QUORIN_ERR_DEVICE_BUSY), 0;
    LoadSettingsGroups(index);
    settingsLoaded_ = true;
    ApplyAnalogToDevice();
    uint8_t config = 0;
    if (device_->ReadSrom(kSerialConfigAddress, &config) && (config == 1 || config == 2))
        device_->SetSubType(config - 1);
    deviceIndex_ = index;
    return 1;
}

int CQuorin::GetCameraInfo(QuorinCameraInfo* info) {
    if (!RequireDevice()) return 0;
    if (!info) return ReportError(QUORIN_ERR_PARAMETER), 0;
    if (info->size < 36) return ReportError(QUORIN_ERR_MEMORY), 0;
    info->sensorWidth = kSensorWidth;
    info->sensorHeight = kSensorHeight;
    info->minGlobalGain = static_cast<uint16_t>(analogDevice_->GainMin());
    info->maxGlobalGain = static_cast<uint16_t>(analogDevice_->GainMax());
    info->reserved1 = 0;
    info->reserved2 = 0;
    info->minExposure = static_cast<uint16_t>(analogDevice_->ShutterMin());
    info->maxExposure = static_cast<uint16_t>(analogDevice_->ShutterMax());
    return 1;
}

int CQuorin::LoadConfigFile(const char* path) {
    CFileImage file;
    const uint8_t* data = file.Load(path);
    if (!data) return 0;
    // The new list is complete before it replaces the old one, so a failure keeps the old one.
    std::vector<std::pair<int32_t, int32_t>> pairs = ParseConfigRecords(data, file.Size());
    CriticalSectionLock hold(configLock_);
    configList_.swap(pairs);
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

// ---- Preview placement --------------------------------------------------------------------------

int CQuorin::SetPreviewWindow(HWND parent, int left, int top, int right, int bottom) {
    if (!RequireDevice()) return 0;
    previewParent_ = parent;
    previewRect_ = RECT{left, top, right, bottom};
    return 1;
}

// ---- Capture geometry, format and timing --------------------------------------------------------

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
    const int type = ColourTypeFromSetValue(bits);
    if (type < 0) return ReportError(QUORIN_ERR_PARAMETER), 0;
    colourType_ = type;
    return 1;
}

int CQuorin::GetColorMode() const { return ColorModeResultOf(colourType_); }

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
    int mode = 0;
    if (!device_->GetHalfClock(&mode)) return NotifyError(QUORIN_ERR_NO_DEVICE), 0;
    if (ok) *ok = 1;
    return mode;
}

int CQuorin::GetRealExposureTime(int* ok) {
    if (ok) *ok = 0;
    if (!RequireDevice()) return 0;
    const int32_t us = quorin::ReadRealExposureTime(values_.exposureModel, values_.analog, halfClock_);
    if (ok) *ok = 1;
    return us;
}

int CQuorin::SetRealExposureTime(int microseconds) {
    if (!RequireDevice()) return 0;
    const int code = quorin::WriteRealExposureTime(values_.exposureModel, values_.analog, *analogDevice_,
                                                   halfClock_, microseconds);
    if (code != 0) return ReportError(code), 0;
    return 1;
}

// ---- Adjustable values --------------------------------------------------------------------------

int CQuorin::GetFilterValue(int id, int* ok) {
    if (ok) *ok = 0;
    if (!RequireDevice()) return 0;
    int32_t value = 0;
    const int code = quorin::GetFilterValue(values_, *analogDevice_, id, &value);
    if (code != 0) return ReportError(code), 0;
    if (ok) *ok = 1;
    return value;
}

int CQuorin::SetFilterValue(int id, int value) {
    if (!RequireDevice()) return 0;
    const int code = quorin::SetFilterValue(values_, *analogDevice_, id, value);
    if (code != 0) return ReportError(code), 0;
    return 1;
}

// ---- Sensor and device access -------------------------------------------------------------------

int CQuorin::ReadRegister(int address, int* ok) {
    if (ok) *ok = 0;
    if (!RequireDevice()) return 0;
    uint32_t value = 0;
    if (!device_->ReadRegister(static_cast<uint32_t>(address), &value))
        return ReportError(QUORIN_ERR_DEVICE_REFUSED), 0;
    if (ok) *ok = 1;
    return static_cast<int>(value);
}

int CQuorin::WriteRegister(int address, int value) {
    if (!RequireDevice()) return 0;
    if (!device_->WriteRegister(static_cast<uint32_t>(address), static_cast<uint32_t>(value)))
        return ReportError(QUORIN_ERR_DEVICE_REFUSED), 0;
    return 1;
}

int CQuorin::ReadSromID(int address, int* ok) {
    if (ok) *ok = 0;
    if (!NotifyUnlessDevice()) return 0;
    // Only the 256 identifier bytes; anything else would reach the camera's own serial memory.
    uint8_t value = 0;
    if (address < 0 || address > 255 || !device_->ReadSromID(address, &value))
        return NotifyError(QUORIN_ERR_NO_DEVICE), 0;
    if (ok) *ok = 1;
    return value;
}

int CQuorin::WriteSromID(int address, int value) {
    if (!NotifyUnlessDevice()) return 0;
    if (address < 0 || address > 255 || !device_->WriteSromID(address, static_cast<uint8_t>(value)))
        return NotifyError(QUORIN_ERR_NO_DEVICE), 0;
    return 1;
}

int CQuorin::GetIOPort(BYTE* value) {
    if (!NotifyUnlessDevice()) return 0;
    if (!value) return NotifyError(QUORIN_ERR_PARAMETER), 0;
    uint8_t port = 0;
    // The caller always gets a defined byte: 0 when the read failed.
    *value = device_->ReadPort(quorin::PORT_USER_IO, &port) ? port : 0;
    return 1;
}

int CQuorin::SetIOPort(int value) {
    if (!NotifyUnlessDevice()) return 0;
    return device_->WritePort(quorin::PORT_USER_IO, static_cast<uint8_t>(value));
}

int CQuorin::SetMirrorH(int on) {
    if (!RequireDevice()) return 0;
    quorin::SetMirrorH(values_.analog, *analogDevice_, on);
    return 1;
}

int CQuorin::SetMirrorV(int on) {
    if (!NotifyUnlessDevice()) return 0;
    quorin::SetMirrorV(values_.analog, *analogDevice_, on);
    return 1;
}

int CQuorin::GetMirrorH() {
    if (!RequireDevice()) return 0;
    return values_.analog.mirrorH;
}

int CQuorin::GetMirrorV() {
    if (!NotifyUnlessDevice()) return 0;
    return values_.analog.mirrorV;
}

int CQuorin::SetAutoIris(int mode) {
    if (quorin::SetAutoIris(values_.analog, mode) != 0) return NotifyError(QUORIN_ERR_PARAMETER), 0;
    return 1;
}

int CQuorin::GetAutoIris(int* ok) {
    if (ok) *ok = 1;
    return values_.analog.autoIris;
}
