// AVX2 rows of the fused 8-bit colour path: eight pixels of the hexcone per step in 32-bit lanes
// (the sextant's mask and multiplier picked by a lane permute, the inverse by a division), and
// sharpening sixteen samples per step.
//
// Built for AVX2 alone and only called after the run-time CPU check. Plain C-style code with
// static functions and intrinsics only: nothing here may be an inline or template function the
// linker could pick for code that runs without AVX2.
#include <immintrin.h>

#include "imaging/pipeline_rows.h"

static void TonePixelAvx2Tail(const ToneRowJob* job, int x) {
    // The last pixels of a row go through the scalar routine, one pixel at a time.
    ToneRowJob one = *job;
    one.src = job->src + x * job->srcBytesPerPixel;
    one.dst = job->dst + x * job->dstBytesPerPixel;
    one.width = job->width - x;
    ToneRow8Scalar(&one);
}

static __m256i HexconeAvx2(__m256i packed, const ToneRowJob* job) {
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    const __m256i b = _mm256_and_si256(packed, byteMask);
    const __m256i g = _mm256_and_si256(_mm256_srli_epi32(packed, 8), byteMask);
    const __m256i r = _mm256_and_si256(_mm256_srli_epi32(packed, 16), byteMask);
    const __m256i greenAbove = _mm256_cmpgt_epi32(g, r);
    __m256i hi = _mm256_blendv_epi8(r, g, greenAbove);
    const __m256i lo = _mm256_blendv_epi8(g, r, greenAbove);
    __m256i pos = _mm256_blendv_epi8(_mm256_sub_epi32(g, b), _mm256_sub_epi32(b, r), greenAbove);
    __m256i sector = _mm256_blendv_epi8(_mm256_set1_epi32(1), _mm256_set1_epi32(3), greenAbove);
    const __m256i blueAbove = _mm256_cmpgt_epi32(b, hi);
    sector = _mm256_blendv_epi8(sector, _mm256_set1_epi32(5), blueAbove);
    pos = _mm256_blendv_epi8(pos, _mm256_sub_epi32(r, g), blueAbove);
    hi = _mm256_max_epi32(hi, b);
    const __m256i mn = _mm256_min_epi32(lo, b);
    const __m256i ch = _mm256_sub_epi32(hi, mn);
    const __m256i sum = _mm256_add_epi32(hi, mn);
    const __m256i negative = _mm256_cmpgt_epi32(_mm256_setzero_si256(), pos);
    sector = _mm256_add_epi32(sector, negative);
    pos = _mm256_add_epi32(pos, _mm256_and_si256(negative, ch));
    const __m256i sat = _mm256_srli_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(ch, _mm256_set1_epi32(job->satScale * 256)),
                         _mm256_set1_epi32(32768)),
        16);
    const __m256i limit = _mm256_min_epi32(sum, _mm256_sub_epi32(_mm256_set1_epi32(511), sum));
    const __m256i ch2 = _mm256_min_epi32(sat, limit);
    const __m256i k = _mm256_srai_epi32(_mm256_sub_epi32(sum, ch2), 1);
    const __m256i w = _mm256_sub_epi32(_mm256_srai_epi32(_mm256_add_epi32(sum, ch2), 1), k);
    // 0xFF0000 / ch: the single-precision quotient truncates to the integer one for every ch of
    // 1..255 (checked over all of them); ch 0 has pos 0, so its value does not matter.
    const __m256i inverse = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_set1_ps(16711680.0f), _mm256_cvtepi32_ps(ch)));
    __m256i v = _mm256_srli_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(inverse, pos), _mm256_set1_epi32(32768)), 16);
    v = _mm256_add_epi32(v, _mm256_set1_epi32(job->hueRemainder));
    __m256i idx = _mm256_add_epi32(sector, _mm256_set1_epi32(job->hueSector));
    const __m256i wraps = _mm256_cmpgt_epi32(v, _mm256_set1_epi32(254));
    v = _mm256_sub_epi32(v, _mm256_and_si256(wraps, _mm256_set1_epi32(255)));
    idx = _mm256_sub_epi32(idx, wraps);
    idx = _mm256_sub_epi32(idx, _mm256_and_si256(_mm256_cmpgt_epi32(idx, _mm256_set1_epi32(5)),
                                                 _mm256_set1_epi32(6)));
    const __m256i t = _mm256_srli_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(w, v), _mm256_set1_epi32(128)), 8);
    const __m256i masks = _mm256_setr_epi32(0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0, 0);
    const __m256i multipliers = _mm256_setr_epi32(-1, 256, -65536, 1, -256, 65536, 0, 0);
    const __m256i mask = _mm256_permutevar8x32_epi32(masks, idx);
    const __m256i multiplier = _mm256_permutevar8x32_epi32(multipliers, idx);
    const __m256i gray = _mm256_set1_epi32(0x010101);
    __m256i p = _mm256_mullo_epi32(k, gray);
    p = _mm256_add_epi32(p, _mm256_and_si256(_mm256_mullo_epi32(w, gray), mask));
    return _mm256_add_epi32(p, _mm256_mullo_epi32(t, multiplier));
}

