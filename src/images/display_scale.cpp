#include "images/display_scale.h"

#include <cmath>
#include <cstring>
#include <algorithm>

#include "images/bands.h"
#include "images/cpu_features.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define QV_VECTOR_SCALING 1
#endif

// Normal and high quality are computed in exact integer arithmetic: every
// edge position k * m / n is held as the integer k * m (in units of 1 / n),
// so weights, sums and the tests "d = 0" are exact, and the final division
// truncates or rounds (to even) the exact rational value. Doubles would put
// a few results one unit low after truncation (a sum of 255 coming out as
// 254.99999) and could leave the last target pixel of a line unwritten.
//
// Speed: the lines of a pass are split into bands over the oneTBB workers;
// every target line is computed from the source alone, so the bytes do not
// depend on the number of threads. When both directions reduce,
// the two passes are fused: source rows are reduced horizontally (two at a
// time) into row buffers and weighed at once into the column sums of the
// target row(s) they fall in, so no full-size temporary is made. The row
// reduction has an AVX2 path, chosen at run time, that forms the very same
// integer sums with pmaddwd over a weight table built once per call; the
// plain path stays as the fallback and as what the tests compare it with.

namespace {

// Target lines per band of the workers.
constexpr int32_t kBandRows = 16;

// --- Quick mode -----------------------------------------------------------

// A ratio stored in the 6-byte real: 40-bit significand, nearest, ties to even.
long double RoundToReal48(long double value)
{
    if (value == 0 || !std::isfinite(value))
        return value;
    int exponent = 0;
    const long double mantissa = std::frexp(value, &exponent);  // 0.5 <= |m| < 1
    return std::ldexp(std::nearbyint(std::ldexp(mantissa, 40)), exponent - 40);
}

// --- Two-pass area and linear scaling ---------------------------------------

// One target pixel of a line: source pixels First .. First + Count - 1, the
// first weighted WFirst, the inner ones WMid each, the last WLast; all weights
// in units of 1 / Divisor of the plan.
struct Tap {
    int32_t First = 0;
    int32_t Count = 1;
    uint64_t WFirst = 0;
    uint64_t WMid = 0;
    uint64_t WLast = 0;
};

struct LinePlan {
    bool Copy = false;         // equal sizes: pixels copied unchanged
    std::vector<Tap> Taps;     // one per target pixel
    uint64_t Divisor = 1;
    bool Round = false;        // round to nearest even; else truncate
};

// Enlarging by area (normal quality): a target pixel inside a source pixel
// takes it unchanged; one that straddles a source edge blends the two.
LinePlan PlanAreaEnlarge(int32_t n, int32_t m)
{
    LinePlan plan;
    plan.Divisor = static_cast<uint64_t>(n);
    plan.Round = true;
    plan.Taps.resize(m);
    int64_t s = 0;  // current source pixel; its right edge is (s + 1) * m / n
    for (int64_t j = 1; j <= m; ++j) {
        Tap& t = plan.Taps[j - 1];
        const int64_t cur = std::min<int64_t>(s, n - 1);
        const int64_t d = j * n - (s + 1) * m;  // (j - b) * n
        t.First = static_cast<int32_t>(cur);
        if (d <= 0) {
            t.Count = 1;
            t.WFirst = plan.Divisor;
            if (d == 0)
                ++s;
        } else {
            if (j < m && cur + 1 < n) {
                t.Count = 2;
                t.WFirst = static_cast<uint64_t>(n - d);
                t.WLast = static_cast<uint64_t>(d);
            } else {
                t.Count = 1;
                t.WFirst = plan.Divisor;
            }
            ++s;
        }
    }
    return plan;
}

// Reducing by area (both qualities): target pixel j covers (j - 1, j] in
// target units, source pixel i covers (i * m / n, (i + 1) * m / n].
LinePlan PlanAreaReduce(int32_t n, int32_t m)
{
    LinePlan plan;
    plan.Divisor = static_cast<uint64_t>(n);
    plan.Taps.resize(m);
    const int64_t N = n, M = m;
    for (int64_t j = 1; j <= M; ++j) {
        const int64_t lo = (j - 1) * N, hi = j * N;  // target edges times n
        const int64_t first = lo / M;                // source pixel holding lo
        const int64_t last = (hi + M - 1) / M - 1;   // source pixel holding hi
        Tap& t = plan.Taps[j - 1];
        t.First = static_cast<int32_t>(first);
        t.Count = static_cast<int32_t>(last - first + 1);
        t.WFirst = static_cast<uint64_t>(std::min((first + 1) * M, hi) - lo);
        t.WMid = static_cast<uint64_t>(M);
        t.WLast = static_cast<uint64_t>(hi - last * M);
    }
    return plan;
}

// Enlarging by linear interpolation (high quality): target i lies on the
// source position p = i * (n - 1) / (m - 1), so the ends meet exactly.
LinePlan PlanLinearEnlarge(int32_t n, int32_t m)
{
    LinePlan plan;
    const int64_t M1 = static_cast<int64_t>(m) - 1;
    plan.Divisor = static_cast<uint64_t>(M1);
    plan.Round = true;
    plan.Taps.resize(m);
    for (int64_t i = 0; i < m; ++i) {
        const int64_t p = i * (static_cast<int64_t>(n) - 1);
        const int64_t k = p / M1, f = p % M1;
        Tap& t = plan.Taps[i];
        t.First = static_cast<int32_t>(k);
        if (f == 0 || k + 1 >= n) {
            t.Count = 1;
            t.WFirst = plan.Divisor;
        } else {
            t.Count = 2;
            t.WFirst = static_cast<uint64_t>(M1 - f);
            t.WLast = static_cast<uint64_t>(f);
        }
    }
    return plan;
}

// Sums and quotient checks (256 x divisor) stay below 2^31 in 32-bit
// arithmetic up to this divisor; longer lines take the 64-bit path.
constexpr uint64_t kMaxFastDivisor = (1u << 22);

// Exact floor (or round to nearest, ties to even) of sums[i] / divisor. A
// float quotient is off by at most one for sums up to 255 x divisor, and the
// remainder puts it right; the loop has no branches so that it vectorises.
template <bool Round>
[[gnu::always_inline]] inline void FinishRowT(const uint32_t* sums, uint8_t* out, size_t count, uint32_t divisor)
{
    const int32_t D = static_cast<int32_t>(divisor);
    const float inverse = 1.0f / static_cast<float>(divisor);
    for (size_t i = 0; i < count; ++i) {
        const int32_t a = static_cast<int32_t>(sums[i]);
        int32_t q = static_cast<int32_t>(static_cast<float>(a) * inverse);
        int32_t r = a - q * D;
        q += static_cast<int32_t>(r >= D) - static_cast<int32_t>(r < 0);
        r = a - q * D;
        if constexpr (Round)
            q += static_cast<int32_t>(2 * r + (q & 1) > D);  // ties go to the even side
        out[i] = static_cast<uint8_t>(q);
    }
}

__attribute__((target_clones("avx2", "default"))) void FinishRow(const uint32_t* sums, uint8_t* out,
                                                                  size_t count, uint64_t divisor, bool round)
{
    if (round)
        FinishRowT<true>(sums, out, count, static_cast<uint32_t>(divisor));
    else
        FinishRowT<false>(sums, out, count, static_cast<uint32_t>(divisor));
}

void FinishRow(const uint64_t* sums, uint8_t* out, size_t count, uint64_t divisor, bool round)
{
    for (size_t i = 0; i < count; ++i) {
        uint64_t q = sums[i] / divisor;
        const uint64_t r2 = 2 * (sums[i] - q * divisor);
        if (round && (r2 > divisor || (r2 == divisor && (q & 1))))
            ++q;
        out[i] = static_cast<uint8_t>(q > 255 ? 255 : q);
    }
}

// Rows of source into rows of target (same height), per the plan.
template <class Acc>
void HorizontalPassT(const uint8_t* src, int32_t srcRowBytes, uint8_t* dst, int32_t dstRowBytes,
                     int32_t sourceWidth, int32_t height, const LinePlan& plan)
{
    const size_t m = plan.Taps.size();
    const bool reducing = m < static_cast<size_t>(sourceWidth);
    // Per target pixel: byte offsets of the first and last source pixel and
    // their weights. Enlarging uses at most two pixels; reducing adds the
    // inner ones through running sums of the row, all weighted the same.
    std::vector<uint32_t> first(m), last(m);
    std::vector<Acc> wFirst(m), wLast(m);
    Acc wMid = 0;
    // Lines up to 8192 pixels let the three channels share one 64-bit word.
    constexpr uint64_t kLaneMask = (uint64_t(1) << 21) - 1;
    const bool packed = reducing && plan.Divisor <= 8192;
    for (size_t x = 0; x < m; ++x) {
        const Tap& t = plan.Taps[x];
        first[x] = 3 * static_cast<uint32_t>(t.First);
        last[x] = 3 * static_cast<uint32_t>(t.First + t.Count - 1);
        wFirst[x] = static_cast<Acc>(t.WFirst);
        wLast[x] = static_cast<Acc>(t.Count > 1 ? t.WLast : 0);
        wMid = static_cast<Acc>(t.WMid);
    }
    ForEachBand(height, kBandRows, [&](int32_t rowBegin, int32_t rowEnd) {
        std::vector<Acc> sums(3 * m);
        std::vector<Acc> running(reducing && !packed ? 3 * static_cast<size_t>(sourceWidth) + 3 : 0);
        std::vector<uint64_t> packedRunning(reducing && packed ? static_cast<size_t>(sourceWidth) + 1 : 0);
        for (int32_t y = rowBegin; y < rowEnd; ++y) {
            const uint8_t* s = src + static_cast<size_t>(y) * srcRowBytes;
            uint8_t* d = dst + static_cast<size_t>(y) * dstRowBytes;
            if (reducing && packed) {
                // The three channels side by side in 21-bit lanes of one word:
                // every lane stays below 255 x n < 2^21, so lanes never carry.
                auto pack = [s](uint32_t at) {
                    return uint64_t(s[at]) | uint64_t(s[at + 1]) << 21 | uint64_t(s[at + 2]) << 42;
                };
                uint64_t run = 0;
                for (int32_t i = 0; i < sourceWidth; ++i) {
                    packedRunning[i] = run;
                    run += pack(3 * static_cast<uint32_t>(i));
                }
                packedRunning[sourceWidth] = run;
                for (size_t x = 0; x < m; ++x) {
                    const uint32_t f = first[x], l = last[x];
                    const uint64_t a = uint64_t(wFirst[x]) * pack(f) + uint64_t(wLast[x]) * pack(l) +
                                       uint64_t(wMid) * (packedRunning[l / 3] - packedRunning[f / 3 + 1]);
                    sums[3 * x] = static_cast<Acc>(a & kLaneMask);
                    sums[3 * x + 1] = static_cast<Acc>((a >> 21) & kLaneMask);
                    sums[3 * x + 2] = static_cast<Acc>(a >> 42);
                }
            } else if (reducing) {
                // running[3 i + c]: sum of channel c over source pixels 0 .. i - 1.
                Acc r0 = 0, r1 = 0, r2 = 0;
                for (int32_t i = 0; i < sourceWidth; ++i) {
                    running[3 * i] = r0;
                    running[3 * i + 1] = r1;
                    running[3 * i + 2] = r2;
                    r0 += s[3 * i];
                    r1 += s[3 * i + 1];
                    r2 += s[3 * i + 2];
                }
                running[3 * sourceWidth] = r0;
                running[3 * sourceWidth + 1] = r1;
                running[3 * sourceWidth + 2] = r2;
                for (size_t x = 0; x < m; ++x) {
                    const uint32_t f = first[x], l = last[x];
                    for (int c = 0; c < 3; ++c)
                        sums[3 * x + c] = wFirst[x] * s[f + c] + wLast[x] * s[l + c] +
                                          wMid * (running[l + c] - running[f + 3 + c]);
                }
            } else {
                for (size_t x = 0; x < m; ++x) {
                    const uint32_t f = first[x], l = last[x];
                    for (int c = 0; c < 3; ++c)
                        sums[3 * x + c] = wFirst[x] * s[f + c] + wLast[x] * s[l + c];
                }
            }
            FinishRow(sums.data(), d, 3 * m, plan.Divisor, plan.Round);
        }
    });
}

// Columns of source into columns of target (same width), per the plan. Lines
// run in memory order, bottom row first. Works a whole row at a time.
template <class Acc>
void VerticalPassT(const uint8_t* src, int32_t srcRowBytes, uint8_t* dst, int32_t dstRowBytes,
                   int32_t width, const LinePlan& plan)
{
    const size_t bytes = 3 * static_cast<size_t>(width);
    const int32_t rows = static_cast<int32_t>(plan.Taps.size());
    ForEachBand(rows, kBandRows, [&](int32_t rowBegin, int32_t rowEnd) {
        std::vector<Acc> acc(bytes), mid(bytes);
        for (size_t j = static_cast<size_t>(rowBegin); j < static_cast<size_t>(rowEnd); ++j) {
            const Tap& t = plan.Taps[j];
            const uint8_t* r0 = src + static_cast<size_t>(t.First) * srcRowBytes;
            uint8_t* d = dst + j * dstRowBytes;
            if (t.Count == 1) {
                std::memcpy(d, r0, bytes);
                continue;
            }
            const Acc w0 = static_cast<Acc>(t.WFirst);
            for (size_t i = 0; i < bytes; ++i)
                acc[i] = w0 * r0[i];
            if (t.Count > 2) {
                std::fill(mid.begin(), mid.end(), Acc(0));
                for (int32_t k = 1; k < t.Count - 1; ++k) {
                    const uint8_t* r = r0 + static_cast<size_t>(k) * srcRowBytes;
                    for (size_t i = 0; i < bytes; ++i)
                        mid[i] += r[i];
                }
                const Acc wm = static_cast<Acc>(t.WMid);
                for (size_t i = 0; i < bytes; ++i)
                    acc[i] += wm * mid[i];
            }
            const uint8_t* rl = r0 + static_cast<size_t>(t.Count - 1) * srcRowBytes;
            const Acc wl = static_cast<Acc>(t.WLast);
            for (size_t i = 0; i < bytes; ++i)
                acc[i] += wl * rl[i];
            FinishRow(acc.data(), d, bytes, plan.Divisor, plan.Round);
        }
    });
}

// --- Vector reduction along rows ---------------------------------------------

bool g_vectorScaling = true;

bool VectorScalingAvailable()
{
#ifdef QV_VECTOR_SCALING
    return CpuHasAvx2();
#else
    return false;
#endif
}

// Weight table for reducing rows of n pixels to m, built once per call. A
// target pixel reads its source pixels in groups of five (one unaligned 16-byte
// load each); per group three vectors of 16-bit weights line up with the
// bytes that a shuffle pairs as (channel of pixel k, same channel of pixel
// k + 1), so that pmaddwd adds two taps of every channel at once. Weights are
// the plan's (at most m, so they fit 16 bits) and zero past a pixel's taps.
struct RowReducer {
    int32_t Groups = 0;
    int32_t VectorTargets = 0;      // even; targets from here on go the plain way
    std::vector<uint32_t> Offset;   // byte offset of a target's first pixel
    std::vector<int16_t> Weights;   // per pair of targets, group, part: 2 x 8
    const LinePlan* Plan = nullptr;
    uint32_t Divisor = 1;
};

// Usable when every sum (at most 255 x n) converts to float exactly and the
// float quotient truncates to the exact floor: n < 2^16 makes both true.
bool VectorRowsUsable(const LinePlan& plan, int32_t n)
{
    const size_t m = plan.Taps.size();
    return g_vectorScaling && VectorScalingAvailable() && !plan.Copy && !plan.Round && m < static_cast<size_t>(n) &&
           n <= 65535 && plan.Divisor == static_cast<uint64_t>(n);
}

RowReducer MakeRowReducer(const LinePlan& plan, int32_t n)
{
    RowReducer r;
    r.Plan = &plan;
    r.Divisor = static_cast<uint32_t>(plan.Divisor);
    const int32_t m = static_cast<int32_t>(plan.Taps.size());
    int32_t most = 1;
    for (const Tap& t : plan.Taps)
        most = std::max(most, t.Count);
    r.Groups = (most + 4) / 5;
    // The loads of a target must stay inside the row: its first pixel and
    // 5 x groups after it, plus the byte after the last (16 = 5 x 3 + 1).
    const int64_t rowBytes = 3 * static_cast<int64_t>(n);
    int32_t v = 0;
    while (v < m && 3 * (static_cast<int64_t>(plan.Taps[v].First) + 5 * (r.Groups - 1)) + 16 <= rowBytes)
        ++v;
    r.VectorTargets = v & ~1;
    r.Offset.resize(r.VectorTargets);
    r.Weights.assign(static_cast<size_t>(r.VectorTargets / 2) * r.Groups * 3 * 16, 0);
    for (int32_t x = 0; x < r.VectorTargets; ++x) {
        const Tap& t = plan.Taps[x];
        r.Offset[x] = 3 * static_cast<uint32_t>(t.First);
        for (int32_t k = 0; k < t.Count; ++k) {
            const uint64_t w = k == 0 ? t.WFirst : k == t.Count - 1 ? t.WLast : t.WMid;
            const int32_t g = k / 5, inGroup = k % 5, part = inGroup / 2, slot = inGroup % 2;
            int16_t* at = &r.Weights[((static_cast<size_t>(x / 2) * r.Groups + g) * 3 + part) * 16 + (x % 2) * 8];
            for (int c = 0; c < 3; ++c)
                at[2 * c + slot] = static_cast<int16_t>(w);
        }
    }
    return r;
}

#ifdef QV_VECTOR_SCALING
// Rows s[0 .. rows - 1] into d[0 .. rows - 1] (rows 1 or 2); two rows share
// the table's loads.
template <int Rows>
__attribute__((target("avx2"))) void ReduceRowsAvx2(const RowReducer& r, const uint8_t* const* s, uint8_t* const* d)
{
    // Pixel bytes 3p + c of a 16-byte load; pairs (pixel k, pixel k + 1) per
    // channel in 16-bit slots: part A pixels 0, 1; part B 2, 3; part C 4.
    const __m256i shufA = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(0, -128, 3, -128, 1, -128, 4, -128, 2, -128, 5, -128, -128, -128, -128, -128));
    const __m256i shufB = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(6, -128, 9, -128, 7, -128, 10, -128, 8, -128, 11, -128, -128, -128, -128, -128));
    const __m256i shufC = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(12, -128, -128, -128, 13, -128, -128, -128, 14, -128, -128, -128, -128, -128, -128, -128));
    const __m256 divisor = _mm256_set1_ps(static_cast<float>(r.Divisor));
    const int16_t* w = r.Weights.data();
    for (int32_t x = 0; x < r.VectorTargets; x += 2) {
        const uint32_t o0 = r.Offset[x], o1 = r.Offset[x + 1];
        __m256i acc[Rows];
        for (int k = 0; k < Rows; ++k)
            acc[k] = _mm256_setzero_si256();
        for (int32_t g = 0; g < r.Groups; ++g, w += 48) {
            const __m256i wa = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w));
            const __m256i wb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 16));
            const __m256i wc = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 32));
            for (int k = 0; k < Rows; ++k) {
                const uint8_t* p = s[k] + 15 * g;
                const __m256i v = _mm256_inserti128_si256(
                    _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + o0))),
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + o1)), 1);
                acc[k] = _mm256_add_epi32(acc[k], _mm256_madd_epi16(_mm256_shuffle_epi8(v, shufA), wa));
                acc[k] = _mm256_add_epi32(acc[k], _mm256_madd_epi16(_mm256_shuffle_epi8(v, shufB), wb));
                acc[k] = _mm256_add_epi32(acc[k], _mm256_madd_epi16(_mm256_shuffle_epi8(v, shufC), wc));
            }
        }
        for (int k = 0; k < Rows; ++k) {
            // Lanes R, G, B, 0 of each target; sums below 2^24 are exact
            // floats and the correctly rounded quotient truncates to the
            // exact floor.
            const __m256i q = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(acc[k]), divisor));
            const __m256i h = _mm256_packs_epi32(q, q);
            const __m256i b = _mm256_packus_epi16(h, h);
            const uint32_t lo = static_cast<uint32_t>(_mm256_extract_epi32(b, 0));
            const uint32_t hi = static_cast<uint32_t>(_mm256_extract_epi32(b, 4));
            std::memcpy(d[k] + 3 * static_cast<size_t>(x), &lo, 4);      // fourth byte is
            std::memcpy(d[k] + 3 * static_cast<size_t>(x) + 3, &hi, 4);  // overwritten next
        }
    }
}
#endif

