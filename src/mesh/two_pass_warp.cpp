#include "mesh/two_pass_warp.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <vector>

#include "images/progress.h"
#include "images/raster_image.h"
#include "mesh/mesh_defs.h"
#include "numerics/resample.h"
#include "numerics/store_real48.h"

namespace {
using Resampler = bool (*)(const double*, const double*, int, const double*, double*, int);

constexpr double kTwoPow52 = 4503599627370496.0;

// Round to nearest, ties to even, for 0 <= v < 2^52 without a library call:
// after adding 2^52 no fraction bits are left, so the addition does the
// rounding (in the default rounding mode).
inline double RoundNonNegative(double v) { return (v + kTwoPow52) - kTwoPow52; }

// Round for positions on a line (v >= -0.5): the negative ones round to 0.
inline double RoundPosition(double v) { return v < 0.0 ? 0.0 : RoundNonNegative(v); }

// Area average over [a, b] with -0.5 <= a, b <= m and b - a > 0, channel by
// channel in byte order (blue, green, red).
inline void AreaAverageOf(const uint8_t* line, int m, ptrdiff_t step, double a, double b,
                          double out[3])
{
    // lo: first pixel whose left edge is at or after a; hi: last pixel wholly
    // before b.
    const double ra = RoundPosition(a);
    int lo;
    bool startPartial = true;
    if (ra - a == 0.5) {
        lo = static_cast<int>(ra);
        startPartial = false;  // a is exactly a pixel edge
    } else {
        const int ta = static_cast<int>(a);
        lo = a - ta < 0.5 ? ta + 1 : static_cast<int>(ra) + 1;
    }
    const int tb = static_cast<int>(b);
    const int hi = b - tb > 0.5 ? static_cast<int>(RoundPosition(b)) - 1 : tb - 1;
    if (lo - hi >= 2) {  // a and b inside the same pixel
        const uint8_t* p = line + std::min(lo - 1, m - 1) * step;
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
        return;
    }
    double s0 = 0.0, s1 = 0.0, s2 = 0.0;
    if (startPartial) {
        const double w = lo - 0.5 - a;
        const uint8_t* p = line + (lo - 1) * step;
        s0 = RoundReal48InRange(w * p[0]);
        s1 = RoundReal48InRange(w * p[1]);
        s2 = RoundReal48InRange(w * p[2]);
    }
    const uint8_t* p = line + lo * step;
    for (int k = lo; k <= hi; ++k, p += step) {
        s0 = RoundReal48InRange(s0 + p[0]);
        s1 = RoundReal48InRange(s1 + p[1]);
        s2 = RoundReal48InRange(s2 + p[2]);
    }
    // Past the end only for the last target pixel, with a weight below 0.5.
    const int last = hi + 1 < m ? hi + 1 : m - 1;
    const double w = b - (hi + 0.5);
    p = line + last * step;
    s0 = RoundReal48InRange(s0 + w * p[0]);
    s1 = RoundReal48InRange(s1 + w * p[1]);
    s2 = RoundReal48InRange(s2 + w * p[2]);
    const double length = b - a;
    out[0] = RoundReal48InRange(s0 / length);
    out[1] = RoundReal48InRange(s1 / length);
    out[2] = RoundReal48InRange(s2 / length);
}

// Byte values as doubles: a load instead of a conversion per use.
struct ByteTable {
    double Value[256];
    constexpr ByteTable() : Value()
    {
        for (int k = 0; k < 256; ++k)
            Value[k] = k;
    }
};
constexpr ByteTable kByte;

// ClampRound(255, v) for values that are not NaN: negative values give 0,
// values at or above 255 give 255, the rest round to nearest, ties to even.
inline uint8_t ClampByteFast(double v)
{
    const double r = RoundNonNegative(std::max(v, 0.0));
    return static_cast<uint8_t>(static_cast<int>(std::min(r, 255.0)));
}

// The fast paths below compute a target pixel in plain double arithmetic,
// without the Real48 rounding of every partial sum, and keep the result only
// where it must give the same byte. Both values approximate the same exact
// average: the Real48 roundings (relative 2^-40 each, at most length + 4 of
// them on sums below 255 * (length + 1)) and the double roundings move it by
// less than 255 * (length + 4) * 2^-38, below 2^-16 for lengths under 4096.
// Bytes come from rounding to nearest, so a value farther than that from
// every half-integer rounds to the same byte either way; the rest (and longer
// intervals) take the exact path.
constexpr double kFastLength = 4096.0;
constexpr double kTieDistance = 0.5 - 0x1p-16;

// Rounds v as ClampByteFast does into r and tells whether v lies so close
// to a half-integer that the exact value might round the other way.
inline bool NearTie(double v, double& r)
{
    r = RoundNonNegative(std::max(v, 0.0));
    return std::fabs(v - r) > kTieDistance;
}

// The byte of a value already rounded by NearTie.
inline uint8_t ToByte(double r)
{
    return static_cast<uint8_t>(static_cast<int>(std::min(r, 255.0)));
}

// One target pixel of the area branch, the plain way: every partial sum and
// the quotient at Real48 precision, then ClampRound per channel.
void AreaPixelExact(const uint8_t* line, int m, ptrdiff_t step, double a, double b,
                    uint8_t* target)
{
    double c[3];
    AreaAverageOf(line, m, step, a, b, c);
    target[0] = ClampByteFast(c[0]);
    target[1] = ClampByteFast(c[1]);
    target[2] = ClampByteFast(c[2]);
}

// The area branch (b - a = length >= 1): the fast path where it is safe.
inline void AreaPixel(const uint8_t* line, int m, ptrdiff_t step, double a, double b,
                      double length, uint8_t* target)
{
    // lo and hi as AreaAverageOf finds them: with ta = Trunc(a), lo is ta + 1,
    // or ta + 2 when the fraction of a is above 0.5, or 0 for a = -0.5; hi is
    // Trunc(b) - 1, or Trunc(b) when the fraction of b is above 0.5.
    const int ta = static_cast<int>(a);
    const int lo = ta + 1 + (a - ta > 0.5) - (a == -0.5);
    const int tb = static_cast<int>(b);
    const int hi = tb - 1 + (b - tb > 0.5);
    if (length < kFastLength && lo - hi < 2) {
        const double w0 = lo - 0.5 - a;
        const double whole = lo <= hi;  // the first whole pixel, if any
        const double w1 = b - (hi + 0.5);
        const uint8_t* p0 = line + std::max(lo - 1, 0) * step;
        const uint8_t* p1 = line + std::min(lo, m - 1) * step;
        const uint8_t* p2 = line + std::min(hi + 1, m - 1) * step;
        double s0 = w0 * kByte.Value[p0[0]] + whole * kByte.Value[p1[0]];
        double s1 = w0 * kByte.Value[p0[1]] + whole * kByte.Value[p1[1]];
        double s2 = w0 * kByte.Value[p0[2]] + whole * kByte.Value[p1[2]];
        const uint8_t* p = p1;
        for (int k = lo + 1; k <= hi; ++k) {
            p += step;
            s0 += kByte.Value[p[0]];
            s1 += kByte.Value[p[1]];
            s2 += kByte.Value[p[2]];
        }
        const double reciprocal = 1.0 / length;
        const double v0 = (s0 + w1 * kByte.Value[p2[0]]) * reciprocal;
        const double v1 = (s1 + w1 * kByte.Value[p2[1]]) * reciprocal;
        const double v2 = (s2 + w1 * kByte.Value[p2[2]]) * reciprocal;
        double r0, r1, r2;
        const bool t0 = NearTie(v0, r0);
        const bool t1 = NearTie(v1, r1);
        const bool t2 = NearTie(v2, r2);
        if (!(t0 | t1 | t2)) {
            target[0] = ToByte(r0);
            target[1] = ToByte(r1);
            target[2] = ToByte(r2);
            return;
        }
    }
    AreaPixelExact(line, m, step, a, b, target);
}

// The linear branch: p0 + (p1 - p0) * t per channel, rounded to Real48 only
// where that could change the byte (by at most 2^-33 below 256).
inline uint8_t InterpolatedByte(uint8_t p0, uint8_t p1, double t)
{
    const double v = kByte.Value[p0] + (p1 - p0) * t;
    double r;
    if (NearTie(v, r))
        return ClampByteFast(RoundReal48InRange(v));
    return ToByte(r);
}

// Everything the passes need besides the pictures, taken once per warp.
struct WarpWork {
    std::vector<double> Positions;  // 0, 1, 2, ...: pixel centres
    std::vector<double> Edges;      // 0.0, 0.5, 1.5, ...: left edges, the first at the centre
    std::vector<double> Curve;      // one grid line resampled at the pixel positions
    std::vector<double> Map;        // one scanline's map, one longer than a line
    std::vector<double> Inv;        // its inverse
    std::vector<double> SampleX;    // the nodes of one grid line
    std::vector<double> SampleY;

