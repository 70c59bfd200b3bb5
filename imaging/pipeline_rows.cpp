// Scalar and SSE2 rows of the fused 8-bit colour path.
//
// The hexcone of a pixel ends as gray level k plus, per channel, w where the target sextant's
// mask has the channel, and plus or minus t = (w * v + 128) >> 8 on the one channel the sextant's
// multiplier names. No channel leaves 0..255 on the way (t <= w and k + w <= 255), so the packed
// sum of the kernel and these per-channel sums agree; the vector code uses the per-channel form.
#include "imaging/pipeline_rows.h"

#include "imaging/filter_tables.h"

#include <emmintrin.h>
#include <string.h>

namespace {

inline int Min(int a, int b) { return a < b ? a : b; }

// One pixel through the hexcone; out receives blue, green, red.
inline void HexconePixel(int b, int g, int r, const ToneRowJob* job, int out[3]) {
    int sector, hi, lo, pos;
    if (r >= g) {
        sector = 1, hi = r, lo = g, pos = g - b;
    } else {
        sector = 3, hi = g, lo = r, pos = b - r;
    }
    if (b > hi) sector = 5, hi = b, pos = r - g;
    const int mn = Min(lo, b), ch = hi - mn, s = hi + mn;
    if (pos < 0) --sector, pos += ch;
    const int sat = (job->satScale * 256 * ch + 32768) >> 16;
    const int ch2 = Min(sat, Min(s, 511 - s));
    const int k = (s - ch2) >> 1;
    const int w = ((s + ch2) >> 1) - k;
    int v = int((job->inverse[ch] * uint32_t(pos) + 32768u) >> 16) + job->hueRemainder;
    int idx = sector + job->hueSector;
    if (v >= 255) v -= 255, ++idx;
    if (idx >= 6) idx -= 6;
    const int t = (w * v + 128) >> 8;
    int red = k, green = k, blue = k;
    switch (idx) {
        case 0: red += w, blue += w - t; break;
        case 1: red += w, green += t; break;
        case 2: red += w - t, green += w; break;
        case 3: green += w, blue += t; break;
        case 4: green += w - t, blue += w; break;
        default: red += t, blue += w; break;
    }
    out[0] = blue, out[1] = green, out[2] = red;
}

inline void TonePixel(const uint8_t* s, uint8_t* d, const ToneRowJob* job) {
    int out[3] = {s[0], s[1], s[2]};
    if (job->hueSat) HexconePixel(s[0], s[1], s[2], job, out);
    const int32_t* table = job->table;
    for (int c = 0; c < 3; ++c) d[c] = uint8_t(table ? table[out[c]] : out[c]);
}

inline uint8_t SharpenSample(const SharpenRowJob* job, int offset) {
    const int s = job->row[offset];
    const int sum = job->sums[0][offset] + job->sums[1][offset] + job->sums[2][offset] + job->sums[3][offset];
    int out = s + (job->amount * (s - (sum >> 4))) / 10;
    out = out < 0 ? 0 : out > 255 ? 255 : out;
    return uint8_t(out);
}

inline bool IsBorderColumn(int x, int width) { return x < 2 || x > width - 3; }

// Border columns keep the copy's samples (then the brightness table).
void SharpenBorderColumns(const SharpenRowJob* job) {
    const int bpp = job->bytesPerPixel;
    for (int x = 0; x < job->width; ++x) {
        if (!IsBorderColumn(x, job->width)) {
            x = job->width - 3;
            continue;
        }
        for (int c = 0; c < 3; ++c) {
            const int s = job->row[x * bpp + c];
            job->dst[x * bpp + c] = uint8_t(job->table ? job->table[s] : s);
        }
    }
}

inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

}  // namespace

// The fused rows take the kernels' own hue shift and inverse table, so both paths agree by
// construction.
void HexconeHueShift(int32_t hue, int32_t* sector, int32_t* remainder) {
    const HueShift shift = HueShiftFor(hue);
    *sector = shift.sector;
    *remainder = shift.remainder;
}

const uint32_t* HexconeInverseTable(void) { return SharedHexconeTables().inverse; }

void ToneRow8Scalar(const ToneRowJob* job) {
    for (int x = 0; x < job->width; ++x)
        TonePixel(job->src + x * job->srcBytesPerPixel, job->dst + x * job->dstBytesPerPixel, job);
}

void SharpenRow8Scalar(const SharpenRowJob* job) { SharpenRow8Finish(job, 2 * job->bytesPerPixel); }

