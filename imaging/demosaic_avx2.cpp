// AVX2 CellDemosaic rows, the same two passes per output row y as the SSE2 kernel
// (demosaic_sse2.cpp), sixteen pixels per step in 16-bit lanes. The rows at offsets -2 .. +1 are
// passed in, so the frame's top and bottom rows run here too with substituted rows. 8-bit:
//
//  pass 1, per column c: M[c] = green of rows y-1/y; V8[c] = 8 (3 N[c] + F[c]) with N the red or
//          blue sample of rows y-1/y and F the same colour two rows across the cell centre.
//  pass 2, per pixel x:  H1 = 3 V8[x] + V8[x-2], H2 = 3 V8[x-1] + V8[x+1] (already x 8, <= 32640);
//          mulhi(H, 4 f) == (H/8 x f) >> 11; red = H1 on red columns else H2, blue the other;
//          packus clamps to 0..255; green = (M[x-1] + M[x]) >> 1.
// Built with AVX2 enabled for this file only; the dispatcher checks the CPU first. Nothing here may
// have vague linkage (inline or template functions of headers, std containers): the linker keeps
// one copy of such a function for the whole program and could keep this file's AVX2 one. Helpers
// are internal to this file; shared pieces are called out of line.
#include "imaging/demosaic_avx2.h"

#if defined(__AVX2__) || (defined(_MSC_VER) && defined(_M_X64))

#include <immintrin.h>