// Rows s[0 .. rows - 1] (rows 1 or 2) through the table; every d needs one
// byte of room past 3 x m.
void ReduceRows(const RowReducer& r, const uint8_t* const* s, uint8_t* const* d, int rows)
{
#ifdef QV_VECTOR_SCALING
    if (rows == 2)
        ReduceRowsAvx2<2>(r, s, d);
    else
        ReduceRowsAvx2<1>(r, s, d);
#endif
    const LinePlan& plan = *r.Plan;
    for (int k = 0; k < rows; ++k)
        for (size_t x = static_cast<size_t>(r.VectorTargets); x < plan.Taps.size(); ++x) {
            const Tap& t = plan.Taps[x];
            uint64_t sum[3] = {0, 0, 0};
            for (int32_t i = 0; i < t.Count; ++i) {
                const uint64_t w = i == 0 ? t.WFirst : i == t.Count - 1 ? t.WLast : t.WMid;
                const uint8_t* p = s[k] + 3 * static_cast<size_t>(t.First + i);
                for (int c = 0; c < 3; ++c)
                    sum[c] += w * p[c];
            }
            for (int c = 0; c < 3; ++c)
                d[k][3 * x + c] = static_cast<uint8_t>(sum[c] / plan.Divisor);
        }
}

void HorizontalPass(const uint8_t* src, int32_t srcRowBytes, uint8_t* dst, int32_t dstRowBytes,
                    int32_t sourceWidth, int32_t height, const LinePlan& plan)
{
    if (VectorRowsUsable(plan, sourceWidth)) {
        const RowReducer reducer = MakeRowReducer(plan, sourceWidth);
        ForEachBand(height, kBandRows, [&](int32_t begin, int32_t end) {
            std::vector<uint8_t> row(3 * plan.Taps.size() + 1);
            for (int32_t y = begin; y < end; ++y) {
                const uint8_t* from = src + static_cast<size_t>(y) * srcRowBytes;
                uint8_t* to = row.data();
                ReduceRows(reducer, &from, &to, 1);
                std::memcpy(dst + static_cast<size_t>(y) * dstRowBytes, row.data(), row.size() - 1);
            }
        });
    } else if (plan.Divisor <= kMaxFastDivisor)
        HorizontalPassT<uint32_t>(src, srcRowBytes, dst, dstRowBytes, sourceWidth, height, plan);
    else
        HorizontalPassT<uint64_t>(src, srcRowBytes, dst, dstRowBytes, sourceWidth, height, plan);
}