void SharpenRow8Finish(const SharpenRowJob* job, int fromByte) {
    const int bpp = job->bytesPerPixel;
    const int end = (job->width - 2) * bpp;
    for (int i = fromByte; i < end; ++i) {
        if (bpp == 4 && (i & 3) == 3) continue;
        const uint8_t v = SharpenSample(job, i);
        job->dst[i] = uint8_t(job->table ? job->table[v] : v);
    }
    SharpenBorderColumns(job);
}

void ToneRow8Sse2(const ToneRowJob* job) {
    if (!job->hueSat) {
        ToneRow8Scalar(job);
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i satScale = _mm_set1_epi16(int16_t(job->satScale));
    const __m128i hueRemainder = _mm_set1_epi16(int16_t(job->hueRemainder));
    const __m128i hueSector = _mm_set1_epi16(int16_t(job->hueSector));
    const __m128i c1 = _mm_set1_epi16(1), c3 = _mm_set1_epi16(3), c5 = _mm_set1_epi16(5);
    const __m128i c6 = _mm_set1_epi16(6), c128 = _mm_set1_epi16(128), c254 = _mm_set1_epi16(254);
    const __m128i c255 = _mm_set1_epi16(255), c511 = _mm_set1_epi16(511);
    const uint32_t* inverse = job->inverse;
    const int32_t* table = job->table;
    const int sbpp = job->srcBytesPerPixel, dbpp = job->dstBytesPerPixel;
    alignas(16) uint16_t bs[8], gs[8], rs[8], chs[8], invHi[8], invLo[8];
    int x = 0;
    for (; x + 8 <= job->width; x += 8) {
        const uint8_t* s = job->src + x * sbpp;
        for (int i = 0; i < 8; ++i, s += sbpp) bs[i] = s[0], gs[i] = s[1], rs[i] = s[2];
        const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(bs));
        const __m128i g = _mm_load_si128(reinterpret_cast<const __m128i*>(gs));
        const __m128i r = _mm_load_si128(reinterpret_cast<const __m128i*>(rs));
        const __m128i greenAbove = _mm_cmpgt_epi16(g, r);
        __m128i hi = Select(greenAbove, g, r);
        const __m128i lo = Select(greenAbove, r, g);
        __m128i pos = Select(greenAbove, _mm_sub_epi16(b, r), _mm_sub_epi16(g, b));
        __m128i sector = Select(greenAbove, c3, c1);
        const __m128i blueAbove = _mm_cmpgt_epi16(b, hi);
        sector = Select(blueAbove, c5, sector);
        pos = Select(blueAbove, _mm_sub_epi16(r, g), pos);
        hi = _mm_max_epi16(hi, b);
        const __m128i mn = _mm_min_epi16(lo, b);
        const __m128i ch = _mm_sub_epi16(hi, mn);
        const __m128i sum = _mm_add_epi16(hi, mn);
        const __m128i negative = _mm_cmpgt_epi16(zero, pos);
        sector = _mm_add_epi16(sector, negative);
        pos = _mm_add_epi16(pos, _mm_and_si128(negative, ch));
        _mm_store_si128(reinterpret_cast<__m128i*>(chs), ch);
        for (int i = 0; i < 8; ++i) {
            const uint32_t inv = inverse[chs[i]];
            invHi[i] = uint16_t(inv >> 16), invLo[i] = uint16_t(inv);
        }
        // (satScale * 256 * ch + 32768) >> 16 == (satScale * ch + 128) >> 8, a 17-bit product.
        const __m128i pl = _mm_mullo_epi16(satScale, ch), ph = _mm_mulhi_epu16(satScale, ch);
        const __m128i sat = _mm_add_epi16(
            _mm_add_epi16(_mm_slli_epi16(ph, 8), _mm_srli_epi16(pl, 8)),
            _mm_srli_epi16(_mm_add_epi16(_mm_and_si128(pl, c255), c128), 8));
        const __m128i ch2 = _mm_min_epi16(sat, _mm_min_epi16(sum, _mm_sub_epi16(c511, sum)));
        const __m128i k = _mm_srai_epi16(_mm_sub_epi16(sum, ch2), 1);
        const __m128i w = _mm_sub_epi16(_mm_srai_epi16(_mm_add_epi16(sum, ch2), 1), k);
        // (inverse * pos + 32768) >> 16 with inverse split in 16-bit halves.
        const __m128i ih = _mm_load_si128(reinterpret_cast<const __m128i*>(invHi));
        const __m128i il = _mm_load_si128(reinterpret_cast<const __m128i*>(invLo));
        const __m128i lowProduct = _mm_mullo_epi16(il, pos);
        __m128i v = _mm_add_epi16(_mm_mullo_epi16(ih, pos), _mm_mulhi_epu16(il, pos));
        v = _mm_add_epi16(v, _mm_srli_epi16(lowProduct, 15));
        v = _mm_add_epi16(v, hueRemainder);
        __m128i idx = _mm_add_epi16(sector, hueSector);
        const __m128i wraps = _mm_cmpgt_epi16(v, c254);
        v = _mm_sub_epi16(v, _mm_and_si128(wraps, c255));
        idx = _mm_sub_epi16(idx, wraps);
        idx = _mm_sub_epi16(idx, _mm_and_si128(_mm_cmpgt_epi16(idx, c5), c6));
        const __m128i t = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(w, v), c128), 8);
        __m128i e[6];
        for (int j = 0; j < 6; ++j) e[j] = _mm_cmpeq_epi16(idx, _mm_set1_epi16(int16_t(j)));
        const __m128i red = _mm_sub_epi16(
            _mm_add_epi16(_mm_add_epi16(k, _mm_and_si128(w, _mm_or_si128(_mm_or_si128(e[0], e[1]), e[2]))),
                          _mm_and_si128(t, e[5])),
            _mm_and_si128(t, e[2]));
        const __m128i green = _mm_sub_epi16(
            _mm_add_epi16(_mm_add_epi16(k, _mm_and_si128(w, _mm_or_si128(_mm_or_si128(e[2], e[3]), e[4]))),
                          _mm_and_si128(t, e[1])),
            _mm_and_si128(t, e[4]));
        const __m128i blue = _mm_sub_epi16(
            _mm_add_epi16(_mm_add_epi16(k, _mm_and_si128(w, _mm_or_si128(_mm_or_si128(e[4], e[5]), e[0]))),
                          _mm_and_si128(t, e[3])),
            _mm_and_si128(t, e[0]));
        _mm_store_si128(reinterpret_cast<__m128i*>(bs), blue);
        _mm_store_si128(reinterpret_cast<__m128i*>(gs), green);
        _mm_store_si128(reinterpret_cast<__m128i*>(rs), red);
        uint8_t* d = job->dst + x * dbpp;
        if (table) {
            for (int i = 0; i < 8; ++i, d += dbpp)
                d[0] = uint8_t(table[bs[i]]), d[1] = uint8_t(table[gs[i]]), d[2] = uint8_t(table[rs[i]]);
        } else {
            for (int i = 0; i < 8; ++i, d += dbpp) d[0] = uint8_t(bs[i]), d[1] = uint8_t(gs[i]), d[2] = uint8_t(rs[i]);
        }
    }
    for (; x < job->width; ++x)
        TonePixel(job->src + x * sbpp, job->dst + x * dbpp, job);
}

