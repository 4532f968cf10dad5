#include "mesh/two_pass_warp.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include <tbb/enumerable_thread_specific.h>

#include "images/bands.h"
#include "images/progress.h"
#include "images/raster_image.h"
#include "mesh/mesh_defs.h"
#include "mesh/warp_line.h"
#include "mesh/warp_pixel.h"
#include "numerics/resample.h"
#include "numerics/store_real48.h"

using namespace warp_pixel;

namespace {
bool VectorLinesWanted = true;

using Resampler = bool (*)(const double*, const double*, int, const double*, double*, int);

// What the warp needs besides the pictures and the line work, taken once.
struct WarpWork {
    std::vector<double> Positions;  // 0, 1, 2, ...: pixel centres
    std::vector<double> Edges;      // 0.0, 0.5, 1.5, ...: left edges, the first at the centre
    std::vector<double> Curve;      // one grid line resampled at the pixel positions
    std::vector<double> SampleX;    // the nodes of one grid line
    std::vector<double> SampleY;
    int Longest, Nodes;
    bool Vector;

    WarpWork(int longest, int nodes, bool vector)
        : Positions(longest), Edges(longest), Curve(longest), SampleX(nodes), SampleY(nodes),
          Longest(longest), Nodes(nodes), Vector(vector)
    {
        for (int k = 0; k < longest; ++k) {
            Positions[k] = k;
            Edges[k] = k == 0 ? 0.0 : k - 0.5;
        }
    }
};

// The work space of one band of lines.
struct LineWork {
    std::vector<double> Map;  // one scanline's map, one longer than a line
    std::vector<double> Inv;  // its inverse
    std::vector<double> SampleX;
    std::vector<double> SampleY;
    std::optional<WarpLineWork> Lines;  // with the vector line routine
    int MapOf = -2;                     // the line whose map Map holds (-1 plain)

    explicit LineWork(const WarpWork& w)
        : Map(w.Longest + 1), Inv(w.Longest + 1), SampleX(w.Nodes), SampleY(w.Nodes)
    {
        if (w.Vector)
            Lines.emplace(w.Longest);
    }

    // The first line of a pass whose map cannot be resampled starts from the
    // plain scaling.
    void PlainMap(int sourceLength, int targetLength)
    {
        for (int k = 0; k <= sourceLength; ++k)
            Map[k] = StoreReal48(static_cast<double>(k) * targetLength / sourceLength - 0.5);
    }

    // Map becomes the map of line 'line' (-1: the plain scaling), resampled
    // by resample(line) unless it holds that one already. The outer edges of
    // the line stay on the outer edges.
    template <class Resample>
    void UseMapOf(int line, int sourceLength, int targetLength, const Resample& resample)
    {
        if (MapOf == line)
            return;
        MapOf = line;
        if (line < 0) {
            PlainMap(sourceLength, targetLength);
            return;
        }
        resample(line);
        Map[0] = -0.5;
        Map[sourceLength] = targetLength - 0.5;
    }
};

// A line whose map cannot be resampled keeps the map of the line before it.
// So that a band can start anywhere, the lines are checked first, here on
// the calling thread: entry k is the line whose map line k uses (-1: the
// plain scaling). Linear's message for each refused line is shown here too,
// never from a worker. samples(k, x) fills the sample positions of line k.
template <class Samples>
std::vector<int> MapSources(int lines, int nodes, const double* edges, int length, bool linear,
                            const Samples& samples)
{
    std::vector<int> from(lines);
    std::vector<double> x(nodes);
    int last = -1;
    for (int k = 0; k < lines; ++k) {
        samples(k, x.data());
        if (ResampleRangeValid(x.data(), nodes, edges, length))
            last = k;
        else if (linear)
            ShowLinearRangeError();
        from[k] = last;
    }
    return from;
}

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

// The intermediate picture (Wd x Hs) column by column, each top to bottom:
// pass 1 writes its columns a pixel per row, pass 2 reads them as
// contiguous lines.
// Pass 1 writes every byte, so the bytes are not cleared first.
struct ColumnPicture {
    int Width, Height;
    std::unique_ptr<uint8_t[]> Bytes;

