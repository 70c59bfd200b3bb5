// The part of the device object the adjustable values talk to: global gain, exposure register and
// the two mirror flags, with the device's limits and defaults. The camera adapts its device object to
// this; the settings tests use a fake.
#pragma once

#include <cstdint>

namespace quorin {

class AnalogDevice {
public:
    virtual ~AnalogDevice() = default;

    // 1 when the camera took the value, 0 when the transfer failed (the device keeps its old value).
    virtual int SetGain(uint16_t value) = 0;
    // The last gain the camera accepted.
    virtual int GetGain() const = 0;
    virtual int SetShutter(uint16_t value) = 0;
    // The last exposure register value the camera accepted.
    virtual int GetShutter() const = 0;
    virtual int SetMirrorV(int on) = 0;
    virtual int SetMirrorH(int on) = 0;
    virtual int GetMirrorV() const = 0;
    virtual int GetMirrorH() const = 0;

    virtual int GainMin() const = 0;
    virtual int GainMax() const = 0;
    virtual int GainDefault() const = 0;
    virtual int ShutterMin() const = 0;
    virtual int ShutterMax() const = 0;
    virtual int ShutterDefault() const = 0;
};

}  // namespace quorin
