#include "node/node_warp_fast.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>

// GCC 12 takes the undefined pass-through operand inside the AVX-512
// intrinsics for an uninitialised variable.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include "images/cpu_features.h"

// The bound, and why the pictures stay the same.
//
// Notation. u = 2^-53 (double) and f = 2^-24 (float) are the unit roundoffs;
// every operation below is correctly rounded, so fl(a op b) = (a op b)(1 + d)
// with |d| <= u or f. For one output pixel (column i) and node j the plain
// warp works on px = i * Kx, py, Dx_j, Dy_j, R2_j = fl(r_j * r_j) and the
// weights w_j (all doubles). Let X = px - Dx_j and Y = py - Dy_j exactly,
// S = X^2 + Y^2 + R2_j, Phi = S^mi, Q = px + sum_j w_j Phi_j (real numbers)
// and A = sum_j max(|wx_j|, |wy_j|) Phi_j; likewise for y.
//
// 1. The plain evaluation is within Ke A + u |q| of Q, Ke = 2^-37.8. Its d is
//    sqrt(X^2 + Y^2)(1 + e), |e| <= 3.01u + 2^-40 (a difference and a square
//    each way, their sum, the square root, the Real48 store), so with
//    d * d + R2_j, s = S(1 + z), |z| <= 2^-39 + 8.1u. Phi comes out as
//    S^mi (1 + l), |l| <= |mi| |z| + 2u + 2^-40 <= 2^-38.3 for the four
//    special exponents (|mi| <= 1: division or square root, the store). The
//    products and the sum of at most 100 terms in double add (N + 1) u A
//    <= 2^-46 A, and px + sum one rounding, u |q|.
//
// 2. mi = -1 and -0.5 in floats, within Kf A + u |q| of Q. Ph + Pl = px and
//    Dh + Dl = Dx up to 2^-48 |px| and 2^-48 |Dx|; x = (Ph - Dh) + (Pl - Dl)
//    is X (1 + g) + a with |g| <= 2.01 f and |a| <= 2^-46.8 (|px| + |Dx|)
//    <= 2^-30 (coordinates below 2^15). c_j = float(fl(dy^2 + R2_j)) is
//    C (1 + 4u + f) with C = Y^2 + R2_j >= R2_j >= 2^-8, and the fused
//    s = fl(x x + c) is S (1 + t) with
//        |t| <= 2|g| + f + f + 2|a| |X| / (X^2 + C)
//            <= 4.02f + 2f + |a| / sqrt(C) <= 6.3f.
//    The basis value from s:
//      mi = -1:   r0 = rcp(s) (1 + e0), |e0| <= 1.5 * 2^-12 (2^-14 for the
//                 AVX-512 estimate); e = fl(1 - s r0) = -e0 (1 + d1);
//                 r1 = fl(r0 + r0 e) = (1/s)(1 - e0^2 - e0 d1 (1 + e0))(1 + d2),
//                 within 3.3f of 1/s; with t, within 9.6f of 1/S.
//      mi = -0.5: y0 = rsqrt(s)(1 + e0); h = fl(1 - fl(s y0) y0) = -2e0 - e0^2
//                 - (1 + e0)^2 d1 up to 2^-34; y1 = fl(y0 + y0 (h / 2)) is
//                 rsqrt(s)(1 - 1.5 e0^2 - (1 + e0)^3 d1 / 2 + ...)(1 + d2),
//                 within 4.9f of s^-1/2; with t / 2, within 8.1f.
//    So each float term w_f phi is w Phi (1 + p), |p| <= 10.7f (the weight's
//    own rounding f included). The terms are summed with fused multiply-adds
//    in blocks of B = 8 nodes, each block's partial sums off by at most B f of
//    the block's sum of |terms|; the block sums go into a double sum (exact
//    conversion, at most 13 additions: 2^-49 A). In all
//    Kf = (10.7 + 8) f (1 + 2^-20) < 2^-19.77.
//
// 3. mi = 0.5 and 1 in doubles: their sums cancel (basis values grow with the
//    distance while the displacement stays small), so that A is far larger
//    than |q| and float terms would leave too wide a bound. dx = fl(px - Dx),
//    s = fl(dx dx + fl(dy^2 + R2_j)) (no square root for d) is S(1 + t),
//    |t| <= 7.1u. mi = 1: phi = s. mi = 0.5: y from the 2^-14 estimate and
//    two Newton steps as above is within 1.5 (1.5 * 2^-28)^2 + 2.1u of
//    s^-1/2 (2.6u), phi = fl(s y) within 3.6u of sqrt(s), 7.2u of sqrt(S).
//    The terms go into double sums with fused multiply-adds: (N + 7.2) u A.
//    In all Kd <= 108u < 2^-46.2, and Ke + Kd < 2^-37.7: K = 2^-37.
//
// 4. The bound computed per pixel. A_f, the float sum of fl(wa_f phi) with
//    wa_f = float(max(|wx|, |wy|)), is at least A (1 - 2^-16) (100 positive
//    terms: 100 f for the sum, 11.7f for each term); in doubles at least
//    A (1 - 2^-45). Float results below the normal range lose at most 2^-149
//    each, weights below it at most 2^-150 times a basis value of at most
//    2^8: below 2^-130 for a pixel, inside the 2^-90 added; weights times
//    basis values below 2^100 keep every float finite. So
//        |q_fast - q_plain| <= K A_f + 2u |q| + 2^-90,  K = 2^-19.7 (floats)
//    and err = K A_f + 2^-90; the check adds 2^-50 |q| (twice 2u |q| and the
//    rounding of q +- the bound). With every weight 0 the plain sums are
//    +0 exactly, the positions px and py themselves: err = 0.
//
// 5. The bytes. Inside a source cell (x0, y0 fixed) the plain sample is
//    round(v) with v = a + fy (b - a), a and b the stored horizontal
//    interpolations. Against the real bilinear value V, |v - V| <= 2^-31.9
//    (Real48 stores of values below 256: 2^-32, double roundings: 2^-43).
//    V changes by at most Gx |dfx| + Gy |dfy|, with Gx and Gy the largest
//    horizontal and vertical byte differences of the cell in that channel.
//    If the whole box of positions within the bound lies in one cell inside
//    the source (or wholly outside it, black either way), fx and fy differ by
//    at most the bound in x and in y (qr = fl(sh - 1 - qy) adds 2u sh), and
//    if the value at the fast position (v itself, or without the stores:
//    2^-31.9 more) is farther than Gx ex + Gy ey + 2^-29 from every
//    half-integer, the plain value rounds to the same byte. Those pixels are
//    safe; every other pixel is computed again the plain way.
//
// Ranges the proof needs (PrepareNodeWarpFast checks them, and the plain
// warp's own range test, so that no value of the plain evaluation is
// flushed or overflows): every r_j^2 >= 2^-8 and <= 2^40, coordinates and
// target nodes below 2^15 in magnitude, weights times the largest basis
// value below 2^100, and one of the four special exponents.

