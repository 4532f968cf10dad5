#include "mesh/warp_line.h"

#include <immintrin.h>

#include <algorithm>
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
    // Four pixels from one 16-byte load while it stays inside the line.
    const __m128i first = _mm_setr_epi8(0, -1, -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, -1, -1, -1, -1);
    const __m128i second = _mm_add_epi8(first, _mm_setr_epi8(3, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0));
    const __m128i third = _mm_add_epi8(second, _mm_setr_epi8(3, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0));
    const __m128i fourth = _mm_add_epi8(third, _mm_setr_epi8(3, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0));
    int k = 0;
    for (; 3 * k + 16 <= 3 * m; k += 4) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 3 * k));
        double* to = pixels + 4 * k;
        _mm256_store_pd(to, _mm256_cvtepi32_pd(_mm_shuffle_epi8(bytes, first)));
        _mm256_store_pd(to + 4, _mm256_cvtepi32_pd(_mm_shuffle_epi8(bytes, second)));
        _mm256_store_pd(to + 8, _mm256_cvtepi32_pd(_mm_shuffle_epi8(bytes, third)));
        _mm256_store_pd(to + 12, _mm256_cvtepi32_pd(_mm_shuffle_epi8(bytes, fourth)));
    }
    for (; k < m; ++k) {
        const uint8_t* p = source + 3 * k;
        _mm256_store_pd(pixels + 4 * k, _mm256_setr_pd(p[0], p[1], p[2], 0.0));
    }
}

// The inverse map's walk for a map whose inner entries map[1..m-1] are in
// order: the walk then stops at s(d) = the number of inner entries below d,
// which a count of where each entry is first passed gives without a branch.
// Leaves in left/right the map entries around s(d), in sd s(d) itself.
// Returns false (nothing written) for a map out of order or with NaN.
QV_AVX2 bool WalkByCounting(const double* map, int m, int n, int32_t* count, double* sd,
                            double* left, double* right)
{
    __m256d disorder = _mm256_setzero_pd();
    int k = 1;
    for (; k + 4 <= m - 1; k += 4)
        disorder = _mm256_or_pd(disorder, _mm256_cmp_pd(_mm256_loadu_pd(map + k),
                                                        _mm256_loadu_pd(map + k + 1), _CMP_NLE_UQ));
    bool out = _mm256_movemask_pd(disorder) != 0;
    for (; k + 1 <= m - 1; ++k)
        out |= !(map[k] <= map[k + 1]);
    if (m > 1 && map[1] != map[1])
        return false;
    if (out)
        return false;
    // Entry k is below every d >= floor(map[k]) + 1.
    std::fill(count, count + n + 1, 0);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d last = _mm256_set1_pd(n);
    const __m256d one = _mm256_set1_pd(1.0);
    alignas(16) int32_t from[4];
    for (k = 1; k + 4 <= m; k += 4) {
        __m256d t = _mm256_add_pd(_mm256_floor_pd(_mm256_loadu_pd(map + k)), one);
        t = _mm256_min_pd(_mm256_max_pd(t, zero), last);
        _mm_store_si128(reinterpret_cast<__m128i*>(from), _mm256_cvttpd_epi32(t));
        ++count[from[0]];
        ++count[from[1]];
        ++count[from[2]];
        ++count[from[3]];
    }
    for (; k < m; ++k)
        ++count[static_cast<int>(std::clamp(std::floor(map[k]) + 1.0, 0.0, static_cast<double>(n)))];
    int s = 0;
    for (int d = 0; d < n; ++d) {
        s += count[d];
        sd[d] = s;
        left[d] = map[s];
        right[d] = map[s + 1];
    }
    return true;
}

// The pixel indices of four target pixels, kept inside the line, in
// doubles of the converted line (four per pixel).
QV_AVX2 inline void StoreIndex(int32_t* to, __m256d linear, __m256d averaged, __m256d area,
                               __m256d lastPixel)
{
    const __m256d v = _mm256_blendv_pd(linear, averaged, area);
    const __m256d inside = _mm256_max_pd(_mm256_min_pd(v, lastPixel), _mm256_setzero_pd());
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                     _mm256_cvttpd_epi32(_mm256_mul_pd(inside, _mm256_set1_pd(4.0))));
}