void VerticalPass(const uint8_t* src, int32_t srcRowBytes, uint8_t* dst, int32_t dstRowBytes,
                  int32_t width, const LinePlan& plan)
{
    if (plan.Divisor <= kMaxFastDivisor)
        VerticalPassT<uint32_t>(src, srcRowBytes, dst, dstRowBytes, width, plan);
    else
        VerticalPassT<uint64_t>(src, srcRowBytes, dst, dstRowBytes, width, plan);
}

// acc = w x row, or acc += w x row; one pass the compiler can vectorise.
__attribute__((target_clones("avx2", "default"))) void WeighRow(uint32_t* acc, const uint8_t* row,
                                                                 size_t count, uint32_t w, bool add)
{
    if (add) {
        for (size_t i = 0; i < count; ++i)
            acc[i] += w * row[i];
    } else {
        for (size_t i = 0; i < count; ++i)
            acc[i] = w * row[i];
    }
}

// Both directions reduce: every source row is reduced horizontally once into
// a row buffer and weighed at once into the target row(s) it falls in. Each
// target row is the same weighted sum of the same horizontal results as in
// the two separate passes, finished in the same way.
void FusedReduce(const uint8_t* src, int32_t srcRowBytes, uint8_t* dst, int32_t dstRowBytes,
                 int32_t sourceWidth, int32_t sourceHeight, const LinePlan& rows, const LinePlan& columns)
{
    const size_t bytes = 3 * (rows.Copy ? static_cast<size_t>(sourceWidth) : rows.Taps.size());
    const RowReducer reducer = rows.Copy ? RowReducer{} : MakeRowReducer(rows, sourceWidth);
    const int32_t targetRows = static_cast<int32_t>(columns.Taps.size());
    ForEachBand(targetRows, kBandRows, [&](int32_t begin, int32_t end) {
        // Rows are asked for in order (the row across an edge twice), so two
        // buffers hold the pair base, base + 1 reduced together.
        std::vector<uint8_t> buffer(2 * (bytes + 1));
        uint8_t* const buffers[2] = {buffer.data(), buffer.data() + bytes + 1};
        std::vector<uint32_t> acc(bytes);
        int32_t base = -2;
        auto rowAt = [&](int32_t i) -> const uint8_t* {
            const uint8_t* s = src + static_cast<size_t>(i) * srcRowBytes;
            if (rows.Copy)
                return s;
            if (i != base && i != base + 1) {
                const uint8_t* from[2] = {s, i + 1 < sourceHeight ? s + srcRowBytes : s};
                ReduceRows(reducer, from, buffers, i + 1 < sourceHeight ? 2 : 1);
                base = i;
            }
            return buffers[i - base];
        };
        for (size_t j = static_cast<size_t>(begin); j < static_cast<size_t>(end); ++j) {
            const Tap& t = columns.Taps[j];
            for (int32_t k = 0; k < t.Count; ++k) {
                const uint64_t w = k == 0 ? t.WFirst : k == t.Count - 1 ? t.WLast : t.WMid;
                WeighRow(acc.data(), rowAt(t.First + k), bytes, static_cast<uint32_t>(w), k > 0);
            }
            FinishRow(acc.data(), dst + j * dstRowBytes, bytes, columns.Divisor, columns.Round);
        }
    });
}