static __m256i TableAvx2(__m256i packed, const int32_t* table) {
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    const int* t = reinterpret_cast<const int*>(table);
    const __m256i b = _mm256_i32gather_epi32(t, _mm256_and_si256(packed, byteMask), 4);
    const __m256i g = _mm256_i32gather_epi32(t, _mm256_and_si256(_mm256_srli_epi32(packed, 8), byteMask), 4);
    const __m256i r = _mm256_i32gather_epi32(t, _mm256_and_si256(_mm256_srli_epi32(packed, 16), byteMask), 4);
    return _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(b, byteMask),
                                           _mm256_slli_epi32(_mm256_and_si256(g, byteMask), 8)),
                           _mm256_slli_epi32(_mm256_and_si256(r, byteMask), 16));
}

void ToneRow8Avx2(const ToneRowJob* job) {
    const int bpp = job->srcBytesPerPixel;
    if (bpp != job->dstBytesPerPixel || (bpp != 3 && bpp != 4)) {
        ToneRow8Scalar(job);
        return;
    }
    // Three-byte pixels: two 16-byte loads (12 bytes of pixels each) spread to 32-bit lanes.
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,
                                            0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i gather = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                            0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i lowThree = _mm256_set1_epi32(0xFFFFFF);
    int x = 0;
    // 3 bytes per pixel: the loads reach 4 bytes past the eight pixels, so keep two pixels spare.
    const int vectorEnd = bpp == 3 ? job->width - 10 : job->width - 8;
    for (; x <= vectorEnd; x += 8) {
        const uint8_t* s = job->src + x * bpp;
        uint8_t* d = job->dst + x * bpp;
        __m256i packed;
        __m256i old = _mm256_setzero_si256();
        if (bpp == 3) {
            const __m256i raw = _mm256_inserti128_si256(
                _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s))),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 12)), 1);
            packed = _mm256_shuffle_epi8(raw, spread);
        } else {
            old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
            packed = _mm256_and_si256(old, lowThree);
        }
        if (job->hueSat) packed = HexconeAvx2(packed, job);
        if (job->table) packed = TableAvx2(packed, job->table);
        if (bpp == 3) {
            const __m256i tight = _mm256_shuffle_epi8(packed, gather);
            const __m128i low = _mm256_castsi256_si128(tight);
            const __m128i high = _mm256_extracti128_si256(tight, 1);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d), low);
            _mm_storeu_si32(d + 8, _mm_srli_si128(low, 8));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 12), high);
            _mm_storeu_si32(d + 20, _mm_srli_si128(high, 8));
        } else {
            const __m256i fourth = _mm256_andnot_si256(lowThree, old);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm256_or_si256(packed, fourth));
        }
    }
    if (x < job->width) TonePixelAvx2Tail(job, x);
}

