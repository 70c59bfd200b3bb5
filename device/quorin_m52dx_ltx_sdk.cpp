#include "device/quorin_m52dx_ltx_sdk.h"

#include <cstring>

#include "device/driver_channel.h"

using namespace quorin;

namespace {

constexpr DWORD kSensorResetSettleMs = 40;
constexpr DWORD kTransferPortSettleMs = 5;
// Per-unit data in the serial memory: the model tag at ids 16-21, then the
// values of registers 16 to 24 at ids 0 to 8.
constexpr char kModelTag[] = "RORU52";
constexpr int kModelTagId = 16;
constexpr int kModelTagReads = 7;
constexpr int kPerUnitRegisterCount = 9;

}  // namespace

CQuorinM52DXLTXSdk::CQuorinM52DXLTXSdk() {
    alternateTransferCode_ = 0;
    alternateSnapCode_ = 0;
    SetBaseName(kDeviceBaseName);
    ProbeDevices();
    InitializeDevice(0);
    SetGain(kGainDefault);
    SetShutter(kShutterDefault);
    WriteRegister(8, 0);
}

int CQuorinM52DXLTXSdk::WriteRegister(uint32_t reg, uint32_t value) {
    CommandBlock block;
    if (!EncodeWriteRegister(reg, value, &block)) return 0;
    DeviceCommandGuard guard(CommandLock());
    if (!SendSingleCommand(block)) return 0;
    shadow_[reg] = value;
    return 1;
}

int CQuorinM52DXLTXSdk::ReadRegister(uint32_t reg, uint32_t* out) const {
    RegisterFormat format;
    if (out == nullptr || !LookUpRegisterFormat(reg, &format)) return 0;
    *out = shadow_[reg];
    return 1;
}

int CQuorinM52DXLTXSdk::WritePlan(const RegisterPlan& plan) {
    int result = 0;
    for (const RegisterWrite& w : plan) result = WriteRegister(w.reg, w.value);
    return result;
}

int CQuorinM52DXLTXSdk::SetWordMode(int on) {
    DeviceCommandGuard guard(CommandLock());
    if (IsStreaming()) return DEV_ALREADY_STREAMING;  // the run reads frames of the old length
    wordMode_ = on != 0 ? 1 : 0;
    SendSingleCommand(EncodeSetWordMode(1));
    WritePort(PORT_PIXEL_WIDTH, static_cast<uint8_t>(wordMode_));
    return 1;
}

int CQuorinM52DXLTXSdk::SetGain(uint16_t value) {
    DeviceCommandGuard guard(CommandLock());
    const RegisterPlan plan = GainWrites(value);
    const int low = WriteRegister(plan[0].reg, plan[0].value);
    const int high = WriteRegister(plan[1].reg, plan[1].value);
    if (!low || !high) return 0;
    gain_ = static_cast<uint16_t>(value & 0x3FF);
    return 1;
}

int CQuorinM52DXLTXSdk::SetShutter(uint16_t value) {
    DeviceCommandGuard guard(CommandLock());
    RegisterPlan plan;
    const uint16_t clamped = PlanShutterWrites(shutter_, value, &plan);
    // Only the final write decides; switch writes stay in effect regardless.
    if (!WritePlan(plan)) return 0;
    shutter_ = static_cast<uint16_t>(clamped & 0xFFF);
    return 1;
}

int CQuorinM52DXLTXSdk::SetTriggerMode(int on) {
    DeviceCommandGuard guard(CommandLock());
    HANDLE device = OpenDevice(DevicePath());
    if (device == nullptr) return 0;
    SendCommand(device, EncodeWritePort(PORT_TRIGGER, on != 0 ? 1 : 0));
    CloseDevice(&device);
    WritePlan(TriggerModeWrites(on != 0, shadow_[32], shadow_[33]));
    return 1;
}

int CQuorinM52DXLTXSdk::GetHalfClock(int* out) {
    uint8_t port = 0;
    if (out == nullptr || !ReadPort(PORT_CLOCK, &port)) return 0;
    *out = port == 3 ? 2 : port;
    return 1;
}