enum class Quality { Normal, High };

LinePlan PlanFor(Quality quality, int32_t n, int32_t m, bool vertical)
{
    if (n == m) {
        LinePlan plan;
        plan.Copy = true;
        return plan;
    }
    if (m > n)
        return quality == Quality::Normal ? PlanAreaEnlarge(n, m) : PlanLinearEnlarge(n, m);
    LinePlan plan = PlanAreaReduce(n, m);
    // Normal rounds the column pass; high truncates both. The part of a pixel
    // carried over an edge keeps its fraction in both passes: cutting it to a
    // whole number would darken flat areas by one unit.
    plan.Round = quality == Quality::Normal && vertical;
    return plan;
}

void CopyRows(const uint8_t* src, int32_t srcRowBytes, uint8_t* dst, int32_t dstRowBytes,
              int32_t rowLength, int32_t height)
{
    ForEachBand(height, kBandRows, [&](int32_t begin, int32_t end) {
        for (int32_t y = begin; y < end; ++y)
            std::memcpy(dst + static_cast<size_t>(y) * dstRowBytes,
                        src + static_cast<size_t>(y) * srcRowBytes, rowLength);
    });
}

bool Ready(const RasterImage& source, const RasterImage& target)
{
    return source.Allocated && target.Allocated && source.Width() > 0 && source.Height() > 0 &&
           target.Width() > 0 && target.Height() > 0;
}