static __m256i SharpenSixteenAvx2(const SharpenRowJob* job, int i, __m256i amount, __m256i tenth) {
    __m256i sum = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(job->sums[0] + i));
    sum = _mm256_add_epi16(sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(job->sums[1] + i)));
    sum = _mm256_add_epi16(sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(job->sums[2] + i)));
    sum = _mm256_add_epi16(sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(job->sums[3] + i)));
    const __m256i centre = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(job->row + i)));
    const __m256i diff = _mm256_sub_epi16(centre, _mm256_srli_epi16(sum, 4));
    const __m256i x = _mm256_mullo_epi16(diff, amount);
    const __m256i sign = _mm256_srai_epi16(x, 15);
    const __m256i magnitude = _mm256_sub_epi16(_mm256_xor_si256(x, sign), sign);
    const __m256i q = _mm256_mulhi_epu16(magnitude, tenth);
    return _mm256_add_epi16(centre, _mm256_sub_epi16(_mm256_xor_si256(q, sign), sign));
}

void SharpenRow8Avx2(const SharpenRowJob* job) {
    const int bpp = job->bytesPerPixel;
    if (bpp != 3 && bpp != 4) {
        SharpenRow8Scalar(job);
        return;
    }
    const int begin = 2 * bpp, end = (job->width - 2) * bpp;  // interior bytes
    const __m256i amount = _mm256_set1_epi16(int16_t(job->amount));
    const __m256i tenth = _mm256_set1_epi16(int16_t(6554));  // (|x| * 6554) >> 16 == |x| / 10 below 16384
    const __m128i keepFourth = _mm_set1_epi32(int(0xFF000000u));
    const int computeFactor = job->table && job->tableIsFactor;
    const __m256 factor = _mm256_set1_ps(job->factor);
    int i = begin;
    for (; i + 16 <= end; i += 16) {
        const __m256i words = SharpenSixteenAvx2(job, i, amount, tenth);
        __m128i out;
        if (computeFactor) {
            // Samples above 255 saturate first, as the clamp before the brightness does.
            const __m256i clamped = _mm256_min_epi16(_mm256_max_epi16(words, _mm256_setzero_si256()),
                                                     _mm256_set1_epi16(255));
            const __m256i a = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(clamped));
            const __m256i b = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(clamped, 1));
            const __m256i ta = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(a), factor));
            const __m256i tb = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(b), factor));
            const __m256i packed = _mm256_packs_epi32(ta, tb);  // lanes: a0-3 b0-3 | a4-7 b4-7
            const __m256i ordered = _mm256_permute4x64_epi64(packed, 0xD8);
            out = _mm_packus_epi16(_mm256_castsi256_si128(ordered), _mm256_extracti128_si256(ordered, 1));
        } else {
            out = _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
        }
        uint8_t* d = job->dst + i;
        if (bpp == 4) {
            const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
            out = _mm_or_si128(_mm_and_si128(keepFourth, old), _mm_andnot_si128(keepFourth, out));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), out);
        if (job->table && !computeFactor) {
            for (int j = 0; j < 16; ++j)
                if (bpp == 3 || ((i + j) & 3) != 3) d[j] = uint8_t(job->table[d[j]]);
        }
    }
    SharpenRow8Finish(job, i);
}

void HorizontalSums8Avx2(const uint8_t* row, uint16_t* sums, int width, int bpp) {
    const int end = (width - 2) * bpp;
    int i = 2 * bpp;
    for (; i + 16 <= end; i += 16) {
        const uint8_t* p = row + i;
        __m256i sum = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 2 * bpp)));
        sum = _mm256_add_epi16(sum, _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p - bpp))));
        sum = _mm256_add_epi16(sum, _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
        sum = _mm256_add_epi16(sum, _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + bpp))));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i), sum);
    }
    for (; i < end; ++i) sums[i] = (uint16_t)(row[i - 2 * bpp] + row[i - bpp] + row[i] + row[i + bpp]);
}

void HorizontalSums16Avx2(const uint8_t* row, uint16_t* sums, int width, int spp) {
    HorizontalSums16Avx2From(row, sums, width, spp, 2 * spp);
}