namespace {

using nodebasis::PowerKind;

bool FastWanted = true;

constexpr int kBlock = 8;                // nodes summed in float before the double sum
constexpr double kRelative = 0x1.4p-20;  // K: 1.25 * 2^-20 > 2^-19.7
constexpr double kAbsolute = 0x1p-90;
constexpr double kRelativeDouble = 0x1p-37;  // K of the doubles
constexpr int kLanes = 16;               // floats of an AVX-512 register
constexpr int kVectors = 2;              // registers of pixels going through the nodes together
constexpr int kPass = kLanes * kVectors;

#define QV_512 __attribute__((target("avx512f,fma"), always_inline)) inline

// The basis value of the kind from s, as in the proof.
template <PowerKind K>
QV_512 __m512 Basis(__m512 s)
{
    const __m512 one = _mm512_set1_ps(1.0f);
    if constexpr (K == PowerKind::InverseSquare) {
        const __m512 r0 = _mm512_rcp14_ps(s);
        const __m512 e = _mm512_fnmadd_ps(s, r0, one);
        return _mm512_fmadd_ps(r0, e, r0);
    } else if constexpr (K == PowerKind::Square) {
        return s;
    } else {
        const __m512 y0 = _mm512_rsqrt14_ps(s);
        const __m512 h = _mm512_fnmadd_ps(_mm512_mul_ps(s, y0), y0, one);
        const __m512 y1 = _mm512_fmadd_ps(y0, _mm512_mul_ps(h, _mm512_set1_ps(0.5f)), y0);
        if constexpr (K == PowerKind::InverseRoot)
            return y1;
        else
            return _mm512_mul_ps(s, y1);
    }
}

// Adds the 16 floats of v to the 16 doubles lo (lanes 0-7) and hi (8-15).
QV_512 void AddToDoubles(__m512 v, __m512d& lo, __m512d& hi)
{
    lo = _mm512_add_pd(lo, _mm512_cvtps_pd(_mm512_castps512_ps256(v)));
    hi = _mm512_add_pd(hi, _mm512_cvtps_pd(_mm256_castpd_ps(
                               _mm512_extractf64x4_pd(_mm512_castps_pd(v), 1))));
}

template <PowerKind K>
__attribute__((target("avx512f,fma"))) void Positions(const NodeWarpFast& f, const float* c,
                                                        double py, int u0, int n, double* qx,
                                                        double* qy, double* err)
{
    for (int k0 = 0; k0 < n; k0 += kPass) {
        __m512 ph[kVectors], pl[kVectors], sx[kVectors], sy[kVectors], sa[kVectors];
        __m512d dx[2 * kVectors], dy[2 * kVectors];
        for (int v = 0; v < kVectors; ++v) {
            ph[v] = _mm512_loadu_ps(f.Ph.data() + u0 + k0 + kLanes * v);
            pl[v] = _mm512_loadu_ps(f.Pl.data() + u0 + k0 + kLanes * v);
            sa[v] = _mm512_setzero_ps();
            dx[2 * v] = dx[2 * v + 1] = dy[2 * v] = dy[2 * v + 1] = _mm512_setzero_pd();
        }
        for (int j0 = 0; j0 < f.N; j0 += kBlock) {
            for (int v = 0; v < kVectors; ++v)
                sx[v] = sy[v] = _mm512_setzero_ps();
            const int j1 = j0 + kBlock < f.N ? j0 + kBlock : f.N;
            for (int j = j0; j < j1; ++j) {
                const __m512 dh = _mm512_set1_ps(f.Dh[j]);
                const __m512 dl = _mm512_set1_ps(f.Dl[j]);
                const __m512 cj = _mm512_set1_ps(c[j]);
                const __m512 wx = _mm512_set1_ps(f.Wx[j]);
                const __m512 wy = _mm512_set1_ps(f.Wy[j]);
                const __m512 wa = _mm512_set1_ps(f.Wa[j]);
                for (int v = 0; v < kVectors; ++v) {
                    const __m512 x = _mm512_add_ps(_mm512_sub_ps(ph[v], dh), _mm512_sub_ps(pl[v], dl));
                    const __m512 phi = Basis<K>(_mm512_fmadd_ps(x, x, cj));
                    sx[v] = _mm512_fmadd_ps(wx, phi, sx[v]);
                    sy[v] = _mm512_fmadd_ps(wy, phi, sy[v]);
                    sa[v] = _mm512_fmadd_ps(wa, phi, sa[v]);
                }
            }
            for (int v = 0; v < kVectors; ++v) {
                AddToDoubles(sx[v], dx[2 * v], dx[2 * v + 1]);
                AddToDoubles(sy[v], dy[2 * v], dy[2 * v + 1]);
            }
        }
        alignas(64) double bx[kPass], by[kPass];
        alignas(64) float ba[kPass];
        for (int v = 0; v < kVectors; ++v) {
            _mm512_store_pd(bx + kLanes * v, dx[2 * v]);
            _mm512_store_pd(bx + kLanes * v + 8, dx[2 * v + 1]);
            _mm512_store_pd(by + kLanes * v, dy[2 * v]);
            _mm512_store_pd(by + kLanes * v + 8, dy[2 * v + 1]);
            _mm512_store_ps(ba + kLanes * v, sa[v]);
        }
        const int count = n - k0 < kPass ? n - k0 : kPass;
        for (int k = 0; k < count; ++k) {
            // px exactly as the plain evaluation has it.
            const double px = static_cast<double>(u0 + k0 + k) * f.Kx;
            qx[k0 + k] = px + bx[k];
            qy[k0 + k] = py + by[k];
            err[k0 + k] = kRelative * static_cast<double>(ba[k]) + kAbsolute;
        }
    }
}

// The positive exponents in double: their sums cancel (basis values grow
// with the distance while the displacement stays small), so float sums are
// too coarse for them. No square root is taken for d (s = dx^2 + dy^2 + r^2
// directly), and the square root of s for mi = 0.5 comes from an estimate
// and two Newton steps.
template <PowerKind K>
QV_512 __m512d BasisDouble(__m512d s)
{
    if constexpr (K == PowerKind::Square) {
        return s;
    } else {
        const __m512d one = _mm512_set1_pd(1.0);
        const __m512d half = _mm512_set1_pd(0.5);
        __m512d y = _mm512_rsqrt14_pd(s);
        for (int step = 0; step < 2; ++step) {
            const __m512d h = _mm512_fnmadd_pd(_mm512_mul_pd(s, y), y, one);
            y = _mm512_fmadd_pd(y, _mm512_mul_pd(h, half), y);
        }
        return _mm512_mul_pd(s, y);
    }
}

constexpr int kDoubleVectors = 4;
constexpr int kDoublePass = 8 * kDoubleVectors;

template <PowerKind K>
__attribute__((target("avx512f,fma"))) void DoublePositions(const NodeWarpFast& f,
                                                              const double* c, double py, int u0,
                                                              int n, double* qx, double* qy,
                                                              double* err)
{
    for (int k0 = 0; k0 < n; k0 += kDoublePass) {
        alignas(64) double lanes[kDoublePass];
        for (int k = 0; k < kDoublePass; ++k)
            lanes[k] = static_cast<double>(u0 + k0 + k) * f.Kx;
        __m512d px[kDoubleVectors], sx[kDoubleVectors], sy[kDoubleVectors], sa[kDoubleVectors];
        for (int v = 0; v < kDoubleVectors; ++v) {
            px[v] = _mm512_load_pd(lanes + 8 * v);
            sx[v] = sy[v] = sa[v] = _mm512_setzero_pd();
        }
        for (int j = 0; j < f.N; ++j) {
            const __m512d dxj = _mm512_set1_pd(f.DxD[j]);
            const __m512d cj = _mm512_set1_pd(c[j]);
            const __m512d wx = _mm512_set1_pd(f.WxD[j]);
            const __m512d wy = _mm512_set1_pd(f.WyD[j]);
            const __m512d wa = _mm512_set1_pd(f.WaD[j]);
            for (int v = 0; v < kDoubleVectors; ++v) {
                const __m512d dx = _mm512_sub_pd(px[v], dxj);
                const __m512d phi = BasisDouble<K>(_mm512_fmadd_pd(dx, dx, cj));
                sx[v] = _mm512_fmadd_pd(wx, phi, sx[v]);
                sy[v] = _mm512_fmadd_pd(wy, phi, sy[v]);
                sa[v] = _mm512_fmadd_pd(wa, phi, sa[v]);
            }
        }
        alignas(64) double bx[kDoublePass], by[kDoublePass], ba[kDoublePass];
        for (int v = 0; v < kDoubleVectors; ++v) {
            _mm512_store_pd(bx + 8 * v, _mm512_add_pd(px[v], sx[v]));
            _mm512_store_pd(by + 8 * v, _mm512_add_pd(_mm512_set1_pd(py), sy[v]));
            _mm512_store_pd(ba + 8 * v, sa[v]);
        }
        const int count = n - k0 < kDoublePass ? n - k0 : kDoublePass;
        for (int k = 0; k < count; ++k) {
            qx[k0 + k] = bx[k];
            qy[k0 + k] = by[k];
            err[k0 + k] = kRelativeDouble * ba[k] + kAbsolute;
        }
    }
}

// NodeWarpSamplesPlain and NodeWarpSafeSamples together for eight pixels
// at a time: the bytes come from exactly the operations of the plain
// sample (no contraction, the same Real48 stores and rounding), the check is
// the one of NodeWarpSafeSamples on the same values.
QV_512 __m512d Store40(__m512d v)
{
    const __m512d c = _mm512_mul_pd(v, _mm512_set1_pd(8193.0));
    const __m512d r = _mm512_sub_pd(c, _mm512_sub_pd(c, v));
    return _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(r, _mm512_set1_pd(0x1p-128), _CMP_GE_OQ), r);
}