void TwoPass(Quality quality, const RasterImage& source, RasterImage& target)
{
    if (!Ready(source, target))
        return;
    const int32_t sw = source.Width(), sh = source.Height();
    const int32_t tw = target.Width(), th = target.Height();
    const LinePlan rows = PlanFor(quality, sw, tw, false);
    const LinePlan columns = PlanFor(quality, sh, th, true);

    const uint8_t* src = source.Lock();
    uint8_t* dst = target.Lock();
    // Sums of a target row stay below 2^32 when the source has at most 2^22
    // rows (255 x height); the row pass must be a copy or the vector one.
    if (!columns.Copy && th < sh && columns.Divisor <= kMaxFastDivisor &&
        (rows.Copy || VectorRowsUsable(rows, sw))) {
        FusedReduce(src, source.RowBytes, dst, target.RowBytes, sw, sh, rows, columns);
        source.Unlock();
        target.Unlock();
        return;
    }
    // Horizontal pass into a temporary of target width x source height; when
    // the widths agree the source itself serves as that temporary.
    RasterImage temp;
    const uint8_t* mid = src;
    int32_t midRowBytes = source.RowBytes;
    if (!rows.Copy) {
        if (columns.Copy) {
            HorizontalPass(src, source.RowBytes, dst, target.RowBytes, sw, sh, rows);
            source.Unlock();
            target.Unlock();
            return;
        }
        temp.Init(tw, sh);
        if (!temp.Allocated) {
            source.Unlock();
            target.Unlock();
            return;
        }
        uint8_t* t = temp.Lock();
        HorizontalPass(src, source.RowBytes, t, temp.RowBytes, sw, sh, rows);
        mid = t;
        midRowBytes = temp.RowBytes;
    }
    if (columns.Copy)
        CopyRows(mid, midRowBytes, dst, target.RowBytes, 3 * tw, th);
    else
        VerticalPass(mid, midRowBytes, dst, target.RowBytes, tw, columns);
    if (temp.Allocated) {
        temp.Unlock();
        temp.Done();
    }
    source.Unlock();
    target.Unlock();
}

}  // namespace

