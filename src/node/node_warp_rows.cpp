#include "node/node_warp_rows.h"

#include <bit>
#include <cmath>
#include <cstring>

// GCC 12 takes the undefined pass-through operand inside the AVX-512
// intrinsics for an uninitialised variable.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include "images/cpu_features.h"
#include "numerics/store_real48.h"

namespace {

using nodebasis::PowerKind;

// One run of pixels for one kind of power. The loop over nodes is outside,
// the loop over pixels inside, so that each pixel's sum keeps the node order
// while the pixels go through the vector unit side by side.
// The stored value without the range handling of StoreReal48: the same bits
// whenever the value lies inside the Real48 range.
template <bool Checked>
[[gnu::always_inline]] inline double Store(double x, uint64_t& overflow)
{
    if constexpr (Checked) {
        return nodebasis::StoreReal48(x, overflow);
    } else {
        // Round40 by Veltkamp's split, three floating-point operations that
        // stay in the vector unit's floating-point domain: the same
        // rounding to 40 bits, ties to even, for every normal value (and 0),
        // which is all this path sees.
        const double c = x * 8193.0;
        return c - (c - x);
    }
}

template <PowerKind K, bool Checked>
[[gnu::always_inline]] inline void Run(const NodeWarpNodes& nodes, const double* dy2, double py,
                                       int u0, int n, double* qx, double* qy, NodeWarpFlags& flags)
{
    double px[kNodeWarpRun];
    double sx[kNodeWarpRun];
    double sy[kNodeWarpRun];
    // Flags per pixel rather than one reduction: that is what vectorises.
    uint64_t undefined[kNodeWarpRun];
    uint64_t overflow[kNodeWarpRun];
    for (int k = 0; k < n; ++k) {
        px[k] = static_cast<double>(u0 + k) * nodes.Kx;
        sx[k] = 0.0;
        sy[k] = 0.0;
        undefined[k] = 0;
        overflow[k] = 0;
    }
    const nodebasis::Power pw = nodes.Power;
    for (int j = 0; j < nodes.N; ++j) {
        const double dxj = nodes.Dx[j];
        const double dyj2 = dy2[j];
        const double r2 = nodes.R2[j];
        const double wx = nodes.Wx[j];
        const double wy = nodes.Wy[j];
        for (int k = 0; k < n; ++k) {
            const double dx = px[k] - dxj;
            // Unchecked, a d below the Real48 range is not flushed to 0; with
            // r*r >= 2^-120 the sum s comes out the same either way.
            const double d = Store<Checked>(std::sqrt(dx * dx + dyj2), overflow[k]);
            const double s = d * d + r2;
            const double phi = Store<Checked>(nodebasis::RaiseTo<K, Checked>(pw, s, undefined[k]), overflow[k]);
            sx[k] += wx * phi;
            sy[k] += wy * phi;
        }
    }
    uint64_t anyUndefined = 0;
    uint64_t anyOverflow = 0;
    for (int k = 0; k < n; ++k) {
        qx[k] = px[k] + sx[k];
        qy[k] = py + sy[k];
        anyUndefined |= undefined[k];
        anyOverflow |= overflow[k];
    }
    flags.Undefined |= anyUndefined;
    flags.Overflow |= anyOverflow;
}

// The fast path for the general power when no range check is needed, for
// AVX2 and for AVX-512 (node_warp_general.inc, once per instruction set).
#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2 {
using V = __m256d;
using M = __m256d;
constexpr int kVectors = 8;
[[gnu::always_inline]] inline V VAdd(V a, V b) { return _mm256_add_pd(a, b); }
[[gnu::always_inline]] inline V VSub(V a, V b) { return _mm256_sub_pd(a, b); }
[[gnu::always_inline]] inline V VMul(V a, V b) { return _mm256_mul_pd(a, b); }
[[gnu::always_inline]] inline V VDiv(V a, V b) { return _mm256_div_pd(a, b); }
[[gnu::always_inline]] inline V VSqrt(V a) { return _mm256_sqrt_pd(a); }
[[gnu::always_inline]] inline V VSet(double x) { return _mm256_set1_pd(x); }
[[gnu::always_inline]] inline V VLoad(const double* p) { return _mm256_load_pd(p); }
[[gnu::always_inline]] inline void VStore(double* p, V v) { _mm256_store_pd(p, v); }
[[gnu::always_inline]] inline M VGreater(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
[[gnu::always_inline]] inline V VSelect(M mask, V a, V b) { return _mm256_blendv_pd(b, a, mask); }
// nodebasis::Round40 on each lane.
[[gnu::always_inline]] inline V VRound40(V x)
{
    __m256i b = _mm256_castpd_si256(x);
    const __m256i odd = _mm256_and_si256(_mm256_srli_epi64(b, 13), _mm256_set1_epi64x(1));
    b = _mm256_add_epi64(b, _mm256_add_epi64(_mm256_set1_epi64x(0xFFF), odd));
    return _mm256_castsi256_pd(_mm256_and_si256(b, _mm256_set1_epi64x(~int64_t{0x1FFF})));
}
// The biased exponent as a double (plus 2^52) and the mantissa in [1, 2).
[[gnu::always_inline]] inline void VLogSplit(V s, V& e, V& m)
{
    const __m256i b = _mm256_castpd_si256(s);
    e = _mm256_castsi256_pd(
        _mm256_or_si256(_mm256_srli_epi64(b, 52), _mm256_set1_epi64x(0x4330000000000000LL)));
    m = _mm256_castsi256_pd(_mm256_or_si256(_mm256_and_si256(b, _mm256_set1_epi64x(0x000FFFFFFFFFFFFFLL)),
                                            _mm256_set1_epi64x(0x3FF0000000000000LL)));
}
[[gnu::always_inline]] inline V VExpScale(V t)
{
    const __m256i kb = _mm256_add_epi64(
        _mm256_sub_epi64(_mm256_castpd_si256(t),
                         _mm256_set1_epi64x(static_cast<int64_t>(std::bit_cast<uint64_t>(0x1.8p52)))),
        _mm256_set1_epi64x(1023));
    return _mm256_castsi256_pd(_mm256_slli_epi64(kb, 52));
}
#include "node/node_warp_general.inc"
}  // namespace avx2
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f")
namespace avx512 {
using V = __m512d;
using M = __mmask8;
constexpr int kVectors = 8;
[[gnu::always_inline]] inline V VAdd(V a, V b) { return _mm512_add_pd(a, b); }
[[gnu::always_inline]] inline V VSub(V a, V b) { return _mm512_sub_pd(a, b); }
[[gnu::always_inline]] inline V VMul(V a, V b) { return _mm512_mul_pd(a, b); }
[[gnu::always_inline]] inline V VDiv(V a, V b) { return _mm512_div_pd(a, b); }
[[gnu::always_inline]] inline V VSqrt(V a) { return _mm512_sqrt_pd(a); }
[[gnu::always_inline]] inline V VSet(double x) { return _mm512_set1_pd(x); }
[[gnu::always_inline]] inline V VLoad(const double* p) { return _mm512_load_pd(p); }
[[gnu::always_inline]] inline void VStore(double* p, V v) { _mm512_store_pd(p, v); }
[[gnu::always_inline]] inline M VGreater(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
[[gnu::always_inline]] inline V VSelect(M mask, V a, V b) { return _mm512_mask_blend_pd(mask, b, a); }
[[gnu::always_inline]] inline V VRound40(V x)
{
    __m512i b = _mm512_castpd_si512(x);
    const __m512i odd = _mm512_and_si512(_mm512_srli_epi64(b, 13), _mm512_set1_epi64(1));
    b = _mm512_add_epi64(b, _mm512_add_epi64(_mm512_set1_epi64(0xFFF), odd));
    return _mm512_castsi512_pd(_mm512_and_si512(b, _mm512_set1_epi64(~int64_t{0x1FFF})));
}
[[gnu::always_inline]] inline void VLogSplit(V s, V& e, V& m)
{
    const __m512i b = _mm512_castpd_si512(s);
    e = _mm512_castsi512_pd(
        _mm512_or_si512(_mm512_srli_epi64(b, 52), _mm512_set1_epi64(0x4330000000000000LL)));
    m = _mm512_castsi512_pd(_mm512_or_si512(_mm512_and_si512(b, _mm512_set1_epi64(0x000FFFFFFFFFFFFFLL)),
                                            _mm512_set1_epi64(0x3FF0000000000000LL)));
}
[[gnu::always_inline]] inline V VExpScale(V t)
{
    const __m512i kb = _mm512_add_epi64(
        _mm512_sub_epi64(_mm512_castpd_si512(t),
                         _mm512_set1_epi64(static_cast<int64_t>(std::bit_cast<uint64_t>(0x1.8p52)))),
        _mm512_set1_epi64(1023));
    return _mm512_castsi512_pd(_mm512_slli_epi64(kb, 52));
}
#include "node/node_warp_general.inc"
}  // namespace avx512
#pragma GCC pop_options


// Built for AVX2 and for the baseline; the loader picks what the processor has.
// Neither clone contracts or reorders arithmetic, so both give the same bits.
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
void PlainSamplePositions(const NodeWarpNodes& nodes, const double* dy2, double py,
                          int u0, int n, double* qx, double* qy, NodeWarpFlags& flags)
{
    const bool checked = !nodes.InRange;
    switch (nodes.Power.Kind) {
    case PowerKind::InverseSquare:
        return checked ? Run<PowerKind::InverseSquare, true>(nodes, dy2, py, u0, n, qx, qy, flags)
                       : Run<PowerKind::InverseSquare, false>(nodes, dy2, py, u0, n, qx, qy, flags);
    case PowerKind::Square:
        return checked ? Run<PowerKind::Square, true>(nodes, dy2, py, u0, n, qx, qy, flags)
                       : Run<PowerKind::Square, false>(nodes, dy2, py, u0, n, qx, qy, flags);
    case PowerKind::InverseRoot:
        return checked ? Run<PowerKind::InverseRoot, true>(nodes, dy2, py, u0, n, qx, qy, flags)
                       : Run<PowerKind::InverseRoot, false>(nodes, dy2, py, u0, n, qx, qy, flags);
    case PowerKind::Root:
        return checked ? Run<PowerKind::Root, true>(nodes, dy2, py, u0, n, qx, qy, flags)
                       : Run<PowerKind::Root, false>(nodes, dy2, py, u0, n, qx, qy, flags);
    case PowerKind::One:
        return Run<PowerKind::One, true>(nodes, dy2, py, u0, n, qx, qy, flags);
    case PowerKind::Integral:
        return Run<PowerKind::Integral, true>(nodes, dy2, py, u0, n, qx, qy, flags);
    case PowerKind::General:
        return checked ? Run<PowerKind::General, true>(nodes, dy2, py, u0, n, qx, qy, flags)
                       : Run<PowerKind::General, false>(nodes, dy2, py, u0, n, qx, qy, flags);
    }
}

// What storing an interpolation between two bytes (a value in [0, 255])
// into a Real48 gives: rounded to 40 bits, 0 below the smallest Real48.
// Veltkamp's split rounds exactly so for normal values, and a subnormal one
// comes out below that limit either way.
inline double StoreBetweenBytes(double v)
{
    const double r = RoundReal48InRange(v);
    return r < 0x1p-128 ? 0.0 : r;
}

// Bilinear sample of the source at (qx, qr), qr counted from the bottom row;
// black outside the area where the 2 x 2 neighbourhood exists.
inline void Sample(const uint8_t* src, int rowBytes, int sw, int sh, double qx, double qy,
                   uint8_t* out)
{
    const double qr = static_cast<double>(sh - 1) - qy;
    if (!(qx >= 0.0 && qx < sw - 1 && qr >= 0.0 && qr < sh - 1)) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    const int x0 = static_cast<int>(qx);
    const int y0 = static_cast<int>(qr);
    const double fx = qx - x0;
    const double fy = qr - y0;
    const uint8_t* p00 = src + static_cast<ptrdiff_t>(y0) * rowBytes + 3 * x0;
    const uint8_t* p01 = p00 + rowBytes;
    for (int c = 0; c < 3; ++c) {
        const double a = StoreBetweenBytes(p00[c] + fx * (p00[3 + c] - p00[c]));
        const double b = StoreBetweenBytes(p01[c] + fx * (p01[3 + c] - p01[c]));
        // Between two values in [0, 255]: adding 2^52 rounds to nearest,
        // ties to even, as nearbyint does, without a library call.
        const double v = (a + fy * (b - a) + 0x1p52) - 0x1p52;
        out[c] = static_cast<uint8_t>(v < 0.0 ? 0.0 : (v > 255.0 ? 255.0 : v));
    }
}

// StoreBetweenBytes on each lane.
__attribute__((target("avx2"), always_inline)) inline __m256d StoreBetweenBytes(__m256d v)
{
    const __m256d c = _mm256_mul_pd(v, _mm256_set1_pd(8193.0));
    const __m256d r = _mm256_sub_pd(c, _mm256_sub_pd(c, v));
    return _mm256_and_pd(r, _mm256_cmp_pd(r, _mm256_set1_pd(0x1p-128), _CMP_GE_OQ));
}

// Sample for a run of output pixels with AVX2: the three channels of a
// pixel side by side, each through exactly Sample's operations.
__attribute__((target("avx2"))) void SampleRun(const uint8_t* src, int rowBytes, int sw, int sh,
                                               const double* qx, const double* qy, int count,
                                               uint8_t* out)
{
    // A pixel's three bytes, and its right neighbour's, from the bytes 0..3
    // and 2..5 of the pair, as 32-bit lanes (-1 gives 0).
    const __m128i left =
        _mm_setr_epi8(0, -1, -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, -1, -1, -1, -1);
    const __m128i right =
        _mm_setr_epi8(5, -1, -1, -1, 6, -1, -1, -1, 7, -1, -1, -1, -1, -1, -1, -1);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d big = _mm256_set1_pd(0x1p52);
    const __m256d most = _mm256_set1_pd(255.0);
    for (int k = 0; k < count; ++k, out += 3) {
        const double qr = static_cast<double>(sh - 1) - qy[k];
        const double x = qx[k];
        if (!(x >= 0.0 && x < sw - 1 && qr >= 0.0 && qr < sh - 1)) {
            out[0] = out[1] = out[2] = 0;
            continue;
        }
        const int x0 = static_cast<int>(x);
        const int y0 = static_cast<int>(qr);
        const __m256d fx = _mm256_set1_pd(x - x0);
        const __m256d fy = _mm256_set1_pd(qr - y0);
        const uint8_t* p00 = src + static_cast<ptrdiff_t>(y0) * rowBytes + 3 * x0;
        __m256d row[2];
        for (int r = 0; r < 2; ++r) {
            const uint8_t* p = p00 + r * rowBytes;
            int32_t first, second;
            std::memcpy(&first, p, 4);
            std::memcpy(&second, p + 2, 4);
            const __m128i bytes = _mm_insert_epi32(_mm_cvtsi32_si128(first), second, 1);
            const __m256d l = _mm256_cvtepi32_pd(_mm_shuffle_epi8(bytes, left));
            const __m256d rr = _mm256_cvtepi32_pd(_mm_shuffle_epi8(bytes, right));
            row[r] = StoreBetweenBytes(_mm256_add_pd(l, _mm256_mul_pd(fx, _mm256_sub_pd(rr, l))));
        }
        const __m256d a = row[0];
        const __m256d v0 = _mm256_add_pd(a, _mm256_mul_pd(fy, _mm256_sub_pd(row[1], a)));
        __m256d v = _mm256_sub_pd(_mm256_add_pd(v0, big), big);
        v = _mm256_min_pd(_mm256_max_pd(v, zero), most);
        const __m128i q = _mm256_cvttpd_epi32(v);
        const __m128i packed = _mm_packus_epi16(_mm_packus_epi32(q, q), q);
        const uint32_t bgr = static_cast<uint32_t>(_mm_cvtsi128_si32(packed));
        out[0] = static_cast<uint8_t>(bgr);
        out[1] = static_cast<uint8_t>(bgr >> 8);
        out[2] = static_cast<uint8_t>(bgr >> 16);
    }
}

}  // namespace

void NodeWarpSamplePositions(const NodeWarpNodes& nodes, const double* dy2, double py,
                             int u0, int n, double* qx, double* qy, NodeWarpFlags& flags)
{
    // Only the general power gains from the fast path: the others are bound
    // by the divider, which overlapping does not help. Taking the square root
    // off the divider (a float estimate refined by multiply-adds, checked
    // against the 40-bit rounding boundary) was measured too: on AVX2
    // machines with a fast divider it costs the multiply-add units as much
    // as it saves, so it is not done.
    if (nodes.InRange && nodes.Power.Kind == PowerKind::General) {
        if (CpuHasAvx512())
            return avx512::FastGeneralRun(nodes, dy2, py, u0, n, qx, qy);
        if (CpuHasAvx2())
            return avx2::FastGeneralRun(nodes, dy2, py, u0, n, qx, qy);
    }
    PlainSamplePositions(nodes, dy2, py, u0, n, qx, qy, flags);
}

void NodeWarpSamples(const uint8_t* src, int rowBytes, int sw, int sh, const double* qx,
                     const double* qy, int count, uint8_t* out)
{
    if (CpuHasAvx2())
        return SampleRun(src, rowBytes, sw, sh, qx, qy, count, out);
    NodeWarpSamplesPlain(src, rowBytes, sw, sh, qx, qy, count, out);
}

void NodeWarpSamplesPlain(const uint8_t* src, int rowBytes, int sw, int sh, const double* qx,
                          const double* qy, int count, uint8_t* out)
{
    for (int k = 0; k < count; ++k)
        Sample(src, rowBytes, sw, sh, qx[k], qy[k], out + 3 * k);
}
