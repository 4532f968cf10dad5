#include "node/node_warp.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "images/bands.h"
#include "images/error_box.h"
#include "images/progress.h"
#include "node/node_basis.h"
#include "node/node_warp_fast.h"
#include "node/node_warp_rows.h"
#include "numerics/real48.h"

// New-project defaults until a node project sets them.
uint8_t NodeRadiusMode = 1;
double NodeRadius = 50.0;
double NodeMi = -1.0;

namespace {

// Stores v at Real48 precision; false when a Real48 cannot hold it.
bool Store(double v, double& out)
{
    return TryRoundReal48(v, out);
}

std::string FormatMi(double mi)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", mi);
    return buf;
}

}  // namespace

std::string NodeWarpMessage(NodeWarpStatus status, double mi)
{
    switch (status) {
    case NodeWarpStatus::Ok: return "";
    case NodeWarpStatus::SingularMatrix: return "pause in LUDCMP - singular matrix";
    case NodeWarpStatus::ZeroBasis:
        return "Node warp stopped: a node with radius 0 makes the basis function undefined "
               "at the node for exponent mi = " + FormatMi(mi);
    case NodeWarpStatus::Overflow:
        return "Node warp stopped: floating point overflow with exponent mi = " + FormatMi(mi);
    case NodeWarpStatus::BadInput:
        return "Node warp stopped: the pictures or node sets do not fit together";
    }
    return "";
}

// --------------------------------------------------------------- basis function

NodeWarpStatus TryPhi(double d, double r, double mi, double& value)
{
    double dr;
    if (!Store(d, dr))
        return NodeWarpStatus::Overflow;
    const double s = dr * dr + r * r;
    uint64_t undefined = 0;
    const double p = nodebasis::RaiseToAny(nodebasis::ClassifyPower(mi), s, undefined);
    if (undefined)
        return NodeWarpStatus::ZeroBasis;
    if (!Store(p, value))
        return NodeWarpStatus::Overflow;
    return NodeWarpStatus::Ok;
}

double Phi(double d, double r)
{
    double value;
    const NodeWarpStatus status = TryPhi(d, r, NodeMi, value);
    if (status != NodeWarpStatus::Ok)
        throw NodeArithmeticError(status);
    return value;
}

// ----------------------------------------------------------------- LU solver

NodeWarpStatus LUDecompose(NodeMatrix& a, int n, NodePivots& pivots, double& parity)
{
    if (n < 0 || n > kMaxNodes)
        return NodeWarpStatus::BadInput;
    NodeVector scale{};
    parity = 1.0;
    for (int i = 0; i < n; ++i) {
        double big = 0.0;
        for (int j = 0; j < n; ++j)
            big = std::fabs(a[i][j]) > big ? std::fabs(a[i][j]) : big;
        if (big == 0.0)
            return NodeWarpStatus::SingularMatrix;
        scale[i] = 1.0 / big;
    }
    double tiny;
    Store(1.0e-20, tiny);
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < j; ++i) {
            double sum = a[i][j];
            for (int k = 0; k < i; ++k)
                sum -= a[i][k] * a[k][j];
            if (!Store(sum, a[i][j]))
                return NodeWarpStatus::Overflow;
        }
        double big = 0.0;
        int imax = j;
        for (int i = j; i < n; ++i) {
            double sum = a[i][j];
            for (int k = 0; k < j; ++k)
                sum -= a[i][k] * a[k][j];
            if (!Store(sum, a[i][j]))
                return NodeWarpStatus::Overflow;
            const double merit = scale[i] * std::fabs(a[i][j]);
            if (merit > big) {  // the first row wins a tie
                big = merit;
                imax = i;
            }
        }
        if (imax != j) {
            std::swap(a[imax], a[j]);
            parity = -parity;
            scale[imax] = scale[j];
        }
        pivots[j] = imax;
        if (a[j][j] == 0.0)
            a[j][j] = tiny;
        for (int i = j + 1; i < n; ++i)
            if (!Store(a[i][j] / a[j][j], a[i][j]))
                return NodeWarpStatus::Overflow;
    }
    return NodeWarpStatus::Ok;
}

