// AVX-512 rows of the fused colour path. The hexcone works on 32 pixels a step in 16-bit lanes:
// the row's samples are split into blue, green and red planes by byte (8-bit) or word (16-bit)
// permutes and joined again the same way; mask registers make the choices. Every per-sample table
// sits in registers and is read by byte permutes (VBMI) instead of gathers. Sharpening and its
// horizontal sums take 32 samples a step. The tone rows work in place and load and store whole
// steps without masks (a masked store would hold up the next step's load); a row's last pixels
// use masked loads and stores, so no pixel goes through another routine.
//
// Built for AVX-512 F, BW, VL and VBMI and only called after the run-time CPU check. Plain
// C-style code with static functions and intrinsics only (see pipeline_rows_avx2.cpp).
#include <immintrin.h>

#include "imaging/pipeline_rows.h"

// GCC 12's AVX-512 intrinsics start from _mm*_undefined_* values, which its own flow analysis
// reports as used uninitialised under the sanitizer builds.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

// Kept inline so that constants stay in registers across a row's steps.
#if defined(_MSC_VER)
#define ROW_INLINE static __forceinline
#else
#define ROW_INLINE static inline __attribute__((always_inline))
#endif

// The 256-entry table (entries 0..255) as bytes in four registers of 64 entries.
static void LoadByteTable(const int32_t* entries, __m512i table[4]) {
    for (int q = 0; q < 4; ++q) {
        const __m128i a = _mm512_cvtepi32_epi8(_mm512_loadu_si512(entries + 64 * q));
        const __m128i b = _mm512_cvtepi32_epi8(_mm512_loadu_si512(entries + 64 * q + 16));
        const __m128i c = _mm512_cvtepi32_epi8(_mm512_loadu_si512(entries + 64 * q + 32));
        const __m128i d = _mm512_cvtepi32_epi8(_mm512_loadu_si512(entries + 64 * q + 48));
        __m512i all = _mm512_castsi128_si512(a);
        all = _mm512_inserti32x4(all, b, 1);
        all = _mm512_inserti32x4(all, c, 2);
        table[q] = _mm512_inserti32x4(all, d, 3);
    }
}

// Each byte through the table, given as its four registers. Rows keep them in local variables:
// read from an array in memory, the permutes' table operands made every step wait.
ROW_INLINE __m512i LookUpBytes(__m512i t0, __m512i t1, __m512i t2, __m512i t3, __m512i bytes) {
    const __m512i low = _mm512_permutex2var_epi8(t0, bytes, t1);
    const __m512i high = _mm512_permutex2var_epi8(t2, bytes, t3);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(bytes), low, high);
}

// Thirty-two samples per step in 16-bit lanes, as the AVX2 row sixteen; the brightness table by
// byte permutes. Whole steps of three-byte pixels store plainly; masked stores keep the fourth
// byte of four-byte pixels and end the row exactly.
void SharpenRow8Avx512(const SharpenRowJob* job) {
    const int bpp = job->bytesPerPixel;
    if (bpp != 3 && bpp != 4) {
        SharpenRow8Scalar(job);
        return;
    }
    const int begin = 2 * bpp, end = (job->width - 2) * bpp;  // interior bytes
    __m512i table[4] = {_mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512()};
    if (job->table) LoadByteTable(job->table, table);
    const __m512i t0 = table[0], t1 = table[1], t2 = table[2], t3 = table[3];
    const __m512i amount = _mm512_set1_epi16(short(job->amount));
    const __m512i tenth = _mm512_set1_epi16(short(6554));  // (|x| * 6554) >> 16 == |x| / 10 below 16384
    const __m512i zero = _mm512_setzero_si512();
    // Interior bytes start at a pixel's first byte, so step offsets keep their place in the pixel.
    const __mmask32 samples = bpp == 4 ? 0x77777777u : 0xFFFFFFFFu;
    for (int i = begin; i < end; i += 32) {
        const int n = end - i < 32 ? end - i : 32;
        const __mmask32 lanes = n == 32 ? 0xFFFFFFFFu : ((1u << n) - 1);
        __m512i sum, centre;
        if (n == 32) {
            sum = _mm512_loadu_si512(job->sums[0] + i);
            sum = _mm512_add_epi16(sum, _mm512_loadu_si512(job->sums[1] + i));
            sum = _mm512_add_epi16(sum, _mm512_loadu_si512(job->sums[2] + i));
            sum = _mm512_add_epi16(sum, _mm512_loadu_si512(job->sums[3] + i));
            centre = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(job->row + i)));
        } else {
            sum = _mm512_maskz_loadu_epi16(lanes, job->sums[0] + i);
            sum = _mm512_add_epi16(sum, _mm512_maskz_loadu_epi16(lanes, job->sums[1] + i));
            sum = _mm512_add_epi16(sum, _mm512_maskz_loadu_epi16(lanes, job->sums[2] + i));
            sum = _mm512_add_epi16(sum, _mm512_maskz_loadu_epi16(lanes, job->sums[3] + i));
            centre = _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(lanes, job->row + i));
        }
        const __m512i x = _mm512_mullo_epi16(_mm512_sub_epi16(centre, _mm512_srli_epi16(sum, 4)), amount);
        const __m512i sign = _mm512_srai_epi16(x, 15);
        const __m512i magnitude = _mm512_sub_epi16(_mm512_xor_si512(x, sign), sign);
        const __m512i q = _mm512_mulhi_epu16(magnitude, tenth);
        const __m512i words = _mm512_max_epi16(_mm512_add_epi16(centre, _mm512_sub_epi16(_mm512_xor_si512(q, sign), sign)), zero);
        __m512i out = _mm512_castsi256_si512(_mm512_cvtusepi16_epi8(words));  // 0..255
        if (job->table) out = LookUpBytes(t0, t1, t2, t3, out);
        if (n == 32 && bpp == 3)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(job->dst + i), _mm512_castsi512_si256(out));
        else
            _mm256_mask_storeu_epi8(job->dst + i, lanes & samples, _mm512_castsi512_si256(out));
    }
    SharpenRow8Finish(job, end);
}

