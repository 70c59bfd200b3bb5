#include "tests/device/sim_camera.h"

#include <cstdio>
#include <cstring>

#include "tools/m52sim/m52sim_service.h"

namespace simtest {

std::string Describe(const uint8_t* b) {
    char text[96];
    switch (b[0]) {
    case 4: {
        const uint32_t w = uint32_t(b[2]) | uint32_t(b[3]) << 8 | uint32_t(b[4]) << 16 | uint32_t(b[5]) << 24;
        std::snprintf(text, sizeof text, "reg %u = 0x%X (%u bits)", w & 0x3FF, w >> 10, b[1]);
        break;
    }
    case 0x25: std::snprintf(text, sizeof text, "port %u = 0x%02X", b[1], b[2]); break;
    case 0x26: std::snprintf(text, sizeof text, "read port %u", b[1]); break;
    case 0x40: std::snprintf(text, sizeof text, "srom write 0x%02X%02X = 0x%02X", b[3], b[4], b[5]); break;
    case 0x41: std::snprintf(text, sizeof text, "srom read 0x%02X%02X", b[4], b[5]); break;
    case 9:
        std::snprintf(text, sizeof text, "transfer size %u",
                      uint32_t(b[1]) | uint32_t(b[2]) << 8 | uint32_t(b[3]) << 16 | uint32_t(b[4]) << 24);
        break;
    case 10: std::snprintf(text, sizeof text, "word mode %u", b[1]); break;
    default: std::snprintf(text, sizeof text, "command 0x%02X", b[0]); break;
    }
    return text;
}

SimControl::SimControl() { control_ = m52sim::OpenControl(); }

SimControl::~SimControl() {
    if (control_ != INVALID_HANDLE_VALUE) CloseHandle(control_);
}

// The same client m52sim.exe uses, so the tests and the tool speak to the driver alike.
bool SimControl::Send(uint32_t code, uint32_t camera, uint32_t value, void* out, DWORD outBytes) {
    return m52sim::Control(control_, code, camera, value, out, outBytes);
}

bool SimControl::Attach(uint32_t camera) { return Send(M52SIM_IOCTL_ATTACH, camera, 0); }
bool SimControl::Detach(uint32_t camera) { return Send(M52SIM_IOCTL_DETACH, camera, 0); }
bool SimControl::Reset(uint32_t camera) { return Send(M52SIM_IOCTL_RESET, camera, 0); }
bool SimControl::Pace(uint32_t camera, uint32_t pace) { return Send(M52SIM_IOCTL_PACE, camera, pace); }
bool SimControl::Fault(uint32_t camera, uint32_t fault) { return Send(M52SIM_IOCTL_FAULT, camera, fault); }
bool SimControl::Scene(uint32_t camera, uint32_t scene) { return Send(M52SIM_IOCTL_SCENE, camera, scene); }
bool SimControl::Stamp(uint32_t camera, uint32_t bytes) { return Send(M52SIM_IOCTL_STAMP, camera, bytes); }
bool SimControl::ClearLog(uint32_t camera) { return Send(M52SIM_IOCTL_LOG_CLEAR, camera, 0); }
bool SimControl::Trigger(uint32_t camera, uint32_t pulses) { return Send(M52SIM_IOCTL_TRIGGER, camera, pulses); }

bool SimControl::TriggerEvery(uint32_t camera, uint32_t ms) { return Send(M52SIM_IOCTL_TRIGGER_EVERY, camera, ms); }

bool SimControl::RandomFaults(uint32_t camera, uint32_t seed, uint32_t millionths) {
    return Send(M52SIM_IOCTL_FAULT_SEED, camera, seed) && Send(M52SIM_IOCTL_FAULT_RANDOM, camera, millionths);
}

bool SimControl::Srom(uint32_t camera, uint32_t address, uint8_t value, bool readable) {
    return Send(M52SIM_IOCTL_SROM, camera,
                M52SIM_SROM_VALUE(address, value) | (readable ? 0u : M52SIM_SROM_UNREADABLE));
}

bool SimControl::Status(uint32_t camera, M52SimStatus* status) {
    return Send(M52SIM_IOCTL_STATUS, camera, 0, status, sizeof *status);
}

M52SimStatus SimControl::Status(uint32_t camera) {
    M52SimStatus status = {};
    Status(camera, &status);
    return status;
}

std::vector<LoggedBlock> SimControl::Log(uint32_t camera, uint32_t* dropped, bool withResponses) {
    std::unique_ptr<M52SimLog> log(new M52SimLog());
    std::vector<LoggedBlock> blocks;
    if (!Send(M52SIM_IOCTL_LOG, camera, 0, log.get(), sizeof *log)) return blocks;
    if (dropped != nullptr) *dropped = log->dropped;
    for (uint32_t i = 0; i < log->count && i < M52SIM_LOG_CAPACITY; ++i) {
        if (log->entries[i].pipe != 0 && !withResponses) continue;
        LoggedBlock b;
        std::memcpy(b.bytes, log->entries[i].block, 64);
        b.refused = log->entries[i].refused != 0;
        b.controlCode = log->entries[i].control_code;
        b.pipe = log->entries[i].pipe;
        blocks.push_back(b);
    }
    return blocks;
}

}  // namespace simtest
