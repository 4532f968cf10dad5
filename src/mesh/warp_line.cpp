#include "mesh/warp_line.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "images/cpu_features.h"
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

// The source line as floats, a pixel's channels in the first three of four.
QV_AVX2 void LoadLine(const uint8_t* source, int m, float* pixels)
{
    // Four pixels from one 16-byte load while it stays inside the line.
    // Each mask puts a pixel's three bytes into the low bytes of three
    // 32-bit lanes (-1 gives 0); the next pixel is three bytes on.
    const __m128i next = _mm_setr_epi8(3, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0);
    const __m128i first = _mm_setr_epi8(0, -1, -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, -1, -1, -1, -1);
    const __m128i second = _mm_add_epi8(first, next);
    const __m128i third = _mm_add_epi8(second, next);
    const __m128i fourth = _mm_add_epi8(third, next);
    int k = 0;
    for (; 3 * k + 16 <= 3 * m; k += 4) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 3 * k));
        float* to = pixels + 4 * k;
        _mm_store_ps(to, _mm_cvtepi32_ps(_mm_shuffle_epi8(bytes, first)));
        _mm_store_ps(to + 4, _mm_cvtepi32_ps(_mm_shuffle_epi8(bytes, second)));
        _mm_store_ps(to + 8, _mm_cvtepi32_ps(_mm_shuffle_epi8(bytes, third)));
        _mm_store_ps(to + 12, _mm_cvtepi32_ps(_mm_shuffle_epi8(bytes, fourth)));
    }
    for (; k < m; ++k) {
        const uint8_t* p = source + 3 * k;
        _mm_store_ps(pixels + 4 * k, _mm_setr_ps(p[0], p[1], p[2], 0.0f));
    }
}

// The inverse map's walk for a map whose inner entries map[1..m-1] are in
// order stops at s(d) = the number of inner entries below d, which a count
// of where each entry is first passed gives without a branch: count[t] is
// the number of entries first below t. Returns false (count not made) for a
// map out of order or with NaN.
QV_AVX2 bool CountPasses(const double* map, int m, int n, int32_t* count)
{
    __m256d disorder = _mm256_setzero_pd();
    int k = 1;
    for (; k + 4 <= m - 1; k += 4)
        disorder = _mm256_or_pd(disorder, _mm256_cmp_pd(_mm256_loadu_pd(map + k),
                                                        _mm256_loadu_pd(map + k + 1), _CMP_NLE_UQ));
    bool out = _mm256_movemask_pd(disorder) != 0;
    for (; k + 1 <= m - 1; ++k)
        out |= !(map[k] <= map[k + 1]);
    if (out || (m > 1 && map[1] != map[1]))
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
        ++count[static_cast<int>(
            std::clamp(std::floor(map[k]) + 1.0, 0.0, static_cast<double>(n)))];
    return true;
}

// s(d) for the target pixels d0..d0+len-1 from the count (s carries over
// from the part before), with the map entries around it; the lanes past len
// repeat the last pixel's.
void WalkPart(const double* map, const int32_t* count, int d0, int len, int& s,
              const WarpLineWork::Lanes& l)
{
    for (int k = 0; k < len; ++k) {
        s += count[d0 + k];
        l.Sd[k] = s;
        l.Left[k] = map[s];
        l.Right[k] = map[s + 1];
    }
    for (int k = len; k < len + 4; ++k) {
        l.Sd[k] = l.Sd[len - 1];
        l.Left[k] = l.Left[len - 1];
        l.Right[k] = l.Right[len - 1];
    }
}

// The pixel indices of four target pixels, kept inside the line, in
// floats of the converted line (four per pixel).
QV_AVX2 inline void StoreIndex(int32_t* to, __m256d linear, __m256d averaged, __m256d area,
                               __m256d lastPixel)
{
    const __m256d v = _mm256_blendv_pd(linear, averaged, area);
    const __m256d inside = _mm256_max_pd(_mm256_min_pd(v, lastPixel), _mm256_setzero_pd());
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                     _mm256_cvttpd_epi32(_mm256_mul_pd(inside, _mm256_set1_pd(4.0))));
}

// The weights of four target pixels as floats, each repeated over the four
// channels of its pixel: two pixels to a register.
QV_AVX2 inline void StoreWeights(float* to, __m256d w)
{
    const __m256 four = _mm256_castps128_ps256(_mm256_cvtpd_ps(w));
    const __m256i firstTwo = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    const __m256i lastTwo = _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3);
    _mm256_store_ps(to, _mm256_permutevar8x32_ps(four, firstTwo));
    _mm256_store_ps(to + 8, _mm256_permutevar8x32_ps(four, lastTwo));
}