// The table alone: sixteen pixels per step in 32-bit lanes.
static void TableRow8Pixels(const ToneRowJob* job) {
    const int bpp = job->srcBytesPerPixel;
    // The table as bytes in four registers of 64 entries.
    __m512i table[4] = {_mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512()};
    const int useTable = job->table != 0;
    if (useTable) LoadByteTable(job->table, table);
    const __m512i t0 = table[0], t1 = table[1], t2 = table[2], t3 = table[3];
    // Three-byte pixels to 32-bit lanes and back.
    const __m512i spread = _mm512_set_epi8(
        63, 47, 46, 45, 63, 44, 43, 42, 63, 41, 40, 39, 63, 38, 37, 36, 63, 35, 34, 33, 63, 32, 31, 30, 63, 29, 28, 27,
        63, 26, 25, 24, 63, 23, 22, 21, 63, 20, 19, 18, 63, 17, 16, 15, 63, 14, 13, 12, 63, 11, 10, 9, 63, 8, 7, 6,
        63, 5, 4, 3, 63, 2, 1, 0);
    const __m512i pack = _mm512_set_epi8(
        63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 62, 61, 60, 58, 57, 56, 54, 53, 52, 50, 49, 48,
        46, 45, 44, 42, 41, 40, 38, 37, 36, 34, 33, 32, 30, 29, 28, 26, 25, 24, 22, 21, 20, 18, 17, 16, 14, 13, 12, 10,
        9, 8, 6, 5, 4, 2, 1, 0);
    const __m512i lowThree = _mm512_set1_epi32(0xFFFFFF);
    const __mmask64 fourthBytes = 0x8888888888888888ULL;
    const int inPlace = job->src == job->dst;
    for (int x = 0; x < job->width; x += 16) {
        const int n = job->width - x < 16 ? job->width - x : 16;
        const __mmask64 bytes = n * bpp == 64 ? ~0ULL : ((1ULL << (n * bpp)) - 1);
        const uint8_t* s = job->src + x * bpp;
        uint8_t* d = job->dst + x * bpp;
        // Whole steps use plain loads and stores. A masked store spans all 64 bytes for the
        // processor's store forwarding, so the next step's load of the same row (the row is
        // processed in place) would wait for it to reach the cache.
        const int whole = n == 16 && (x + 16) * bpp + (bpp == 3 ? 16 : 0) <= job->width * bpp;
        const __m512i raw = whole ? _mm512_loadu_si512(s) : _mm512_maskz_loadu_epi8(bytes, s);
        __m512i packed = bpp == 3 ? _mm512_permutexvar_epi8(spread, raw) : raw;
        packed = _mm512_and_si512(packed, lowThree);
        if (useTable) packed = LookUpBytes(t0, t1, t2, t3, packed);
        if (bpp == 3) {
            const __m512i tight = _mm512_permutexvar_epi8(pack, packed);
            if (n == 16) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm512_castsi512_si256(tight));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32), _mm512_extracti32x4_epi32(tight, 2));
            } else {
                _mm512_mask_storeu_epi8(d, bytes, tight);
            }
        } else if (n == 16 && inPlace) {
            // The fourth byte of each pixel keeps what the row holds.
            _mm512_storeu_si512(d, _mm512_mask_blend_epi8(fourthBytes, packed, raw));
        } else {
            _mm512_mask_storeu_epi8(d, bytes & ~fourthBytes, packed);
        }
    }
}

