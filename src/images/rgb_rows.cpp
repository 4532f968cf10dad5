#include "images/rgb_rows.h"

#include <immintrin.h>

#include "images/cpu_features.h"

namespace {
// 8-bit colour c under alpha a: Round(c * a / 255). The quotient is never
// halfway, so the integer form is exact.
inline uint8_t OverBlack8(unsigned c, unsigned a) { return static_cast<uint8_t>((c * a + 127) / 255); }

// Five pixels a step: 16 bytes loaded and stored, the last of them the
// first byte of the next step, which stores it again. At least 16 bytes
// must remain on both sides, hence six pixels.
__attribute__((target("ssse3"))) void SwapRedBlueSsse3(const uint8_t* s, uint8_t* d, int32_t width)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    int32_t x = 0;
    for (; x + 6 <= width; x += 5) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * x), _mm_shuffle_epi8(v, order));
    }
    SwapRedBluePlain(s + 3 * x, d + 3 * x, width - x);
}

// Two pixels of 16-bit lanes (red, green, blue, alpha each) over black.
// With t = c * a + 128, (t + (t >> 8)) >> 8 is Round(c * a / 255) for every
// c, a of 8 bits.
__attribute__((target("ssse3"), always_inline)) inline __m128i OverBlack2(__m128i px)
{
    // The alpha of each pixel into the four lanes of its pixel.
    const __m128i alphas = _mm_setr_epi8(6, -1, 6, -1, 6, -1, 6, -1, 14, -1, 14, -1, 14, -1, 14, -1);
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(px, _mm_shuffle_epi8(px, alphas)), _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

// Four pixels a step; the 16 bytes stored hold 12 of this step and 4 that
// the next step stores again.
__attribute__((target("ssse3"))) void RgbaOverBlackSsse3(const uint8_t* s, uint8_t* d, int32_t width)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    int32_t x = 0;
    for (; x + 6 <= width; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x));
        const __m128i lo = OverBlack2(_mm_unpacklo_epi8(v, zero));
        const __m128i hi = OverBlack2(_mm_unpackhi_epi8(v, zero));
        const __m128i packed = _mm_packus_epi16(lo, hi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * x), _mm_shuffle_epi8(packed, order));
    }
    RgbaOverBlackPlain(s + 4 * x, d + 3 * x, width - x);
}
}  // namespace

void SwapRedBluePlain(const uint8_t* s, uint8_t* d, int32_t width)
{
    for (int32_t x = 0; x < width; ++x, s += 3, d += 3) {
        const uint8_t r = s[0];
        d[1] = s[1];
        d[0] = s[2];
        d[2] = r;
    }
}

void SwapRedBlue(const uint8_t* src, uint8_t* dst, int32_t width)
{
    if (CpuHasSsse3())
        SwapRedBlueSsse3(src, dst, width);
    else
        SwapRedBluePlain(src, dst, width);
}

void RgbaOverBlackPlain(const uint8_t* s, uint8_t* d, int32_t width)
{
    for (int32_t x = 0; x < width; ++x, s += 4, d += 3) {
        d[0] = OverBlack8(s[2], s[3]);
        d[1] = OverBlack8(s[1], s[3]);
        d[2] = OverBlack8(s[0], s[3]);
    }
}

void RgbaOverBlack(const uint8_t* src, uint8_t* dst, int32_t width)
{
    if (CpuHasSsse3())
        RgbaOverBlackSsse3(src, dst, width);
    else
        RgbaOverBlackPlain(src, dst, width);
}

void Rgba16OverBlack(const uint16_t* s, uint8_t* d, int32_t width)
{
    // Exact in 64 bits; 65535^2 is odd, so the quotient is never halfway.
    constexpr uint64_t kFull = uint64_t{65535} * 65535;
    for (int32_t x = 0; x < width; ++x, s += 4, d += 3) {
        const uint64_t a = s[3];
        d[0] = static_cast<uint8_t>((s[2] * a * 255 + kFull / 2) / kFull);
        d[1] = static_cast<uint8_t>((s[1] * a * 255 + kFull / 2) / kFull);
        d[2] = static_cast<uint8_t>((s[0] * a * 255 + kFull / 2) / kFull);
    }
}
