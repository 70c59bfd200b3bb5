// The fused processing of a colour frame in horizontal strips. Each row is demosaiced straight
// from the mosaic and goes through the per-sample steps (hue/saturation hexcone, one table for
// gamma, contrast and brightness) while it is in cache; with sharpening the processed rows go to
// a ring of four and the sharpened row is made from the ring, so the frame is written once.
//
// A strip needs the processed rows two above and one below it: it makes them itself from the
// mosaic (which nobody writes), so strips share nothing but the result rows each owns, and the
// rows at their seams come out exactly as in one pass over the frame.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/demosaic_kernels.h"
#include "imaging/pipeline_rows.h"

struct ColourStripPlan {
    DemosaicFrame demosaic;
    uint8_t* result;  // first memory row of the result image
    ptrdiff_t stride;
    int width, height;
    int bytesPerPixel;  // 3 or 4 (8-bit samples), 6 or 8 (16-bit samples)
    bool wide;          // 16-bit samples (0..1023)
    bool sharpen;

    // 8-bit samples: the tone job (src, dst set per row), sharpening job (row, sums, dst per row).
    bool toneNeeded;
    ToneRowJob tone;
    SharpenRowJob sharp;
    void (*toneRow)(const ToneRowJob*);
    void (*sharpenRow)(const SharpenRowJob*);
    void (*sums8)(const uint8_t*, uint16_t*, int, int);

    // 16-bit samples: the hexcone runs on bytes (sample >> 2) with tone.hueSat, coming back
    // through back[]; without it table16 (1024 entries) or nothing; bright16 after sharpening
    // (sharp16.bright the same table: the sharpened rows get it from their row routine).
    const uint16_t* back;
    const uint16_t* table16;
    const uint16_t* bright16;
    Sharpen16RowJob sharp16;
    void (*sums16)(const uint8_t*, uint16_t*, int, int);
    void (*sharpenRow16)(const Sharpen16RowJob*);
    // The hexcone and back[] on the 16-bit row in one routine, or null (bytes through toneRow).
    void (*toneRow16)(const ToneRowJob*, const uint16_t*);
};

// Bytes of working memory one strip needs.
size_t ColourStripScratchBytes(const ColourStripPlan& plan);

// Result rows [yBegin, yEnd); scratch holds ColourStripScratchBytes(plan) bytes, zeroed.
void RunColourStrip(const ColourStripPlan& plan, int yBegin, int yEnd, uint8_t* scratch);