// Byte permutes of the word-lane hexcone: a step's 32 pixels (two registers of the row) to the
// planes blue and green (one register, 32 bytes each) and red; back from blue and green packed
// by lanes (pixel p at 16 (p / 8) + p % 8, green 8 further) and red (bytes 64..95) to the pixels,
// the first 64 bytes (a) and the rest (b).
static const unsigned char kPlanesBG3[64] = {
    0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 33, 36, 39, 42, 45,
    48, 51, 54, 57, 60, 63, 66, 69, 72, 75, 78, 81, 84, 87, 90, 93,
    1, 4, 7, 10, 13, 16, 19, 22, 25, 28, 31, 34, 37, 40, 43, 46,
    49, 52, 55, 58, 61, 64, 67, 70, 73, 76, 79, 82, 85, 88, 91, 94,
};
static const unsigned char kPlaneR3[64] = {
    2, 5, 8, 11, 14, 17, 20, 23, 26, 29, 32, 35, 38, 41, 44, 47,
    50, 53, 56, 59, 62, 65, 68, 71, 74, 77, 80, 83, 86, 89, 92, 95,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};
static const unsigned char kPixels3a[64] = {
    0, 8, 64, 1, 9, 65, 2, 10, 66, 3, 11, 67, 4, 12, 68, 5,
    13, 69, 6, 14, 70, 7, 15, 71, 16, 24, 72, 17, 25, 73, 18, 26,
    74, 19, 27, 75, 20, 28, 76, 21, 29, 77, 22, 30, 78, 23, 31, 79,
    32, 40, 80, 33, 41, 81, 34, 42, 82, 35, 43, 83, 36, 44, 84, 37,
};
static const unsigned char kPixels3b[64] = {
    45, 85, 38, 46, 86, 39, 47, 87, 48, 56, 88, 49, 57, 89, 50, 58,
    90, 51, 59, 91, 52, 60, 92, 53, 61, 93, 54, 62, 94, 55, 63, 95,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};
static const unsigned char kPlanesBG4[64] = {
    0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60,
    64, 68, 72, 76, 80, 84, 88, 92, 96, 100, 104, 108, 112, 116, 120, 124,
    1, 5, 9, 13, 17, 21, 25, 29, 33, 37, 41, 45, 49, 53, 57, 61,
    65, 69, 73, 77, 81, 85, 89, 93, 97, 101, 105, 109, 113, 117, 121, 125,
};
static const unsigned char kPlaneR4[64] = {
    2, 6, 10, 14, 18, 22, 26, 30, 34, 38, 42, 46, 50, 54, 58, 62,
    66, 70, 74, 78, 82, 86, 90, 94, 98, 102, 106, 110, 114, 118, 122, 126,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};
static const unsigned char kPixels4a[64] = {
    0, 8, 64, 0, 1, 9, 65, 0, 2, 10, 66, 0, 3, 11, 67, 0,
    4, 12, 68, 0, 5, 13, 69, 0, 6, 14, 70, 0, 7, 15, 71, 0,
    16, 24, 72, 0, 17, 25, 73, 0, 18, 26, 74, 0, 19, 27, 75, 0,
    20, 28, 76, 0, 21, 29, 77, 0, 22, 30, 78, 0, 23, 31, 79, 0,
};
static const unsigned char kPixels4b[64] = {
    32, 40, 80, 0, 33, 41, 81, 0, 34, 42, 82, 0, 35, 43, 83, 0,
    36, 44, 84, 0, 37, 45, 85, 0, 38, 46, 86, 0, 39, 47, 87, 0,
    48, 56, 88, 0, 49, 57, 89, 0, 50, 58, 90, 0, 51, 59, 91, 0,
    52, 60, 92, 0, 53, 61, 93, 0, 54, 62, 94, 0, 55, 63, 95, 0,
};

