#include "mesh/warp_line.h"

#include <immintrin.h>

#include <cstring>

#include "mesh/warp_pixel.h"

using namespace warp_pixel;

namespace {
// What a target pixel needs: a weighted sum of three source pixels (an
// average over at most one whole pixel and two partial ones, or a linear
// interpolation), or the plain routine (longer averaging intervals).
constexpr int32_t kAreaSum = 0;
constexpr int32_t kLinearSum = 1;
constexpr int32_t kPlainArea = 2;

#define QV_AVX2 __attribute__((target("avx2")))

// The source line as doubles, a pixel's channels in the first three lanes.
QV_AVX2 void LoadLine(const uint8_t* source, int m, double* pixels)
{
    // Byte 3 of each four-byte load belongs to the next pixel: zero it.
    const __m128i keep = _mm_setr_epi8(0, 1, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    for (int k = 0; k + 1 < m; ++k) {
        int32_t four;
        std::memcpy(&four, source + 3 * k, 4);
        const __m128i bytes = _mm_shuffle_epi8(_mm_cvtsi32_si128(four), keep);
        _mm256_store_pd(pixels + 4 * k, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(bytes)));
    }
    // The last pixel: no byte beyond it is read.
    const uint8_t* p = source + 3 * (m - 1);
    _mm256_store_pd(pixels + 4 * (m - 1), _mm256_setr_pd(p[0], p[1], p[2], 0.0));
}

// The pixel indices of four target pixels, kept inside the line.
QV_AVX2 inline void StoreIndex(int32_t* to, __m256d linear, __m256d averaged, __m256d area,
                               __m256d lastPixel)
{
    const __m256d v = _mm256_blendv_pd(linear, averaged, area);
    const __m256d inside = _mm256_max_pd(_mm256_min_pd(v, lastPixel), _mm256_setzero_pd());
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm256_cvttpd_epi32(inside));
}

// Weights, pixel indices and kind of every target pixel, four at a time.
// The interval rules are those of AreaPixel and LinearPixel.
QV_AVX2 void LineWeights(const double* inv, int m, int n, double* w0, double* w1, double* w2,
                         int32_t* i0, int32_t* i1, int32_t* i2, int32_t* kind)
{
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d minusHalf = _mm256_set1_pd(-0.5);
    const __m256d lastPixel = _mm256_set1_pd(m - 1);
    constexpr int kTrunc = _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC;
    for (int d = 0; d < n; d += 4) {
        const __m256d a = _mm256_loadu_pd(inv + d);
        const __m256d b = _mm256_loadu_pd(inv + d + 1);
        const __m256d length = _mm256_sub_pd(b, a);
        const __m256d area = _mm256_cmp_pd(length, one, _CMP_GE_OQ);

        // Averaging: partial pixel lo - 1, whole pixels lo..hi, partial hi + 1.
        const __m256d ta = _mm256_round_pd(a, kTrunc);
        const __m256d aAbove = _mm256_and_pd(_mm256_cmp_pd(_mm256_sub_pd(a, ta), half, _CMP_GT_OQ), one);
        const __m256d aEdge = _mm256_and_pd(_mm256_cmp_pd(a, minusHalf, _CMP_EQ_OQ), one);
        const __m256d lo = _mm256_sub_pd(_mm256_add_pd(_mm256_add_pd(ta, one), aAbove), aEdge);
        const __m256d tb = _mm256_round_pd(b, kTrunc);
        const __m256d bAbove = _mm256_and_pd(_mm256_cmp_pd(_mm256_sub_pd(b, tb), half, _CMP_GT_OQ), one);
        const __m256d hi = _mm256_add_pd(_mm256_sub_pd(tb, one), bAbove);
        const __m256d span = _mm256_sub_pd(hi, lo);  // whole pixels - 1
        // At most one whole pixel, and a and b not inside one pixel.
        const __m256d three = _mm256_and_pd(_mm256_cmp_pd(span, zero, _CMP_LE_OQ),
                                            _mm256_cmp_pd(span, _mm256_set1_pd(-1.0), _CMP_GE_OQ));
        const __m256d reciprocal = _mm256_div_pd(one, length);
        const __m256d aw0 = _mm256_mul_pd(_mm256_sub_pd(_mm256_sub_pd(lo, half), a), reciprocal);
        const __m256d aw1 = _mm256_and_pd(_mm256_cmp_pd(span, zero, _CMP_GE_OQ), reciprocal);
        const __m256d aw2 = _mm256_mul_pd(_mm256_sub_pd(b, _mm256_add_pd(hi, half)), reciprocal);
        const __m256d ai0 = _mm256_max_pd(_mm256_sub_pd(lo, one), zero);
        const __m256d ai1 = lo;
        const __m256d ai2 = _mm256_add_pd(hi, one);

        // Interpolating between li0 and li1 around the centre u.
        const __m256d u = _mm256_add_pd(a, _mm256_mul_pd(length, half));
        const __m256d li0 = _mm256_min_pd(_mm256_round_pd(_mm256_max_pd(u, zero), kTrunc), lastPixel);
        const __m256d t = _mm256_sub_pd(u, li0);
        const __m256d li1 = _mm256_min_pd(_mm256_add_pd(li0, one), lastPixel);

        _mm256_storeu_pd(w0 + d, _mm256_blendv_pd(_mm256_sub_pd(one, t), aw0, area));
        _mm256_storeu_pd(w1 + d, _mm256_blendv_pd(t, aw1, area));
        _mm256_storeu_pd(w2 + d, _mm256_and_pd(aw2, area));
        StoreIndex(i0 + d, li0, ai0, area, lastPixel);
        StoreIndex(i1 + d, li1, ai1, area, lastPixel);
        StoreIndex(i2 + d, li1, ai2, area, lastPixel);
        // kind: linear 1; averaging 0 with three taps, else 2.
        const __m256d k = _mm256_blendv_pd(one, _mm256_andnot_pd(three, _mm256_set1_pd(2.0)), area);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(kind + d), _mm256_cvttpd_epi32(k));
    }
}

