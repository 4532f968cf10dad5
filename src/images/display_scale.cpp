#include "images/display_scale.h"

#include <cmath>
#include <cstring>
#include <algorithm>
#include <system_error>
#include <thread>

// Normal and high quality are computed in exact integer arithmetic: every
// edge position k * m / n is held as the integer k * m (in units of 1 / n),
// so weights, sums and the tests "d = 0" are exact, and the final division
// truncates or rounds (to even) the exact rational value. Doubles would put
// a few results one unit low after truncation (a sum of 255 coming out as
// 254.99999) and could leave the last target pixel of a line unwritten.

namespace {

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
void FinishRow(const uint32_t* sums, uint8_t* out, size_t count, uint32_t divisor)
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
            q += static_cast<int32_t>(2 * r > D) | (static_cast<int32_t>(2 * r == D) & (q & 1));
        out[i] = static_cast<uint8_t>(q);
    }
}

void FinishRow(const uint32_t* sums, uint8_t* out, size_t count, uint64_t divisor, bool round)
{
    if (round)
        FinishRow<true>(sums, out, count, static_cast<uint32_t>(divisor));
    else
        FinishRow<false>(sums, out, count, static_cast<uint32_t>(divisor));
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

// Speed layer: runs fn(begin, end) over bands of [0, count) on up to four
// threads and waits for all of them. Each band writes only its own rows, so
// the result is the same as one call over everything. Small jobs stay on the
// calling thread.
template <class Fn>
void ForBands(int32_t count, size_t bytesPerItem, const Fn& fn)
{
    constexpr size_t kMinBytesPerBand = size_t(1) << 20;
    const unsigned cores = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    const size_t total = static_cast<size_t>(count) * bytesPerItem;
    const unsigned bands = static_cast<unsigned>(
        std::min<size_t>(cores, std::max<size_t>(1, total / kMinBytesPerBand)));
    if (bands <= 1 || count < 2) {
        fn(0, count);
        return;
    }
    std::vector<std::thread> workers;
    for (unsigned b = 1; b < bands; ++b) {
        const int32_t begin = static_cast<int32_t>(int64_t(count) * b / bands);
        const int32_t end = static_cast<int32_t>(int64_t(count) * (b + 1) / bands);
        try {
            workers.emplace_back([&fn, begin, end] { fn(begin, end); });
        } catch (const std::system_error&) {
            fn(begin, end);  // no thread to be had: do the band here
        }
    }
    fn(0, static_cast<int32_t>(count / bands));
    for (auto& w : workers)
        w.join();
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
    ForBands(height, 3 * static_cast<size_t>(sourceWidth), [&](int32_t rowBegin, int32_t rowEnd) {
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
    const size_t tapsPerRow = plan.Taps.empty() ? 1 : plan.Taps.back().First / plan.Taps.size() + 2;
    ForBands(rows, bytes * tapsPerRow, [&](int32_t rowBegin, int32_t rowEnd) {
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

void HorizontalPass(const uint8_t* src, int32_t srcRowBytes, uint8_t* dst, int32_t dstRowBytes,
                    int32_t sourceWidth, int32_t height, const LinePlan& plan)
{
    if (plan.Divisor <= kMaxFastDivisor)
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
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(dst + static_cast<size_t>(y) * dstRowBytes,
                    src + static_cast<size_t>(y) * srcRowBytes, rowLength);
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
        for (int32_t y = 0; y < th; ++y) {
            uint8_t* d = dst + static_cast<size_t>(y) * target.RowBytes;
            if (y > 0 && rows[y] == rows[y - 1]) {
                // Same source row as the target row below: repeat it.
                std::memcpy(d, d - target.RowBytes, rowLength);
                continue;
            }
            const uint8_t* s = src + static_cast<size_t>(rows[y]) * source.RowBytes;
            for (int32_t x = 0; x < tw; ++x, d += 3) {
                const uint8_t* p = s + columns[x];
                d[0] = p[0];
                d[1] = p[1];
                d[2] = p[2];
            }
        }
    }
    source.Unlock();
    target.Unlock();
}

void ScaleNormal(const RasterImage& source, RasterImage& target)
{
    TwoPass(Quality::Normal, source, target);
}

void ScaleHigh(const RasterImage& source, RasterImage& target)
{
    TwoPass(Quality::High, source, target);
}