// The hexcone on 32 pixels in 16-bit lanes: blue, green and red words (0..255) in and out. The
// steps of HexconePixel (pipeline_rows.cpp); every intermediate fits 16 bits but the inverse's
// product, which is made in 32-bit lanes.
ROW_INLINE void HexconeWords512(__m512i* blue, __m512i* green, __m512i* red, const ToneRowJob* job) {
    const __m512i b = *blue, g = *green, r = *red;
    const __m512i one = _mm512_set1_epi16(1);
    const __mmask32 greenAbove = _mm512_cmpgt_epu16_mask(g, r);
    __m512i hi = _mm512_max_epu16(r, g);
    const __m512i lo = _mm512_min_epu16(r, g);
    __m512i pos = _mm512_mask_sub_epi16(_mm512_sub_epi16(g, b), greenAbove, b, r);
    __m512i sector = _mm512_mask_mov_epi16(one, greenAbove, _mm512_set1_epi16(3));
    const __mmask32 blueAbove = _mm512_cmpgt_epu16_mask(b, hi);
    sector = _mm512_mask_mov_epi16(sector, blueAbove, _mm512_set1_epi16(5));
    pos = _mm512_mask_sub_epi16(pos, blueAbove, r, g);
    hi = _mm512_max_epu16(hi, b);
    const __m512i mn = _mm512_min_epu16(lo, b);
    const __m512i ch = _mm512_sub_epi16(hi, mn);
    const __m512i sum = _mm512_add_epi16(hi, mn);
    const __mmask32 negative = _mm512_cmplt_epi16_mask(pos, _mm512_setzero_si512());
    sector = _mm512_mask_sub_epi16(sector, negative, sector, one);
    pos = _mm512_mask_add_epi16(pos, negative, pos, ch);
    // (satScale * 256 * ch + 32768) >> 16 == (ch * 128 * satScale + 16384) >> 15: a rounding high
    // multiply of two signed 16-bit factors.
    const __m512i sat = _mm512_mulhrs_epi16(_mm512_slli_epi16(ch, 7), _mm512_set1_epi16(short(job->satScale)));
    const __m512i limit = _mm512_min_epi16(sum, _mm512_sub_epi16(_mm512_set1_epi16(511), sum));
    const __m512i ch2 = _mm512_min_epi16(sat, limit);
    const __m512i k = _mm512_srli_epi16(_mm512_sub_epi16(sum, ch2), 1);
    const __m512i w = _mm512_sub_epi16(_mm512_srli_epi16(_mm512_add_epi16(sum, ch2), 1), k);
    // (inverse * pos + 32768) >> 16 in two halves of 32-bit lanes. The inverse 0xFF0000 / ch: the
    // single-precision quotient truncates to the integer one for every ch of 1..255 (checked over
    // all of them); ch 0 has pos 0, so its value does not matter.
    const __m512 dividend = _mm512_set1_ps(16711680.0f);
    const __m512i rounding = _mm512_set1_epi32(32768);
    const __m512i chA = _mm512_cvtepu16_epi32(_mm512_castsi512_si256(ch));
    const __m512i chB = _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(ch, 1));
    const __m512i posA = _mm512_cvtepu16_epi32(_mm512_castsi512_si256(pos));
    const __m512i posB = _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(pos, 1));
    const __m512i invA = _mm512_cvttps_epi32(_mm512_div_ps(dividend, _mm512_cvtepi32_ps(chA)));
    const __m512i invB = _mm512_cvttps_epi32(_mm512_div_ps(dividend, _mm512_cvtepi32_ps(chB)));
    const __m512i qA = _mm512_srli_epi32(_mm512_add_epi32(_mm512_mullo_epi32(invA, posA), rounding), 16);
    const __m512i qB = _mm512_srli_epi32(_mm512_add_epi32(_mm512_mullo_epi32(invB, posB), rounding), 16);
    __m512i v = _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi32_epi16(qA)), _mm512_cvtepi32_epi16(qB), 1);
    v = _mm512_add_epi16(v, _mm512_set1_epi16(short(job->hueRemainder)));
    __m512i idx = _mm512_add_epi16(sector, _mm512_set1_epi16(short(job->hueSector)));
    const __mmask32 wraps = _mm512_cmpgt_epi16_mask(v, _mm512_set1_epi16(254));
    v = _mm512_mask_sub_epi16(v, wraps, v, _mm512_set1_epi16(255));
    idx = _mm512_mask_add_epi16(idx, wraps, idx, one);
    idx = _mm512_mask_sub_epi16(idx, _mm512_cmpgt_epi16_mask(idx, _mm512_set1_epi16(5)), idx, _mm512_set1_epi16(6));
    // w * v + 128 <= 255 * 254 + 128 stays below 65536.
    const __m512i t = _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(w, v), _mm512_set1_epi16(128)), 8);
    // Sextant idx as bit idx: red gains w in sextants 0..2, t in 5 and loses t in 2; green gains
    // w in 2..4, t in 1, loses t in 4; blue gains w in 4, 5, 0, t in 3, loses t in 0.
    const __m512i bit = _mm512_sllv_epi16(one, idx);
#define SEXTANTS(m) _mm512_test_epi16_mask(bit, _mm512_set1_epi16(m))
    __m512i outR = _mm512_mask_add_epi16(k, SEXTANTS(0x07), k, w);
    outR = _mm512_mask_add_epi16(outR, SEXTANTS(0x20), outR, t);
    *red = _mm512_mask_sub_epi16(outR, SEXTANTS(0x04), outR, t);
    __m512i outG = _mm512_mask_add_epi16(k, SEXTANTS(0x1C), k, w);
    outG = _mm512_mask_add_epi16(outG, SEXTANTS(0x02), outG, t);
    *green = _mm512_mask_sub_epi16(outG, SEXTANTS(0x10), outG, t);
    __m512i outB = _mm512_mask_add_epi16(k, SEXTANTS(0x31), k, w);
    outB = _mm512_mask_add_epi16(outB, SEXTANTS(0x08), outB, t);
    *blue = _mm512_mask_sub_epi16(outB, SEXTANTS(0x01), outB, t);