    WarpWork(int longest, int nodes)
        : Positions(longest), Edges(longest), Curve(longest), Map(longest + 1),
          Inv(longest + 1), SampleX(nodes), SampleY(nodes)
    {
        for (int k = 0; k < longest; ++k) {
            Positions[k] = k;
            Edges[k] = k == 0 ? 0.0 : k - 0.5;
        }
    }

    // A line whose map cannot be resampled keeps the map of the line before;
    // the first line of a pass starts from the plain scaling instead.
    void PlainMap(int sourceLength, int targetLength)
    {
        for (int k = 0; k <= sourceLength; ++k)
            Map[k] = StoreReal48(static_cast<double>(k) * targetLength / sourceLength - 0.5);
    }
};

// Progress over both passes, 0..50 and 50..100, between Begin and End (also
// when the warp ends by an exception). The percentage is taken from the
// lines done, so the passes end on exactly 50 and 100.
class WarpProgress {
public:
    WarpProgress() { BeginProgress(); }
    ~WarpProgress() { EndProgress(); }
    WarpProgress(const WarpProgress&) = delete;
    WarpProgress& operator=(const WarpProgress&) = delete;

    void RowDone(int row, int rows)
    {
        const float progress = 50.0f * static_cast<float>(row + 1) / static_cast<float>(rows);
        SetProgress(static_cast<int>(std::nearbyint(progress)));
    }
    void ColumnDone(int column, int columns)
    {
        const float progress =
            50.0f + 50.0f * static_cast<float>(column + 1) / static_cast<float>(columns);
        SetProgress(static_cast<int>(progress));
    }
};

// For every mesh column i, the x of its grid line at every source row: in the
// X part the source curve, in the Y part the intermediate one (the x of the
// destination nodes), both with the source y of the nodes as parameter.
void BuildColumnCurves(const TMeshDefsData& srcMesh, const TMeshDefsData& dstMesh,
                       Resampler resample, WarpWork& w, TMeshDefsData& curves)
{
    const int cols = srcMesh.Cols;
    const int rows = srcMesh.Rows;
    const int lines = curves.Rows;
    std::fill(w.Curve.begin(), w.Curve.end(), 0.0);
    for (int i = 0; i < cols; ++i) {
        for (int j = 0; j < rows; ++j)
            w.SampleY[j] = srcMesh.Y[srcMesh.Index(i, j)];
        for (int part = 0; part < 2; ++part) {
            const TMeshDefsData& mesh = part == 0 ? srcMesh : dstMesh;
            std::vector<double>& table = part == 0 ? curves.X : curves.Y;
            for (int j = 0; j < rows; ++j)
                w.SampleX[j] = mesh.X[mesh.Index(i, j)];
            resample(w.SampleY.data(), w.SampleX.data(), rows, w.Positions.data(),
                     w.Curve.data(), lines);
            for (int y = 0; y < lines; ++y)
                table[static_cast<size_t>(y) * cols + i] = w.Curve[y];
        }
    }
}

// For every mesh row j, the y of its grid line at every destination column:
// in the X part the intermediate curve (source y), in the Y part the
// destination one, both with the destination x of the nodes as parameter.
void BuildRowCurves(const TMeshDefsData& srcMesh, const TMeshDefsData& dstMesh,
                    Resampler resample, WarpWork& w, TMeshDefsData& curves)
{
    const int cols = dstMesh.Cols;
    const int rows = dstMesh.Rows;
    const int lines = curves.Cols;
    std::fill(w.Curve.begin(), w.Curve.end(), 0.0);
    for (int j = 0; j < rows; ++j) {
        const double* sampleX = &dstMesh.X[dstMesh.Index(0, j)];
        for (int part = 0; part < 2; ++part) {
            const TMeshDefsData& mesh = part == 0 ? srcMesh : dstMesh;
            std::vector<double>& table = part == 0 ? curves.X : curves.Y;
            resample(sampleX, &mesh.Y[mesh.Index(0, j)], cols, w.Positions.data(),
                     w.Curve.data(), lines);
            std::copy_n(w.Curve.begin(), lines, table.begin() + static_cast<ptrdiff_t>(j) * lines);
        }
    }
}

// Pass 1: every source row, top to bottom, into the same row of mid.
void HorizontalPass(const RasterImage& src, const TMeshDefsData& columnCurves,
                    Resampler resample, WarpWork& w, RasterImage& mid, WarpProgress& progress)
{
    const int ws = src.Width();
    const int hs = src.Height();
    const int wd = mid.Width();
    const int cols = columnCurves.Cols;
    const uint8_t* srcTop = src.Lock() + static_cast<ptrdiff_t>(hs - 1) * src.RowBytes;
    uint8_t* midTop = mid.Lock() + static_cast<ptrdiff_t>(hs - 1) * mid.RowBytes;
    w.PlainMap(ws, wd);
    for (int y = 0; y < hs; ++y) {
        const size_t at = static_cast<size_t>(y) * cols;
        resample(&columnCurves.X[at], &columnCurves.Y[at], cols, w.Edges.data(), w.Map.data(), ws);
        w.Map[0] = -0.5;  // the outer edges of the line stay on the outer edges
        w.Map[ws] = wd - 0.5;
        ResampleScanline(srcTop - static_cast<ptrdiff_t>(y) * src.RowBytes, ws, 3, wd, 3,
                         w.Map.data(), midTop - static_cast<ptrdiff_t>(y) * mid.RowBytes,
                         w.Inv.data());
        progress.RowDone(y, hs);
    }
    src.Unlock();
    mid.Unlock();
}

// Pass 2: every column of mid, left to right, into the same column of dst.
void VerticalPass(const RasterImage& mid, const TMeshDefsData& rowCurves, Resampler resample,
                  WarpWork& w, RasterImage& dst, WarpProgress& progress)
{
    const int hs = mid.Height();
    const int wd = dst.Width();
    const int hd = dst.Height();
    const int rows = rowCurves.Rows;
    const uint8_t* midTop = mid.Lock() + static_cast<ptrdiff_t>(hs - 1) * mid.RowBytes;
    uint8_t* dstTop = dst.Lock() + static_cast<ptrdiff_t>(hd - 1) * dst.RowBytes;
    w.PlainMap(hs, hd);
    for (int x = 0; x < wd; ++x) {
        for (int j = 0; j < rows; ++j) {
            w.SampleX[j] = rowCurves.X[rowCurves.Index(x, j)];
            w.SampleY[j] = rowCurves.Y[rowCurves.Index(x, j)];
        }
        resample(w.SampleX.data(), w.SampleY.data(), rows, w.Edges.data(), w.Map.data(), hs);
        w.Map[0] = -0.5;
        w.Map[hs] = hd - 0.5;
        ResampleScanline(midTop + 3 * x, hs, -static_cast<ptrdiff_t>(mid.RowBytes), hd,
                         -static_cast<ptrdiff_t>(dst.RowBytes), w.Map.data(), dstTop + 3 * x,
                         w.Inv.data());
        progress.ColumnDone(x, wd);
    }
    mid.Unlock();
    dst.Unlock();
}
}  // namespace

