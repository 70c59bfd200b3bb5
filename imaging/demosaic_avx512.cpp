// AVX-512 demosaic of an 8-bit mosaic to 24/32 bpp: 32 columns a step, pixels joined by byte
// permutes. Built for AVX-512 F, BW, VL and VBMI and only entered after the run-time CPU check
// (CpuKernelLevel() == CpuVectorLevel::Avx512); the rule of the AVX2 files applies (static helpers,
// nothing with vague linkage). Every result is byte-exact with the scalar kernel.
#include "imaging/demosaic_avx512.h"

#include <immintrin.h>


#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

// The demosaic row's byte permutes: blue and red packed by lanes (pixel p at 16 (p / 8) + p % 8,
// red 8 further) and green (64 + the same) to the pixels' bytes, the first 64 (a) and the rest (b).
static const unsigned char kDemosaicPixels3a[64] = {
    0, 64, 8, 1, 65, 9, 2, 66, 10, 3, 67, 11, 4, 68, 12, 5,
    69, 13, 6, 70, 14, 7, 71, 15, 16, 80, 24, 17, 81, 25, 18, 82,
    26, 19, 83, 27, 20, 84, 28, 21, 85, 29, 22, 86, 30, 23, 87, 31,
    32, 96, 40, 33, 97, 41, 34, 98, 42, 35, 99, 43, 36, 100, 44, 37,
};
static const unsigned char kDemosaicPixels3b[64] = {
    101, 45, 38, 102, 46, 39, 103, 47, 48, 112, 56, 49, 113, 57, 50, 114,
    58, 51, 115, 59, 52, 116, 60, 53, 117, 61, 54, 118, 62, 55, 119, 63,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};
static const unsigned char kDemosaicPixels4a[64] = {
    0, 64, 8, 0, 1, 65, 9, 0, 2, 66, 10, 0, 3, 67, 11, 0,
    4, 68, 12, 0, 5, 69, 13, 0, 6, 70, 14, 0, 7, 71, 15, 0,
    16, 80, 24, 0, 17, 81, 25, 0, 18, 82, 26, 0, 19, 83, 27, 0,
    20, 84, 28, 0, 21, 85, 29, 0, 22, 86, 30, 0, 23, 87, 31, 0,
};
static const unsigned char kDemosaicPixels4b[64] = {
    32, 96, 40, 0, 33, 97, 41, 0, 34, 98, 42, 0, 35, 99, 43, 0,
    36, 100, 44, 0, 37, 101, 45, 0, 38, 102, 46, 0, 39, 103, 47, 0,
    48, 112, 56, 0, 49, 113, 57, 0, 50, 114, 58, 0, 51, 115, 59, 0,
    52, 116, 60, 0, 53, 117, 61, 0, 54, 118, 62, 0, 55, 119, 63, 0,
};