#undef SEXTANTS
}

// With the hexcone: 32 pixels per step, split into planes of 16-bit lanes and joined again by
// byte permutes, the table looked up on the planes' bytes. Without it, TableRow8Pixels.
void ToneRow8Avx512(const ToneRowJob* job) {
    const int bpp = job->srcBytesPerPixel;
    if (bpp != job->dstBytesPerPixel || (bpp != 3 && bpp != 4)) {
        ToneRow8Scalar(job);
        return;
    }
    if (!job->hueSat) {
        TableRow8Pixels(job);
        return;
    }
    __m512i table[4] = {_mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512()};
    const int useTable = job->table != 0;
    if (useTable) LoadByteTable(job->table, table);
    const __m512i t0 = table[0], t1 = table[1], t2 = table[2], t3 = table[3];
    const __m512i planesBG = _mm512_loadu_si512(bpp == 3 ? kPlanesBG3 : kPlanesBG4);
    const __m512i planeR = _mm512_loadu_si512(bpp == 3 ? kPlaneR3 : kPlaneR4);
    const __m512i pixelsA = _mm512_loadu_si512(bpp == 3 ? kPixels3a : kPixels4a);
    const __m512i pixelsB = _mm512_loadu_si512(bpp == 3 ? kPixels3b : kPixels4b);
    const __mmask64 fourthBytes = 0x8888888888888888ULL;
    const int inPlace = job->src == job->dst;
    for (int x = 0; x < job->width; x += 32) {
        const int left = (job->width - x) * bpp;  // bytes to the row's end
        const uint8_t* s = job->src + x * bpp;
        uint8_t* d = job->dst + x * bpp;
        // Whole steps load and store plainly (see TableRow8Pixels); the row's end uses masks.
        const int whole = left >= 128;
        __m512i a, b;
        __mmask64 maskA = ~0ULL, maskB = ~0ULL;
        if (whole) {
            a = _mm512_loadu_si512(s);
            b = _mm512_loadu_si512(s + 64);
        } else {
            const int bytes = left < 32 * bpp ? left : 32 * bpp;
            maskA = bytes >= 64 ? ~0ULL : ((1ULL << bytes) - 1);
            maskB = bytes <= 64 ? 0 : bytes >= 128 ? ~0ULL : ((1ULL << (bytes - 64)) - 1);
            a = _mm512_maskz_loadu_epi8(maskA, s);
            b = _mm512_maskz_loadu_epi8(maskB, s + 64);
        }
        const __m512i bgBytes = _mm512_permutex2var_epi8(a, planesBG, b);
        const __m512i rBytes = _mm512_permutex2var_epi8(a, planeR, b);
        __m512i blue = _mm512_cvtepu8_epi16(_mm512_castsi512_si256(bgBytes));
        __m512i green = _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(bgBytes, 1));
        __m512i red = _mm512_cvtepu8_epi16(_mm512_castsi512_si256(rBytes));
        HexconeWords512(&blue, &green, &red, job);
        __m512i bg = _mm512_packus_epi16(blue, green);
        __m512i rr = _mm512_zextsi256_si512(_mm512_cvtepi16_epi8(red));
        if (useTable) {
            bg = LookUpBytes(t0, t1, t2, t3, bg);
            rr = LookUpBytes(t0, t1, t2, t3, rr);
        }
        __m512i outA = _mm512_permutex2var_epi8(bg, pixelsA, rr);
        __m512i outB = _mm512_permutex2var_epi8(bg, pixelsB, rr);
        if (bpp == 3) {
            if (whole) {
                _mm512_storeu_si512(d, outA);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 64), _mm512_castsi512_si256(outB));
            } else {
                _mm512_mask_storeu_epi8(d, maskA, outA);
                _mm512_mask_storeu_epi8(d + 64, maskB, outB);
            }
        } else if (inPlace) {
            // The fourth byte of each pixel keeps what the row holds.
            outA = _mm512_mask_blend_epi8(fourthBytes, outA, a);
            outB = _mm512_mask_blend_epi8(fourthBytes, outB, b);
            if (whole) {
                _mm512_storeu_si512(d, outA);
                _mm512_storeu_si512(d + 64, outB);
            } else {
                _mm512_mask_storeu_epi8(d, maskA, outA);
                _mm512_mask_storeu_epi8(d + 64, maskB, outB);
            }
        } else {
            _mm512_mask_storeu_epi8(d, maskA & ~fourthBytes, outA);
            _mm512_mask_storeu_epi8(d + 64, maskB & ~fourthBytes, outB);
        }
    }
}