    ColumnPicture(int width, int height)
        : Width(width), Height(height),
          Bytes(new uint8_t[static_cast<size_t>(width) * height * 3]) {}
    ptrdiff_t ColumnBytes() const { return static_cast<ptrdiff_t>(Height) * 3; }
    uint8_t* Column(int x) { return Bytes.get() + x * ColumnBytes(); }
};

// One contiguous source line into target pixels step bytes apart.
void ResampleLine(const uint8_t* source, int m, int n, const double* map, uint8_t* target,
                  ptrdiff_t step, LineWork& w)
{
    if (w.Lines)
        ResampleLineVector(source, m, n, map, target, step, *w.Lines);
    else
        ResampleScanline(source, m, 3, n, step, map, target, w.Inv.data());
}

// Lines per band: enough to keep the workers' overhead small, few enough to
// share the lines out evenly.
constexpr int kBandLines = 16;
int BandLines = kBandLines;

// Pass 1: every source row into the same row of mid, in bands of rows.
void HorizontalPass(const RasterImage& src, const TMeshDefsData& columnCurves,
                    Resampler resample, const WarpWork& w, ColumnPicture& mid,
                    WarpProgress& progress)
{
    const int ws = src.Width();
    const int hs = src.Height();
    const int wd = mid.Width;
    const int cols = columnCurves.Cols;
    const auto rowSamples = [&](int y, double* x) {
        std::copy_n(&columnCurves.X[static_cast<size_t>(y) * cols], cols, x);
    };
    const std::vector<int> from = MapSources(hs, cols, w.Edges.data(), ws, resample == Linear,
                                             rowSamples);
    const uint8_t* srcTop = src.Lock() + static_cast<ptrdiff_t>(hs - 1) * src.RowBytes;
    LineProgress lines([&](int done) { progress.RowDone(done - 1, hs); });
    tbb::enumerable_thread_specific<LineWork> work([&w] { return LineWork(w); });
    ForEachBand(hs, BandLines, [&](int begin, int end) {
        LineWork& band = work.local();
        band.MapOf = -2;
        for (int y = begin; y < end; ++y) {
            band.UseMapOf(from[y], ws, wd, [&](int line) {
                const size_t at = static_cast<size_t>(line) * cols;
                resample(&columnCurves.X[at], &columnCurves.Y[at], cols, w.Edges.data(),
                         band.Map.data(), ws);
            });
            ResampleLine(srcTop - static_cast<ptrdiff_t>(y) * src.RowBytes, ws, wd,
                         band.Map.data(), mid.Column(0) + 3 * y, mid.ColumnBytes(), band);
            lines.LineDone();
        }
    });
    lines.ReportUpTo(hs);
    src.Unlock();
}

// Pass 2: every column of mid into the same column of dst, in bands of
// columns.
void VerticalPass(ColumnPicture& mid, const TMeshDefsData& rowCurves, Resampler resample,
                  const WarpWork& w, RasterImage& dst, WarpProgress& progress)
{
    const int hs = mid.Height;
    const int wd = dst.Width();
    const int hd = dst.Height();
    const int rows = rowCurves.Rows;
    const auto columnSamples = [&](int x, double* out) {
        for (int j = 0; j < rows; ++j)
            out[j] = rowCurves.X[rowCurves.Index(x, j)];
    };
    const std::vector<int> from = MapSources(wd, rows, w.Edges.data(), hs, resample == Linear,
                                             columnSamples);
    uint8_t* dstTop = dst.Lock() + static_cast<ptrdiff_t>(hd - 1) * dst.RowBytes;
    LineProgress lines([&](int done) { progress.ColumnDone(done - 1, wd); });
    // Neighbouring bands share the cache lines of the destination rows at
    // their edges: wider bands than in pass 1.
    tbb::enumerable_thread_specific<LineWork> work([&w] { return LineWork(w); });
    ForEachBand(wd, BandLines == kBandLines ? 4 * kBandLines : BandLines, [&](int begin, int end) {
        LineWork& band = work.local();
        band.MapOf = -2;
        for (int x = begin; x < end; ++x) {
            band.UseMapOf(from[x], hs, hd, [&](int line) {
                for (int j = 0; j < rows; ++j) {
                    band.SampleX[j] = rowCurves.X[rowCurves.Index(line, j)];
                    band.SampleY[j] = rowCurves.Y[rowCurves.Index(line, j)];
                }
                resample(band.SampleX.data(), band.SampleY.data(), rows, w.Edges.data(),
                         band.Map.data(), hs);
            });
            ResampleLine(mid.Column(x), hs, hd, band.Map.data(), dstTop + 3 * x,
                         -static_cast<ptrdiff_t>(dst.RowBytes), band);
            lines.LineDone();
        }
    });
    lines.ReportUpTo(wd);
    dst.Unlock();
}
}  // namespace

void SetVectorWarp(bool on) { VectorLinesWanted = on; }

void SetWarpBandLines(int lines) { BandLines = lines > 0 ? lines : kBandLines; }

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
    WarpWork work(std::max({ws, hs, wd, hd}), std::max(srcMesh.Cols, srcMesh.Rows),
                  VectorLinesWanted && VectorLineAvailable());

    ColumnPicture mid(wd, hs);
    {
        TMeshDefsData columnCurves(srcMesh.Cols, hs);
        BuildColumnCurves(srcMesh, dstMesh, gridLines, work, columnCurves);
        HorizontalPass(src, columnCurves, intervals, work, mid, progress);
    }
    TMeshDefsData rowCurves(wd, srcMesh.Rows);
    BuildRowCurves(srcMesh, dstMesh, gridLines, work, rowCurves);
    VerticalPass(mid, rowCurves, intervals, work, dst, progress);
}

void ResampleScanline(const uint8_t* source, int sourceLength, ptrdiff_t sourceStep,
                      int targetLength, ptrdiff_t targetStep, const double* map,
                      uint8_t* target, double* inv)
{
    const int m = sourceLength;
    const int n = targetLength;
    if (m < 1 || n < 1)
        return;
    InverseMap(map, m, n, inv);
    for (int d = 0; d < n; ++d, target += targetStep) {
        const double a = inv[d];
        const double b = inv[d + 1];
        const double length = b - a;
        if (length >= 1.0)  // shrinking: average the source interval
            AreaPixel(source, m, sourceStep, a, b, length, target);
        else  // enlarging: interpolate between the two pixels around the centre
            LinearPixel(source, m, sourceStep, a, length, target);
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