NodeWarpStatus LUBackSubstitute(const NodeMatrix& a, int n, const NodePivots& pivots, NodeVector& b)
{
    if (n < 0 || n > kMaxNodes)
        return NodeWarpStatus::BadInput;
    int first = -1;  // first non-zero entry of b; the sums start there
    for (int i = 0; i < n; ++i) {
        const int ip = pivots[i];
        if (ip < 0 || ip >= n)
            return NodeWarpStatus::BadInput;
        double sum = b[ip];
        b[ip] = b[i];
        if (first >= 0) {
            for (int j = first; j < i; ++j)
                sum -= a[i][j] * b[j];
        } else if (sum != 0.0) {
            first = i;
        }
        if (!Store(sum, b[i]))
            return NodeWarpStatus::Overflow;
    }
    for (int i = n - 1; i >= 0; --i) {
        double sum = b[i];
        for (int j = i + 1; j < n; ++j)
            sum -= a[i][j] * b[j];
        if (!Store(sum / a[i][i], b[i]))
            return NodeWarpStatus::Overflow;
    }
    return NodeWarpStatus::Ok;
}

// ----------------------------------------------------------------------- warp

namespace {

// Everything one warp needs, of fixed size, so that the warp allocates nothing
// but its bands' rows.
struct Workspace {
    NodeMatrix M;
    NodeVector Bx, By;
    NodePivots Pivots;
    double Dx[kMaxNodes], Dy[kMaxNodes], R2[kMaxNodes];
    NodeWarpFast Fast;
};

// What a band needs for one row at a time.
struct RowWork {
    double Dy2[kMaxNodes];
    double Cd[kMaxNodes];  // (py - Dy)^2 + r^2 for the fast evaluation
    float C[kMaxNodes];    // and as a float
    double Qx[kNodeWarpRun], Qy[kNodeWarpRun], Err[kNodeWarpRun];
    uint8_t Safe[kNodeWarpRun];
    int PlainRuns = 0;  // runs of the fast way that went the plain way
    int FastRows = 0;   // rows of this band tried the fast way
    int64_t FastPixels = 0;  // pixels taken from the fast positions
};

std::atomic<int64_t> LastFastPixels{0};

// One row the plain way; stops at the first run whose flags are set.
void PlainRow(const NodeWarpNodes& nodes, const RasterImage& source, const uint8_t* src, double py,
              int ow, RowWork& rw, uint8_t* row, NodeWarpFlags& flags)
{
    for (int u0 = 0; u0 < ow; u0 += kNodeWarpRun) {
        const int count = ow - u0 < kNodeWarpRun ? ow - u0 : kNodeWarpRun;
        NodeWarpSamplePositions(nodes, rw.Dy2, py, u0, count, rw.Qx, rw.Qy, flags);
        if (flags.Undefined || flags.Overflow)
            return;
        NodeWarpSamples(src, source.RowBytes, source.Width(), source.Height(), rw.Qx, rw.Qy,
                        count, row + 3 * u0);
    }
}

// One row the fast way: every pixel from the fast positions where the bound
// shows that the plain positions give the same bytes, the others again from
// the plain positions.
void FastRow(const NodeWarpNodes& nodes, const NodeWarpFast& fast, const RasterImage& source,
             const uint8_t* src, double py, const double* r2, int ow, RowWork& rw, uint8_t* row,
             NodeWarpFlags& flags)
{
    const int sw = source.Width();
    const int sh = source.Height();
    for (int j = 0; j < nodes.N; ++j) {
        rw.Cd[j] = rw.Dy2[j] + r2[j];
        rw.C[j] = static_cast<float>(rw.Cd[j]);
    }
    for (int u0 = 0; u0 < ow; u0 += kNodeWarpRun) {
        const int count = ow - u0 < kNodeWarpRun ? ow - u0 : kNodeWarpRun;
        NodeWarpFastPositions(fast, rw.C, rw.Cd, py, u0, count, rw.Qx, rw.Qy, rw.Err);
        NodeWarpFastSamples(src, source.RowBytes, sw, sh, rw.Qx, rw.Qy, rw.Err, count,
                            row + 3 * u0, rw.Safe);
        int unsafe = 0;
        for (int k = 0; k < count; ++k)
            unsafe += !rw.Safe[k];
        if (4 * unsafe > 3 * count) {
            // A bound too wide for this run (weights that cancel): the whole
            // run the plain way, which is cheaper than one pixel at a time.
            NodeWarpSamplePositions(nodes, rw.Dy2, py, u0, count, rw.Qx, rw.Qy, flags);
            NodeWarpSamples(src, source.RowBytes, sw, sh, rw.Qx, rw.Qy, count, row + 3 * u0);
            ++rw.PlainRuns;
            continue;
        }
        rw.FastPixels += count - unsafe;
        for (int k = 0; k < count; ++k) {
            if (rw.Safe[k])
                continue;
            double qx, qy;
            NodeWarpSamplePositions(nodes, rw.Dy2, py, u0 + k, 1, &qx, &qy, flags);
            NodeWarpSamples(src, source.RowBytes, sw, sh, &qx, &qy, 1, row + 3 * (u0 + k));
        }
    }
}

bool NodesFit(const TNodeDefsData& nodes, int n)
{
    return nodes.Count == n && static_cast<int>(nodes.X.size()) >= n &&
           static_cast<int>(nodes.Y.size()) >= n;
}

NodeWarpStatus Solve(Workspace& w, const TNodeDefsData& S, const TNodeDefsData& D, int n,
                     const NodeRadii& radii, double mi)
{
    for (int i = 0; i < n; ++i) {
        if (!Store(D.X[i], w.Dx[i]) || !Store(D.Y[i], w.Dy[i]) ||
            !Store(S.X[i] - D.X[i], w.Bx[i]) || !Store(S.Y[i] - D.Y[i], w.By[i]))
            return NodeWarpStatus::Overflow;
    }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double dx = w.Dx[i] - w.Dx[j];
            const double dy = w.Dy[i] - w.Dy[j];
            const double r = NodeRadiusMode == 0 ? NodeRadius : radii[j];
            const NodeWarpStatus st = TryPhi(std::sqrt(dx * dx + dy * dy), r, mi, w.M[i][j]);
            if (st != NodeWarpStatus::Ok)
                return st;
        }
    double parity;
    NodeWarpStatus st = LUDecompose(w.M, n, w.Pivots, parity);
    if (st == NodeWarpStatus::Ok)
        st = LUBackSubstitute(w.M, n, w.Pivots, w.Bx);
    if (st == NodeWarpStatus::Ok)
        st = LUBackSubstitute(w.M, n, w.Pivots, w.By);
    return st;
}