// The 256 entries of a 16-bit table as its low and its high bytes, four registers each.
static void LoadWordTable(const uint16_t* entries, __m512i low[4], __m512i high[4]) {
    for (int q = 0; q < 4; ++q) {
        const __m512i a = _mm512_loadu_si512(entries + 64 * q);
        const __m512i b = _mm512_loadu_si512(entries + 64 * q + 32);
        low[q] = _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi16_epi8(a)), _mm512_cvtepi16_epi8(b), 1);
        high[q] = _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi16_epi8(_mm512_srli_epi16(a, 8))),
                                     _mm512_cvtepi16_epi8(_mm512_srli_epi16(b, 8)), 1);
    }
}

// Word permutes of the 16-bit tone row: the planes' samples (blue, green, red) of 32 pixels at
// their indices in the row's words, and back: each output register's words from the blue (index
// p) and green (32 + p) planes, then from the red one where the mask has the word.
static const unsigned short kWordPlanes6[3][32] = {
    {0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 33, 36, 39, 42, 45,
     48, 51, 54, 57, 60, 63, 66, 69, 72, 75, 78, 81, 84, 87, 90, 93},
    {1, 4, 7, 10, 13, 16, 19, 22, 25, 28, 31, 34, 37, 40, 43, 46,
     49, 52, 55, 58, 61, 64, 67, 70, 73, 76, 79, 82, 85, 88, 91, 94},
    {2, 5, 8, 11, 14, 17, 20, 23, 26, 29, 32, 35, 38, 41, 44, 47,
     50, 53, 56, 59, 62, 65, 68, 71, 74, 77, 80, 83, 86, 89, 92, 95},
};
static const unsigned short kWordPixels6[3][32] = {
    {0, 32, 0, 1, 33, 1, 2, 34, 2, 3, 35, 3, 4, 36, 4, 5,
     37, 5, 6, 38, 6, 7, 39, 7, 8, 40, 8, 9, 41, 9, 10, 42},
    {10, 11, 43, 11, 12, 44, 12, 13, 45, 13, 14, 46, 14, 15, 47, 15,
     16, 48, 16, 17, 49, 17, 18, 50, 18, 19, 51, 19, 20, 52, 20, 21},
    {53, 21, 22, 54, 22, 23, 55, 23, 24, 56, 24, 25, 57, 25, 26, 58,
     26, 27, 59, 27, 28, 60, 28, 29, 61, 29, 30, 62, 30, 31, 63, 31},
};
static const unsigned int kWordPixelsRed6[3] = {0x24924924u, 0x49249249u, 0x92492492u};
static const unsigned short kWordPlanes8[3][32] = {
    {0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60,
     64, 68, 72, 76, 80, 84, 88, 92, 96, 100, 104, 108, 112, 116, 120, 124},
    {1, 5, 9, 13, 17, 21, 25, 29, 33, 37, 41, 45, 49, 53, 57, 61,
     65, 69, 73, 77, 81, 85, 89, 93, 97, 101, 105, 109, 113, 117, 121, 125},
    {2, 6, 10, 14, 18, 22, 26, 30, 34, 38, 42, 46, 50, 54, 58, 62,
     66, 70, 74, 78, 82, 86, 90, 94, 98, 102, 106, 110, 114, 118, 122, 126},
};
static const unsigned short kWordPixels8[4][32] = {
    {0, 32, 0, 0, 1, 33, 1, 0, 2, 34, 2, 0, 3, 35, 3, 0,
     4, 36, 4, 0, 5, 37, 5, 0, 6, 38, 6, 0, 7, 39, 7, 0},
    {8, 40, 8, 0, 9, 41, 9, 0, 10, 42, 10, 0, 11, 43, 11, 0,
     12, 44, 12, 0, 13, 45, 13, 0, 14, 46, 14, 0, 15, 47, 15, 0},
    {16, 48, 16, 0, 17, 49, 17, 0, 18, 50, 18, 0, 19, 51, 19, 0,
     20, 52, 20, 0, 21, 53, 21, 0, 22, 54, 22, 0, 23, 55, 23, 0},
    {24, 56, 24, 0, 25, 57, 25, 0, 26, 58, 26, 0, 27, 59, 27, 0,
     28, 60, 28, 0, 29, 61, 29, 0, 30, 62, 30, 0, 31, 63, 31, 0},
};
static const unsigned int kWordPixelsRed8[4] = {0x44444444u, 0x44444444u, 0x44444444u, 0x44444444u};