void HorizontalSums16Avx2From(const uint8_t* row, uint16_t* sums, int width, int spp, int from) {
    // Vector steps while x + 4 stays inside the row for all sixteen samples.
    const int vectorEnd = (width - 1) * spp - 4 * spp;  // first sample whose x + 4 leaves the row
    int i = from;
    for (; i + 16 <= vectorEnd && i + 16 <= (width - 2) * spp; i += 16) {
        const uint8_t* p = row + 2 * i;
        __m256i sum = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p - 4 * spp));
        sum = _mm256_add_epi16(sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
        sum = _mm256_add_epi16(sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 4 * spp)));
        sum = _mm256_add_epi16(sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 8 * spp)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i), sum);
    }
    // The rest one sample at a time, the last column held to the row.
    for (; i < (width - 2) * spp; ++i) {
        const int x = i / spp, c = i % spp;
        const int last = x + 4 < width ? x + 4 : width - 1;
        const uint16_t* r = reinterpret_cast<const uint16_t*>(row);
        sums[i] = (uint16_t)(r[(x - 2) * spp + c] + r[i] + r[(x + 2) * spp + c] + r[last * spp + c]);
    }
}

void SharpenRow16Avx2(const Sharpen16RowJob* job) {
    const int spp = job->samplesPerPixel;
    const int end = (job->width - 2) * spp;
    const __m256i amount = _mm256_set1_epi16((short)job->amount);
    const __m256i tenth = _mm256_set1_epi16((short)0xCCCD);  // (x * 0xCCCD) >> 19 == x / 10 for 16-bit x
    const __m256i top = _mm256_set1_epi16(1023);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i keepFourth = _mm256_set1_epi64x((long long)0xFFFF000000000000ULL);
    const int computeFactor = job->bright && job->brightIsFactor;
    const __m256 factor = _mm256_set1_ps(job->factor);
    const __m256 topFloat = _mm256_set1_ps(1023.0f);
    int i = 2 * spp;
    for (; i + 16 <= end; i += 16) {
        __m256i sum = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(job->sums[0] + i));
        sum = _mm256_add_epi16(sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(job->sums[1] + i)));
        sum = _mm256_add_epi16(sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(job->sums[2] + i)));
        sum = _mm256_add_epi16(sum, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(job->sums[3] + i)));
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(job->row + 2 * i));
        const __m256i x = _mm256_mullo_epi16(_mm256_sub_epi16(s, _mm256_srli_epi16(sum, 4)), amount);
        const __m256i sign = _mm256_srai_epi16(x, 15);
        const __m256i magnitude = _mm256_sub_epi16(_mm256_xor_si256(x, sign), sign);
        const __m256i q = _mm256_srli_epi16(_mm256_mulhi_epu16(magnitude, tenth), 3);
        __m256i out = _mm256_add_epi16(s, _mm256_sub_epi16(_mm256_xor_si256(q, sign), sign));
        out = _mm256_min_epi16(_mm256_max_epi16(out, zero), top);
        if (computeFactor) {
            // trunc(sample * factor) held to 1023, in single precision as the brightness kernel.
            const __m256 a = _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(_mm256_castsi256_si128(out)));
            const __m256 b = _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(_mm256_extracti128_si256(out, 1)));
            const __m256i ta = _mm256_cvttps_epi32(_mm256_min_ps(_mm256_mul_ps(a, factor), topFloat));
            const __m256i tb = _mm256_cvttps_epi32(_mm256_min_ps(_mm256_mul_ps(b, factor), topFloat));
            out = _mm256_permute4x64_epi64(_mm256_packus_epi32(ta, tb), 0xD8);
        }
        uint8_t* d = job->dst + 2 * i;
        if (spp == 4) {
            const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
            out = _mm256_blendv_epi8(out, old, keepFourth);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), out);
        if (job->bright && !computeFactor) {
            uint16_t* samples = reinterpret_cast<uint16_t*>(d);
            for (int j = 0; j < 16; ++j)
                if (spp == 3 || ((i + j) & 3) != 3) samples[j] = job->bright[samples[j]];
        }
    }
    SharpenRow16Finish(job, i);
}
