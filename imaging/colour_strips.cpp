#include "imaging/colour_strips.h"

#include <cstring>

#include "imaging/sample_access.h"

namespace {

const size_t kPad = 64;  // vector loads and stores may reach a little past a row

size_t Rounded(size_t bytes) { return (bytes + kPad + 63) & ~size_t(63); }

struct StripMemory {
    uint8_t* ring[4];  // processed rows y with y & 3 == index
    uint16_t* sums[4];
    int16_t* demosaic;
    uint8_t* bytes;  // one row of hexcone bytes (16-bit samples)
};

StripMemory Carve(const ColourStripPlan& plan, uint8_t* scratch) {
    StripMemory m;
    const size_t rowBytes = Rounded(size_t(plan.width) * plan.bytesPerPixel);
    const int samples = plan.bytesPerPixel / (plan.wide ? 2 : 1);
    const size_t sumBytes = Rounded(size_t(plan.width) * samples * sizeof(uint16_t));
    for (int k = 0; k < 4; ++k) m.ring[k] = scratch, scratch += rowBytes;
    for (int k = 0; k < 4; ++k) m.sums[k] = reinterpret_cast<uint16_t*>(scratch), scratch += sumBytes;
    m.demosaic = reinterpret_cast<int16_t*>(scratch);
    scratch += Rounded(DemosaicRowScratch(plan.width) * sizeof(int16_t));
    m.bytes = scratch;
    return m;
}

// The per-sample steps of one row of 16-bit samples, in place.
void Tone16(const ColourStripPlan& plan, ToneRowJob& tone, uint8_t* row, uint8_t* bytes) {
    const int spp = plan.bytesPerPixel / 2, w = plan.width;
    if (plan.tone.hueSat && plan.toneRow16) {
        ToneRowJob job = tone;
        job.src = job.dst = row;
        job.srcBytesPerPixel = job.dstBytesPerPixel = plan.bytesPerPixel;
        plan.toneRow16(&job, plan.back);
    } else if (plan.tone.hueSat && spp == 3) {
        // Demosaiced samples are at most 1023, so sample >> 2 is the byte of the hexcone. Six-byte
        // pixels are the bytes' order already: one flat loop each way.
        for (int i = 0; i < 3 * w; ++i) bytes[i] = uint8_t(LoadSample16(row + 2 * i) >> 2);
        tone.src = tone.dst = bytes;
        plan.toneRow(&tone);
        for (int i = 0; i < 3 * w; ++i) StoreSample16(row + 2 * i, plan.back[bytes[i]]);
    } else if (plan.tone.hueSat) {
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) bytes[3 * x + c] = uint8_t(LoadSample16(row + 2 * (x * 4 + c)) >> 2);
        tone.src = tone.dst = bytes;
        plan.toneRow(&tone);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) StoreSample16(row + 2 * (x * 4 + c), plan.back[bytes[3 * x + c]]);
    } else if (plan.table16) {
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                uint8_t* p = row + 2 * (x * spp + c);
                StoreSample16(p, plan.table16[LoadSample16(p)]);
            }
    }
}

void ToneRow(const ColourStripPlan& plan, ToneRowJob& tone, uint8_t* row, uint8_t* bytes) {
    if (plan.wide) {
        Tone16(plan, tone, row, bytes);
    } else if (plan.toneNeeded) {
        tone.src = tone.dst = row;
        plan.toneRow(&tone);
    }
}

void Sums(const ColourStripPlan& plan, const uint8_t* row, uint16_t* sums) {
    if (plan.wide)
        plan.sums16(row, sums, plan.width, plan.bytesPerPixel / 2);
    else
        plan.sums8(row, sums, plan.width, plan.bytesPerPixel);
}

// Result row y from the ring: sharpened in the interior, the processed samples on the frame's
// first and last two rows, then the brightness that follows sharpening.
void EmitRow(const ColourStripPlan& plan, const StripMemory& m, int y) {
    uint8_t* dst = plan.result + ptrdiff_t(y) * plan.stride;
    const uint8_t* row = m.ring[y & 3];
    const bool interior = y >= 2 && y <= plan.height - 3;
    const int bpp = plan.bytesPerPixel;
    if (!plan.wide) {
        if (interior) {
            SharpenRowJob sharp = plan.sharp;
            for (int r = 0; r < 4; ++r) sharp.sums[r] = m.sums[r];
            sharp.row = row;
            sharp.dst = dst;
            plan.sharpenRow(&sharp);
            return;
        }
        const int32_t* table = plan.sharp.table;
        for (int x = 0; x < plan.width; ++x, row += bpp, dst += bpp)
            for (int c = 0; c < 3; ++c) dst[c] = uint8_t(table ? table[row[c]] : row[c]);
        return;
    }
    if (interior) {
        Sharpen16RowJob sharp = plan.sharp16;
        for (int r = 0; r < 4; ++r) sharp.sums[r] = m.sums[r];
        sharp.row = row;
        sharp.dst = dst;
        plan.sharpenRow16(&sharp);  // with the brightness
        return;
    }
    for (int x = 0; x < plan.width; ++x) std::memcpy(dst + x * bpp, row + x * bpp, 6);
    if (plan.bright16) {
        for (int x = 0; x < plan.width; ++x)
            for (int c = 0; c < 3; ++c) {
                uint8_t* p = dst + x * bpp + 2 * c;
                StoreSample16(p, plan.bright16[LoadSample16(p)]);
            }
    }
}

}  // namespace

size_t ColourStripScratchBytes(const ColourStripPlan& plan) {
    const int samples = plan.bytesPerPixel / (plan.wide ? 2 : 1);
    return 4 * Rounded(size_t(plan.width) * plan.bytesPerPixel) +
           4 * Rounded(size_t(plan.width) * samples * sizeof(uint16_t)) +
           Rounded(DemosaicRowScratch(plan.width) * sizeof(int16_t)) + Rounded(size_t(plan.width) * 3);
}

void RunColourStrip(const ColourStripPlan& plan, int yBegin, int yEnd, uint8_t* scratch) {
    const StripMemory m = Carve(plan, scratch);
    ToneRowJob tone = plan.tone;
    tone.width = plan.width;
    if (plan.wide) tone.srcBytesPerPixel = tone.dstBytesPerPixel = 3;
    if (!plan.sharpen) {
        for (int y = yBegin; y < yEnd; ++y) {
            uint8_t* row = plan.result + ptrdiff_t(y) * plan.stride;
            DemosaicFrameRow(plan.demosaic, y, row, m.demosaic);
            ToneRow(plan, tone, row, m.bytes);
        }
        return;
    }
    // Rows yBegin - 2 .. yEnd are processed into the ring; row y - 1 is emitted once row y is in.
    const int first = yBegin - 2 > 0 ? yBegin - 2 : 0;
    const int last = yEnd + 1 < plan.height ? yEnd + 1 : plan.height;
    for (int y = first; y < last; ++y) {
        uint8_t* row = m.ring[y & 3];
        DemosaicFrameRow(plan.demosaic, y, row, m.demosaic);
        ToneRow(plan, tone, row, m.bytes);
        Sums(plan, row, m.sums[y & 3]);
        if (y - 1 >= yBegin && y - 1 < yEnd) EmitRow(plan, m, y - 1);
    }
    if (yEnd == plan.height && yEnd - 1 >= yBegin) EmitRow(plan, m, yEnd - 1);
}