// Whether every s = d*d + r*r of the warp stays in [2^-120, 2^120] and every
// basis value inside the Real48 range, so that the pixel loop may leave out
// its range checks. sMax bounds d by the farthest corner of the source from
// each node (one pixel of margin).
bool WithinRange(const Workspace& w, int n, int sw, int sh, const nodebasis::Power& power)
{
    if (power.Kind == nodebasis::PowerKind::Integral)
        return false;
    double sMin = HUGE_VAL, sMax = 0.0;
    for (int j = 0; j < n; ++j) {
        const double ex = std::fmax(std::fabs(w.Dx[j]), std::fabs(sw - 1 - w.Dx[j])) + 1.0;
        const double ey = std::fmax(std::fabs(w.Dy[j]), std::fabs(sh - 1 - w.Dy[j])) + 1.0;
        sMin = std::fmin(sMin, w.R2[j]);
        sMax = std::fmax(sMax, ex * ex + ey * ey + w.R2[j]);
    }
    if (n == 0)
        return true;
    if (!(sMin >= 0x1p-120 && sMax <= 0x1p120))
        return false;
    if (power.Kind != nodebasis::PowerKind::General)
        return true;  // s, 1/s, sqrt(s) and 1/sqrt(s) all stay within 2^+-120
    // s^mi = e^(mi ln s) with |mi ln s| < 80 stays within about 2^+-116.
    return std::fabs(power.Mi * std::log(sMin)) < 80.0 && std::fabs(power.Mi * std::log(sMax)) < 80.0;
}