namespace {

__m256i Lanes16(bool evenLanes) {
    return evenLanes ? _mm256_set1_epi32(0x0000FFFF) : _mm256_set1_epi32(static_cast<int>(0xFFFF0000));
}

__m256i LoadBytesAs16(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

__m256i Load16(const int16_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Pixels 2 .. w - 3 of memory row y from the rows at offsets -2 .. +1.
void Row8(const DemosaicJob& job, const uint8_t* const rows[4], int y, int16_t* V, int16_t* M) {
    const int w = job.width;
    const int bpp = job.dstBytesPerPixel;
    const bool redOnEvenColumns = !job.colPhase;
    const __m256i redLanes = Lanes16(redOnEvenColumns);
    const __m256i redF = _mm256_set1_epi16(static_cast<short>(job.redFactor * 4));
    const __m256i blueF = _mm256_set1_epi16(static_cast<short>(job.blueFactor * 4));
    const __m256i factorH1 = _mm256_blendv_epi8(blueF, redF, redLanes);
    const __m256i factorH2 = _mm256_blendv_epi8(redF, blueF, redLanes);
    const __m256i three = _mm256_set1_epi16(3);
    const __m256i zero = _mm256_setzero_si256();
    // Per 128-bit lane: eight pixels from BR = b0..b7 r0..r7 and GG = g0..g7 g0..g7.
    //   first 16 bytes: b0 g0 r0 b1 g1 r1 ... b5 ; last 8: g5 r5 b6 g6 r6 b7 g7 r7
    const __m256i firstFromBr = _mm256_setr_epi8(
        0, -1, 8, 1, -1, 9, 2, -1, 10, 3, -1, 11, 4, -1, 12, 5,
        0, -1, 8, 1, -1, 9, 2, -1, 10, 3, -1, 11, 4, -1, 12, 5);
    const __m256i firstFromG = _mm256_setr_epi8(
        -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1,
        -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1);
    const __m256i lastFromBr = _mm256_setr_epi8(
        -1, 13, 6, -1, 14, 7, -1, 15, -1, -1, -1, -1, -1, -1, -1, -1,
        -1, 13, 6, -1, 14, 7, -1, 15, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i lastFromG = _mm256_setr_epi8(
        5, -1, -1, 6, -1, -1, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1,
        5, -1, -1, 6, -1, -1, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i keepFourth = _mm256_set1_epi32(static_cast<int>(0xFF000000));

    {
        const uint8_t* rm2 = rows[0];
        const uint8_t* rm1 = rows[1];
        const uint8_t* r0 = rows[2];
        const uint8_t* rp1 = rows[3];
        const bool rowFlag = ((y & 1) != 0) != job.rowPhase;
        const bool greenInRowYOnEven = rowFlag == job.colPhase;
        const __m256i greenInRowY = Lanes16(greenInRowYOnEven);

        // Pass 1.
        int c = 0;
        for (; c + 16 <= w; c += 16) {
            const __m256i a = LoadBytesAs16(rm2 + c), b = LoadBytesAs16(rm1 + c);
            const __m256i d = LoadBytesAs16(r0 + c), e = LoadBytesAs16(rp1 + c);
            const __m256i swap = _mm256_and_si256(_mm256_xor_si256(b, d), greenInRowY);
            const __m256i near = _mm256_xor_si256(d, swap);
            const __m256i far = _mm256_xor_si256(a, _mm256_and_si256(_mm256_xor_si256(a, e), greenInRowY));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(M + c), _mm256_xor_si256(b, swap));
            const __m256i v = _mm256_add_epi16(_mm256_mullo_epi16(near, three), far);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(V + c), _mm256_slli_epi16(v, 3));
        }
        for (; c < w; ++c) {
            const bool greenY = ((c & 1) == 0) == greenInRowYOnEven;
            M[c] = greenY ? r0[c] : rm1[c];
            const int nearV = greenY ? rm1[c] : r0[c];
            const int farV = greenY ? rp1[c] : rm2[c];
            V[c] = static_cast<int16_t>((3 * nearV + farV) * 8);
        }

        // Pass 2.
        uint8_t* out = job.dst + ptrdiff_t(y) * job.dstStride + 2 * bpp;
        int x = 2;
        for (; x + 16 <= w - 2; x += 16, out += 16 * bpp) {
            const __m256i h1 = _mm256_add_epi16(_mm256_mullo_epi16(Load16(V + x), three), Load16(V + x - 2));
            const __m256i h2 = _mm256_add_epi16(_mm256_mullo_epi16(Load16(V + x - 1), three), Load16(V + x + 1));
            const __m256i p1 = _mm256_mulhi_epi16(h1, factorH1);
            const __m256i p2 = _mm256_mulhi_epi16(h2, factorH2);
            const __m256i red = _mm256_blendv_epi8(p2, p1, redLanes);
            const __m256i blue = _mm256_blendv_epi8(p1, p2, redLanes);
            const __m256i green = _mm256_srli_epi16(_mm256_add_epi16(Load16(M + x - 1), Load16(M + x)), 1);
            // Lane 0 holds pixels 0..7, lane 1 pixels 8..15.
            const __m256i blueRed = _mm256_packus_epi16(blue, red);
            const __m256i greens = _mm256_packus_epi16(green, green);
            if (bpp == 3) {
                const __m256i first = _mm256_or_si256(_mm256_shuffle_epi8(blueRed, firstFromBr),
                                                      _mm256_shuffle_epi8(greens, firstFromG));
                const __m256i last = _mm256_or_si256(_mm256_shuffle_epi8(blueRed, lastFromBr),
                                                     _mm256_shuffle_epi8(greens, lastFromG));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(first));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_castsi256_si128(last));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 24), _mm256_extracti128_si256(first, 1));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 40), _mm256_extracti128_si256(last, 1));
            } else {
                // b g pairs and r 0 pairs, then b g r 0 per pixel.
                const __m256i blueGreen = _mm256_unpacklo_epi8(blueRed, greens);
                const __m256i redZero = _mm256_unpackhi_epi8(blueRed, zero);
                const __m256i low = _mm256_unpacklo_epi16(blueGreen, redZero);   // 0..3 | 8..11
                const __m256i high = _mm256_unpackhi_epi16(blueGreen, redZero);  // 4..7 | 12..15
                __m256i* o = reinterpret_cast<__m256i*>(out);
                const __m256i first = _mm256_permute2x128_si256(low, high, 0x20);
                const __m256i second = _mm256_permute2x128_si256(low, high, 0x31);
                _mm256_storeu_si256(o, _mm256_or_si256(_mm256_and_si256(_mm256_loadu_si256(o), keepFourth), first));
                _mm256_storeu_si256(o + 1, _mm256_or_si256(_mm256_and_si256(_mm256_loadu_si256(o + 1), keepFourth), second));
            }
        }
        DemosaicFinishRow8(job, V, M, 3, redOnEvenColumns, x, w - 2, out);
        }
}

