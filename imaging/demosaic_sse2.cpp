// SSE2 CellDemosaic interior, separable in two passes per output row y:
//
//  pass 1, per column c: M[c] = the green one of rows y-1 and y at c; N[c] = the other (red or
//          blue) and F[c] = the same colour two rows further across the cell centre;
//          V[c] = 3 N[c] + F[c] (vertical 3:1 weights).
//  pass 2, per pixel x:  H1 = 3 V[x] + V[x-2], H2 = 3 V[x-1] + V[x+1] (horizontal 3:1 weights);
//          where column x holds red, red = H1 and blue = H2, else the other way round;
//          green = (M[x-1] + M[x]) >> 1.
//
// Scaling uses mulhi: ((8 H) x (4 f)) >> 16 == (H f) >> 11 exactly, with both factors in int16
// (8-bit: H <= 4080). The 16-bit path uses (H x 32 f) >> 16 with H <= 32752, which holds while
// samples stay below 2048; a row with larger samples is redone by the scalar twin.
#include "imaging/demosaic_sse2.h"

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)

#include <emmintrin.h>

#include <cstring>
#include <vector>

#include "imaging/sample_access.h"

namespace {

// Lane masks for 16-bit lanes: lanes whose pixel has parity 0 (even x) or 1.
inline __m128i EvenLanes16(bool even) {
    return even ? _mm_set_epi16(0, -1, 0, -1, 0, -1, 0, -1) : _mm_set_epi16(-1, 0, -1, 0, -1, 0, -1, 0);
}

inline __m128i EvenLanes8(bool even) {
    return even ? _mm_set1_epi16(0x00FF) : _mm_set1_epi16(static_cast<short>(0xFF00));
}

inline void Store12(uint8_t* out, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), v);
    const int high = _mm_cvtsi128_si32(_mm_srli_si128(v, 8));
    std::memcpy(out + 8, &high, 4);
}

// Two pixels per 64-bit half, each in its low six bytes -> twelve packed bytes.
inline __m128i JoinHalves6(__m128i halves) {
    return _mm_or_si128(_mm_move_epi64(halves), _mm_slli_si128(_mm_srli_si128(halves, 8), 6));
}

// Four 0x00RRGGBB lanes -> 12 bytes B G R B G R ...
inline void StoreBgr24x4(uint8_t* out, __m128i pixels) {
    // p0 p1 | p2 p3 -> within each 64-bit half: p0 | p1 << 24 (six bytes).
    const __m128i first = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
    const __m128i second = _mm_set_epi32(0xFFFF, static_cast<int>(0xFF000000), 0xFFFF,
                                         static_cast<int>(0xFF000000));
    const __m128i halves = _mm_or_si128(_mm_and_si128(pixels, first),
                                        _mm_and_si128(_mm_srli_epi64(pixels, 8), second));
    Store12(out, JoinHalves6(halves));
}

}  // namespace

