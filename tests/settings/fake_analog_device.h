// An AnalogDevice with the camera's limits that records what reaches it and can refuse transfers.
#pragma once

#include <string>
#include <vector>

#include "settings/analog_device.h"

class FakeAnalogDevice : public quorin::AnalogDevice {
public:
    int SetGain(uint16_t value) override {
        calls.push_back("gain " + std::to_string(value));
        if (failTransfers) return 0;
        gain = value & 0x3FF;
        return 1;
    }
    int GetGain() const override { return gain; }
    int SetShutter(uint16_t value) override {
        calls.push_back("shutter " + std::to_string(value));
        if (failTransfers) return 0;
        shutter = value & 0xFFF;
        return 1;
    }
    int GetShutter() const override { return shutter; }
    int SetMirrorV(int on) override {
        calls.push_back("mirrorV " + std::to_string(on));
        mirrorV = on;
        return 0;
    }
    int SetMirrorH(int on) override {
        calls.push_back("mirrorH " + std::to_string(on));
        mirrorH = on;
        return 0;
    }
    int GetMirrorV() const override { return mirrorV; }
    int GetMirrorH() const override { return mirrorH; }
    int GainMin() const override { return 0; }
    int GainMax() const override { return 1023; }
    int GainDefault() const override { return 512; }
    int ShutterMin() const override { return 8; }
    int ShutterMax() const override { return 1074; }
    int ShutterDefault() const override { return 64; }

    bool failTransfers = false;
    int gain = 512;
    int shutter = 64;
    int mirrorV = 0;
    int mirrorH = 0;
    std::vector<std::string> calls;
};