// 32 pixels per step with samplesPerPixel 3 or 4 (a constant once inlined): the planes' words by
// permutes of the row's registers, brought to bytes (sample >> 2), the word hexcone, the table's
// two bytes by byte permutes, and the words back in place. Whole steps load and store plainly (see
// ToneRow8Avx512); the row's last pixels use masks.
ROW_INLINE void ToneRow16Words(const ToneRowJob* job, const uint16_t* back, const int spp) {
    const int bpp = 2 * spp;
    uint8_t* row = job->dst;
    __m512i low[4], high[4];
    LoadWordTable(back, low, high);
    const __m512i l0 = low[0], l1 = low[1], l2 = low[2], l3 = low[3];
    const __m512i h0 = high[0], h1 = high[1], h2 = high[2], h3 = high[3];
    const unsigned short(*planes)[32] = spp == 3 ? kWordPlanes6 : kWordPlanes8;
    const unsigned short(*pixels)[32] = spp == 3 ? kWordPixels6 : kWordPixels8;
    const unsigned int* redWords = spp == 3 ? kWordPixelsRed6 : kWordPixelsRed8;
    __m512i planeIndex[3];
    __mmask32 fromSecondPair[3];  // words of the third (and fourth) register
    for (int c = 0; c < 3; ++c) {
        planeIndex[c] = _mm512_loadu_si512(planes[c]);
        fromSecondPair[c] = _mm512_cmpge_epu16_mask(planeIndex[c], _mm512_set1_epi16(64));
    }
    const __m512i byteMask = _mm512_set1_epi16(0xFF);
    const __mmask32 fourth = 0x88888888u;
    const int rowBytes = job->width * bpp;
    for (int x = 0; x < job->width; x += 32) {
        uint8_t* p = row + x * bpp;
        const int left = rowBytes - x * bpp;
        const int bytes = left < 32 * bpp ? left : 32 * bpp;
        const int whole = bytes == 32 * bpp;
        __m512i in[4];
        __mmask64 mask[4];
        for (int k = 0; k < spp; ++k) {
            const int n = bytes - 64 * k;
            mask[k] = n >= 64 ? ~0ULL : n <= 0 ? 0ULL : ((1ULL << n) - 1);
            in[k] = whole ? _mm512_loadu_si512(p + 64 * k) : _mm512_maskz_loadu_epi8(mask[k], p + 64 * k);
        }
        __m512i plane[3];
        for (int c = 0; c < 3; ++c) {
            __m512i words = _mm512_permutex2var_epi16(in[0], planeIndex[c], in[1]);
            if (spp == 3)
                words = _mm512_mask_permutexvar_epi16(words, fromSecondPair[c], planeIndex[c], in[2]);
            else
                words = _mm512_mask_blend_epi16(fromSecondPair[c], words,
                                                _mm512_permutex2var_epi16(in[2], planeIndex[c], in[3]));
            plane[c] = _mm512_and_si512(_mm512_srli_epi16(words, 2), byteMask);
        }
        HexconeWords512(&plane[0], &plane[1], &plane[2], job);
        // Blue and green packed by lanes: unpacking the looked-up low and high bytes gives each
        // plane's words in order.
        const __m512i bg = _mm512_packus_epi16(plane[0], plane[1]);
        const __m512i rr = _mm512_zextsi256_si512(_mm512_cvtepi16_epi8(plane[2]));
        const __m512i bgLow = LookUpBytes(l0, l1, l2, l3, bg), bgHigh = LookUpBytes(h0, h1, h2, h3, bg);
        const __m512i rLow = LookUpBytes(l0, l1, l2, l3, rr), rHigh = LookUpBytes(h0, h1, h2, h3, rr);
        const __m512i blue = _mm512_unpacklo_epi8(bgLow, bgHigh);
        const __m512i green = _mm512_unpackhi_epi8(bgLow, bgHigh);
        const __m512i red = _mm512_or_si512(_mm512_cvtepu8_epi16(_mm512_castsi512_si256(rLow)),
                                            _mm512_slli_epi16(_mm512_cvtepu8_epi16(_mm512_castsi512_si256(rHigh)), 8));
        for (int k = 0; k < spp; ++k) {
            const __m512i index = _mm512_loadu_si512(pixels[k]);
            __m512i out = _mm512_permutex2var_epi16(blue, index, green);
            out = _mm512_mask_permutexvar_epi16(out, redWords[k], index, red);
            if (spp == 4) out = _mm512_mask_blend_epi16(fourth, out, in[k]);  // the row's fourth sample
            if (whole)
                _mm512_storeu_si512(p + 64 * k, out);
            else
                _mm512_mask_storeu_epi8(p + 64 * k, mask[k], out);
        }
    }
}

void ToneRow16Avx512(const ToneRowJob* job, const uint16_t* back) {
    if (job->srcBytesPerPixel == 6)
        ToneRow16Words(job, back, 3);
    else
        ToneRow16Words(job, back, 4);
}

