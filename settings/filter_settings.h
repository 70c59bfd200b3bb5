// The image-filter and gray-filter values of one camera. Callers, the property dialogs and the frame
// pipeline share the record without a lock: every field is a single 32-bit word, and each reader uses
// the value it sees at that moment.
#pragma once

#include <atomic>
#include <cstdint>

namespace quorin {

struct FilterSettings {
    std::atomic<int32_t> brightness{0};      // id 1
    std::atomic<int32_t> contrast{0};        // id 2
    std::atomic<int32_t> hue{0};             // id 3
    std::atomic<int32_t> saturation{0};      // id 4
    std::atomic<int32_t> sharpness{0};       // id 5
    std::atomic<int32_t> bayerGainRed{0};    // id 7
    std::atomic<int32_t> bayerGainGreen{0};  // id 8
    std::atomic<int32_t> bayerGainBlue{0};   // id 9
    std::atomic<int32_t> gamma{0};           // id 11
    std::atomic<int32_t> bayerMode{0};       // id 12
    std::atomic<int32_t> grayMode{0};        // id 19: 0 Bayer, 1 Bayer convert, 2 grayscale
    std::atomic<int32_t> grayGainR{0};       // id 20
    std::atomic<int32_t> grayGainG1{0};      // id 21
    std::atomic<int32_t> grayGainG2{0};      // id 22
    std::atomic<int32_t> grayGainB{0};       // id 23
    std::atomic<int32_t> grayOffsetR{0};     // id 24
    std::atomic<int32_t> grayOffsetG1{0};    // id 25
    std::atomic<int32_t> grayOffsetG2{0};    // id 26
    std::atomic<int32_t> grayOffsetB{0};     // id 27
    std::atomic<int32_t> bayerGainAuto{0};   // id 10: 0 or 1
    // Set with bayerGainAuto by the dialog's "Once" button; the pipeline clears all three after one
    // automatic white balance.
    std::atomic<int32_t> WhiteBalanceOnce[2] = {{0}, {0}};
    // id 28: pending automatic gray-gain passes; -1 (from the dialog's "All frames") never reaches 0.
    std::atomic<int32_t> GrayGainAutoCount{0};
};

// What a missing "Filter" key yields: neutral filters, Bayer gains and gamma 100, Bayer mode 1, no
// automatic white balance pending.
void SetImageFilterDefaults(FilterSettings& settings);

// What a missing "Gray" key yields: mode 0, gains 128, offsets 0.
void SetGrayFilterDefaults(FilterSettings& settings);

}  // namespace quorin