void TwoPassWarp(const RasterImage& src, const TMeshDefsData& srcMesh,
                 const TMeshDefsData& dstMesh, int method, RasterImage& dst)
{
    const int ws = src.Width();
    const int hs = src.Height();
    const int wd = dst.Width();
    const int hd = dst.Height();
    if (!src.Allocated || !dst.Allocated || ws < 1 || hs < 1 || wd < 1 || hd < 1)
        throw std::invalid_argument("TwoPassWarp: picture without pixels");
    if (srcMesh.Cols != dstMesh.Cols || srcMesh.Rows != dstMesh.Rows || srcMesh.Cols < 2 ||
        srcMesh.Rows < 2)
        throw std::invalid_argument("TwoPassWarp: meshes of different or degenerate size");

    WarpProgress progress;
    const Resampler gridLines = (method & kWarpSplineMesh) ? CatmullRom : Linear;
    const Resampler intervals = (method & kWarpSplineIntervals) ? CatmullRom : Linear;
    WarpWork work(std::max({ws, hs, wd, hd}), std::max(srcMesh.Cols, srcMesh.Rows));

    RasterImage mid;
    {
        TMeshDefsData columnCurves(srcMesh.Cols, hs);
        BuildColumnCurves(srcMesh, dstMesh, gridLines, work, columnCurves);
        mid.Init(wd, hs);
        if (!mid.Allocated)
            throw std::bad_alloc();
        HorizontalPass(src, columnCurves, intervals, work, mid, progress);
    }
    TMeshDefsData rowCurves(wd, srcMesh.Rows);
    BuildRowCurves(srcMesh, dstMesh, gridLines, work, rowCurves);
    VerticalPass(mid, rowCurves, intervals, work, dst, progress);
    mid.Done();
}