// Weights, pixel indices and kind of every target pixel, four at a time.
// The interval rules are those of AreaPixel and LinearPixel. With Parts the
// inverse map is finished here (inv[d + 1] = sd + (d - left) / (right - left),
// clamped as InverseMap clamps) and stored; otherwise inv is read.
template <bool Parts>
QV_AVX2 void LineWeights(const WarpLineWork::Lanes& l, double* inv, int m, int n)
{
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d minusHalf = _mm256_set1_pd(-0.5);
    const __m256d lastPixel = _mm256_set1_pd(m - 1);
    const __m256d top = _mm256_set1_pd(m);
    constexpr int kTrunc = _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC;
    __m256d x = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);
    __m256d previous = _mm256_set1_pd(-0.5);  // inv[0] in every lane
    for (int d = 0; d < n; d += 4, x = _mm256_add_pd(x, _mm256_set1_pd(4.0))) {
        __m256d a, b;
        if constexpr (Parts) {
            const __m256d left = _mm256_loadu_pd(l.Left + d);
            const __m256d q = _mm256_div_pd(_mm256_sub_pd(x, left),
                                            _mm256_sub_pd(_mm256_loadu_pd(l.Right + d), left));
            b = _mm256_add_pd(_mm256_loadu_pd(l.Sd + d), q);
            b = _mm256_blendv_pd(top, b, _mm256_cmp_pd(b, top, _CMP_LE_OQ));
            b = _mm256_blendv_pd(b, minusHalf, _mm256_cmp_pd(b, minusHalf, _CMP_LT_OQ));
            _mm256_storeu_pd(inv + d + 1, b);
            // a: inv[d..d+3], the last lane of the group before, then b's first three.
            a = _mm256_blend_pd(_mm256_permute4x64_pd(b, 0x90),
                                _mm256_permute4x64_pd(previous, 0xFF), 0x1);
            previous = b;
        } else {
            a = _mm256_loadu_pd(inv + d);
            b = _mm256_loadu_pd(inv + d + 1);
        }
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

        _mm256_storeu_pd(l.W0 + d, _mm256_blendv_pd(_mm256_sub_pd(one, t), aw0, area));
        _mm256_storeu_pd(l.W1 + d, _mm256_blendv_pd(t, aw1, area));
        _mm256_storeu_pd(l.W2 + d, _mm256_and_pd(aw2, area));
        StoreIndex(l.I0 + d, li0, ai0, area, lastPixel);
        StoreIndex(l.I1 + d, li1, ai1, area, lastPixel);
        StoreIndex(l.I2 + d, li1, ai2, area, lastPixel);
        // kind: linear 1; averaging 0 with three taps, else 2.
        const __m256d k = _mm256_blendv_pd(one, _mm256_andnot_pd(three, _mm256_set1_pd(2.0)), area);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(l.Kind + d), _mm256_cvttpd_epi32(k));
    }
}

// A pixel the sums cannot decide, the plain way; out of line so that the
// loop below keeps its pointers and constants in registers.
[[gnu::noinline, gnu::cold]] void PlainPixel(int32_t kind, const uint8_t* source, int m, double a,
                                             double b, uint8_t* target)
{
    if (kind == kLinearSum)
        LinearPixel(source, m, 3, a, b - a, target);
    else if (kind == kAreaSum)
        AreaPixelExact(source, m, 3, a, b, target);
    else
        AreaPixel(source, m, 3, a, b, b - a, target);
}