void SharpenRow8Sse2(const SharpenRowJob* job) {
    const int bpp = job->bytesPerPixel;
    const int begin = 2 * bpp, end = (job->width - 2) * bpp;  // interior bytes
    const __m128i zero = _mm_setzero_si128();
    const __m128i amount = _mm_set1_epi16(int16_t(job->amount));
    const __m128i tenth = _mm_set1_epi16(int16_t(6554));  // (|x| * 6554) >> 16 == |x| / 10 below 16384
    const __m128i keepFourth = bpp == 4 ? _mm_set1_epi32(int(0xFF000000u)) : zero;
    const bool computeFactor = job->table && job->tableIsFactor;
    const __m128 factor = _mm_set1_ps(job->factor);
    int i = begin;
    for (; i + 16 <= end; i += 16) {
        __m128i lo = zero, hi = zero;
        for (int r = 0; r < 4; ++r) {
            lo = _mm_add_epi16(lo, _mm_loadu_si128(reinterpret_cast<const __m128i*>(job->sums[r] + i)));
            hi = _mm_add_epi16(hi, _mm_loadu_si128(reinterpret_cast<const __m128i*>(job->sums[r] + i + 8)));
        }
        const __m128i centre = _mm_loadu_si128(reinterpret_cast<const __m128i*>(job->row + i));
        __m128i halves[2] = {_mm_unpacklo_epi8(centre, zero), _mm_unpackhi_epi8(centre, zero)};
        const __m128i sums[2] = {lo, hi};
        for (int h = 0; h < 2; ++h) {
            const __m128i diff = _mm_sub_epi16(halves[h], _mm_srli_epi16(sums[h], 4));
            const __m128i x = _mm_mullo_epi16(diff, amount);
            const __m128i sign = _mm_srai_epi16(x, 15);
            const __m128i magnitude = _mm_sub_epi16(_mm_xor_si128(x, sign), sign);
            const __m128i q = _mm_mulhi_epu16(magnitude, tenth);
            halves[h] = _mm_add_epi16(halves[h], _mm_sub_epi16(_mm_xor_si128(q, sign), sign));
        }
        __m128i out = _mm_packus_epi16(halves[0], halves[1]);
        if (computeFactor) {
            __m128i quads[4] = {_mm_unpacklo_epi16(_mm_unpacklo_epi8(out, zero), zero),
                                _mm_unpackhi_epi16(_mm_unpacklo_epi8(out, zero), zero),
                                _mm_unpacklo_epi16(_mm_unpackhi_epi8(out, zero), zero),
                                _mm_unpackhi_epi16(_mm_unpackhi_epi8(out, zero), zero)};
            for (int q = 0; q < 4; ++q)
                quads[q] = _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(quads[q]), factor));
            out = _mm_packus_epi16(_mm_packs_epi32(quads[0], quads[1]), _mm_packs_epi32(quads[2], quads[3]));
        }
        uint8_t* d = job->dst + i;
        if (bpp == 4) {
            const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
            out = Select(keepFourth, old, out);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), out);
        if (job->table && !computeFactor) {
            for (int j = 0; j < 16; ++j)
                if (bpp == 3 || ((i + j) & 3) != 3) d[j] = uint8_t(job->table[d[j]]);
        }
    }
    SharpenRow8Finish(job, i);
}