// The inverse map for the target pixels d0..d0+len-1 from the walk's
// parts: inv[d + 1] = sd + (d - left) / (right - left), clamped as
// InverseMap clamps. A loop of its own: the division's latency would
// otherwise hold up everything that follows it.
QV_AVX2 void FinishInverse(const WarpLineWork::Lanes& l, double* inv, int m, int d0, int len)
{
    const __m256d top = _mm256_set1_pd(m);
    const __m256d minusHalf = _mm256_set1_pd(-0.5);
    const double* sd = l.Sd;
    const double* lefts = l.Left;
    const double* rights = l.Right;
    __m256d x = _mm256_add_pd(_mm256_set1_pd(d0), _mm256_setr_pd(0.0, 1.0, 2.0, 3.0));
    for (int k = 0; k < len; k += 4, x = _mm256_add_pd(x, _mm256_set1_pd(4.0))) {
        const __m256d left = _mm256_loadu_pd(lefts + k);
        const __m256d q = _mm256_div_pd(_mm256_sub_pd(x, left),
                                        _mm256_sub_pd(_mm256_loadu_pd(rights + k), left));
        __m256d v = _mm256_add_pd(_mm256_loadu_pd(sd + k), q);
        v = _mm256_blendv_pd(top, v, _mm256_cmp_pd(v, top, _CMP_LE_OQ));
        v = _mm256_blendv_pd(v, minusHalf, _mm256_cmp_pd(v, minusHalf, _CMP_LT_OQ));
        _mm256_storeu_pd(inv + d0 + k + 1, v);
    }
}

// Weights, pixel indices and kind of the target pixels d0..d0+len-1, four
// at a time, from the inverse map. The interval rules are those of
// AreaPixel and LinearPixel.
QV_AVX2 void LineWeights(const WarpLineWork::Lanes& l, const double* inv, int m, int d0, int len)
{
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d lastPixel = _mm256_set1_pd(m - 1);
    constexpr int kTrunc = _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC;
    constexpr int kCeil = _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC;
    for (int k = 0; k < len; k += 4) {
        const __m256d a = _mm256_loadu_pd(inv + d0 + k);
        const __m256d b = _mm256_loadu_pd(inv + d0 + k + 1);
        const __m256d length = _mm256_sub_pd(b, a);
        const __m256d area = _mm256_cmp_pd(length, one, _CMP_GE_OQ);

        // Averaging: partial pixel lo - 1, whole pixels lo..hi, partial hi + 1.
        // AreaPixel takes lo = Trunc(a) + 1, one more when a's fraction is
        // above 0.5, one less for a = -0.5: that is Ceil(a - 0.5) + 1 for
        // every a >= -0.5. Likewise hi = Ceil(b - 0.5) - 1 (b = -0.5 differs,
        // but then the length is 0 and the pixel interpolates).
        const __m256d lo = _mm256_add_pd(_mm256_round_pd(_mm256_sub_pd(a, half), kCeil), one);
        const __m256d hi = _mm256_sub_pd(_mm256_round_pd(_mm256_sub_pd(b, half), kCeil), one);
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
        const __m256d li0 =
            _mm256_min_pd(_mm256_round_pd(_mm256_max_pd(u, zero), kTrunc), lastPixel);
        const __m256d t = _mm256_sub_pd(u, li0);
        const __m256d li1 = _mm256_min_pd(_mm256_add_pd(li0, one), lastPixel);

        StoreWeights(l.W0 + 4 * k, _mm256_blendv_pd(_mm256_sub_pd(one, t), aw0, area));
        StoreWeights(l.W1 + 4 * k, _mm256_blendv_pd(t, aw1, area));
        StoreWeights(l.W2 + 4 * k, _mm256_and_pd(aw2, area));
        StoreIndex(l.I0 + k, li0, ai0, area, lastPixel);
        StoreIndex(l.I1 + k, li1, ai1, area, lastPixel);
        StoreIndex(l.I2 + k, li1, ai2, area, lastPixel);
        // kind: linear 1; averaging 0 with three taps, else 2.
        const __m256d averaged = _mm256_andnot_pd(three, _mm256_set1_pd(2.0));
        const __m256d kind = _mm256_blendv_pd(one, averaged, area);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(l.Kind + k), _mm256_cvttpd_epi32(kind));
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

// The source pixels of two target pixels in one register.
QV_AVX2 inline __m256 Pair(const float* pixels, const int32_t* at)
{
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_load_ps(pixels + at[0])),
                                _mm_load_ps(pixels + at[1]), 1);
}