QuickRules ChooseQuickRules(int32_t sourceWidth, int32_t sourceHeight, int32_t targetWidth,
                            int32_t targetHeight)
{
    // -1 reducing, 0 equal, +1 enlarging
    const int cols = targetWidth > sourceWidth ? 1 : targetWidth < sourceWidth ? -1 : 0;
    const int rows = targetHeight > sourceHeight ? 1 : targetHeight < sourceHeight ? -1 : 0;
    QuickRules rules;
    rules.ColumnsReducing = cols < 0 || (cols == 0 && rows < 0);
    rules.RowsReducing = rows < 0 || (rows == 0 && cols < 0);
    return rules;
}

std::vector<int32_t> QuickIndices(int32_t n, int32_t m, bool reducing)
{
    std::vector<int32_t> index(m > 0 ? m : 0);
    if (n <= 0 || m <= 0)
        return index;
    const long double ratio = RoundToReal48(static_cast<long double>(n) / m);
    const int64_t step = (2147483647LL - n - 1) / n;
    const int64_t increment = static_cast<int64_t>(std::trunc(ratio * step));
    int64_t counter = 0, at = 0;
    if (!reducing) {
        int64_t threshold = step;
        for (int32_t i = 0; i < m; ++i) {
            counter += increment;
            if (counter > threshold) {
                threshold += step;
                ++at;
            }
            // The stored ratio may round up; never run past the last pixel.
            index[i] = static_cast<int32_t>(at < n ? at : n - 1);
        }
    } else {
        int64_t threshold = 0;
        for (int32_t i = 0; i < m; ++i) {
            counter += increment;
            while (counter > threshold && step > 0) {
                threshold += step;
                ++at;
            }
            index[i] = static_cast<int32_t>(at < n ? at : n - 1);
        }
    }
    return index;
}