void ResampleScanline(const uint8_t* source, int sourceLength, ptrdiff_t sourceStep,
                      int targetLength, ptrdiff_t targetStep, const double* map,
                      uint8_t* target, double* inv)
{
    const int m = sourceLength;
    const int n = targetLength;
    if (m < 1 || n < 1)
        return;
    // Inverse map: inv[d + 1] is the source position (in edge units) that
    // lands on target position d. The search stops at map[s + 1] >= d with
    // map[s] < d, so the divisor is never zero, even where map entries repeat
    // (a grid cell squeezed to nothing: its source pixels are skipped).
    // The two map entries around s stay in registers, s also as a double.
    const double top = m;
    inv[0] = -0.5;
    int s = 0;
    double sd = 0.0;
    double left = map[0], right = map[1];
    double x = 0.0;  // d as a double
    for (int d = 0; d < n; ++d, x += 1.0) {
        while (x > right && s < m - 1) {
            ++s;
            sd += 1.0;
            left = right;
            right = map[s + 1];
        }
        double v = sd + (x - left) / (right - left);
        // Only a map that breaks its contract (or holds NaN) needs these.
        v = v <= top ? v : top;
        v = v < -0.5 ? -0.5 : v;
        inv[d + 1] = v;
    }
    for (int d = 0; d < n; ++d, target += targetStep) {
        const double a = inv[d];
        const double b = inv[d + 1];
        const double length = b - a;
        if (length >= 1.0) {  // shrinking: average the source interval
            AreaPixel(source, m, sourceStep, a, b, length, target);
        } else {  // enlarging: interpolate between the two pixels around the centre
            const double u = a + length * 0.5;
            // Trunc: u never reaches -1
            const int i0 = std::min(static_cast<int>(std::max(u, 0.0)), m - 1);
            const ptrdiff_t next = i0 + 1 < m ? sourceStep : 0;
            const double t = u - i0;
            const uint8_t* p0 = source + i0 * sourceStep;
            const uint8_t* p1 = p0 + next;
            target[0] = InterpolatedByte(p0[0], p1[0], t);
            target[1] = InterpolatedByte(p0[1], p1[1], t);
            target[2] = InterpolatedByte(p0[2], p1[2], t);
        }
    }
}

void ResampleScanline(const uint8_t* source, int sourceLength, ptrdiff_t sourceStep,
                      int targetLength, ptrdiff_t targetStep, const double* map,
                      uint8_t* target)
{
    if (targetLength < 1)
        return;
    std::vector<double> inv(static_cast<size_t>(targetLength) + 1);
    ResampleScanline(source, sourceLength, sourceStep, targetLength, targetStep, map, target,
                     inv.data());
}

AreaColour AreaAverage(const uint8_t* source, int sourceLength, ptrdiff_t sourceStep, double a,
                       double b)
{
    const int m = sourceLength;
    if (m < 1)
        return {};
    const double top = m;
    if (!(a >= -0.5))
        a = -0.5;
    if (!(a <= top))
        a = top;
    if (!(b <= top))
        b = top;
    if (!(b > a)) {  // empty: the pixel that holds a
        int k = static_cast<int>(std::floor(a + 0.5));
        k = std::clamp(k, 0, m - 1);
        const uint8_t* p = source + k * sourceStep;
        return {static_cast<double>(p[0]), static_cast<double>(p[1]), static_cast<double>(p[2])};
    }
    double c[3];
    AreaAverageOf(source, m, sourceStep, a, b, c);
    return {c[0], c[1], c[2]};
}