bool DemosaicInner8Sse2(const DemosaicJob& job) {
    const int w = job.width, h = job.height;
    if (!DemosaicVectorAccepts8(job)) return false;
    if (w <= 4 || h <= 4) return true;

    std::vector<int16_t> vBuffer(size_t(w) + 16);
    std::vector<uint8_t> mBuffer(size_t(w) + 16);
    int16_t* V = vBuffer.data();
    uint8_t* M = mBuffer.data();
    const __m128i zero = _mm_setzero_si128();
    const __m128i max8 = _mm_set1_epi16(255);
    const int bpp = job.dstBytesPerPixel;
    // Red sits in the columns whose colFlag is 0: even columns when bit 1 of the phase is 0.
    const bool redOnEvenColumns = !job.colPhase;
    const __m128i redLanes = EvenLanes16(redOnEvenColumns);
    const short redF4 = static_cast<short>(job.redFactor * 4);
    const short blueF4 = static_cast<short>(job.blueFactor * 4);
    // Factor for H1 (the near column is x): red on red columns, blue on the others; H2 opposite.
    const __m128i factorH1 = _mm_or_si128(_mm_and_si128(redLanes, _mm_set1_epi16(redF4)),
                                          _mm_andnot_si128(redLanes, _mm_set1_epi16(blueF4)));
    const __m128i factorH2 = _mm_or_si128(_mm_and_si128(redLanes, _mm_set1_epi16(blueF4)),
                                          _mm_andnot_si128(redLanes, _mm_set1_epi16(redF4)));
    const __m128i keepFourth = _mm_set1_epi32(static_cast<int>(0xFF000000));

    for (int y = 2; y <= h - 3; ++y) {
        const uint8_t* rm2 = job.src + ptrdiff_t(y - 2) * job.srcStride;
        const uint8_t* rm1 = rm2 + job.srcStride;
        const uint8_t* r0 = rm1 + job.srcStride;
        const uint8_t* rp1 = r0 + job.srcStride;
        const bool rowFlag = ((y & 1) != 0) != job.rowPhase;
        // Row y is green where its flags are equal: at even columns when rowFlag == colPhase.
        const bool greenInRowYOnEven = rowFlag == job.colPhase;
        const __m128i greenInRowY = EvenLanes8(greenInRowYOnEven);

        // Pass 1.
        int c = 0;
        for (; c + 16 <= w; c += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rm2 + c));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rm1 + c));
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + c));
            const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rp1 + c));
            const __m128i swap = _mm_and_si128(_mm_xor_si128(b, d), greenInRowY);
            const __m128i green = _mm_xor_si128(b, swap);   // row y where it is green, else y-1
            const __m128i near = _mm_xor_si128(d, swap);    // the other one
            const __m128i far = _mm_xor_si128(a, _mm_and_si128(_mm_xor_si128(a, e), greenInRowY));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(M + c), green);
            const __m128i nearLo = _mm_unpacklo_epi8(near, zero), nearHi = _mm_unpackhi_epi8(near, zero);
            const __m128i farLo = _mm_unpacklo_epi8(far, zero), farHi = _mm_unpackhi_epi8(far, zero);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(V + c),
                             _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(nearLo, 1), nearLo), farLo));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(V + c + 8),
                             _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(nearHi, 1), nearHi), farHi));
        }
        for (; c < w; ++c) {
            const bool greenY = ((c & 1) == 0) == greenInRowYOnEven;
            M[c] = greenY ? r0[c] : rm1[c];
            const int nearV = greenY ? rm1[c] : r0[c];
            const int farV = greenY ? rp1[c] : rm2[c];
            V[c] = static_cast<int16_t>(3 * nearV + farV);
        }

        // Pass 2.
        uint8_t* out = job.dst + ptrdiff_t(y) * job.dstStride + 2 * bpp;
        int x = 2;
        for (; x + 8 <= w - 2; x += 8, out += 8 * bpp) {
            const __m128i vm2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(V + x - 2));
            const __m128i vm1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(V + x - 1));
            const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(V + x));
            const __m128i vp1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(V + x + 1));
            const __m128i h1 = _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(v0, 1), v0), vm2);
            const __m128i h2 = _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(vm1, 1), vm1), vp1);
            const __m128i p1 = _mm_mulhi_epi16(_mm_slli_epi16(h1, 3), factorH1);
            const __m128i p2 = _mm_mulhi_epi16(_mm_slli_epi16(h2, 3), factorH2);
            const __m128i pick = _mm_and_si128(_mm_xor_si128(p1, p2), redLanes);
            const __m128i red = _mm_min_epi16(_mm_max_epi16(_mm_xor_si128(p2, pick), zero), max8);
            const __m128i blue = _mm_min_epi16(_mm_max_epi16(_mm_xor_si128(p1, pick), zero), max8);
            const __m128i gA = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(M + x - 1)), zero);
            const __m128i gB = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(M + x)), zero);
            const __m128i green = _mm_srli_epi16(_mm_add_epi16(gA, gB), 1);

            // b0 g0 b1 g1 ... then with red: 0x00RRGGBB per pixel.
            const __m128i blueGreen = _mm_or_si128(blue, _mm_slli_epi16(green, 8));
            const __m128i pixLo = _mm_unpacklo_epi16(blueGreen, red);
            const __m128i pixHi = _mm_unpackhi_epi16(blueGreen, red);
            if (bpp == 3) {
                StoreBgr24x4(out, pixLo);
                StoreBgr24x4(out + 12, pixHi);
            } else {
                __m128i* o = reinterpret_cast<__m128i*>(out);
                const __m128i oldLo = _mm_and_si128(_mm_loadu_si128(o), keepFourth);
                const __m128i oldHi = _mm_and_si128(_mm_loadu_si128(o + 1), keepFourth);
                _mm_storeu_si128(o, _mm_or_si128(oldLo, pixLo));
                _mm_storeu_si128(o + 1, _mm_or_si128(oldHi, pixHi));
            }
        }
        DemosaicFinishRow8(job, V, M, 0, redOnEvenColumns, x, w - 2, out);
    }
    return true;
}

