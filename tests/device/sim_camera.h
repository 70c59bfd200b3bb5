// Test side of the simulated camera: its control device (attach, detach,
// pacing, faults, status, command log) and the decoding of logged blocks.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/m52sim_control.h"

namespace simtest {

// One logged command block (pipe 0) or response read (pipe 1), decoded where
// it is a register write.
struct LoggedBlock {
    uint8_t bytes[64];
    bool refused;
    uint32_t controlCode;
    uint32_t pipe;
    bool IsResponse() const { return pipe == 1; }
    uint8_t code() const { return bytes[0]; }
    bool IsRegister() const { return bytes[0] == 4; }
    uint32_t Word() const {
        return uint32_t(bytes[2]) | uint32_t(bytes[3]) << 8 | uint32_t(bytes[4]) << 16 |
               uint32_t(bytes[5]) << 24;
    }
    uint32_t Reg() const { return Word() & 0x3FF; }
    uint32_t Value() const { return Word() >> 10; }
};

// A block as text, for readable failures: "reg 155 = 3", "port 15 = 3", ...
std::string Describe(const uint8_t* block);

class SimControl {
public:
    SimControl();
    ~SimControl();
    bool IsOpen() const { return control_ != INVALID_HANDLE_VALUE; }

    bool Attach(uint32_t camera);
    bool Detach(uint32_t camera);
    bool Reset(uint32_t camera);
    bool Pace(uint32_t camera, uint32_t pace);
    bool Fault(uint32_t camera, uint32_t fault);
    bool Scene(uint32_t camera, uint32_t scene);
    // Frame number over the first `bytes` of every frame; 0 stops.
    bool Stamp(uint32_t camera, uint32_t bytes);
    bool Status(uint32_t camera, M52SimStatus* status);
    M52SimStatus Status(uint32_t camera);
    bool Trigger(uint32_t camera, uint32_t pulses);
    // A pulse every ms from the driver's own timer; 0 stops.
    bool TriggerEvery(uint32_t camera, uint32_t ms);
    // Seeded random faults for a fraction (millionths) of the requests; 0 stops.
    bool RandomFaults(uint32_t camera, uint32_t seed, uint32_t millionths);
    // One serial-memory byte; `readable` false makes reads of it fail.
    bool Srom(uint32_t camera, uint32_t address, uint8_t value, bool readable = true);
    bool ClearLog(uint32_t camera);
    // Command blocks, oldest first; with `withResponses` the response reads too.
    std::vector<LoggedBlock> Log(uint32_t camera, uint32_t* dropped = nullptr, bool withResponses = false);

private:
    bool Send(uint32_t code, uint32_t camera, uint32_t value, void* out = nullptr, DWORD outBytes = 0);
    HANDLE control_ = INVALID_HANDLE_VALUE;
};

}  // namespace simtest