// The warp proper; the output is black wherever it returns before writing.
NodeWarpStatus RunWarp(const RasterImage& source, const TNodeDefsData& S, const TNodeDefsData& D,
                       RasterImage& output, const NodeRadii& radii, Workspace& w)
{
    const int ow = output.Width();
    const int oh = output.Height();
    uint8_t* out = output.Lock();
    std::memset(out, 0, static_cast<size_t>(output.ImageSize));

    const int n = S.Count;
    const double mi = NodeMi;
    if (!source.Allocated || source.Width() < 1 || source.Height() < 1 || n < 0 ||
        n > kMaxNodes || !NodesFit(S, n) || !NodesFit(D, n) || !std::isfinite(mi) ||
        !std::isfinite(NodeRadius)) {
        output.Unlock();
        return NodeWarpStatus::BadInput;
    }
    const nodebasis::Power power = nodebasis::ClassifyPower(mi);
    NodeWarpStatus st = Solve(w, S, D, n, radii, mi);
    if (st != NodeWarpStatus::Ok) {
        output.Unlock();
        return st;
    }
    for (int j = 0; j < n; ++j) {
        const double r = NodeRadiusMode == 0 ? NodeRadius : radii[j];
        w.R2[j] = r * r;
    }

    const int sw = source.Width();
    const int sh = source.Height();
    NodeWarpNodes nodes;
    nodes.N = n;
    nodes.Dx = w.Dx;
    nodes.Dy = w.Dy;
    nodes.R2 = w.R2;
    nodes.Wx = w.Bx.data();
    nodes.Wy = w.By.data();
    nodes.Power = power;
    nodes.InRange = WithinRange(w, n, sw, sh, power);
    // An output of one column or row has no step; it samples the first one.
    nodes.Kx = ow > 1 ? static_cast<double>(sw - 1) / (ow - 1) : 0.0;
    const double ky = oh > 1 ? static_cast<double>(sh - 1) / (oh - 1) : 0.0;

    NodeWarpFast& fast = w.Fast;
    PrepareNodeWarpFast(nodes, ow, sw, sh, fast);

    // Rows are numbered as they are stored, bottom first: the order in which
    // the warp goes through them. A row that fails stays black, like every
    // row after it; the bands skip rows past the first failure found.
    const uint8_t* src = source.Lock();
    std::atomic<int> firstFailed{oh};
    std::vector<NodeWarpStatus> rowStatus(static_cast<size_t>(oh), NodeWarpStatus::Ok);
    float accumulated = 0.0f;
    LineProgress progress([&](int) {
        accumulated += 100.0f / static_cast<float>(oh);
        SetProgress(static_cast<int>(std::nearbyint(accumulated)));
    });
    LastFastPixels = 0;
    ForEachBand(oh, 4, [&](int begin, int end) {
        RowWork rw;
        for (int i = begin; i < end; ++i) {
            if (i > firstFailed.load(std::memory_order_relaxed))
                return;
            const int v = oh - 1 - i;
            const double py = v * ky;
            for (int j = 0; j < n; ++j) {
                const double dy = py - w.Dy[j];
                rw.Dy2[j] = dy * dy;
            }
            uint8_t* row = out + static_cast<ptrdiff_t>(i) * output.RowBytes;
            NodeWarpFlags flags;
            // A band whose fast rows keep going the plain way stops trying
            // (only the speed depends on it, never the bytes).
            if (fast.Usable && !(rw.FastRows >= 2 && 2 * rw.PlainRuns > rw.FastRows * ow / kNodeWarpRun)) {
                ++rw.FastRows;
                FastRow(nodes, fast, source, src, py, w.R2, ow, rw, row, flags);
            }
            else
                PlainRow(nodes, source, src, py, ow, rw, row, flags);
            if (flags.Undefined || flags.Overflow) {
                rowStatus[i] = flags.Undefined ? NodeWarpStatus::ZeroBasis : NodeWarpStatus::Overflow;
                int known = firstFailed.load();
                while (i < known && !firstFailed.compare_exchange_weak(known, i)) {
                }
                return;
            }
            progress.LineDone(firstFailed.load(std::memory_order_relaxed));
        }
        LastFastPixels += rw.FastPixels;
    });
    const int failed = firstFailed.load();
    progress.ReportUpTo(failed);
    if (failed < oh) {
        std::memset(out + static_cast<ptrdiff_t>(failed) * output.RowBytes, 0,
                    static_cast<size_t>(oh - failed) * output.RowBytes);
        st = rowStatus[failed];
    }
    source.Unlock();
    output.Unlock();
    return st;
}

}  // namespace

int64_t LastNodeWarpFastPixels() { return LastFastPixels.load(); }

NodeWarpStatus NodeWarp(const RasterImage& source, const TNodeDefsData& sourceNodes,
                        const TNodeDefsData& targetNodes, RasterImage& output,
                        const NodeRadii& radii)
{
    BeginProgress();
    NodeWarpStatus st = NodeWarpStatus::BadInput;
    if (output.Allocated && output.Width() > 0 && output.Height() > 0) {
        // Static storage: no allocation and no 80 KB stack frame per warp.
        static thread_local Workspace workspace;
        st = RunWarp(source, sourceNodes, targetNodes, output, radii, workspace);
    }
    EndProgress();
    if (st != NodeWarpStatus::Ok) {
        Beep();
        ShowErrorBox(kNodeWarpErrorCode, NodeWarpMessage(st, NodeMi));
    }
    return st;
}