// Every target pixel from its weighted sum, all channels in one register;
// a pixel with a channel near a rounding tie, or of the plain kind, takes
// the plain routine's arithmetic.
QV_AVX2 void StorePixels(const WarpLineWork::Lanes& l, const double* pixels,
                         const uint8_t* source, int m, int n, const double* inv,
                         uint8_t* target, ptrdiff_t targetStep)
{
    const __m256d zero = _mm256_setzero_pd();
    const __m256d big = _mm256_set1_pd(kTwoPow52);
    const __m256d sign = _mm256_set1_pd(-0.0);
    const __m256d tie = _mm256_set1_pd(kTieDistance);
    const __m256d most = _mm256_set1_pd(255.0);
    const double* w0 = l.W0;
    const double* w1 = l.W1;
    const double* w2 = l.W2;
    const int32_t* i0 = l.I0;
    const int32_t* i1 = l.I1;
    const int32_t* i2 = l.I2;
    const int32_t* kinds = l.Kind;
    for (int d = 0; d < n; ++d, target += targetStep) {
        const int32_t kind = kinds[d];
        if (kind != kPlainArea) {
            __m256d v = _mm256_mul_pd(_mm256_broadcast_sd(w0 + d), _mm256_load_pd(pixels + i0[d]));
            v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_broadcast_sd(w1 + d), _mm256_load_pd(pixels + i1[d])));
            v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_broadcast_sd(w2 + d), _mm256_load_pd(pixels + i2[d])));
            // As NearTie and ToByte, all channels at once (the fourth is 0).
            const __m256d c = _mm256_max_pd(v, zero);
            const __m256d r = _mm256_sub_pd(_mm256_add_pd(c, big), big);
            const __m256d off = _mm256_andnot_pd(sign, _mm256_sub_pd(c, r));
            if (!_mm256_movemask_pd(_mm256_cmp_pd(off, tie, _CMP_GT_OQ))) {
                const __m128i q = _mm256_cvtpd_epi32(_mm256_min_pd(r, most));
                const __m128i bytes = _mm_packus_epi16(_mm_packus_epi32(q, q), q);
                const uint32_t bgr = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
                const uint16_t bg = static_cast<uint16_t>(bgr);
                std::memcpy(target, &bg, 2);
                target[2] = static_cast<uint8_t>(bgr >> 16);
                continue;
            }
        }
        PlainPixel(kind, source, m, inv[d], inv[d + 1], target);
    }
}
}  // namespace

WarpLineWork::WarpLineWork(int longest)
    : Pixels(longest), Inv(longest + 5), Count(longest + 1), Doubles(6 * (longest + 4)),
      Ints(4 * (longest + 4))
{
    const size_t stride = longest + 4;
    Arrays.W0 = Doubles.data();
    Arrays.W1 = Arrays.W0 + stride;
    Arrays.W2 = Arrays.W1 + stride;
    Arrays.Sd = Arrays.W2 + stride;
    Arrays.Left = Arrays.Sd + stride;
    Arrays.Right = Arrays.Left + stride;
    Arrays.I0 = Ints.data();
    Arrays.I1 = Arrays.I0 + stride;
    Arrays.I2 = Arrays.I1 + stride;
    Arrays.Kind = Arrays.I2 + stride;
}

bool VectorLineAvailable()
{
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

QV_AVX2 void ResampleLineVector(const uint8_t* source, int m, int n, const double* map,
                                uint8_t* target, ptrdiff_t targetStep, WarpLineWork& work)
{
    const WarpLineWork::Lanes& l = work.Arrays;
    double* inv = work.Inv.data();
    inv[0] = -0.5;
    if (WalkByCounting(map, m, n, work.Count.data(), l.Sd, l.Left, l.Right)) {
        // Groups of four past the end repeat the last interval.
        for (int d = n; d < n + 4; ++d) {
            l.Sd[d] = l.Sd[n - 1];
            l.Left[d] = l.Left[n - 1];
            l.Right[d] = l.Right[n - 1];
        }
        LineWeights<true>(l, inv, m, n);
    } else {
        InverseMap(map, m, n, inv);
        for (int d = n + 1; d < n + 5; ++d)
            inv[d] = inv[n];
        LineWeights<false>(l, inv, m, n);
    }
    LoadLine(source, m, work.Pixels[0].V);
    StorePixels(l, work.Pixels[0].V, source, m, n, inv, target, targetStep);
}
