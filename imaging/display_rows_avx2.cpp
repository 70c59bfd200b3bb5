// Compiled with -mavx2; entered only after the run-time check (see imaging/CMakeLists.txt for the
// rules of these files).
#include "imaging/display_rows_avx2.h"

#include <immintrin.h>

int WidenRow24To32Avx2(const uint8_t* src, uint8_t* dst, int width) {
    // Each 128-bit lane takes four pixels (12 of its 16 bytes) and spreads them to 16 bytes.
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128,  //
                                            0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128);
    int x = 0;
    // The last load of a group reads 4 bytes beyond its 16 pixels: two more pixels must follow.
    for (; x + 18 <= width; x += 16) {
        const uint8_t* s = src + 3 * x;
        const __m256i a = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 12)), 1);
        const __m256i b = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 24))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 36)), 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * x), _mm256_shuffle_epi8(a, spread));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * x + 32), _mm256_shuffle_epi8(b, spread));
    }
    return x;
}