QV_512 __m512d Byte(__m256i word, int shift)
{
    return _mm512_cvtepi32_pd(
        _mm256_and_si256(_mm256_srli_epi32(word, shift), _mm256_set1_epi32(0xFF)));
}

QV_512 __m512d Abs(__m512d v) { return _mm512_abs_pd(v); }

__attribute__((target("avx512f,avx512vl,avx512dq,fma"))) void SampleRunChecked(
    const uint8_t* src, int rowBytes, int sw, int sh, const double* qx, const double* qy,
    const double* err, int count, uint8_t* out, uint8_t* safe)
{
    const __m512d right = _mm512_set1_pd(sw - 1);
    const __m512d top = _mm512_set1_pd(sh - 1);
    const __m512d zero = _mm512_setzero_pd();
    const __m512d tiny = _mm512_set1_pd(0x1p-50);
    const __m512d big = _mm512_set1_pd(0x1p52);
    const __m512d most = _mm512_set1_pd(255.0);
    const __m512d half = _mm512_set1_pd(0.5);
    const __m512d slack = _mm512_set1_pd(0x1p-29);
    const __m512d height = _mm512_set1_pd(sh);
    for (int k0 = 0; k0 < count; k0 += 8) {
        const int lanes = count - k0 < 8 ? count - k0 : 8;
        const __mmask8 live = static_cast<__mmask8>((1u << lanes) - 1);
        const __m512d x = _mm512_maskz_loadu_pd(live, qx + k0);
        const __m512d y = _mm512_maskz_loadu_pd(live, qy + k0);
        const __m512d e = _mm512_maskz_loadu_pd(live, err + k0);
        const __m512d qr = _mm512_sub_pd(top, y);
        // The plain sample's range test, and its cell.
        const __mmask8 inside = _mm512_cmp_pd_mask(x, zero, _CMP_GE_OQ) &
                                _mm512_cmp_pd_mask(x, right, _CMP_LT_OQ) &
                                _mm512_cmp_pd_mask(qr, zero, _CMP_GE_OQ) &
                                _mm512_cmp_pd_mask(qr, top, _CMP_LT_OQ) & live;
        const __m512d xs = _mm512_maskz_mov_pd(inside, x);
        const __m512d rs = _mm512_maskz_mov_pd(inside, qr);
        const __m256i x0 = _mm512_cvttpd_epi32(xs);
        const __m256i y0 = _mm512_cvttpd_epi32(rs);
        const __m512d fx = _mm512_sub_pd(xs, _mm512_cvtepi32_pd(x0));
        const __m512d fy = _mm512_sub_pd(rs, _mm512_cvtepi32_pd(y0));
        const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(y0, _mm256_set1_epi32(rowBytes)),
                                            _mm256_mullo_epi32(x0, _mm256_set1_epi32(3)));
        const __m256i at2 = _mm256_add_epi32(at, _mm256_set1_epi32(rowBytes));
        const __m256i none = _mm256_setzero_si256();
        const __mmask8 in8 = inside;
        // Bytes 0..3 and 2..5 of the two pixels of each row, as the plain
        // sample reads them.
        const __m256i lo0 = _mm256_mmask_i32gather_epi32(none, in8, at, src, 1);
        const __m256i hi0 = _mm256_mmask_i32gather_epi32(none, in8, _mm256_add_epi32(at, _mm256_set1_epi32(2)), src, 1);
        const __m256i lo1 = _mm256_mmask_i32gather_epi32(none, in8, at2, src, 1);
        const __m256i hi1 = _mm256_mmask_i32gather_epi32(none, in8, _mm256_add_epi32(at2, _mm256_set1_epi32(2)), src, 1);

        // The bound of the check.
        const __m512d ex = _mm512_add_pd(e, _mm512_mul_pd(tiny, Abs(x)));
        const __m512d ey = _mm512_add_pd(e, _mm512_mul_pd(tiny, _mm512_add_pd(Abs(y), height)));
        const __m512d xlo = _mm512_sub_pd(x, ex), xhi = _mm512_add_pd(x, ex);
        const __m512d rlo = _mm512_sub_pd(qr, ey), rhi = _mm512_add_pd(qr, ey);
        const __mmask8 outside = _mm512_cmp_pd_mask(xhi, zero, _CMP_LT_OQ) |
                                 _mm512_cmp_pd_mask(xlo, right, _CMP_GE_OQ) |
                                 _mm512_cmp_pd_mask(rhi, zero, _CMP_LT_OQ) |
                                 _mm512_cmp_pd_mask(rlo, top, _CMP_GE_OQ);
        const __mmask8 boxInside = _mm512_cmp_pd_mask(xlo, zero, _CMP_GE_OQ) &
                                   _mm512_cmp_pd_mask(xhi, right, _CMP_LT_OQ) &
                                   _mm512_cmp_pd_mask(rlo, zero, _CMP_GE_OQ) &
                                   _mm512_cmp_pd_mask(rhi, top, _CMP_LT_OQ);
        const __mmask8 oneCell =
            _mm256_cmpeq_epi32_mask(_mm512_cvttpd_epi32(_mm512_maskz_mov_pd(boxInside, xlo)),
                                    _mm512_cvttpd_epi32(_mm512_maskz_mov_pd(boxInside, xhi))) &
            _mm256_cmpeq_epi32_mask(_mm512_cvttpd_epi32(_mm512_maskz_mov_pd(boxInside, rlo)),
                                    _mm512_cvttpd_epi32(_mm512_maskz_mov_pd(boxInside, rhi)));
        __mmask8 ok = boxInside & oneCell & inside;

        alignas(32) int32_t bytes[3][8];
        for (int c = 0; c < 3; ++c) {
            const __m512d p00 = Byte(lo0, 8 * c);
            const __m512d p01 = Byte(lo1, 8 * c);
            // Channel c of the right pixel is byte 3 + c of the pair.
            const __m512d p10 = c == 0 ? Byte(lo0, 24) : Byte(hi0, 8 * (c + 1));
            const __m512d p11 = c == 0 ? Byte(lo1, 24) : Byte(hi1, 8 * (c + 1));
            const __m512d d0 = _mm512_sub_pd(p10, p00);
            const __m512d d1 = _mm512_sub_pd(p11, p01);
            const __m512d a = Store40(_mm512_add_pd(p00, _mm512_mul_pd(fx, d0)));
            const __m512d b = Store40(_mm512_add_pd(p01, _mm512_mul_pd(fx, d1)));
            const __m512d v0 = _mm512_add_pd(a, _mm512_mul_pd(fy, _mm512_sub_pd(b, a)));
            __m512d v = _mm512_sub_pd(_mm512_add_pd(v0, big), big);
            v = _mm512_min_pd(_mm512_max_pd(v, zero), most);
            v = _mm512_maskz_mov_pd(inside, v);
            _mm256_store_si256(reinterpret_cast<__m256i*>(bytes[c]), _mm512_cvttpd_epi32(v));
            // The check: v0 farther than the margin from every half-integer.
            const __m512d gx = _mm512_max_pd(Abs(d0), Abs(d1));
            const __m512d gy = _mm512_max_pd(Abs(_mm512_sub_pd(p01, p00)), Abs(_mm512_sub_pd(p11, p10)));
            const __m512d margin =
                _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(gx, ex), _mm512_mul_pd(gy, ey)), slack);
            const __m512d t = Abs(_mm512_sub_pd(_mm512_sub_pd(v0, _mm512_roundscale_pd(v0, 1)), half));
            ok &= _mm512_cmp_pd_mask(t, margin, _CMP_GT_OQ);
        }
        const __mmask8 good = (ok | (outside & live)) | _mm512_cmp_pd_mask(e, zero, _CMP_EQ_OQ);
        for (int k = 0; k < lanes; ++k) {
            uint8_t* o = out + 3 * (k0 + k);
            o[0] = static_cast<uint8_t>(bytes[0][k]);
            o[1] = static_cast<uint8_t>(bytes[1][k]);
            o[2] = static_cast<uint8_t>(bytes[2][k]);
            safe[k0 + k] = (good >> k) & 1;
        }
    }
}

