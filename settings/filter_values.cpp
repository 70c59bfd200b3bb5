#include "settings/filter_values.h"

#include "settings/value_ranges.h"

namespace quorin {

namespace {

// The FilterSettings word behind a stored id, or null.
std::atomic<int32_t>* StoredField(FilterSettings& f, int id) {
    switch (id) {
    case 1: return &f.brightness;
    case 2: return &f.contrast;
    case 3: return &f.hue;
    case 4: return &f.saturation;
    case 5: return &f.sharpness;
    case 7: return &f.bayerGainRed;
    case 8: return &f.bayerGainGreen;
    case 9: return &f.bayerGainBlue;
    case 10: return &f.bayerGainAuto;
    case 11: return &f.gamma;
    case 12: return &f.bayerMode;
    case 19: return &f.grayMode;
    case 20: return &f.grayGainR;
    case 21: return &f.grayGainG1;
    case 22: return &f.grayGainG2;
    case 23: return &f.grayGainB;
    case 24: return &f.grayOffsetR;
    case 25: return &f.grayOffsetG1;
    case 26: return &f.grayOffsetG2;
    case 27: return &f.grayOffsetB;
    case 28: return &f.GrayGainAutoCount;
    default: return nullptr;
    }
}

const std::atomic<int32_t>* StoredField(const FilterSettings& f, int id) {
    return StoredField(const_cast<FilterSettings&>(f), id);
}

std::atomic<int32_t>* ColourGainField(AnalogSettings& a, int id) {
    switch (id) {
    case 14: return &a.colorGainR;
    case 15: return &a.colorGainG1;
    case 16: return &a.colorGainG2;
    case 17: return &a.colorGainB;
    default: return nullptr;
    }
}

// The camera's own test for a stored value: symmetric ranges through the unsigned sum, the others as
// unsigned, so a negative value never passes a 0-based range.
bool Accepts(ValueRange range, int32_t value) {
    return range.min < 0 ? InSymmetricRange(value, range.max) : InUnsignedRange(value, range.max);
}

}  // namespace

int SetFilterValue(AdjustableValues& values, AnalogDevice& device, int id, int32_t value) {
    FilterSettings& filter = values.filter;
    AnalogSettings& analog = values.analog;
    switch (id) {
    case 6:
        // One byte per gain, unchecked; the top byte is ignored.
        filter.bayerGainRed = value & 0xFF;
        filter.bayerGainGreen = (value >> 8) & 0xFF;
        filter.bayerGainBlue = (value >> 16) & 0xFF;
        return 0;
    case 10:
        filter.bayerGainAuto = value != 0 ? 1 : 0;
        return 0;
    case 13:
        if (value < device.GainMin() || value > device.GainMax()) return kValueRejected;
        // The sensor's colour gains follow the global gain on this model.
        analog.globalGain = value;
        analog.colorGainG1 = value;
        analog.colorGainR = value;
        analog.colorGainB = value;
        analog.colorGainG2 = value;
        device.SetGain(static_cast<uint16_t>(value));
        return 0;
    case 14: case 15: case 16: case 17:
        if (value != 0) return kValueRejected;
        *ColourGainField(analog, id) = 0;
        return 0;
    case 18:
        if (value < device.ShutterMin() || value > device.ShutterMax()) return kValueRejected;
        analog.exposure = value;
        device.SetShutter(static_cast<uint16_t>(value));
        return 0;
    default:
        break;
    }
    ValueRange range;
    if (!StoredFilterValueRange(id, &range)) return kValueRejected;
    if (!Accepts(range, value)) return kValueRejected;
    *StoredField(filter, id) = value;
    return 0;
}

int GetFilterValue(const AdjustableValues& values, const AnalogDevice& device, int id, int32_t* value) {
    const FilterSettings& filter = values.filter;
    int32_t result = 0;
    if (id < kFirstFilterValueId || id > kLastFilterValueId) {
        if (value) *value = 0;
        return kValueRejected;
    }
    switch (id) {
    case 6:
        result = (filter.bayerGainRed.load() & 0xFF) | ((filter.bayerGainGreen.load() & 0xFF) << 8) |
                 ((filter.bayerGainBlue.load() & 0xFF) << 16);
        break;
    case 13: result = device.GetGain(); break;
    case 14: case 15: case 16: case 17: result = 0; break;
    case 18: result = device.GetShutter(); break;
    default: result = StoredField(filter, id)->load(); break;
    }
    if (value) *value = result;
    return 0;
}

int SetAutoIris(AnalogSettings& analog, int32_t mode) {
    if (static_cast<uint32_t>(mode) >= 3u) return kValueRejected;
    analog.autoIris = mode;
    return 0;
}

void SetMirrorV(AnalogSettings& analog, AnalogDevice& device, int32_t flag) {
    const int32_t on = flag != 0 ? 1 : 0;
    device.SetMirrorV(on);
    analog.mirrorV = on;
}

void SetMirrorH(AnalogSettings& analog, AnalogDevice& device, int32_t flag) {
    const int32_t on = flag != 0 ? 1 : 0;
    device.SetMirrorH(on);
    analog.mirrorH = on;
}

}  // namespace quorin
