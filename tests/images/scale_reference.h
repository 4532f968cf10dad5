// Plain line-by-line versions of the normal and high quality scalers, written
// step by step as the rules read (edge b, difference d, accumulators), with
// every real held exactly as a numerator over the line's divisor. The
// scalers' table-driven passes must give the very same bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "images/raster_image.h"
#include "scale_test_util.h"

namespace reference {

inline int64_t FloorDiv(int64_t a, int64_t d) { return a / d; }  // a >= 0

inline int64_t RoundEvenDiv(int64_t a, int64_t d)
{
    int64_t q = a / d, r = a % d;
    if (2 * r > d || (2 * r == d && (q % 2) != 0))
        ++q;
    return q;
}

enum class Mode { Normal, High };

// One line: n source values to m target values. vertical selects the rules
// of the column pass.
inline std::vector<int> ScaleLine(const std::vector<int>& src, int m, Mode mode, bool vertical)
{
    const int64_t n = static_cast<int64_t>(src.size());
    if (n == m)
        return src;
    std::vector<int> out(m, -1);
    if (m > n && mode == Mode::High) {
        // p = i * r with r = (n - 1) / (m - 1): numerators over m - 1.
        const int64_t den = m - 1;
        for (int64_t i = 0; i < m; ++i) {
            const int64_t p = i * (n - 1);
            const int64_t k = p / den, frac = p - k * den;
            const int64_t diff = k + 1 < n ? src[k + 1] - src[k] : 0;
            out[i] = static_cast<int>(RoundEvenDiv(src[k] * den + frac * diff, den));
        }
        return out;
    }
    // Reals as numerators over n: scale = m / n, b = B / n, d = D / n.
    const int64_t scale = m;
    int64_t B = scale;
    if (m > n) {
        size_t s = 0;
        for (int64_t j = 1; j <= m; ++j) {
            const int64_t D = j * n - B;
            if (D <= 0) {
                out[j - 1] = src[s];
                if (D == 0) {
                    ++s;
                    B += scale;
                }
            } else {
                if (j < m)
                    out[j - 1] = static_cast<int>(RoundEvenDiv((n - D) * src[s] + D * src[s + 1], n));
                else
                    out[j - 1] = src[s];
                ++s;
                B += scale;
            }
        }
        return out;
    }
    const bool round = mode == Mode::Normal && vertical;
    auto finish = [&](int64_t acc) { return static_cast<int>(round ? RoundEvenDiv(acc, n) : FloorDiv(acc, n)); };
    int64_t acc = 0, j = 1;
    for (int64_t i = 0; i < n; ++i) {
        const int64_t v = src[i];
        const int64_t D = j * n - B;
        if (D >= 0) {
            acc += scale * v;
            if (D == 0) {
                out[j - 1] = finish(acc);
                acc = 0;
                ++j;
            }
        } else {
            out[j - 1] = finish(acc + (j * n - (B - scale)) * v);
            acc = (B - j * n) * v;
            ++j;
        }
        B += scale;
    }
    return out;
}

// Rows first into a temporary, then columns (bottom row first), per channel.
inline RasterImage Scale(const RasterImage& src, int tw, int th, Mode mode)
{
    const int sw = src.Width(), sh = src.Height();
    std::vector<std::vector<int>> temp(sh * 3, std::vector<int>());
    std::vector<int> mid(static_cast<size_t>(tw) * sh * 3);
    for (int y = 0; y < sh; ++y)
        for (int c = 0; c < 3; ++c) {
            std::vector<int> line;
            for (int x = 0; x < sw; ++x)
                line.push_back(PixelAt(src, x, y, c));
            const auto scaled = ScaleLine(line, tw, mode, false);
            for (int x = 0; x < tw; ++x)
                mid[(static_cast<size_t>(y) * tw + x) * 3 + c] = scaled[x];
        }
    RasterImage dst = Blank(tw, th);
    for (int x = 0; x < tw; ++x)
        for (int c = 0; c < 3; ++c) {
            std::vector<int> line;
            for (int y = 0; y < sh; ++y)
                line.push_back(mid[(static_cast<size_t>(y) * tw + x) * 3 + c]);
            const auto scaled = ScaleLine(line, th, mode, true);
            for (int y = 0; y < th; ++y)
                dst.Lock()[y * dst.RowBytes + 3 * x + c] = static_cast<uint8_t>(scaled[y]);
        }
    return dst;
}

}  // namespace reference