void HorizontalSums8Scalar(const uint8_t* row, uint16_t* sums, int width, int bpp) {
    for (int i = 2 * bpp; i < (width - 2) * bpp; ++i)
        sums[i] = uint16_t(row[i - 2 * bpp] + row[i - bpp] + row[i] + row[i + bpp]);
}

void HorizontalSums8Sse2(const uint8_t* row, uint16_t* sums, int width, int bpp) {
    const __m128i zero = _mm_setzero_si128();
    const int end = (width - 2) * bpp;
    int i = 2 * bpp;
    for (; i + 16 <= end; i += 16) {
        __m128i lo = zero, hi = zero;
        const int offsets[4] = {-2 * bpp, -bpp, 0, bpp};
        for (int o = 0; o < 4; ++o) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i + offsets[o]));
            lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(bytes, zero));
            hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(bytes, zero));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i), lo);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i + 8), hi);
    }
    for (; i < end; ++i) sums[i] = uint16_t(row[i - 2 * bpp] + row[i - bpp] + row[i] + row[i + bpp]);
}

namespace {

inline int Sample16(const uint8_t* row, int index) {
    uint16_t v;
    memcpy(&v, row + 2 * index, 2);
    return v;
}

}  // namespace

void HorizontalSums16Scalar(const uint8_t* row, uint16_t* sums, int width, int spp) {
    for (int x = 2; x <= width - 3; ++x) {
        const int last = x + 4 < width ? x + 4 : width - 1;
        for (int c = 0; c < spp; ++c)
            sums[x * spp + c] = uint16_t(Sample16(row, (x - 2) * spp + c) + Sample16(row, x * spp + c) +
                                         Sample16(row, (x + 2) * spp + c) + Sample16(row, last * spp + c));
    }
}

void SharpenRow16Finish(const Sharpen16RowJob* job, int fromSample) {
    const int spp = job->samplesPerPixel, w = job->width;
    const uint16_t* bright = job->bright;
    for (int i = fromSample; i < (w - 2) * spp; ++i) {
        if (i % spp == 3) continue;
        const int s = Sample16(job->row, i);
        const int blurred = (job->sums[0][i] + job->sums[1][i] + job->sums[2][i] + job->sums[3][i]) >> 4;
        int out = s + (job->amount * (s - blurred)) / 10;
        out = out < 0 ? 0 : out > 1023 ? 1023 : out;
        const uint16_t v = bright ? bright[out] : uint16_t(out);
        memcpy(job->dst + 2 * i, &v, 2);
    }
    // Border columns (the first two and the last two): the copy's three samples.
    const int tail = w - 2 > 2 ? w - 2 : 2;
    for (int x = 0; x < w; x = x == 1 ? tail : x + 1)
        for (int c = 0; c < 3; ++c) {
            const int s = Sample16(job->row, x * spp + c);
            const uint16_t v = bright ? bright[s > 1023 ? 1023 : s] : uint16_t(s);
            memcpy(job->dst + 2 * (x * spp + c), &v, 2);
        }
}

void SharpenRow16Scalar(const Sharpen16RowJob* job) { SharpenRow16Finish(job, 2 * job->samplesPerPixel); }