// 16-bit samples: the same passes without the x 8 pre-scaling; H = 3 V[x] + V[x-2] <= 32752
// while samples stay below 2048, and mulhi(H, 32 f) == (H f) >> 11. A row with larger samples is
// redone by the scalar twin.

// Pixels 2 .. w - 3 of memory row y from the rows at offsets -2 .. +1.
void Row16(const DemosaicJob& job, const uint8_t* const rows[4], int y, int16_t* V, int16_t* M) {
    const int w = job.width;
    const int bpp = job.dstBytesPerPixel;
    const bool redOnEvenColumns = !job.colPhase;
    const __m256i redLanes = Lanes16(redOnEvenColumns);
    const __m256i redF = _mm256_set1_epi16(static_cast<short>(job.redFactor * 32));
    const __m256i blueF = _mm256_set1_epi16(static_cast<short>(job.blueFactor * 32));
    const __m256i factorH1 = _mm256_blendv_epi8(blueF, redF, redLanes);
    const __m256i factorH2 = _mm256_blendv_epi8(redF, blueF, redLanes);
    const __m256i three = _mm256_set1_epi16(3);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i max10 = _mm256_set1_epi16(1023);
    const __m256i tooLarge = _mm256_set1_epi16(static_cast<short>(0xF800));
    // Per 128-bit lane, eight pixels of 16-bit b, g, r into three 16-byte blocks:
    //   b0 g0 r0 b1 g1 r1 b2 g2 | r2 b3 g3 r3 b4 g4 r4 b5 | g5 r5 b6 g6 r6 b7 g7 r7
    // Shuffle controls pick byte pairs of one source; -1 leaves zero for the others.
#define W(i) static_cast<char>(2 * (i)), static_cast<char>(2 * (i) + 1)
#define Z -1, -1
#define LANES(...) _mm256_setr_epi8(__VA_ARGS__, __VA_ARGS__)
    const __m256i b0 = LANES(W(0), Z, Z, W(1), Z, Z, W(2), Z);
    const __m256i g0 = LANES(Z, W(0), Z, Z, W(1), Z, Z, W(2));
    const __m256i r0m = LANES(Z, Z, W(0), Z, Z, W(1), Z, Z);
    const __m256i b1 = LANES(Z, W(3), Z, Z, W(4), Z, Z, W(5));
    const __m256i g1 = LANES(Z, Z, W(3), Z, Z, W(4), Z, Z);
    const __m256i r1 = LANES(W(2), Z, Z, W(3), Z, Z, W(4), Z);
    const __m256i b2 = LANES(Z, Z, W(6), Z, Z, W(7), Z, Z);
    const __m256i g2 = LANES(W(5), Z, Z, W(6), Z, Z, W(7), Z);
    const __m256i r2 = LANES(Z, W(5), Z, Z, W(6), Z, Z, W(7));
#undef LANES
#undef Z
#undef W
    const __m256i keepFourth = _mm256_set1_epi64x(static_cast<long long>(0xFFFF000000000000ULL));

    {
        const int16_t* rm2 = reinterpret_cast<const int16_t*>(rows[0]);
        const int16_t* rm1 = reinterpret_cast<const int16_t*>(rows[1]);
        const int16_t* rc = reinterpret_cast<const int16_t*>(rows[2]);
        const int16_t* rp1 = reinterpret_cast<const int16_t*>(rows[3]);
        const bool rowFlag = ((y & 1) != 0) != job.rowPhase;
        const bool greenInRowYOnEven = rowFlag == job.colPhase;
        const __m256i greenInRowY = Lanes16(greenInRowYOnEven);

        // Pass 1, watching for samples of 2048 and above.
        __m256i seen = zero;
        int c = 0;
        for (; c + 16 <= w; c += 16) {
            const __m256i a = Load16(rm2 + c), b = Load16(rm1 + c);
            const __m256i d = Load16(rc + c), e = Load16(rp1 + c);
            seen = _mm256_or_si256(seen, _mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(d, e)));
            const __m256i swap = _mm256_and_si256(_mm256_xor_si256(b, d), greenInRowY);
            const __m256i near = _mm256_xor_si256(d, swap);
            const __m256i far = _mm256_xor_si256(a, _mm256_and_si256(_mm256_xor_si256(a, e), greenInRowY));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(M + c), _mm256_xor_si256(b, swap));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(V + c),
                                _mm256_add_epi16(_mm256_mullo_epi16(near, three), far));
        }
        bool large = !_mm256_testz_si256(seen, tooLarge);
        for (; c < w; ++c) {
            const bool greenY = ((c & 1) == 0) == greenInRowYOnEven;
            const int nearV = uint16_t(greenY ? rm1[c] : rc[c]);
            const int farV = uint16_t(greenY ? rp1[c] : rm2[c]);
            const int greenV = uint16_t(greenY ? rc[c] : rm1[c]);
            large = large || nearV >= 2048 || farV >= 2048 || greenV >= 2048;
            M[c] = static_cast<int16_t>(greenV);
            V[c] = static_cast<int16_t>(3 * nearV + farV);
        }
        if (large) {
            DemosaicRow16Scalar(job, rows, y, 2, w - 2);
            return;
        }

        // Pass 2.
        uint8_t* out = job.dst + ptrdiff_t(y) * job.dstStride + 2 * bpp;
        int x = 2;
        for (; x + 16 <= w - 2; x += 16, out += 16 * bpp) {
            const __m256i h1 = _mm256_add_epi16(_mm256_mullo_epi16(Load16(V + x), three), Load16(V + x - 2));
            const __m256i h2 = _mm256_add_epi16(_mm256_mullo_epi16(Load16(V + x - 1), three), Load16(V + x + 1));
            const __m256i p1 = _mm256_mulhi_epi16(h1, factorH1);
            const __m256i p2 = _mm256_mulhi_epi16(h2, factorH2);
            const __m256i red = _mm256_min_epi16(_mm256_max_epi16(_mm256_blendv_epi8(p2, p1, redLanes), zero), max10);
            const __m256i blue = _mm256_min_epi16(_mm256_max_epi16(_mm256_blendv_epi8(p1, p2, redLanes), zero), max10);
            const __m256i green = _mm256_min_epi16(
                _mm256_srli_epi16(_mm256_add_epi16(Load16(M + x - 1), Load16(M + x)), 1), max10);
            // Lane 0 holds pixels 0..7, lane 1 pixels 8..15.
            if (bpp == 6) {
                const __m256i block0 = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(blue, b0),
                                                                       _mm256_shuffle_epi8(green, g0)),
                                                       _mm256_shuffle_epi8(red, r0m));
                const __m256i block1 = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(blue, b1),
                                                                       _mm256_shuffle_epi8(green, g1)),
                                                       _mm256_shuffle_epi8(red, r1));
                const __m256i block2 = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(blue, b2),
                                                                       _mm256_shuffle_epi8(green, g2)),
                                                       _mm256_shuffle_epi8(red, r2));
                __m256i* o = reinterpret_cast<__m256i*>(out);
                _mm256_storeu_si256(o, _mm256_permute2x128_si256(block0, block1, 0x20));
                _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(block2, block0, 0x30));
                _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(block1, block2, 0x31));
            } else {
                const __m256i bgLow = _mm256_unpacklo_epi16(blue, green), bgHigh = _mm256_unpackhi_epi16(blue, green);
                const __m256i rLow = _mm256_unpacklo_epi16(red, zero), rHigh = _mm256_unpackhi_epi16(red, zero);
                const __m256i q0 = _mm256_unpacklo_epi32(bgLow, rLow);    // 0 1 | 8 9
                const __m256i q1 = _mm256_unpackhi_epi32(bgLow, rLow);    // 2 3 | 10 11
                const __m256i q2 = _mm256_unpacklo_epi32(bgHigh, rHigh);  // 4 5 | 12 13
                const __m256i q3 = _mm256_unpackhi_epi32(bgHigh, rHigh);  // 6 7 | 14 15
                const __m256i pixels[4] = {_mm256_permute2x128_si256(q0, q1, 0x20),
                                           _mm256_permute2x128_si256(q2, q3, 0x20),
                                           _mm256_permute2x128_si256(q0, q1, 0x31),
                                           _mm256_permute2x128_si256(q2, q3, 0x31)};
                __m256i* o = reinterpret_cast<__m256i*>(out);
                for (int k = 0; k < 4; ++k)
                    _mm256_storeu_si256(o + k, _mm256_or_si256(_mm256_and_si256(_mm256_loadu_si256(o + k), keepFourth), pixels[k]));
            }
        }
        DemosaicFinishRow16(job, V, M, redOnEvenColumns, x, w - 2, out);
        }
}