bool DemosaicInner16Sse2(const DemosaicJob& job) {
    const int w = job.width, h = job.height;
    if (!DemosaicVectorAccepts16(job)) return false;
    if (w <= 4 || h <= 4) return true;

    std::vector<int16_t> vBuffer(size_t(w) + 16);
    std::vector<int16_t> mBuffer(size_t(w) + 16);
    int16_t* V = vBuffer.data();
    int16_t* M = mBuffer.data();
    const __m128i zero = _mm_setzero_si128();
    const __m128i max10 = _mm_set1_epi16(1023);
    const __m128i tooLarge = _mm_set1_epi16(static_cast<short>(0xF800));
    const int bpp = job.dstBytesPerPixel;
    const bool redOnEvenColumns = !job.colPhase;
    const __m128i redLanes = EvenLanes16(redOnEvenColumns);
    const short redF32 = static_cast<short>(job.redFactor * 32);
    const short blueF32 = static_cast<short>(job.blueFactor * 32);
    const __m128i factorH1 = _mm_or_si128(_mm_and_si128(redLanes, _mm_set1_epi16(redF32)),
                                          _mm_andnot_si128(redLanes, _mm_set1_epi16(blueF32)));
    const __m128i factorH2 = _mm_or_si128(_mm_and_si128(redLanes, _mm_set1_epi16(blueF32)),
                                          _mm_andnot_si128(redLanes, _mm_set1_epi16(redF32)));
    const __m128i keepFourth = _mm_set_epi32(static_cast<int>(0xFFFF0000), 0,
                                             static_cast<int>(0xFFFF0000), 0);

    for (int y = 2; y <= h - 3; ++y) {
        const uint16_t* rm2 = reinterpret_cast<const uint16_t*>(job.src + ptrdiff_t(y - 2) * job.srcStride);
        const uint16_t* rm1 = reinterpret_cast<const uint16_t*>(job.src + ptrdiff_t(y - 1) * job.srcStride);
        const uint16_t* r0 = reinterpret_cast<const uint16_t*>(job.src + ptrdiff_t(y) * job.srcStride);
        const uint16_t* rp1 = reinterpret_cast<const uint16_t*>(job.src + ptrdiff_t(y + 1) * job.srcStride);
        const bool rowFlag = ((y & 1) != 0) != job.rowPhase;
        const bool greenInRowYOnEven = rowFlag == job.colPhase;
        const __m128i greenInRowY = EvenLanes16(greenInRowYOnEven);

        // Pass 1, watching for samples of 2048 and above.
        __m128i seen = zero;
        int c = 0;
        for (; c + 8 <= w; c += 8) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rm2 + c));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rm1 + c));
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + c));
            const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rp1 + c));
            seen = _mm_or_si128(seen, _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(d, e)));
            const __m128i swap = _mm_and_si128(_mm_xor_si128(b, d), greenInRowY);
            const __m128i near = _mm_xor_si128(d, swap);
            const __m128i far = _mm_xor_si128(a, _mm_and_si128(_mm_xor_si128(a, e), greenInRowY));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(M + c), _mm_xor_si128(b, swap));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(V + c),
                             _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(near, 1), near), far));
        }
        bool large = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(seen, tooLarge), zero)) != 0xFFFF;
        for (; c < w; ++c) {
            const bool greenY = ((c & 1) == 0) == greenInRowYOnEven;
            const int nearV = LoadSample16(reinterpret_cast<const uint8_t*>(greenY ? rm1 + c : r0 + c));
            const int farV = LoadSample16(reinterpret_cast<const uint8_t*>(greenY ? rp1 + c : rm2 + c));
            const int greenV = LoadSample16(reinterpret_cast<const uint8_t*>(greenY ? r0 + c : rm1 + c));
            large = large || nearV >= 2048 || farV >= 2048 || greenV >= 2048;
            M[c] = static_cast<int16_t>(greenV);
            V[c] = static_cast<int16_t>(3 * nearV + farV);
        }
        if (large) {
            const uint8_t* rows[4];
            DemosaicNeighbourRows(job, y, rows);
            DemosaicRow16Scalar(job, rows, y, 2, w - 2);
            continue;
        }

        // Pass 2.
        uint8_t* out = job.dst + ptrdiff_t(y) * job.dstStride + 2 * bpp;
        int x = 2;
        for (; x + 8 <= w - 2; x += 8, out += 8 * bpp) {
            const __m128i vm2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(V + x - 2));
            const __m128i vm1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(V + x - 1));
            const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(V + x));
            const __m128i vp1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(V + x + 1));
            const __m128i h1 = _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(v0, 1), v0), vm2);
            const __m128i h2 = _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(vm1, 1), vm1), vp1);
            const __m128i p1 = _mm_mulhi_epi16(h1, factorH1);
            const __m128i p2 = _mm_mulhi_epi16(h2, factorH2);
            const __m128i pick = _mm_and_si128(_mm_xor_si128(p1, p2), redLanes);
            const __m128i red = _mm_min_epi16(_mm_max_epi16(_mm_xor_si128(p2, pick), zero), max10);
            const __m128i blue = _mm_min_epi16(_mm_max_epi16(_mm_xor_si128(p1, pick), zero), max10);
            const __m128i gA = _mm_loadu_si128(reinterpret_cast<const __m128i*>(M + x - 1));
            const __m128i gB = _mm_loadu_si128(reinterpret_cast<const __m128i*>(M + x));
            const __m128i green = _mm_min_epi16(_mm_srli_epi16(_mm_add_epi16(gA, gB), 1), max10);

            // b g b g ... and r 0 r 0 ..., then b g r 0 per pixel, two pixels per vector.
            const __m128i bgLo = _mm_unpacklo_epi16(blue, green), bgHi = _mm_unpackhi_epi16(blue, green);
            const __m128i r0Lo = _mm_unpacklo_epi16(red, zero), r0Hi = _mm_unpackhi_epi16(red, zero);
            __m128i pix[4] = {_mm_unpacklo_epi32(bgLo, r0Lo), _mm_unpackhi_epi32(bgLo, r0Lo),
                              _mm_unpacklo_epi32(bgHi, r0Hi), _mm_unpackhi_epi32(bgHi, r0Hi)};
            if (bpp == 6) {
                for (int k = 0; k < 4; ++k) Store12(out + 12 * k, JoinHalves6(pix[k]));
            } else {
                __m128i* o = reinterpret_cast<__m128i*>(out);
                for (int k = 0; k < 4; ++k)
                    _mm_storeu_si128(o + k, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(o + k), keepFourth), pix[k]));
            }
        }
        DemosaicFinishRow16(job, V, M, redOnEvenColumns, x, w - 2, out);
    }
    return true;
}

#else

bool DemosaicInner8Sse2(const DemosaicJob&) { return false; }
bool DemosaicInner16Sse2(const DemosaicJob&) { return false; }

#endif