#undef QV_512

// The largest basis value for s in [sMin, sMax].
double LargestBasis(PowerKind kind, double sMin, double sMax)
{
    switch (kind) {
    case PowerKind::InverseSquare: return 1.0 / sMin;
    case PowerKind::InverseRoot: return 1.0 / std::sqrt(sMin);
    case PowerKind::Root: return std::sqrt(sMax);
    default: return sMax;
    }
}

}  // namespace

void SetFastNodeWarp(bool on) { FastWanted = on; }

void PrepareNodeWarpFast(const NodeWarpNodes& nodes, int ow, int sw, int sh, NodeWarpFast& fast)
{
    fast.Usable = false;
    const PowerKind kind = nodes.Power.Kind;
    if (!FastWanted || !CpuHasAvx512() || !nodes.InRange || nodes.N < 1 ||
        !(kind == PowerKind::InverseSquare || kind == PowerKind::InverseRoot ||
          kind == PowerKind::Root || kind == PowerKind::Square))
        return;
    constexpr double kCoordinateLimit = 0x1p15;
    if (sw > kCoordinateLimit || sh > kCoordinateLimit || ow < 1)
        return;
    double r2Min = HUGE_VAL, r2Max = 0.0, wMax = 0.0;
    for (int j = 0; j < nodes.N; ++j) {
        if (!(std::fabs(nodes.Dx[j]) < kCoordinateLimit && std::fabs(nodes.Dy[j]) < kCoordinateLimit))
            return;
        r2Min = std::fmin(r2Min, nodes.R2[j]);
        r2Max = std::fmax(r2Max, nodes.R2[j]);
        wMax = std::fmax(wMax, std::fmax(std::fabs(nodes.Wx[j]), std::fabs(nodes.Wy[j])));
    }
    if (!(r2Min >= 0x1p-8 && r2Max <= 0x1p40))
        return;
    // |X|, |Y| < 2^16, so s < 2^33 + 2^40.
    const double sMax = 0x1p33 + r2Max;
    if (!(wMax * LargestBasis(kind, r2Min, sMax) < 0x1p100))
        return;

    fast.N = nodes.N;
    fast.Kind = kind;
    fast.Exact = wMax == 0.0;
    fast.Kx = nodes.Kx;
    for (int j = 0; j < nodes.N; ++j) {
        fast.Dh[j] = static_cast<float>(nodes.Dx[j]);
        fast.Dl[j] = static_cast<float>(nodes.Dx[j] - fast.Dh[j]);
        fast.Wx[j] = static_cast<float>(nodes.Wx[j]);
        fast.Wy[j] = static_cast<float>(nodes.Wy[j]);
        fast.Wa[j] = static_cast<float>(std::fmax(std::fabs(nodes.Wx[j]), std::fabs(nodes.Wy[j])));
        fast.DxD[j] = nodes.Dx[j];
        fast.WxD[j] = nodes.Wx[j];
        fast.WyD[j] = nodes.Wy[j];
        fast.WaD[j] = std::fmax(std::fabs(nodes.Wx[j]), std::fabs(nodes.Wy[j]));
    }
    const size_t padded = static_cast<size_t>(ow) + kPass;
    fast.Ph.assign(padded, 0.0f);
    fast.Pl.assign(padded, 0.0f);
    for (int u = 0; u < ow; ++u) {
        const double px = static_cast<double>(u) * nodes.Kx;
        fast.Ph[u] = static_cast<float>(px);
        fast.Pl[u] = static_cast<float>(px - fast.Ph[u]);
    }
    fast.Usable = true;
}