// Every target pixel from its weighted sum, two pixels to a register in
// single precision. A pair with a channel near a rounding tie, or with a
// pixel of the plain kind, takes the plain routine's arithmetic.
//
// The sums in floats: the weights of a pixel add up to 1 (an average) or
// lie in [-0.5, 1.5] (an interpolation); rounding each weight, product and
// sum to 24 bits moves a value below 255 * 2 * 4 * 2^-24 = 2^-13 from the
// exact weighted sum, and the plain routine's Real48 steps move it far less.
// A value farther than 2^-12 from every half-integer therefore rounds to
// the same byte either way.
QV_AVX2 void StorePixels(const WarpLineWork::Lanes& l, const float* pixels,
                         const uint8_t* source, int m, int n, const double* inv,
                         uint8_t* target, ptrdiff_t targetStep)
{
    // Here n pixels of a part of the line: inv, target and the lanes start
    // at its first pixel.
    const __m256 zero = _mm256_setzero_ps();
    const __m256 big = _mm256_set1_ps(0x1p23f);
    const __m256 sign = _mm256_set1_ps(-0.0f);
    const __m256 tie = _mm256_set1_ps(0.5f - 0x1p-12f);
    const __m256 most = _mm256_set1_ps(255.0f);
    const float* w0 = l.W0;
    const float* w1 = l.W1;
    const float* w2 = l.W2;
    const int32_t* i0 = l.I0;
    const int32_t* i1 = l.I1;
    const int32_t* i2 = l.I2;
    const int32_t* kinds = l.Kind;
    int d = 0;
    for (; d + 2 <= n; d += 2, target += 2 * targetStep) {
        uint64_t kind;
        std::memcpy(&kind, kinds + d, 8);
        if (!(kind & (uint64_t{kPlainArea} << 32 | kPlainArea))) {
            __m256 v = _mm256_mul_ps(_mm256_load_ps(w0 + 4 * d), Pair(pixels, i0 + d));
            v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_load_ps(w1 + 4 * d), Pair(pixels, i1 + d)));
            v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_load_ps(w2 + 4 * d), Pair(pixels, i2 + d)));
            const __m256 c = _mm256_max_ps(v, zero);
            const __m256 r = _mm256_sub_ps(_mm256_add_ps(c, big), big);
            const __m256 off = _mm256_andnot_ps(sign, _mm256_sub_ps(c, r));
            if (!_mm256_movemask_ps(_mm256_cmp_ps(off, tie, _CMP_GT_OQ))) {
                const __m256i q = _mm256_cvttps_epi32(_mm256_min_ps(r, most));
                const __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(q),
                                                       _mm256_extracti128_si256(q, 1));
                const uint64_t bytes =
                    static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(words, words)));
                const uint16_t first = static_cast<uint16_t>(bytes);
                const uint16_t second = static_cast<uint16_t>(bytes >> 32);
                std::memcpy(target, &first, 2);
                target[2] = static_cast<uint8_t>(bytes >> 16);
                std::memcpy(target + targetStep, &second, 2);
                target[targetStep + 2] = static_cast<uint8_t>(bytes >> 48);
                continue;
            }
        }
        PlainPixel(kinds[d], source, m, inv[d], inv[d + 1], target);
        PlainPixel(kinds[d + 1], source, m, inv[d + 1], inv[d + 2], target + targetStep);
    }
    if (d < n)
        PlainPixel(kinds[d], source, m, inv[d], inv[d + 1], target);
}
}  // namespace

WarpLineWork::WarpLineWork(int longest)
    : Pixels(longest), Inv(longest + 5), Count(longest + 1), Weights(3 * (kPart + 4) / 2),
      Doubles(3 * (kPart + 4)), Ints(4 * (kPart + 4))
{
    const size_t stride = kPart + 4;
    const size_t weights = stride / 2;  // eight floats: two pixels
    Arrays.W0 = Weights[0].V;
    Arrays.W1 = Weights[weights].V;
    Arrays.W2 = Weights[2 * weights].V;
    Arrays.Sd = Doubles.data();
    Arrays.Left = Arrays.Sd + stride;
    Arrays.Right = Arrays.Left + stride;
    Arrays.I0 = Ints.data();
    Arrays.I1 = Arrays.I0 + stride;
    Arrays.I2 = Arrays.I1 + stride;
    Arrays.Kind = Arrays.I2 + stride;
}

bool VectorLineAvailable() { return CpuHasAvx2(); }

QV_AVX2 void ResampleLineVector(const uint8_t* source, int m, int n, const double* map,
                                uint8_t* target, ptrdiff_t targetStep, WarpLineWork& work)
{
    const WarpLineWork::Lanes& l = work.Arrays;
    double* inv = work.Inv.data();
    inv[0] = -0.5;
    const bool counted = CountPasses(map, m, n, work.Count.data());
    if (!counted) {
        InverseMap(map, m, n, inv);
        for (int d = n + 1; d < n + 5; ++d)  // groups of four past the end
            inv[d] = inv[n];
    }
    const float* pixels = work.Pixels[0].V;
    LoadLine(source, m, work.Pixels[0].V);
    // Parts of the line small enough that the lanes stay in the first-level
    // cache between being written and read.
    int s = 0;
    for (int d0 = 0; d0 < n; d0 += WarpLineWork::kPart) {
        const int len = std::min(WarpLineWork::kPart, n - d0);
        if (counted) {
            WalkPart(map, work.Count.data(), d0, len, s, l);
            FinishInverse(l, inv, m, d0, len);
        }
        LineWeights(l, inv, m, d0, len);
        StorePixels(l, pixels, source, m, len, inv + d0, target + d0 * targetStep, targetStep);
    }
}