void ScaleQuick(const RasterImage& source, RasterImage& target)
{
    if (!Ready(source, target))
        return;
    const int32_t sw = source.Width(), sh = source.Height();
    const int32_t tw = target.Width(), th = target.Height();
    const uint8_t* src = source.Lock();
    uint8_t* dst = target.Lock();
    if (sw == tw && sh == th) {
        std::memcpy(dst, src, static_cast<size_t>(target.ImageSize));
    } else {
        const QuickRules rules = ChooseQuickRules(sw, sh, tw, th);
        std::vector<int32_t> columns = QuickIndices(sw, tw, rules.ColumnsReducing);
        const std::vector<int32_t> rows = QuickIndices(sh, th, rules.RowsReducing);
        for (int32_t& c : columns)
            c *= 3;  // byte offsets within a row
        const size_t rowLength = 3 * static_cast<size_t>(tw);
        // Everything by value: byte stores could alias what a reference
        // points to, which would reload every address for every pixel.
        const int32_t* const columnIndex = columns.data();
        const int32_t* const row = rows.data();
        const int32_t sourceRowBytes = source.RowBytes, targetRowBytes = target.RowBytes;
        ForEachBand(th, 4 * kBandRows, [=](int32_t begin, int32_t end) {
            // Locals, not the closure's copies, which byte stores may alias.
            const int32_t* const column = columnIndex;
            const int32_t width = tw;
            for (int32_t y = begin; y < end; ++y) {
                uint8_t* d = dst + static_cast<size_t>(y) * targetRowBytes;
                if (y > begin && row[y] == row[y - 1]) {
                    // Same source row as the target row below: repeat it.
                    std::memcpy(d, d - targetRowBytes, rowLength);
                    continue;
                }
                const uint8_t* s = src + static_cast<size_t>(row[y]) * sourceRowBytes;
                for (int32_t x = 0; x < width; ++x, d += 3) {
                    const uint8_t* p = s + column[x];
                    d[0] = p[0];
                    d[1] = p[1];
                    d[2] = p[2];
                }
            }
        });
    }
    source.Unlock();
    target.Unlock();
}

void SetVectorScaling(bool enabled)
{
    g_vectorScaling = enabled;
}

void ScaleNormal(const RasterImage& source, RasterImage& target)
{
    TwoPass(Quality::Normal, source, target);
}

void ScaleHigh(const RasterImage& source, RasterImage& target)
{
    TwoPass(Quality::High, source, target);
}