int CQuorinM52DXLTXSdk::SetHalfClock(int mode) {
    DeviceCommandGuard guard(CommandLock());
    if (IsStreaming()) return DEV_ALREADY_STREAMING;  // the start-up would reset a streaming sensor
    WriteRegister(32, 0);
    const uint8_t low = static_cast<uint8_t>(mode & 0xFF);
    const int result = WritePort(PORT_CLOCK, low == 2 ? 3 : low);
    reinit_ = true;
    SensorStartUp();  // the line timing depends on the clock
    return result;
}

int CQuorinM52DXLTXSdk::SetMirrorH(int on) {
    mirrorH_ = on != 0 ? 1 : 0;
    return 0;
}

int CQuorinM52DXLTXSdk::SetMirrorV(int on) {
    mirrorV_ = on != 0 ? 1 : 0;
    return 0;
}

int CQuorinM52DXLTXSdk::InitializeDevice(int index) {
    DeviceCommandGuard guard(CommandLock());
    if (IsStreaming()) return DEV_ALREADY_STREAMING;  // nothing is half applied
    if (index != GetSelectedIndex()) reinit_ = true;
    ResetDefaults();
    if (SelectDevice(index) != DEV_OK) return DEV_BAD_INDEX;
    SetWordMode(0);
    SensorStartUp();
    SetCaptureWindow(0, 0, kSensorWidth, kSensorHeight, 0);
    SetMirrorV(0);
    SetTriggerMode(0);
    return DEV_OK;
}

void CQuorinM52DXLTXSdk::ApplyPerUnitValues() {
    uint8_t tag[64] = {0xFF};
    for (int i = 0; i < kModelTagReads; ++i) ReadSromID(kModelTagId + i, &tag[i]);
    if (std::memcmp(tag, kModelTag, 6) != 0) return;
    for (int i = 0; i < kPerUnitRegisterCount; ++i) {
        uint8_t value = 0;
        if (ReadSromID(i, &value) && value < 64) WriteRegister(16 + i, value);
    }
}

int CQuorinM52DXLTXSdk::SensorStartUp() {
    DeviceCommandGuard guard(CommandLock());
    if (!reinit_) return 1;
    ResetSensor();
    Sleep(kSensorResetSettleMs);
    WritePlan(StartupBiasWrites());
    WritePlan(StartupTimingWrites());
    WritePlan(StartupPatternWrites());
    WritePlan(StartupControlWrites());
    WritePlan(StartupClearWrites());
    int halfClock = 0;
    if (!GetHalfClock(&halfClock)) halfClock = 0;
    WritePlan(ClockWrites(halfClock));
    ApplyPerUnitValues();
    WriteRegister(32, 11);
    WriteRegister(24, 15);
    reinit_ = false;
    // The sequence leaves the shutter registers in the normal range.
    shutter_ = 0;
    return 1;
}

int CQuorinM52DXLTXSdk::SetCaptureWindow(int x, int y, int width, int height, int mode) {
    const CaptureWindow requested = {x, y, width, height, mode};
    if (!IsCaptureWindowValid(requested)) return DEV_BAD_RING_OR_WINDOW;
    DeviceCommandGuard guard(CommandLock());
    if (BuffersInUse()) return DEV_ALREADY_STREAMING;  // streaming or a snapshot fills them
    window_ = requested;
    WriteRegister(54, mode == 2 ? 9 : 0);
    const FrameGeometry g = GeometryForCaptureWindow(requested);
    // Without buffers no frame can arrive: a failed allocation (7) is the caller's to report.
    const int made = SetGeometry(g.lineWidth, g.xOffset, g.imageWidth, g.totalLines, g.yOffset, g.imageHeight,
                                 g.ringCount);
    if (made != DEV_OK) return made;
    const uint32_t size = TransferSize();
    for (uint8_t i = 0; i < 4; ++i) {
        WritePort(static_cast<uint8_t>(PORT_TRANSFER_SIZE + i), static_cast<uint8_t>(size >> (8 * i)));
        Sleep(kTransferPortSettleMs);
    }
    return DEV_OK;
}