// 16-bit colour sharpening, thirty-two samples per step (the AVX2 row's sixteen), with the
// brightness multiplied in single precision when the job allows it.
void SharpenRow16Avx512(const Sharpen16RowJob* job) {
    const int spp = job->samplesPerPixel;
    const int end = (job->width - 2) * spp;
    const __m512i amount = _mm512_set1_epi16(short(job->amount));
    const __m512i tenth = _mm512_set1_epi16(short(0xCCCD));  // (x * 0xCCCD) >> 19 == x / 10 for 16-bit x
    const __m512i top = _mm512_set1_epi16(1023);
    const __m512i zero = _mm512_setzero_si512();
    // Steps start at a pixel's first sample, so the fourth samples keep their lanes.
    const __mmask32 fourth = 0x88888888u;
    const int computeFactor = job->bright && job->brightIsFactor;
    const __m512 factor = _mm512_set1_ps(job->factor);
    const __m512 topFloat = _mm512_set1_ps(1023.0f);
    int i = 2 * spp;
    for (; i + 32 <= end; i += 32) {
        __m512i sum = _mm512_loadu_si512(job->sums[0] + i);
        sum = _mm512_add_epi16(sum, _mm512_loadu_si512(job->sums[1] + i));
        sum = _mm512_add_epi16(sum, _mm512_loadu_si512(job->sums[2] + i));
        sum = _mm512_add_epi16(sum, _mm512_loadu_si512(job->sums[3] + i));
        const __m512i s = _mm512_loadu_si512(job->row + 2 * i);
        const __m512i x = _mm512_mullo_epi16(_mm512_sub_epi16(s, _mm512_srli_epi16(sum, 4)), amount);
        const __m512i sign = _mm512_srai_epi16(x, 15);
        const __m512i magnitude = _mm512_sub_epi16(_mm512_xor_si512(x, sign), sign);
        const __m512i q = _mm512_srli_epi16(_mm512_mulhi_epu16(magnitude, tenth), 3);
        __m512i out = _mm512_add_epi16(s, _mm512_sub_epi16(_mm512_xor_si512(q, sign), sign));
        out = _mm512_min_epi16(_mm512_max_epi16(out, zero), top);
        if (computeFactor) {
            const __m512 a = _mm512_cvtepi32_ps(_mm512_cvtepu16_epi32(_mm512_castsi512_si256(out)));
            const __m512 b = _mm512_cvtepi32_ps(_mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(out, 1)));
            const __m512i ta = _mm512_cvttps_epi32(_mm512_min_ps(_mm512_mul_ps(a, factor), topFloat));
            const __m512i tb = _mm512_cvttps_epi32(_mm512_min_ps(_mm512_mul_ps(b, factor), topFloat));
            out = _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi32_epi16(ta)), _mm512_cvtepi32_epi16(tb), 1);
        }
        uint8_t* d = job->dst + 2 * i;
        if (spp == 4) out = _mm512_mask_blend_epi16(fourth, out, _mm512_loadu_si512(d));
        _mm512_storeu_si512(d, out);
        if (job->bright && !computeFactor) {
            uint16_t* samples = reinterpret_cast<uint16_t*>(d);
            for (int j = 0; j < 32; ++j)
                if (spp == 3 || ((i + j) & 3) != 3) samples[j] = job->bright[samples[j]];
        }
    }
    SharpenRow16Finish(job, i);
}

// The sharpening's horizontal sums, 32 samples a step (see HorizontalSums8Avx2).
void HorizontalSums8Avx512(const uint8_t* row, uint16_t* sums, int width, int bpp) {
    const int end = (width - 2) * bpp;
    int i = 2 * bpp;
    for (; i + 32 <= end; i += 32) {
        const uint8_t* p = row + i;
        __m512i sum = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p - 2 * bpp)));
        sum = _mm512_add_epi16(sum, _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p - bpp))));
        sum = _mm512_add_epi16(sum, _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))));
        sum = _mm512_add_epi16(sum, _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + bpp))));
        _mm512_storeu_si512(sums + i, sum);
    }
    for (; i < end; ++i) sums[i] = (uint16_t)(row[i - 2 * bpp] + row[i - bpp] + row[i] + row[i + bpp]);
}

// 16-bit samples, 32 a step while x + 4 stays inside the row (see HorizontalSums16Avx2).
void HorizontalSums16Avx512(const uint8_t* row, uint16_t* sums, int width, int spp) {
    const int vectorEnd = (width - 1) * spp - 4 * spp;  // first sample whose x + 4 leaves the row
    int i = 2 * spp;
    for (; i + 32 <= vectorEnd && i + 32 <= (width - 2) * spp; i += 32) {
        const uint8_t* p = row + 2 * i;
        __m512i sum = _mm512_loadu_si512(p - 4 * spp);
        sum = _mm512_add_epi16(sum, _mm512_loadu_si512(p));
        sum = _mm512_add_epi16(sum, _mm512_loadu_si512(p + 4 * spp));
        sum = _mm512_add_epi16(sum, _mm512_loadu_si512(p + 8 * spp));
        _mm512_storeu_si512(sums + i, sum);
    }
    // The rest sixteen at a time, then one by one, as the AVX2 routine does.
    HorizontalSums16Avx2From(row, sums, width, spp, i);
}