// The vector rows over the interior or the frame rows; the upper halves are cleared after them.
bool ForRows(const DemosaicJob& job, bool frameRows, DemosaicVectorRow row) {
    const bool ok = DemosaicForVectorRows(job, frameRows, row);
    _mm256_zeroupper();
    return ok;
}

}  // namespace

bool DemosaicRow8Avx2(const DemosaicJob& job, int y, int16_t* scratch) {
    if (!DemosaicVectorAccepts8(job) || job.width <= 4) return false;
    const uint8_t* rows[4];
    DemosaicNeighbourRows(job, y, rows);
    Row8(job, rows, y, scratch, scratch + DemosaicRowScratch(job.width) / 2);
    _mm256_zeroupper();
    return true;
}

bool DemosaicRow16Avx2(const DemosaicJob& job, int y, int16_t* scratch) {
    if (!DemosaicVectorAccepts16(job) || job.width <= 4) return false;
    const uint8_t* rows[4];
    DemosaicNeighbourRows(job, y, rows);
    Row16(job, rows, y, scratch, scratch + DemosaicRowScratch(job.width) / 2);
    _mm256_zeroupper();
    return true;
}

bool DemosaicInner8Avx2(const DemosaicJob& job) {
    if (!DemosaicVectorAccepts8(job)) return false;
    if (job.width <= 4 || job.height <= 4) return true;
    return ForRows(job, false, Row8);
}

bool DemosaicBorderRows8Avx2(const DemosaicJob& job) {
    if (!DemosaicVectorAccepts8(job) || job.width <= 4) return false;
    return ForRows(job, true, Row8);
}

bool DemosaicInner16Avx2(const DemosaicJob& job) {
    if (!DemosaicVectorAccepts16(job)) return false;
    if (job.width <= 4 || job.height <= 4) return true;
    return ForRows(job, false, Row16);
}

bool DemosaicBorderRows16Avx2(const DemosaicJob& job) {
    if (!DemosaicVectorAccepts16(job) || job.width <= 4) return false;
    return ForRows(job, true, Row16);
}

#else

bool DemosaicRow8Avx2(const DemosaicJob&, int, int16_t*) { return false; }
bool DemosaicRow16Avx2(const DemosaicJob&, int, int16_t*) { return false; }
bool DemosaicInner8Avx2(const DemosaicJob&) { return false; }
bool DemosaicBorderRows8Avx2(const DemosaicJob&) { return false; }
bool DemosaicInner16Avx2(const DemosaicJob&) { return false; }
bool DemosaicBorderRows16Avx2(const DemosaicJob&) { return false; }

#endif