// One demosaic row of an 8-bit mosaic, pixels 2 .. w - 3, the two passes of the AVX2 row with 32
// columns a step: pass 1 per column M (green of rows y - 1 / y) and V = 8 (3 near + far); pass 2
// per pixel H1 = 3 V[x] + V[x - 2], H2 = 3 V[x - 1] + V[x + 1], mulhi(H, 4 f) == (H / 8 x f) >> 11,
// red from H1 on red columns else H2, blue the other, green = (M[x - 1] + M[x]) >> 1.
static void DemosaicRow8Words(const DemosaicJob& job, const uint8_t* const rows[4], int y, int16_t* V,
                              int16_t* M) {
    const int w = job.width;
    const int bpp = job.dstBytesPerPixel;
    const bool redOnEvenColumns = !job.colPhase;
    const __mmask32 redLanes = redOnEvenColumns ? 0x55555555u : 0xAAAAAAAAu;
    const __m512i redF = _mm512_set1_epi16(short(job.redFactor * 4));
    const __m512i blueF = _mm512_set1_epi16(short(job.blueFactor * 4));
    const __m512i factorH1 = _mm512_mask_blend_epi16(redLanes, blueF, redF);
    const __m512i factorH2 = _mm512_mask_blend_epi16(redLanes, redF, blueF);
    const __m512i three = _mm512_set1_epi16(3);
    const bool rowFlag = ((y & 1) != 0) != job.rowPhase;
    const __mmask32 greenInRowY = rowFlag == job.colPhase ? 0x55555555u : 0xAAAAAAAAu;
    const uint8_t* rm2 = rows[0];
    const uint8_t* rm1 = rows[1];
    const uint8_t* r0 = rows[2];
    const uint8_t* rp1 = rows[3];

    // Pass 1; the last columns one by one.
    int c = 0;
    for (; c + 32 <= w; c += 32) {
        const __m512i a = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(rm2 + c)));
        const __m512i b = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(rm1 + c)));
        const __m512i d = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(r0 + c)));
        const __m512i e = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(rp1 + c)));
        _mm512_storeu_si512(M + c, _mm512_mask_blend_epi16(greenInRowY, b, d));
        const __m512i near = _mm512_mask_blend_epi16(greenInRowY, d, b);
        const __m512i far = _mm512_mask_blend_epi16(greenInRowY, a, e);
        _mm512_storeu_si512(V + c, _mm512_slli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(near, three), far), 3));
    }
    for (; c < w; ++c) {
        const bool greenY = ((greenInRowY >> (c & 1)) & 1) != 0;
        M[c] = greenY ? r0[c] : rm1[c];
        const int nearV = greenY ? rm1[c] : r0[c];
        const int farV = greenY ? rp1[c] : rm2[c];
        V[c] = (int16_t)((3 * nearV + farV) * 8);
    }

    // Pass 2.
    const __m512i pixelsA = _mm512_loadu_si512(bpp == 3 ? kDemosaicPixels3a : kDemosaicPixels4a);
    const __m512i pixelsB = _mm512_loadu_si512(bpp == 3 ? kDemosaicPixels3b : kDemosaicPixels4b);
    const __mmask64 threeOfFour = 0x7777777777777777ULL;
    uint8_t* out = job.dst + ptrdiff_t(y) * job.dstStride + 2 * bpp;
    int x = 2;
    for (; x + 32 <= w - 2; x += 32, out += 32 * bpp) {
        const __m512i h1 = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_loadu_si512(V + x), three), _mm512_loadu_si512(V + x - 2));
        const __m512i h2 = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_loadu_si512(V + x - 1), three), _mm512_loadu_si512(V + x + 1));
        const __m512i p1 = _mm512_mulhi_epi16(h1, factorH1);
        const __m512i p2 = _mm512_mulhi_epi16(h2, factorH2);
        const __m512i red = _mm512_mask_blend_epi16(redLanes, p2, p1);
        const __m512i blue = _mm512_mask_blend_epi16(redLanes, p1, p2);
        const __m512i green = _mm512_srli_epi16(_mm512_add_epi16(_mm512_loadu_si512(M + x - 1), _mm512_loadu_si512(M + x)), 1);
        const __m512i blueRed = _mm512_packus_epi16(blue, red);  // clamps to 0..255
        const __m512i greens = _mm512_packus_epi16(green, green);
        const __m512i first = _mm512_permutex2var_epi8(blueRed, pixelsA, greens);
        const __m512i second = _mm512_permutex2var_epi8(blueRed, pixelsB, greens);
        if (bpp == 3) {
            _mm512_storeu_si512(out, first);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64), _mm512_castsi512_si256(second));
        } else {
            // The fourth byte of each pixel is left alone.
            _mm512_mask_storeu_epi8(out, threeOfFour, first);
            _mm512_mask_storeu_epi8(out + 64, threeOfFour, second);
        }
    }
    DemosaicFinishRow8(job, V, M, 3, redOnEvenColumns, x, w - 2, out);
}

bool DemosaicRow8Avx512(const DemosaicJob& job, int y, int16_t* scratch) {
    if (!DemosaicVectorAccepts8(job) || job.width <= 4) return false;
    const uint8_t* rows[4];
    DemosaicNeighbourRows(job, y, rows);
    DemosaicRow8Words(job, rows, y, scratch, scratch + DemosaicRowScratch(job.width) / 2);
    return true;
}

namespace {

// The vector rows over the interior or the frame rows; the upper halves are cleared after them.
bool ForRows8(const DemosaicJob& job, bool frameRows) {
    const bool ok = DemosaicForVectorRows(job, frameRows, DemosaicRow8Words);
    _mm256_zeroupper();
    return ok;
}

}  // namespace

bool DemosaicInner8Avx512(const DemosaicJob& job) {
    if (!DemosaicVectorAccepts8(job)) return false;
    if (job.width <= 4 || job.height <= 4) return true;
    return ForRows8(job, false);
}

bool DemosaicBorderRows8Avx512(const DemosaicJob& job) {
    if (!DemosaicVectorAccepts8(job) || job.width <= 4) return false;
    return ForRows8(job, true);
}