// One target pixel from its weighted sum; false when a channel lies near a
// rounding tie and the plain arithmetic must decide.
QV_AVX2 inline bool StoreSum(const double* pixels, double w0, double w1, double w2, int32_t i0,
                             int32_t i1, int32_t i2, uint8_t* target)
{
    __m256d v = _mm256_mul_pd(_mm256_set1_pd(w0), _mm256_load_pd(pixels + 4 * i0));
    v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_set1_pd(w1), _mm256_load_pd(pixels + 4 * i1)));
    v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_set1_pd(w2), _mm256_load_pd(pixels + 4 * i2)));
    // As NearTie and ToByte, all channels at once (the fourth is 0).
    const __m256d big = _mm256_set1_pd(kTwoPow52);
    const __m256d c = _mm256_max_pd(v, _mm256_setzero_pd());
    const __m256d r = _mm256_sub_pd(_mm256_add_pd(c, big), big);
    const __m256d off = _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_sub_pd(c, r));
    if (_mm256_movemask_pd(_mm256_cmp_pd(off, _mm256_set1_pd(kTieDistance), _CMP_GT_OQ)))
        return false;
    const __m128i q = _mm256_cvtpd_epi32(_mm256_min_pd(r, _mm256_set1_pd(255.0)));
    const __m128i bytes = _mm_packus_epi16(_mm_packus_epi32(q, q), q);
    const uint32_t bgr = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
    const uint16_t bg = static_cast<uint16_t>(bgr);
    std::memcpy(target, &bg, 2);
    target[2] = static_cast<uint8_t>(bgr >> 16);
    return true;
}
}  // namespace

WarpLineWork::WarpLineWork(int longest)
    : Pixels(longest), Inv(longest + 5), W0(longest + 3), W1(longest + 3), W2(longest + 3),
      I0(longest + 3), I1(longest + 3), I2(longest + 3), Kind(longest + 3)
{
}

bool VectorLineAvailable()
{
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

QV_AVX2 void ResampleLineVector(const uint8_t* source, int m, int n, const double* map,
                                uint8_t* target, ptrdiff_t targetStep, WarpLineWork& work)
{
    double* inv = work.Inv.data();
    InverseMap(map, m, n, inv);
    // Groups of four past the end repeat the last interval.
    for (int d = n + 1; d < n + 5; ++d)
        inv[d] = inv[n];
    LoadLine(source, m, work.Pixels[0].V);
    LineWeights(inv, m, n, work.W0.data(), work.W1.data(), work.W2.data(), work.I0.data(),
                work.I1.data(), work.I2.data(), work.Kind.data());
    const double* pixels = work.Pixels[0].V;
    for (int d = 0; d < n; ++d, target += targetStep) {
        const int32_t kind = work.Kind[d];
        if (kind != kPlainArea &&
            StoreSum(pixels, work.W0[d], work.W1[d], work.W2[d], work.I0[d], work.I1[d],
                     work.I2[d], target))
            continue;
        const double a = inv[d];
        const double b = inv[d + 1];
        if (kind == kLinearSum)
            LinearPixel(source, m, 3, a, b - a, target);
        else if (kind == kAreaSum)
            AreaPixelExact(source, m, 3, a, b, target);
        else
            AreaPixel(source, m, 3, a, b, b - a, target);
    }
}