void NodeWarpFastPositions(const NodeWarpFast& fast, const float* c, const double* cd, double py,
                           int u0, int n, double* qx, double* qy, double* err)
{
    if (fast.Exact) {
        // The plain sums are w * phi = +0 for every node (phi finite), so
        // its positions are px + 0 and py + 0 exactly.
        for (int k = 0; k < n; ++k) {
            qx[k] = static_cast<double>(u0 + k) * fast.Kx;
            qy[k] = py;
            err[k] = 0.0;
        }
        return;
    }
    switch (fast.Kind) {
    case PowerKind::InverseSquare:
        return Positions<PowerKind::InverseSquare>(fast, c, py, u0, n, qx, qy, err);
    case PowerKind::InverseRoot:
        return Positions<PowerKind::InverseRoot>(fast, c, py, u0, n, qx, qy, err);
    case PowerKind::Root: return DoublePositions<PowerKind::Root>(fast, cd, py, u0, n, qx, qy, err);
    default: return DoublePositions<PowerKind::Square>(fast, cd, py, u0, n, qx, qy, err);
    }
}

__attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
void NodeWarpSafeSamples(const uint8_t* src, int rowBytes, int sw, int sh, const double* qx,
                         const double* qy, const double* err, int count, uint8_t* safe)
{
    const double right = sw - 1;
    const double top = sh - 1;
    for (int k = 0; k < count; ++k) {
        if (err[k] == 0.0) {  // the plain position itself
            safe[k] = 1;
            continue;
        }
        const double x = qx[k];
        const double qr = top - qy[k];
        const double ex = err[k] + 0x1p-50 * std::fabs(x);
        const double ey = err[k] + 0x1p-50 * (std::fabs(qy[k]) + sh);
        const double xlo = x - ex, xhi = x + ex, rlo = qr - ey, rhi = qr + ey;
        // Wholly outside the area with a 2 x 2 neighbourhood: black either way.
        if (xhi < 0.0 || xlo >= right || rhi < 0.0 || rlo >= top) {
            safe[k] = 1;
            continue;
        }
        safe[k] = 0;
        if (!(xlo >= 0.0 && xhi < right && rlo >= 0.0 && rhi < top))
            continue;  // across the edge of that area (or not a number)
        const int x0 = static_cast<int>(xlo);
        const int y0 = static_cast<int>(rlo);
        if (static_cast<int>(xhi) != x0 || static_cast<int>(rhi) != y0)
            continue;  // across a cell edge
        const double fx = x - x0;
        const double fy = qr - y0;
        const uint8_t* p00 = src + static_cast<std::ptrdiff_t>(y0) * rowBytes + 3 * x0;
        const uint8_t* p01 = p00 + rowBytes;
        bool ok = true;
        for (int c = 0; c < 3; ++c) {
            const int v00 = p00[c], v10 = p00[3 + c], v01 = p01[c], v11 = p01[3 + c];
            const double a = v00 + fx * (v10 - v00);
            const double b = v01 + fx * (v11 - v01);
            const double v = a + fy * (b - a);
            const int gx = std::max(std::abs(v10 - v00), std::abs(v11 - v01));
            const int gy = std::max(std::abs(v01 - v00), std::abs(v11 - v10));
            const double margin = gx * ex + gy * ey + 0x1p-29;
            // v >= 0, so the conversion cuts to the floor.
            ok &= std::fabs(v - static_cast<int>(v) - 0.5) > margin;
        }
        safe[k] = ok;
    }
}

void NodeWarpFastSamples(const uint8_t* src, int rowBytes, int sw, int sh, const double* qx,
                         const double* qy, const double* err, int count, uint8_t* out,
                         uint8_t* safe)
{
    if (CpuHasAvx512()) {
        SampleRunChecked(src, rowBytes, sw, sh, qx, qy, err, count, out, safe);
        return;
    }
    NodeWarpSamplesPlain(src, rowBytes, sw, sh, qx, qy, count, out);
    NodeWarpSafeSamples(src, rowBytes, sw, sh, qx, qy, err, count, safe);
}
